// Glued forms, snapping and the disabled overlay of a skinned form.
#include "skin/forms/sSkinProvider.Glued.h"

#include <windows.h>

#include <memory>
#include <string>

#include "platform/ui/Forms.h"
#include "skin/forms/sSkinProvider.h"
#include "skin/graphics/acGdiPlus.h"
#include "skin/graphics/acLayeredAnim.h"
#include "skin/graphics/acPixelBlend.h"
#include "skin/graphics/acPixelOps.h"
#include "skin/graphics/acntTypes.h"
#include "skin/graphics/sMessages.h"
#include "skin/graphics/sVclUtils.h"
#include "skin/manager/acSkinnedForms.h"
#include "skin/manager/sCommonData.h"
#include "skin/manager/sSkinManager.h"

namespace {

HWND WndOfForm(TForm* form) { return form && form->HandleAllocated() ? form->Handle() : nullptr; }

TRect WindowRectOf(HWND wnd) {
  RECT r{};
  if (wnd) GetWindowRect(wnd, &r);
  return TRect{r.left, r.top, r.right, r.bottom};
}

// Where a form stands: its window rectangle, or its bounds while it has no window.
TRect FormRect(TForm* form) {
  if (HWND wnd = WndOfForm(form)) return WindowRectOf(wnd);
  return form->BoundsRect();
}

HWND BorderWndOf(TacBorderForm* border) {
  return border && border->AForm && border->AForm->HandleAllocated() ? border->AForm->Handle() : nullptr;
}

TacSkinData* BorderSkinData(TacBorderForm* border) {
  return border && border->SkinData ? border->SkinData->ReadCommonSkinData() : nullptr;
}

// The forms a provider's form may snap to or glue: the registered skinned forms that are
// plain forms, visible, and not the provider's own. A copy: moving forms may reorder the
// registry.
std::vector<TForm*> ConsideredForms(TsSkinProvider* provider) {
  std::vector<TForm*> result;
  for (TForm* form : SkinnedForms())
    if (form && form != provider->Form && form->Visible()) result.push_back(form);
  return result;
}

// A colour's red, green and blue bytes times Weight, shifted right by 8.
TColor ScaledColor(TColor color, int weight) {
  const auto c = static_cast<std::uint32_t>(ColorToRGB(color));
  std::uint32_t result = 0;
  for (int shift = 0; shift < 24; shift += 8) result |= ((((c >> shift) & 0xFFu) * weight) >> 8) << shift;
  return static_cast<TColor>(result);
}

}  // namespace

// ---- couples ---------------------------------------------------------------------------

std::vector<TacFormsCouple>& FormsCouples() {
  static std::vector<TacFormsCouple> couples;
  return couples;
}

namespace {

// Removes the couples the test picks; the last couple takes a removed one's place, and that
// place is examined again, so that neighbours that both match both go.
template <class F>
void RemoveCouplesWhere(F matches) {
  std::vector<TacFormsCouple>& couples = FormsCouples();
  std::size_t i = 0;
  while (i < couples.size()) {
    if (matches(couples[i])) {
      couples[i] = couples.back();
      couples.pop_back();
    } else {
      ++i;
    }
  }
}

}  // namespace

void RemoveFormCouples(TForm* Form) {
  RemoveCouplesWhere([Form](const TacFormsCouple& c) { return c.Slave == Form; });
}

void RemoveAllFormCouples(TForm* Form) {
  RemoveCouplesWhere([Form](const TacFormsCouple& c) { return c.Slave == Form || c.Master == Form; });
}

bool IsCoupledSlave(TsSkinProvider* Provider, TControl* Control) {
  if (!Provider || !Provider->Form || !Control) return false;
  for (const TacFormsCouple& c : FormsCouples())
    if (c.Master == Provider->Form && static_cast<TControl*>(c.Slave) == Control) return true;
  return false;
}

void SetCoupledAlpha(TsSkinProvider* Master, std::uint8_t Alpha, bool VisibleOnly) {
  if (!Master || !Master->Form) return;
  // A copy: a slave's answer may change the couples.
  const std::vector<TacFormsCouple> couples = FormsCouples();
  for (const TacFormsCouple& c : couples) {
    if (c.Master != Master->Form || !c.Slave || (VisibleOnly && !c.Slave->Visible())) continue;
    PerformSkinCommand(c.Slave, SKCMD_SET_ALPHA, Alpha);
  }
}

// ---- edges -----------------------------------------------------------------------------

int SnapDelta(int Value, int Edge, int Buffer) {
  return Value >= Edge - Buffer && Value <= Edge + Buffer ? Value - Edge : 0;
}

void SnapToEdges(TsSkinProvider* Provider, const TRect& Target, const TRect& Own, TSize& Delta, int Y, int X) {
  const int buffer = Provider ? Provider->SnapBuffer : 0;
  Delta.cy = SnapDelta(Y, Target.Top, buffer);
  Delta.cx = SnapDelta(X, Target.Left, buffer);
  if (Delta.cx == 0) Delta.cx = SnapDelta(X + Own.Width(), Target.Right, buffer);
  if (Delta.cy == 0) Delta.cy = SnapDelta(Y + Own.Height(), Target.Bottom, buffer);
}

TRect OuterEdges(TsSkinProvider* Provider, int D, const TRect& R, bool Grow) {
  TacBorderForm* border = Provider ? Provider->BorderForm : nullptr;
  if (!border) return R;
  TacSkinData* data = BorderSkinData(border);
  const int offs = data ? data->ExShadowOffs : 0, offsT = data ? data->ExShadowOffsT : 0;
  const int offsR = data ? data->ExShadowOffsR : 0, offsB = data ? data->ExShadowOffsB : 0;
  const int k = Grow ? 1 : -1;
  return TRect{R.Left - k * (D + offs), R.Top - k * (BorderFormTitleDiff(border) + offsT), R.Right + k * (D + offsR),
               R.Bottom + k * (D + offsB)};
}

// ---- glued forms -----------------------------------------------------------------------

void TsSkinProvider::CollectGluedForms() {
  if (!Form || !FGluedForms || FGluedForms->Count() == 0) return;
  const int d = BorderFormBorderDiff(BorderForm);
  const TRect own = FormRect(Form);
  const TRect a = OuterEdges(this, d, own, true);
  const std::vector<TForm*> forms = ConsideredForms(this);
  for (const std::wstring& name : FGluedForms->Strings()) {
    for (TForm* form : forms) {
      if (form->Name != name) continue;
      const TRect rect = FormRect(form);
      const TRect r = OuterEdges(this, d, rect, true);
      if (!(r.Top == a.Bottom || r.Left == a.Right || a.Top == r.Bottom || a.Left == r.Right)) continue;
      const TPoint pos{rect.Left - own.Left, rect.Top - own.Top};
      bool found = false;
      for (TacFormsCouple& c : FormsCouples())
        if (c.Master == Form && c.Slave == form) {
          c.Pos = pos;
          found = true;
        }
      if (!found) FormsCouples().push_back(TacFormsCouple{form, Form, pos});
    }
  }
}

void TsSkinProvider::MoveGluedForms(bool FromBorderWindow) {
  if ((FFormState & FS_COUPLED) || !Form || !FGluedForms || FormsCouples().empty()) return;
  TPoint anchor;
  HWND border = FromBorderWindow ? BorderWndOf(BorderForm) : nullptr;
  if (border) {
    const TRect b = WindowRectOf(border);
    TacSkinData* data = BorderSkinData(BorderForm);
    const int borderDiff = BorderFormBorderDiff(BorderForm), titleDiff = BorderFormTitleDiff(BorderForm);
    if (data && data->ExDrawMode != 0) {
      anchor = TPoint{b.Left + borderDiff + data->ExContentOffs, b.Top + titleDiff + data->ExContentOffs};
    } else {
      const TRect shadow = ShadowSize();
      anchor = TPoint{b.Left + shadow.Left + borderDiff, b.Top + shadow.Top + titleDiff};
    }
  } else {
    const TRect own = FormRect(Form);
    anchor = TPoint{own.Left, own.Top};
  }
  auto alive = FAlive;
  const std::vector<std::wstring> names = FGluedForms->Strings();
  for (const std::wstring& name : names) {
    // By index: a slave's own handlers may drop couples while it moves.
    for (std::size_t i = 0; i < FormsCouples().size(); ++i) {
      const TacFormsCouple c = FormsCouples()[i];
      if (c.Master != Form || !c.Slave || c.Slave->Name != name) continue;
      PerformSkinCommand(c.Slave, SKCMD_SET_COUPLED, 1);
      c.Slave->SetBounds(anchor.X + c.Pos.X, anchor.Y + c.Pos.Y, c.Slave->Width(), c.Slave->Height());
      PerformSkinCommand(c.Slave, SKCMD_SET_COUPLED, 0);
      if (!*alive) return;
    }
  }
}

// ---- snapping --------------------------------------------------------------------------

void TsSkinProvider::SnapFormPosition(int& X, int& Y) {
  if ((FFormState & FS_COUPLED) || !Form) return;
  RemoveFormCouples(Form);
  const TRect wa = FormMonitorWorkArea(Form);
  const TRect own = FormRect(Form);
  const int d = BorderFormBorderDiff(BorderForm);
  TSize total;
  for (TForm* form : ConsideredForms(this)) {
    if (total.cx != 0 && total.cy != 0) break;
    if (IsCoupledSlave(this, form)) continue;
    const TRect r = OuterEdges(this, d, FormRect(form), true);
    const TRect strips[4] = {
        OuterEdges(this, d, TRect{wa.Left, r.Top, r.Left, r.Bottom}, false),    // left of it
        OuterEdges(this, d, TRect{r.Left, wa.Top, r.Right, r.Top}, false),      // above it
        OuterEdges(this, d, TRect{r.Right, r.Top, wa.Right, r.Bottom}, false),  // right of it
        OuterEdges(this, d, TRect{r.Left, r.Bottom, r.Right, wa.Bottom}, false) // below it
    };
    for (int i = 0; i < 4 && !(total.cx != 0 && total.cy != 0); ++i) {
      const TRect& s = strips[i];
      const bool beside = i == 0 || i == 2;
      const bool counts = beside ? own.Top <= s.Bottom && s.Top <= own.Bottom : own.Left <= s.Right && s.Left <= own.Right;
      if (!counts) continue;
      TSize delta;
      SnapToEdges(this, s, own, delta, Y, X);
      if (total.cx == 0) total.cx = delta.cx;
      if (total.cy == 0) total.cy = delta.cy;
    }
  }
  if (total.cx == 0 || total.cy == 0) {
    TSize delta;
    SnapToEdges(this, OuterEdges(this, d, wa, false), own, delta, Y, X);
    if (total.cx == 0) total.cx = delta.cx;
    if (total.cy == 0) total.cy = delta.cy;
  }
  X -= total.cx;
  Y -= total.cy;
}

// ---- the disabled overlay --------------------------------------------------------------

void TsSkinProvider::UpdateDisabledOverlay() {
  auto freeLayer = [this] {
    if (!LayerForm) return;
    TacGlowForm* layer = LayerForm;
    LayerForm = nullptr;
    TComponent::Free(layer);
  };
  if (!Form || Form->Enabled() || !FCommonData || !NonClientSkinned()) {
    freeLayer();
    return;
  }
  auto alive = FAlive;
  // 1. The picture of the form painted inactive.
  FormActive = false;
  FCommonData->BGChanged = true;
  if (BorderForm)
    BorderForm->UpdateExBordersPos(true, 255);
  else
    ProcessMessage(WM_NCPAINT, 0, 0);
  if (!*alive || !FCommonData) return;
  FCommonData->BGChanged = true;
  std::unique_ptr<TBitmap> image = MakeFormImage(this, false);
  // A form without a cache (disabled before its first paint) has no picture: no overlay then,
  // and none of an earlier picture stays over it.
  if (!image || image->Empty()) {
    freeLayer();
    return;
  }
  // 2.
  if (!LayerForm) {
    LayerForm = NewComponent<TacGlowForm>(nullptr);
    LayerForm->SetColor(0);
    HWND layer = LayerForm->Handle();
    SetWindowLongPtrW(layer, GWL_EXSTYLE, GetWindowLongPtrW(layer, GWL_EXSTYLE) | WS_EX_LAYERED);
  }
  HWND border = BorderWndOf(BorderForm);
  TRect bounds = border ? WindowRectOf(border) : FormRect(Form);
  if (UWPOnForm()) {
    const TRect client = UWPClientRect();
    bounds = TRect{bounds.Left, bounds.Top, bounds.Left + client.Width(), bounds.Top + client.Height()};
  }
  LayerForm->SetBounds(bounds.Left, bounds.Top, bounds.Width(), bounds.Height());
  // 3. The tint; at 255 the picture stays as it is.
  const int v = FDisabledBlendValue;
  if (v < 255) BlendBitmapWithColor(image.get(), static_cast<std::uint8_t>(v), ScaledColor(FDisabledBlendColor, 255 - v));
  // 4., 5. Only the form's part of the picture shows: what lies around it (the shadow of the
  // border window, the frame of UWP mode) is cleared after any blur.
  const TRect whole{0, 0, image->Width(), image->Height()};
  bool hasOutside = false;
  TRect inner = whole;
  if (UWPOnForm()) {
    inner = UWPClientRect();
    hasOutside = true;
  } else if (BorderForm) {
    const TRect shadow = ShadowSize();
    inner = TRect{shadow.Left, shadow.Top, whole.Right - shadow.Right, whole.Bottom - shadow.Bottom};
    hasOutside = true;
  }
  if (DisabledBlured) {
    if (hasOutside) {
      TsSkinManager* manager = Manager();
      FillBetweenRects(image.get(), whole, inner, manager ? manager->Palette[pcMainColor] : TColor{0}, 0);
    }
    BlurBitmapGdiPlus(image.get(), 10);
  }
  if (hasOutside) FillBetweenRects(image.get(), whole, inner, 0, 0);
  // 6.
  HWND layer = LayerForm->Handle();
  const TPoint at{bounds.Left, bounds.Top};
  ShowBitmapLayered(layer, image.get(), 255, &at);
  image.reset();
  // Placed at the top (insert-after 0): a refresh after the form came forward lies over it again.
  SetWindowPos(layer, HWND_TOP, bounds.Left, bounds.Top, 0, 0,
               SWP_NOSIZE | SWP_NOREDRAW | SWP_NOACTIVATE | SWP_SHOWWINDOW | SWP_NOOWNERZORDER |
                   SWP_NOSENDCHANGING);
}
