#include "skin/forms/sSkinProvider.h"

#include "platform/ui/Forms.h"
#include "skin/graphics/acntTypes.h"
#include "skin/manager/acSkinnedForms.h"
#include "skin/manager/sCommonData.h"
#include "skin/manager/sSkinManager.h"

TsSkinProvider::TsSkinProvider(TComponent* owner) : TComponent(owner), Form(dynamic_cast<TForm*>(owner)) {
  FCommonData = std::make_unique<TsScrollWndData>(this, false);
  if (Form) {
    RegisterSkinnedForm(Form);
    FRegistered = true;
  }
}

TsSkinProvider::~TsSkinProvider() {
  if (FRegistered && Form) UnregisterSkinnedForm(Form);
}

void TsSkinProvider::BeforeDestruction() {
  if (FRegistered && Form) UnregisterSkinnedForm(Form);
  FRegistered = false;
  // The skin state leaves the form's window while the form still exists.
  FCommonData.reset();
  TComponent::BeforeDestruction();
}

TsSkinManager* TsSkinProvider::Manager() const { return SkinManager ? SkinManager : DefaultManager(); }

LRESULT TsSkinProvider::ProcessMessage(UINT Msg, WPARAM WParam, LPARAM LParam) {
  TMessage m{Msg, WParam, LParam, 0};
  (void)m;
  return 0;
}

HRGN TacBorderForm::MakeRgn(int NewWidth, int NewHeight) {
  (void)NewWidth;
  (void)NewHeight;
  return nullptr;
}

void TacBorderForm::UpdateExBordersPos(bool Redraw, std::uint8_t Blend) {
  (void)Redraw;
  (void)Blend;
}

std::unique_ptr<TBitmap> MakeFormImage(TsSkinProvider* Provider, bool Second) {
  (void)Provider;
  (void)Second;
  return nullptr;
}

int ExtendedTitleHeight(TsSkinProvider* Provider, bool Maximized) {
  (void)Provider;
  (void)Maximized;
  return 0;
}

HRESULT SetDwmWindowAttribute(HWND Wnd, DWORD Attribute, const void* Value, DWORD Size) {
  (void)Wnd;
  (void)Attribute;
  (void)Value;
  (void)Size;
  return E_NOTIMPL;
}

void InvalidateTaskbarBitmaps(HWND Wnd) { (void)Wnd; }

// ---- what the animations read and write ----

HRGN TsSkinProvider::MakeCornerRgn(int X, int Y) {
  RECT r{};
  if (Form && Form->HandleAllocated()) GetWindowRect(Form->Handle(), &r);
  HRGN rgn = CreateRectRgn(X, Y, X + r.right - r.left, Y + r.bottom - r.top);
  for (const TRect& c : Rects) {
    HRGN corner = CreateRectRgn(X + c.Left, Y + c.Top, X + c.Right, Y + c.Bottom);
    CombineRgn(rgn, rgn, corner, RGN_DIFF);
    DeleteObject(corner);
  }
  return rgn;
}

int TsSkinProvider::CaptionHeight(bool UseExtended) {
  (void)UseExtended;
  if (!Form || Form->BorderStyle() == bsNone) return 0;
  return SysCaptionHeight(this);
}

void TsSkinProvider::UWPClientRect(TRect& R) {
  R = TRect{};
  if (!Form || !Form->HandleAllocated()) return;
  RECT w{}, c{};
  GetWindowRect(Form->Handle(), &w);
  GetClientRect(Form->Handle(), &c);
  POINT p{0, 0};
  ClientToScreen(Form->Handle(), &p);
  R = Rect(p.x - w.left, p.y - w.top, p.x - w.left + c.right, p.y - w.top + c.bottom);
}

int SysBorderWidth(HWND Wnd, TacBorderForm* BorderForm, bool UseExtended) {
  (void)BorderForm;
  (void)UseExtended;
  if (!Wnd) return 0;
  const LONG_PTR style = GetWindowLongPtrW(Wnd, GWL_STYLE);
  if (style & WS_THICKFRAME) return GetSystemMetrics(SM_CXSIZEFRAME);
  if (style & (WS_BORDER | WS_DLGFRAME)) return GetSystemMetrics(SM_CXFIXEDFRAME);
  return 0;
}

int SysCaptionHeight(TsSkinProvider* Provider, int PPI) {
  (void)PPI;
  const bool tool = Provider && Provider->Form &&
                    (Provider->Form->BorderStyle() == bsToolWindow || Provider->Form->BorderStyle() == bsSizeToolWin);
  return GetSystemMetrics(tool ? SM_CYSMCAPTION : SM_CYCAPTION);
}

int BorderFormBorderWidth(TacBorderForm* BorderForm) {
  (void)BorderForm;
  return 0;
}

int BorderFormTitleHeight(TacBorderForm* BorderForm) {
  (void)BorderForm;
  return 0;
}

int BorderFormTitleDiff(TacBorderForm* BorderForm) {
  (void)BorderForm;
  return 0;
}

// ---- end of what the animations read and write ----

// ---- what the hide animation calls ----
TacGlowForm* MakeCoverForm(HWND Wnd, TsSkinProvider* Provider) {
  (void)Provider;
  RECT r{};
  if (!Wnd || !GetWindowRect(Wnd, &r)) return nullptr;
  TacGlowForm* cover = NewComponent<TacGlowForm>(nullptr);
  cover->SetBounds(r.left, r.top, r.right - r.left, r.bottom - r.top);
  cover->SetClientSize(r.right - r.left, r.bottom - r.top);
  HWND wnd = cover->Handle();
  SetWindowLongPtrW(wnd, GWL_EXSTYLE, GetWindowLongPtrW(wnd, GWL_EXSTYLE) | WS_EX_LAYERED);
  SetWindowPos(wnd, HWND_TOPMOST, r.left, r.top, r.right - r.left, r.bottom - r.top, SWP_NOACTIVATE);
  return cover;
}
// ---- end of what the hide animation calls ----
