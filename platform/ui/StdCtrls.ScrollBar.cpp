#include "platform/ui/StdCtrls.ScrollBar.h"

#include <algorithm>

namespace {

void RegisterScrollBarProperties() {
  static const bool done = [] {
    RegisterPublished<TScrollBar>()
        .Ordinal(L"Kind", [](TScrollBar& c) { return static_cast<int>(c.Kind()); },
                 [](TScrollBar& c, int v) { c.SetKind(v ? sbVertical : sbHorizontal); })
        .Ordinal(L"Min", [](TScrollBar& c) { return c.Min(); }, [](TScrollBar& c, int v) { c.SetMin(v); })
        .Ordinal(L"Max", [](TScrollBar& c) { return c.Max(); }, [](TScrollBar& c, int v) { c.SetMax(v); })
        .Ordinal(L"Position", [](TScrollBar& c) { return c.Position(); },
                 [](TScrollBar& c, int v) { c.SetPosition(v); })
        .Ordinal(L"PageSize", [](TScrollBar& c) { return c.PageSize(); },
                 [](TScrollBar& c, int v) { c.SetPageSize(v); });
    return true;
  }();
  (void)done;
}

}  // namespace

TScrollBar::TScrollBar(TComponent* owner) : TWinControl(owner) {
  RegisterScrollBarProperties();
  SetBounds(0, 0, 121, GetSystemMetrics(SM_CYHSCROLL));
  SetTabStop(true);
  SetMessageHandler(CN_BASE + WM_HSCROLL, [this](TMessage& m) { DoScroll(m); });
  SetMessageHandler(CN_BASE + WM_VSCROLL, [this](TMessage& m) { DoScroll(m); });
}

void TScrollBar::SetKind(TScrollBarKind value) {
  if (FKind == value) return;
  FKind = value;
  SetBounds(Left(), Top(), Height(), Width());
  if (HandleAllocated()) RecreateWnd();
}

void TScrollBar::SetPageSize(int value) {
  value = std::max(0, value);
  if (FPageSize == value) return;
  FPageSize = value;
  SetParams(FPosition, FMin, FMax);
  Apply();
}

void TScrollBar::SetParams(int position, int min, int max) {
  if (max < min) max = min;
  const int last = std::max(min, max - std::max(FPageSize - 1, 0));
  position = std::clamp(position, min, last);
  const bool changed = position != FPosition;
  if (FMin == min && FMax == max && !changed) return;
  FMin = min;
  FMax = max;
  FPosition = position;
  Apply();
  if (changed && OnChange) OnChange(this);
}

void TScrollBar::Apply() {
  if (!HandleAllocated()) return;
  SCROLLINFO si{sizeof(si), SIF_ALL | SIF_DISABLENOSCROLL, FMin, FMax, static_cast<UINT>(FPageSize), FPosition, 0};
  SetScrollInfo(Handle(), SB_CTL, &si, TRUE);
}

void TScrollBar::CreateParams(TCreateParams& params) {
  TWinControl::CreateParams(params);
  params.SystemClass = L"SCROLLBAR";
  params.Style |= FKind == sbVertical ? SBS_VERT : SBS_HORZ;
}

void TScrollBar::CreateHandle() {
  TWinControl::CreateHandle();
  Apply();
}

void TScrollBar::DoScroll(TMessage& m) {
  int pos = FPosition;
  switch (LOWORD(m.WParam)) {
    case SB_LINEUP: pos -= SmallChange; break;
    case SB_LINEDOWN: pos += SmallChange; break;
    case SB_PAGEUP: pos -= LargeChange; break;
    case SB_PAGEDOWN: pos += LargeChange; break;
    case SB_TOP: pos = FMin; break;
    case SB_BOTTOM: pos = FMax; break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION: {
      SCROLLINFO si{sizeof(si), SIF_TRACKPOS, 0, 0, 0, 0, 0};
      pos = HandleAllocated() && GetScrollInfo(Handle(), SB_CTL, &si) ? si.nTrackPos : HIWORD(m.WParam);
      break;
    }
    default: break;
  }
  SetPosition(pos);
  m.Result = 0;
}
