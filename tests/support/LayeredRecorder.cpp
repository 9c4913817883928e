#include "support/LayeredRecorder.h"

#include <stdexcept>

#include "skin/graphics/acntUtils.h"
#include "skin/graphics/sGraphUtils.Entries.h"

namespace {
TLayeredRecorder* gRecorder = nullptr;
}

TLayeredRecorder::TLayeredRecorder(bool Forward)
    : FSaved(reinterpret_cast<void*>(UpdateLayeredWindowEntry)), FForward(Forward) {
  gRecorder = this;
  UpdateLayeredWindowEntry = &TLayeredRecorder::Record;
}

TLayeredRecorder::~TLayeredRecorder() {
  UpdateLayeredWindowEntry = reinterpret_cast<TUpdateLayeredWindowEntry>(FSaved);
  gRecorder = nullptr;
}

std::vector<TLayeredPush> TLayeredRecorder::To(HWND Wnd) const {
  std::vector<TLayeredPush> out;
  for (const TLayeredPush& p : Pushes)
    if (p.Wnd == Wnd) out.push_back(p);
  return out;
}

BOOL WINAPI TLayeredRecorder::Record(HWND wnd, HDC screen, POINT* pos, SIZE* size, HDC src, POINT* srcPos,
                                     COLORREF key, BLENDFUNCTION* blend, DWORD flags) {
  TLayeredRecorder* self = gRecorder;
  if (!self) return FALSE;
  TLayeredPush push;
  push.Wnd = wnd;
  GetWindowRect(wnd, &push.WindowRect);
  if (pos) {
    push.HasPos = true;
    push.Pos = *pos;
  }
  if (size) push.Size = *size;
  if (blend) push.Alpha = blend->SourceConstantAlpha;
  if (self->Clock) push.Tick = self->Clock();
  push.Key = key;
  push.Flags = flags;
  // The source is a 32-bit DIB section selected into the DC: its rows are copied as they are.
  GdiFlush();
  DIBSECTION ds{};
  HGDIOBJ bmp = src ? GetCurrentObject(src, OBJ_BITMAP) : nullptr;
  if (size && bmp && GetObjectW(bmp, sizeof ds, &ds) == sizeof ds && ds.dsBm.bmBits && ds.dsBm.bmBitsPixel == 32) {
    const int sx = srcPos ? srcPos->x : 0, sy = srcPos ? srcPos->y : 0;
    const int h = ds.dsBm.bmHeight < 0 ? -ds.dsBm.bmHeight : ds.dsBm.bmHeight;
    const bool bottomUp = ds.dsBm.bmHeight > 0;
    const auto* bits = static_cast<const std::uint32_t*>(ds.dsBm.bmBits);
    push.Pixels.assign(static_cast<std::size_t>(size->cx) * size->cy, 0);
    for (int y = 0; y < size->cy; ++y) {
      const int row = sy + y;
      if (row < 0 || row >= h) continue;
      const std::uint32_t* line = bits + static_cast<std::size_t>(bottomUp ? h - 1 - row : row) * ds.dsBm.bmWidth;
      for (int x = 0; x < size->cx; ++x) {
        const int col = sx + x;
        if (col >= 0 && col < ds.dsBm.bmWidth) push.Pixels[static_cast<std::size_t>(y) * size->cx + x] = line[col];
      }
    }
  }
  self->Pushes.push_back(std::move(push));
  auto forward = reinterpret_cast<TUpdateLayeredWindowEntry>(self->FSaved);
  if (self->FForward && forward) return forward(wnd, screen, pos, size, src, srcPos, key, blend, flags);
  return TRUE;
}

TFakeClock::TFakeClock(DWORD Start, DWORD Step) : Now(Start), Step(Step) {
  SetTickCountSource([this] { return Read(); });
}

TFakeClock::~TFakeClock() { SetTickCountSource(nullptr); }

DWORD TFakeClock::Read() {
  if (++Reads > 1000000) throw std::runtime_error("a frame wait does not end");
  const DWORD t = Now;
  Now += Step;
  return t;
}
