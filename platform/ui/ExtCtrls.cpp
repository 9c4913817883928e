#include "platform/ui/ExtCtrls.h"

#include <algorithm>

#include "platform/runtime/FailureLog.h"
#include "platform/runtime/Logger.h"
#include "platform/runtime/Threads.h"

// ---- TTimer ----------------------------------------------------------------

namespace {
// From a catch block of the pump: even a failing log line must not leave it.
void LogTimerFailure(const wchar_t* where) noexcept {
  try {
    LogQuietFailure(where, std::current_exception());
  } catch (...) {
  }
}
}  // namespace

// The timers of the UI thread and the one pump that runs them. Lives on the UI thread
// only; timers are few (tens), so plain scans over a vector do.
class TTimerScheduler {
public:
  static TTimerScheduler& Instance() {
    static TTimerScheduler scheduler;
    return scheduler;
  }

  std::uint64_t Add(TTimer* timer) {
    if (!FWnd) CreatePump();
    const std::int64_t period = std::max<std::int64_t>(1, timer->FInterval * FFrequency / 1000);
    const std::uint64_t id = FNextId++;
    FTimers.push_back(TEntry{timer, Now() + period, period, id, false});
    Arm();
    return id;
  }

  void Remove(std::uint64_t id) {
    auto it = Find(id);
    if (it != FTimers.end()) FTimers.erase(it);
    if (FTimers.empty() && FWnd) {
      KillTimer(FWnd, PumpId);
      FArmedAt = 0;
    }
  }

private:
  struct TEntry {
    TTimer* Timer;
    std::int64_t Due;  // performance counter
    std::int64_t Period;
    std::uint64_t Id;  // a timer restarted is a new entry, so a tick never reaches a stale one
    bool Busy;         // its handler runs (maybe in a modal loop that pumps again)
  };
  static constexpr UINT_PTR PumpId = 1;

  TTimerScheduler() {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    FFrequency = f.QuadPart;
  }

  static std::int64_t Now() {
    LARGE_INTEGER c;
    QueryPerformanceCounter(&c);
    return c.QuadPart;
  }

  std::vector<TEntry>::iterator Find(std::uint64_t id) {
    return std::find_if(FTimers.begin(), FTimers.end(), [id](const TEntry& e) { return e.Id == id; });
  }

  void CreatePump() {
    HINSTANCE inst = GetModuleHandleW(nullptr);
    WNDCLASSW wc = {};
    wc.lpfnWndProc = PumpWndProc;
    wc.hInstance = inst;
    wc.lpszClassName = L"TarvelTimerWindow";
    RegisterClassW(&wc);  // fails harmlessly when registered already
    FWnd = CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, inst, nullptr);
    if (!FWnd) RaiseLastOSError(GetLastError(), L"CreateWindowEx (timer)");
  }

  // Sets the pump to wake at the earliest due time of the timers not running now.
  void Arm() {
    std::int64_t earliest = INT64_MAX;
    for (const auto& e : FTimers)
      if (!e.Busy) earliest = std::min(earliest, e.Due);
    if (earliest == INT64_MAX) {
      KillTimer(FWnd, PumpId);
      FArmedAt = 0;
      return;
    }
    if (FArmedAt != 0 && FArmedAt == earliest) return;
    const std::int64_t wait = earliest - Now();
    const UINT ms = wait <= 0 ? USER_TIMER_MINIMUM
                              : static_cast<UINT>(std::min<std::int64_t>((wait * 1000 + FFrequency - 1) / FFrequency,
                                                                         USER_TIMER_MAXIMUM));
    SetTimer(FWnd, PumpId, std::max<UINT>(ms, USER_TIMER_MINIMUM), nullptr);
    FArmedAt = earliest;
  }

  // Runs every timer that is due, earliest first. A handler may free or restart timers
  // (its own too), start new ones or pump messages, so each one is looked up again by id
  // before it runs and after it returns.
  void Pump() {
    FArmedAt = 0;
    const std::int64_t now = Now();
    // A pump that wakes a hair early must not leave a timer for a whole pump period.
    const std::int64_t slack = FFrequency / 1000;
    std::vector<std::pair<std::int64_t, std::uint64_t>> due;
    for (const auto& e : FTimers)
      if (!e.Busy && e.Due <= now + slack) due.emplace_back(e.Due, e.Id);
    std::sort(due.begin(), due.end());
    for (const auto& [when, id] : due) {
      auto it = Find(id);
      // Gone, running, or already run by a pump nested in an earlier handler's modal loop.
      if (it == FTimers.end() || it->Busy || it->Due > now + slack) continue;
      it->Due += it->Period;
      if (it->Due <= now) it->Due = now + it->Period;  // missed ticks are dropped
      it->Busy = true;
      std::function<void()> handler = it->Timer->FOnTimer;  // the handler may free its timer
      try {
        if (handler) handler();
      } catch (...) {
        LogTimerFailure(L"Timer tick");
      }
      it = Find(id);
      if (it != FTimers.end()) it->Busy = false;
    }
    if (FWnd) Arm();
  }

  static LRESULT CALLBACK PumpWndProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    try {
      if (msg == WM_TIMER && wParam == PumpId) {
        Instance().Pump();
        return 0;
      }
      return DefWindowProcW(wnd, msg, wParam, lParam);
    } catch (...) {
      LogTimerFailure(L"Timer window");  // nothing unwinds through Windows' frames
      return 0;
    }
  }

  HWND FWnd = nullptr;
  std::int64_t FFrequency = 1000;
  std::int64_t FArmedAt = 0;
  std::uint64_t FNextId = 1;
  std::vector<TEntry> FTimers;
};

TTimer::TTimer(TComponent* owner) : TComponent(owner) {}

TTimer::~TTimer() {
  if (!FSubscription) return;
  if (!IsMainThread()) CodeSite().SendError(L"A running timer was freed outside the UI thread");
  TTimerScheduler::Instance().Remove(FSubscription);
  FSubscription = 0;
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
  const bool run = FEnabled && FInterval != 0 && FOnTimer && !Destroying();
  if (!run && !FSubscription) return;
  if (!IsMainThread()) throw ETimerError(L"Timers belong to the UI thread");
  if (FSubscription) {
    TTimerScheduler::Instance().Remove(FSubscription);
    FSubscription = 0;
  }
  if (run) FSubscription = TTimerScheduler::Instance().Add(this);
}

// ---- TCustomPanel ----------------------------------------------------------

std::wstring TCustomPanel::DefaultDockTreeClassName = L"TDockTree";

TCustomPanel::TCustomPanel(TComponent* owner) : TWinControl(owner) {
  SetControlStyle(ControlStyle() | csAcceptsControls);
  SetMessageHandler(CM_TEXTCHANGED, [this](TMessage&) { Invalidate(); });
  SetMessageHandler(WM_SIZE, TMessageHandler([this](TMessage& m, const TInheritedHandler& inherited) {
                      inherited(m);
                      if (OnResize && !Destroying()) OnResize(this);
                    }));
}

void TCustomPanel::SetBorderStyle(TFormBorderStyle value) {
  if (value != bsNone) value = bsSingle;
  if (FBorderStyle == value) return;
  FBorderStyle = value;
  if (HandleAllocated()) RecreateWnd();
}

void TCustomPanel::CreateParams(TCreateParams& params) {
  TWinControl::CreateParams(params);
  if (FBorderStyle == bsSingle) params.ExStyle |= WS_EX_CLIENTEDGE;
}

int TCustomPanel::FrameWidth() const {
  return BorderWidth + BevelWidth * ((BevelOuter != bvNone) + (BevelInner != bvNone));
}

TRect TCustomPanel::ClientRect() const {
  TRect r = TWinControl::ClientRect();
  const int f = FrameWidth();
  r.Left += f;
  r.Top += f;
  r.Right -= f;
  r.Bottom -= f;
  return r;
}

void TCustomPanel::PaintWindow(HDC dc) {
  RECT r;
  GetClientRect(FHandle, &r);
  auto bevel = [&](TBevelCut cut) {
    for (int i = 0; i < BevelWidth; ++i) {
      if (cut == bvRaised || cut == bvLowered)
        DrawEdge(dc, &r, cut == bvRaised ? BDR_RAISEDINNER : BDR_SUNKENOUTER, BF_RECT);
      if (cut != bvNone) InflateRect(&r, -1, -1);
    }
  };
  bevel(BevelOuter);
  InflateRect(&r, -BorderWidth, -BorderWidth);
  bevel(BevelInner);
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
