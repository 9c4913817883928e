#pragma once
// The handler of a window-less speed button: it takes over the button's WindowProc and the
// window procedure of the skin state the control adapter made for it, paints the button
// into that state's cache (an up-down's arrow buttons as arrows, other buttons with glyph
// and caption) and gives the button its own procedure back once: when the button is
// destroyed, when the manager's skin goes, or when the handler is freed. Included by
// acSBUtils.h.
#include <string>

class TControl;
class TSpeedButton;
class TsCommonData;
class TsSkinManager;

class TacSpeedButtonHandler : private TComponent::IFreeNotify {
public:
  TacSpeedButtonHandler(TControl* Control, bool Repaint, const std::wstring& SkinSection, TsSkinManager* Manager,
                        TsCommonData* CommonData);
  virtual ~TacSpeedButtonHandler();
  TacSpeedButtonHandler(const TacSpeedButtonHandler&) = delete;
  TacSpeedButtonHandler& operator=(const TacSpeedButtonHandler&) = delete;
  TControl* Ctrl = nullptr;     // cleared when the control goes
  bool PCtrl = false;           // set while Ctrl may be used
  bool IsUpDown = false;        // the arrow button of an up-down control
  bool Destroyed = false;       // the hook is gone
  TWndMethod OldWndProc;
  TsCommonData* SkinData = nullptr;  // the creator's
  TsSkinManager* SkinManager = nullptr;

  LRESULT CallPrevWndProc(UINT Msg, WPARAM WParam, LPARAM& LParam);
  void acWndProc(TMessage& Message);
  // 2 down or held, else the hot state (0 or 1).
  int CurrentState();
  std::wstring Caption();
  TSize TextRectSize();
  TRect CaptionRect();
  TRect ImgRect();
  int GlyphWidth();
  int GlyphHeight();
  void DrawCaption();
  void DoDrawText(TRect& R, unsigned Flags);
  void DrawGlyph();
  bool PrepareCache();
  void AC_WMPaint(TMessage& Message);

private:
  // The control hooked and told of, until its end (independent of Ctrl, which a creator
  // may clear so as not to touch the control).
  TControl* FHooked = nullptr;
  TSpeedButton* Button() const;
  // The glyph's place, with or without the pressed shift.
  TRect GlyphRect(bool Shifted);
  // Puts back the control's and the skin state's procedures (while they are still ours).
  void Unhook();
  void FreeNotify(TComponent* Component) override;
};
