#include "platform/ui/ExtCtrls.h"
#include <map>

// ---- TTimer ----------------------------------------------------------------

namespace {
std::map<UINT_PTR, TTimer*>& Timers() {
  static std::map<UINT_PTR, TTimer*> timers;
  return timers;
}
UINT_PTR g_nextTimerId = 1;
HWND g_timerWnd = nullptr;
}  // namespace

LRESULT CALLBACK TTimer::TimerWndProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_TIMER) {
    auto it = Timers().find(wParam);
    if (it != Timers().end() && it->second->FOnTimer) {
      auto handler = it->second->FOnTimer;  // the handler may free its timer
      handler();
    }
    return 0;
  }
  return DefWindowProcW(wnd, msg, wParam, lParam);
}

TTimer::TTimer(TComponent* owner) : TComponent(owner) {}

TTimer::~TTimer() {
  FEnabled = false;
  UpdateTimer();
}

void TTimer::SetEnabled(bool value) {
  if (FEnabled == value) return;
  FEnabled = value;
  UpdateTimer();
}

void TTimer::SetInterval(UINT value) {
  if (FInterval == value) return;
  FInterval = value;
  UpdateTimer();
}

void TTimer::SetOnTimer(std::function<void()> handler) {
  FOnTimer = std::move(handler);
  UpdateTimer();
}

void TTimer::UpdateTimer() {
  if (FRunning) {
    KillTimer(g_timerWnd, FId);
    Timers().erase(FId);
    FRunning = false;
  }
  if (!FEnabled || FInterval == 0 || !FOnTimer || Destroying()) return;
  if (!g_timerWnd) {
    HINSTANCE inst = GetModuleHandleW(nullptr);
    WNDCLASSW wc = {};
    wc.lpfnWndProc = TimerWndProc;
    wc.hInstance = inst;
    wc.lpszClassName = L"TarvelTimerWindow";
    RegisterClassW(&wc);
    g_timerWnd = CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, inst, nullptr);
    if (!g_timerWnd) return;
  }
  FId = g_nextTimerId++;
  if (!SetTimer(g_timerWnd, FId, FInterval, nullptr)) return;
  Timers()[FId] = this;
  FRunning = true;
}

// ---- TCustomPanel ----------------------------------------------------------

TCustomPanel::TCustomPanel(TComponent* owner) : TWinControl(owner) {
  SetMessageHandler(CM_TEXTCHANGED, [this](TMessage&) { Invalidate(); });
}

TRect TCustomPanel::ClientRect() const {
  TRect r = TWinControl::ClientRect();
  if (BevelOuter != bvNone) {
    r.Left += BevelWidth;
    r.Top += BevelWidth;
    r.Right -= BevelWidth;
    r.Bottom -= BevelWidth;
  }
  return r;
}

void TCustomPanel::PaintWindow(HDC dc) {
  RECT r;
  GetClientRect(FHandle, &r);
  if (BevelOuter != bvNone)
    for (int i = 0; i < BevelWidth; ++i) {
      DrawEdge(dc, &r, BevelOuter == bvRaised ? BDR_RAISEDINNER : BDR_SUNKENOUTER, BF_RECT);
      InflateRect(&r, -1, -1);
    }
  if (!ShowCaption || FCaption.empty()) return;
  UINT flags = DT_SINGLELINE | DT_NOPREFIX;
  flags |= Alignment == taCenter ? DT_CENTER : Alignment == taRightJustify ? DT_RIGHT : DT_LEFT;
  flags |= VerticalAlignment == taVerticalCenter ? DT_VCENTER : VerticalAlignment == taAlignBottom ? DT_BOTTOM : DT_TOP;
  HGDIOBJ oldFont = SelectObject(dc, Font.Handle());
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, static_cast<COLORREF>(ColorToRGB(Font.Color)));
  DrawTextW(dc, FCaption.c_str(), static_cast<int>(FCaption.size()), &r, flags);
  SelectObject(dc, oldFont);
}

// ---- TGridPanel ------------------------------------------------------------

TGridPanel::TGridPanel(TComponent* owner) : TCustomPanel(owner) {
  ColumnCollection = {{ssPercent, 50}, {ssPercent, 50}};
  RowCollection = {{ssPercent, 50}, {ssPercent, 50}};
}

std::vector<int> TGridPanel::CellSizes(const std::vector<TCellItem>& items, int length) {
  std::vector<int> sizes(items.size(), 0);
  int rest = length;
  double percents = 0;
  int lastPercent = -1;
  for (size_t i = 0; i < items.size(); ++i) {
    if (items[i].SizeStyle == ssAbsolute) {
      sizes[i] = static_cast<int>(items[i].Value);
      rest -= sizes[i];
    } else if (items[i].Value > 0) {
      percents += items[i].Value;
      lastPercent = static_cast<int>(i);
    }
  }
  if (rest < 0) rest = 0;
  int given = 0;
  for (size_t i = 0; i < items.size(); ++i) {
    if (items[i].SizeStyle != ssPercent || items[i].Value <= 0) continue;
    if (static_cast<int>(i) == lastPercent) {
      sizes[i] = rest - given;
    } else {
      sizes[i] = static_cast<int>(rest * items[i].Value / percents + 0.5);
      given += sizes[i];
    }
  }
  return sizes;
}

void TGridPanel::AlignControls(TRect area) {
  if (ColumnCollection.empty() || RowCollection.empty()) return;
  auto widths = CellSizes(ColumnCollection, area.Width());
  auto heights = CellSizes(RowCollection, area.Height());
  size_t cols = widths.size();
  size_t index = 0;
  for (auto* c : Controls()) {
    size_t col = index % cols, row = index / cols;
    ++index;
    if (row >= heights.size()) break;  // more children than cells: the rest stay where they are
    int x = area.Left, y = area.Top;
    for (size_t i = 0; i < col; ++i) x += widths[i];
    for (size_t i = 0; i < row; ++i) y += heights[i];
    if (c->Align() == alNone) {
      c->SetBounds(x, y, c->Width(), c->Height());
      continue;
    }
    TMargins m = c->AlignWithMargins ? c->Margins : TMargins{0, 0, 0, 0};
    c->SetBounds(x + m.Left, y + m.Top, widths[col] - m.Left - m.Right, heights[row] - m.Top - m.Bottom);
  }
}
