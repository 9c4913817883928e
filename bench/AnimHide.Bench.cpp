// One frame of each hide animation (fade, zoom, roll-up) for 800 x 600 and 1920 x 1080 images:
// the frame drawn into the frame bitmap and pushed to a real layered window, set against the
// 12 ms period that paces the frames. Run by bench/run-anim-hide.sh under Wine and Xvfb.
#include <windows.h>

#include <cstdio>

#include "BenchTiming.h"
#include "platform/ui/Forms.h"
#include "skin/graphics/acHideAnim.h"
#include "skin/graphics/acPixelOps.h"
#include "skin/graphics/acntTypes.h"
#include "skin/graphics/sGraphUtils.h"
#include "skin/manager/sSkinManager.h"


int wmain() {
  SkinEngineStartup();
  Application().Initialize();
  const struct {
    const char* Name;
    TacAnimType Mode;
  } kinds[] = {{"fade", atFading}, {"zoom", atAero}, {"roll-up", atDropDown}};
  const SIZE sizes[] = {{800, 600}, {1920, 1080}};
  std::printf("%-8s %-10s %10s %10s %10s %10s\n", "kind", "size", "draw ms", "push ms", "frame ms", "of 12 ms");
  for (const SIZE& size : sizes) {
    for (const auto& kind : kinds) {
      auto* window = NewComponent<TacGlowForm>(nullptr);
      window->SetBounds(0, 0, size.cx, size.cy);
      window->SetClientSize(size.cx, size.cy);
      std::unique_ptr<TBitmap> image = NewBitmap32(size.cx, size.cy);
      FillRectArgb(image.get(), TRect{0, 0, size.cx, size.cy}, 0x30A050, 255);
      // A long animation, so that the measured frames are all in its middle.
      PlayHideAnimation(window, std::move(image), 12 * 10000, 255, kind.Mode, nullptr);
      TacHideTimer* timer = HideTimer();
      timer->WriteEnabled(false);
      const int frames = 60;
      double total = 0, draw = 0;
      for (int pass = 0; pass < 2; ++pass)
      for (int k = 0; k < frames; ++k) {
        // Every measured frame draws: the fade copies once, so it starts again; the roll-up
        // ends after a few halvings, so it starts again too.
        if (kind.Mode != atAero || k == 0) timer->Anim_Init();
        if (kind.Mode == atDropDown) {
          timer->Anim_GoToNext();  // a squeezed frame, not the first unscaled one
          timer->b = size.cy / 2.0 + k % 3;
        }
        timer->i = 1;
        const double start = NowMs();
        if (pass == 0) {
          timer->Anim_DoNext();  // the drawing alone
          draw += NowMs() - start;
        } else {
          timer->OnTimerProc();  // drawing and pushing
          total += NowMs() - start;
        }
      }
      const double perFrame = total / frames, perDraw = draw / frames;
      char label[32];
      std::snprintf(label, sizeof label, "%dx%d", static_cast<int>(size.cx), static_cast<int>(size.cy));
      std::printf("%-8s %-10s %10.3f %10.3f %10.3f %10.2f\n", kind.Name, label, perDraw, perFrame - perDraw, perFrame,
                  perFrame / 12.0);
      FreeHideTimer();
    }
  }
  SkinEngineCleanup();
  return 0;
}
