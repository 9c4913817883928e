#pragma once
// The base of the engine's windows that only show pixels (the layered windows of the show,
// hide and skin-change animations, glows, shadows, caption images) and small shared types.
#include <windows.h>

#include <cstdint>
#include <memory>

#include "platform/ui/Forms.h"
#include "platform/ui/Graphics.h"

// A control whose Tag has any bit of this value is never skinned.
extern std::intptr_t SkipSkinningTag;

// A borderless tool window that never takes the activation, casts no system drop shadow
// (its own window class has no CS_DROPSHADOW), is never skinned and hides without
// activating anything. While TransparentMouse is set the mouse goes through it to the
// window below.
class TacGlowForm : public TForm {
public:
  explicit TacGlowForm(TComponent* AOwner);
  ~TacGlowForm() override;
  std::wstring ClassName() const override { return L"TacGlowForm"; }
  // Tag, border and mouse; then the framework's scaling: on without a default skin manager,
  // else only in its scale mode smVCL (forms are made in code, so this is when it is known).
  void AfterConstruction() override;

  // The window's 32-bit image, kept by the users of the window.
  std::unique_ptr<TBitmap> AlphaBmp;
  bool TransparentMouse = true;

protected:
  void CreateParams(TCreateParams& params) override;
  void WndProc(TMessage& message) override;
};

// The rectangle with these coordinates.
inline TRect MakeRect(int Left, int Top, int Right, int Bottom) { return TRect{Left, Top, Right, Bottom}; }
