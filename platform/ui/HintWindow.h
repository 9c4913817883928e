#pragma once
// The framework's hint window: a borderless pop-up that shows a short text near the mouse
// without taking the focus. Skinned hint windows derive from it.
#include <string>

#include "platform/ui/Controls.h"

// What the application knows of a hint about to show; OnShowHint may change any of it.
struct THintInfo {
  TControl* HintControl = nullptr;
  // Where the hint's top-left goes (screen).
  TPoint HintPos{};
  int HintMaxWidth = 0;
  // The control's rectangle (its client coordinates): the hint stays while the mouse is in it.
  TRect CursorRect{};
  TPoint CursorPos{};
  // Milliseconds the hint stays up (0 or less: until the mouse leaves).
  int HideTimeout = 0;
  std::wstring HintStr;
};

class THintWindow : public TWinControl {
public:
  explicit THintWindow(TComponent* owner);
  std::wstring ClassName() const override { return L"THintWindow"; }

  // The window whose child-less owner the hint is (nullptr: none); read when the window is
  // made, so set it before the first Handle().
  HWND ParentWindow = nullptr;
  // The rectangle (at 0, 0) that shows Text word-wrapped within MaxWidth in the hint's font,
  // with the window's margins.
  virtual TRect CalcHintRect(int MaxWidth, const std::wstring& Text);
  // Shows Text in R (screen coordinates), topmost and without activation.
  virtual void ActivateHint(const TRect& R, const std::wstring& Text);

protected:
  void CreateParams(TCreateParams& params) override;
  void PaintWindow(HDC dc) override;
  // A hint shows without taking the activation from the window under the mouse.
  void VisibleChanging() override;
};
