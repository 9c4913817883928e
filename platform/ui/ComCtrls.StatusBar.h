#pragma once
// The framework's status bar over the system's "msctls_statusbar32": panels of given widths
// (the last one reaching the right end), or one simple text; an optional size grip.
#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/ui/Controls.h"
#include "platform/ui/Graphics.h"

class TStatusBar;

enum TStatusPanelStyle { psText, psOwnerDraw };

class TStatusPanel {
public:
  explicit TStatusPanel(TStatusBar* Owner) : FOwner(Owner) {}
  std::wstring Text() const { return FText; }
  void SetText(const std::wstring& Value);
  int Width() const { return FWidth; }
  void SetWidth(int Value);
  TAlignment Alignment() const { return FAlignment; }
  void SetAlignment(TAlignment Value);
  TStatusPanelStyle Style() const { return FStyle; }
  void SetStyle(TStatusPanelStyle Value);
  int Index() const;

private:
  TStatusBar* FOwner;
  std::wstring FText;
  int FWidth = 50;
  TAlignment FAlignment = taLeftJustify;
  TStatusPanelStyle FStyle = psText;
};

class TStatusPanels {
public:
  explicit TStatusPanels(TStatusBar* Owner) : FOwner(Owner) {}
  int Count() const { return static_cast<int>(FItems.size()); }
  TStatusPanel* Items(int Index) const;
  TStatusPanel* Add();
  void Clear();

private:
  TStatusBar* FOwner;
  std::vector<std::unique_ptr<TStatusPanel>> FItems;
};

using TDrawPanelEvent = std::function<void(TStatusBar* StatusBar, TStatusPanel* Panel, const TRect& Rect)>;

class TStatusBar : public TWinControl {
public:
  explicit TStatusBar(TComponent* AOwner);
  std::wstring ClassName() const override { return L"TStatusBar"; }
  TStatusPanels Panels{this};
  bool SimplePanel() const { return FSimplePanel; }
  void SetSimplePanel(bool Value);
  std::wstring SimpleText() const { return FSimpleText; }
  void SetSimpleText(const std::wstring& Value);
  bool SizeGrip() const { return FSizeGrip; }
  void SetSizeGrip(bool Value);
  int BorderWidth = 0;
  // The DC of the owner-draw call running now (no handle otherwise).
  TCanvas Canvas{nullptr};
  TDrawPanelEvent OnDrawPanel;
  // Writes the panels and texts to the window.
  void UpdatePanels();

protected:
  void CreateParams(TCreateParams& params) override;
  void CreateHandle() override;

private:
  bool FSimplePanel = false;
  bool FSizeGrip = true;
  std::wstring FSimpleText;
};
