#include "platform/ui/StdCtrls.h"

namespace {

void RegisterStaticTextProperties() {
  static const bool done = [] {
    RegisterPublished<TCustomStaticText>()
        .Ordinal(
            L"Alignment", [](TCustomStaticText& c) { return static_cast<int>(c.Alignment()); },
            [](TCustomStaticText& c, int v) {
              if (v >= taLeftJustify && v <= taCenter) c.SetAlignment(static_cast<TAlignment>(v));
            })
        .Ordinal(
            L"BevelKind", [](TCustomStaticText& c) { return static_cast<int>(c.BevelKind()); },
            [](TCustomStaticText& c, int v) {
              if (v >= bkNone && v <= bkFlat) c.SetBevelKind(static_cast<TBevelKind>(v));
            });
    return true;
  }();
  (void)done;
}

}  // namespace

TCustomStaticText::TCustomStaticText(TComponent* owner) : TWinControl(owner) {
  RegisterStaticTextProperties();
  SetBounds(0, 0, 65, 17);
  SetMessageHandler(WM_NCCALCSIZE, TMessageHandler([this](TMessage& m, const TInheritedHandler& inherited) {
                      inherited(m);
                      const int f = BevelFrameWidth();
                      if (f <= 0 || !m.LParam) return;
                      // Both forms of the message keep the new window rectangle first.
                      auto* r = reinterpret_cast<RECT*>(m.LParam);
                      InflateRect(r, -f, -f);
                      if (r->right < r->left) r->right = r->left;
                      if (r->bottom < r->top) r->bottom = r->top;
                    }));
  SetMessageHandler(WM_NCPAINT, TMessageHandler([this](TMessage& m, const TInheritedHandler& inherited) {
                      inherited(m);
                      NCPaint();
                    }));
  SetMessageHandler(CM_TEXTCHANGED, [this](TMessage&) { Invalidate(); });
}

int TCustomStaticText::BevelFrameWidth() const {
  if (FBevelKind == bkNone) return 0;
  return BevelWidth * ((BevelOuter != bvNone) + (BevelInner != bvNone));
}

void TCustomStaticText::SetAlignment(TAlignment value) {
  if (FAlignment == value) return;
  FAlignment = value;
  if (HandleAllocated()) RecreateWnd();
}

void TCustomStaticText::SetBevelKind(TBevelKind value) {
  if (FBevelKind == value) return;
  FBevelKind = value;
  if (HandleAllocated())
    SetWindowPos(Handle(), nullptr, 0, 0, 0, 0,
                 SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TCustomStaticText::CreateParams(TCreateParams& params) {
  TWinControl::CreateParams(params);
  params.SystemClass = L"STATIC";
  static const DWORD aligns[] = {SS_LEFT, SS_RIGHT, SS_CENTER};
  params.Style |= SS_NOTIFY | aligns[FAlignment];
}

void TCustomStaticText::NCPaint() {
  const int f = BevelFrameWidth();
  if (f <= 0 || !HandleAllocated()) return;
  HDC dc = GetWindowDC(Handle());
  if (!dc) return;
  RECT r{};
  GetWindowRect(Handle(), &r);
  OffsetRect(&r, -r.left, -r.top);
  auto bevel = [&](TBevelCut cut) {
    for (int i = 0; i < BevelWidth && cut != bvNone; ++i) {
      if (cut != bvSpace) DrawEdge(dc, &r, cut == bvRaised ? BDR_RAISEDINNER : BDR_SUNKENOUTER, BF_RECT);
      InflateRect(&r, -1, -1);
    }
  };
  bevel(BevelOuter);
  bevel(BevelInner);
  ReleaseDC(Handle(), dc);
}
