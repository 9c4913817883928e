// A canvas pointed at a DC from outside, its lock between threads, and a form's OnPaint run
// on its canvas over another bitmap with the client origin moved.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "platform/ui/Forms.h"
#include "platform/ui/Graphics.h"

namespace {

std::unique_ptr<TBitmap> Bitmap32(int w, int h) {
  auto b = std::make_unique<TBitmap>();
  b->SetPixelFormat(pf32bit);
  b->SetSize(w, h);
  return b;
}

}  // namespace

TEST(CanvasOnDC, DrawsOnTheGivenDCAndGivesItsObjectsBackWhenRepointed) {
  auto a = Bitmap32(20, 20), b = Bitmap32(20, 20);
  HDC dcA = a->Canvas().Handle(), dcB = b->Canvas().Handle();
  const HGDIOBJ brushA = GetCurrentObject(dcA, OBJ_BRUSH);
  TCanvas canvas(nullptr);
  EXPECT_EQ(canvas.CurrentHandleOrNull(), nullptr);
  canvas.SetHandle(dcA);
  canvas.Brush.Color = 0x0000FF;
  canvas.FillRect(TRect{0, 0, 5, 5});
  canvas.SetHandle(dcB);
  // The first DC has its own brush again; drawing goes to the second.
  EXPECT_EQ(GetCurrentObject(dcA, OBJ_BRUSH), brushA);
  canvas.Brush.Color = 0x00FF00;
  canvas.FillRect(TRect{0, 0, 5, 5});
  canvas.SetHandle(nullptr);
  EXPECT_EQ(a->Canvas().Pixel(2, 2), static_cast<TColor>(0x0000FF));
  EXPECT_EQ(b->Canvas().Pixel(2, 2), static_cast<TColor>(0x00FF00));
}

TEST(CanvasOnDC, LockKeepsOtherThreadsOutAndNestsOnItsOwn) {
  TCanvas canvas(nullptr);
  canvas.Lock();
  canvas.Lock();
  EXPECT_EQ(canvas.LockCount(), 2);
  std::atomic<int> got{-1};
  std::thread([&] {
    const bool locked = canvas.TryLock();
    if (locked) canvas.Unlock();
    got = locked ? 1 : 0;
  }).join();
  EXPECT_EQ(got.load(), 0);
  canvas.Unlock();
  canvas.Unlock();
  EXPECT_EQ(canvas.LockCount(), 0);
  std::thread([&] {
    const bool locked = canvas.TryLock();
    if (locked) canvas.Unlock();
    got = locked ? 1 : 0;
  }).join();
  EXPECT_EQ(got.load(), 1);
}

TEST(FormPaintOnCanvas, OnPaintRunsOnTheCanvasWithTheOriginMovedAndPutBack) {
  TForm* form = CreateComponent<TForm>(nullptr);
  auto bmp = Bitmap32(40, 40);
  HDC dc = bmp->Canvas().Handle();
  int calls = 0;
  form->OnPaint = [&](TForm* sender, HDC paintDC) {
    ++calls;
    EXPECT_EQ(paintDC, dc);
    EXPECT_EQ(sender->Canvas().CurrentHandleOrNull(), dc);
    EXPECT_EQ(sender->Canvas().LockCount(), 1);
    sender->Canvas().Brush.Color = 0xFF0000;
    sender->Canvas().FillRect(TRect{0, 0, 4, 4});
  };
  form->PaintOnCanvas(dc, Point(10, 20));
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(bmp->Canvas().Pixel(11, 21), static_cast<TColor>(0xFF0000));
  EXPECT_EQ(bmp->Canvas().Pixel(13, 23), static_cast<TColor>(0xFF0000));
  EXPECT_NE(bmp->Canvas().Pixel(1, 1), static_cast<TColor>(0xFF0000));
  EXPECT_NE(bmp->Canvas().Pixel(14, 24), static_cast<TColor>(0xFF0000));
  POINT org{1, 1};
  GetViewportOrgEx(dc, &org);
  EXPECT_EQ(org.x, 0);
  EXPECT_EQ(org.y, 0);
  EXPECT_EQ(form->Canvas().CurrentHandleOrNull(), nullptr);
  EXPECT_EQ(form->Canvas().LockCount(), 0);
  // Without an OnPaint nothing runs and the DC stays as it was.
  form->OnPaint = nullptr;
  form->PaintOnCanvas(dc, Point(5, 5));
  GetViewportOrgEx(dc, &org);
  EXPECT_EQ(org.x, 0);
  TComponent::Free(form);
}
