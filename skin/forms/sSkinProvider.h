#pragma once
// The form skin provider, as far as the shell's main form declares it so far; the
// skin engine gives it its window hooks and painting.
#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/ui/Controls.h"
#include "platform/ui/Graphics.h"

class TForm;
class TsSkinManager;
class TacMainWnd;
class TsScrollWndData;
class TacGlowForm;

// The extended border and shadow window around a form. Made with the form's extended
// borders: until then no provider has one.
class TacBorderForm {
public:
  TForm* AForm = nullptr;  // the border window's form; none while it is not shown
  bool Locked = false;
  // A new region for the border window (0: the current size); none without AForm.
  HRGN MakeRgn(int NewWidth = 0, int NewHeight = 0);
  void UpdateExBordersPos(bool Redraw = true, std::uint8_t Blend = 255);

  // ---- what the show animation and the skin-change transition read and write ----
  WNDPROC OldBorderProc = nullptr;  // the border window's procedure before the border form's hook
  HWND ParentHandle = nullptr;      // the owner window to give back, none when 0
  bool ExBorderShowing = false;     // the owner shows itself after an animation: no repositioning
  // Makes a new border window (an existing AForm is replaced, not freed). Filled with the
  // extended borders: so far none is made.
  virtual void CreateNewForm() {}
  virtual ~TacBorderForm() = default;
  // Repaints the owner's non-client image. Filled with the extended borders: so far nothing.
  void PaintAll() {}
  // The owner's y offset inside the border window. Filled with the extended borders: so far 0.
  int OffsetY() const { return 0; }
  // ---- end of what the animations read and write ----
  // ---- reached by the skin manager's application-window hook ----
  // Frees the border's window (AForm). Filled with the extended borders: so far there is
  // none to free.
  void FreeBorderWindow() {}
  // ---- end of the application-window hook's block ----
};

// What OnAfterAnimation tells of.
enum TacAnimEvent { aeShowing, aeHiding, aeSkinChanging };

// Form-state bits the skin change uses.
enum : std::uint32_t { FS_COVERING = 0x1000, FS_CHANGING = 0x10000 };

class TsSkinProvider : public TComponent {
public:
  // Registers its form with the skinned forms.
  explicit TsSkinProvider(TComponent* owner);
  ~TsSkinProvider() override;
  std::wstring ClassName() const override { return L"TsSkinProvider"; }
  // Unregisters its form while the form still exists.
  void BeforeDestruction() override;

  struct TAddedTitle {
    std::wstring FontName = L"Tahoma";
    int FontHeight = -11;
    bool FontColorSet = false;  // no colour of its own
  };

  TForm* Form = nullptr;  // the form whose window it skins: its owner
  std::wstring SkinSection = L"FORM";
  TAlignment CaptionAlignment = TAlignment::taCenter;
  TAddedTitle AddedTitle;
  TsSkinManager* SkinManager = nullptr;
  // The handler of the form's window (made with the form's skinning; none until then).
  TacMainWnd* ListSW = nullptr;
  // The form's skin state.
  std::unique_ptr<TsScrollWndData> FCommonData;
  // The manager the form is skinned by: its own, else the default one.
  TsSkinManager* Manager() const;
  // Runs a message through the provider's handling of its form's messages (which comes with
  // the form's skinning: so far nothing handles it and the answer is 0).
  LRESULT ProcessMessage(UINT Msg, WPARAM WParam, LPARAM LParam);
  // Repaints the form's menu line. Filled with the form's skinning: so far nothing.
  virtual void RepaintMenu() {}

  // ---- what the skin change reads and writes ----
  std::unique_ptr<TBitmap> CoverBmp;       // the form's look before a skin change
  TacBorderForm* BorderForm = nullptr;     // the extended border, none without
  // The client area's place inside the form's non-client image. Filled with the form's
  // skinning: so far the image has no frame and both are 0.
  int OffsetX() const { return 0; }
  int OffsetY() const { return 0; }
  bool FInAnimation = false;
  bool FDrawNonClientArea = true;
  std::uint32_t FFormState = 0;
  void SetFormState(std::uint32_t Value) { FFormState = Value; }
  // The corner rectangles from the skin's border masks, and the window region they give.
  // Filled with the form's skinning: so far neither changes anything.
  void UpdateCornerRects() {}
  void ApplyWindowRgn(bool Redraw = true, bool Second = false) {
    (void)Redraw;
    (void)Second;
  }

  // ---- what the show animation and the skin-change transition read and write ----
  std::vector<TRect> Rects;  // the corner rectangles (UpdateCornerRects refills them)
  bool FUWPMode = false;
  bool FSysExHeight = false;  // caption forced to at least the system caption height + 4
  std::function<void(TacAnimEvent Animation)> OnAfterAnimation;
  // Renders the form's complete non-client image into the skin state's cache bitmap. Filled
  // with the form's skinning: so far the cache stays as it is.
  void PaintAll() {}
  // A new region of the form's rectangle at (X, Y) without the corner rectangles.
  HRGN MakeCornerRgn(int X, int Y);
  // The caption height (UseExtended: the border form's extended title). Filled with the
  // form's skinning: so far the system's for a form with a caption.
  int CaptionHeight(bool UseExtended = true);
  // The skin's shadow widths on the four sides with a border form. Filled with the form's
  // skinning: so far none.
  void ShadowSize(TRect& R) { R = TRect{}; }
  // The client rectangle in window coordinates in UWP mode. Filled with the form's skinning:
  // so far the window's client area.
  void UWPClientRect(TRect& R);
  // ---- end of what the animations read and write ----

  // ---- what the hide animation reads and writes ----
  TacGlowForm* CoverForm = nullptr;  // a cover over the form made before it closes, owned
  // ---- end of what the hide animation reads and writes ----

  // ---- reached by the skin manager's application-window hook ----
  // Filled with the form's skinning and its animations: so far only stored.
  bool SkipAnimation = false;
  bool FAllowAnimation = true;
  bool FAllowExtBorders = true;
  // Shows the form's system menu at the screen point. Filled with the form's skinning: so
  // far nothing opens.
  virtual void DropSysMenu(int X, int Y) {
    (void)X;
    (void)Y;
  }
  // ---- end of the application-window hook's block ----

private:
  bool FRegistered = false;
};

// ---- reached by the skin manager's application-window hook ----
// Starts the provider's minimize animation; true when it runs or already ran. Filled with
// the form's animations: so far none starts.
inline bool StartMinimizing(TsSkinProvider* Provider) {
  (void)Provider;
  return false;
}
// Starts the provider's restore animation; true when the provider took the restore over.
// Filled with the form's animations: so far it clears the skip flag and leaves the restore
// to the caller.
inline bool StartRestoring(TsSkinProvider* Provider) {
  if (Provider) Provider->SkipAnimation = false;
  return false;
}
// ---- end of the application-window hook's block ----

// A new 32-bit bitmap of the provider's whole form; nullptr when the provider has no cache
// bitmap. Filled with the form's skinning: so far there is none.
std::unique_ptr<TBitmap> MakeFormImage(TsSkinProvider* Provider, bool Second = false);
// The skin's extended title height of a provider's form (maximized: the maximized value).
// Filled with the form's skinning: so far 0.
int ExtendedTitleHeight(TsSkinProvider* Provider, bool Maximized);

// ---- what the hide animation calls ----
// A new layered glow form without owner over the window's rectangle, topmost, holding a
// picture of the window (with the skin's corner region when a provider is given); the caller
// owns it. Filled with the form's skinning: so far the cover holds no picture of its own.
TacGlowForm* MakeCoverForm(HWND Wnd, TsSkinProvider* Provider);
// ---- end of what the hide animation calls ----

// ---- what the animations read of the frame metrics ----
// Frame metrics the animations place their windows by. Filled with the form's skinning and
// extended borders: so far the system's frame and caption, and no extended border.
int SysBorderWidth(HWND Wnd, TacBorderForm* BorderForm, bool UseExtended);
int SysCaptionHeight(TsSkinProvider* Provider, int PPI = 0);
int BorderFormBorderWidth(TacBorderForm* BorderForm);
int BorderFormTitleHeight(TacBorderForm* BorderForm);
int BorderFormTitleDiff(TacBorderForm* BorderForm);
// ---- end of what the animations read of the frame metrics ----

// Desktop-window-manager helpers of the form skinning. Filled later with the form's
// task-bar previews: so far the attribute is never set (E_NOTIMPL) and nothing is invalidated.
HRESULT SetDwmWindowAttribute(HWND Wnd, DWORD Attribute, const void* Value, DWORD Size);
void InvalidateTaskbarBitmaps(HWND Wnd);
