#include "skin/graphics/sGraphUtils.Corners.h"

#include <algorithm>

#include "platform/ui/Controls.h"
#include "skin/graphics/acPixelOps.h"
#include "skin/graphics/sGraphUtils.Background.h"
#include "skin/manager/sCommonData.h"
#include "skin/manager/sSkinData.h"
#include "skin/manager/sSkinManager.h"

namespace {

constexpr std::uint32_t KeyPixel = 0x00FF00FFu;

// The background behind cache pixel (X, Y): true with Value when the answer knows one.
bool BackgroundAt(const TacBGInfo& info, const TPixels32* parent, int x, int y, std::uint32_t& value) {
  if (info.BgType == btCache && info.Bmp) {
    if (!parent) return false;
    const long long px = static_cast<long long>(x) + info.Offset.X, py = static_cast<long long>(y) + info.Offset.Y;
    if (px < 0 || py < 0 || px >= parent->Width || py >= parent->Height) return false;
    value = parent->Row(static_cast<int>(py))[px];
    return true;
  }
  if (info.Color == 0xFF00FF) return false;
  value = SwapRedBlue(static_cast<std::uint32_t>(info.Color));
  return true;
}

// Every key pixel of the span takes the background behind it.
void RepairSpan(const TCopySpan& span, TPixels32& cache, TPixels32& image, const TacBGInfo& info) {
  TPixels32 parent;
  const bool haveParent = info.BgType == btCache && info.Bmp && GetPixels32(info.Bmp, parent);
  for (int row = 0; row < span.H; ++row) {
    const std::uint32_t* sr = image.Row(span.SY + row) + span.SX;
    std::uint32_t* cr = cache.Row(span.DY + row);
    for (int col = 0; col < span.W; ++col) {
      if (sr[col] != KeyPixel) continue;
      std::uint32_t value;
      if (BackgroundAt(info, haveParent ? &parent : nullptr, span.DX + col, span.DY + row, value))
        cr[span.DX + col] = value;
    }
  }
}

}  // namespace

void RepairCornerKeyed(TBitmap* image, int x, int y, TsCommonData* cd, const TacBGInfo& info, const TRect& srcRect) {
  TPixels32 cache, img;
  if (!cd || !GetPixels32(cd->FCacheBmp.get(), cache) || !GetPixels32(image, img)) return;
  TCopySpan span;
  if (!ClipCopySpan(x, y, srcRect.Left, srcRect.Top, static_cast<long long>(srcRect.Right) - srcRect.Left + 1,
                    static_cast<long long>(srcRect.Bottom) - srcRect.Top + 1, cache.Width, cache.Height, img.Width,
                    img.Height, span))
    return;
  RepairSpan(span, cache, img, info);
}

void RepairCornerMasked(const TRect& dstRect, const TRect& srcRect, TBitmap* image, TsCommonData* cd,
                        const TacBGInfo& info) {
  TPixels32 cache, img;
  if (!cd || !GetPixels32(cd->FCacheBmp.get(), cache) || !GetPixels32(image, img)) return;
  TCopySpan span;
  if (!ClipCopySpan(dstRect.Left, dstRect.Top, srcRect.Left, srcRect.Top,
                    std::min<long long>(dstRect.Width(), srcRect.Width()),
                    std::min<long long>(dstRect.Height(), srcRect.Height()), cache.Width, cache.Height, img.Width,
                    img.Height, span))
    return;
  RepairSpan(span, cache, img, info);
}

void RepairCacheCorners(TsCommonData* cd, int state, std::uint8_t corners) {
  if (!cd) return;
  TsSkinManager* manager = cd->ReadSkinManager();
  if (!manager || !manager->IsActive() || cd->SkinIndex < 0) return;
  TacSkinData* sd = cd->ReadCommonSkinData();
  if (!sd || cd->SkinIndex >= static_cast<int>(sd->gd.size())) return;
  const int border = sd->gd[cd->SkinIndex].BorderIndex;
  if (border < 0 || border >= static_cast<int>(sd->ma.size()) || !cd->FCacheBmp || !cd->FOwnerControl) return;
  TsMaskData md = sd->ma[border];
  if (!(md.Cfg & 3)) return;

  TControl* owner = cd->FOwnerControl;
  TacBGInfo info;
  if (TWinControl* parent = owner->Parent()) {
    RequestBackgroundFromControl(info, parent, false);
  } else if (auto* windowed = dynamic_cast<TWinControl*>(owner); windowed && windowed->HandleAllocated()) {
    RequestBackgroundFromWindow(info, GetParent(windowed->Handle()), false);
  } else {
    return;
  }
  const int W = owner->Width(), H = owner->Height();
  if (info.BgType == btCache) {
    info.Offset.X += owner->Left();
    info.Offset.Y += owner->Top();
  }
  if (md.ImageCount == 0 && md.Bmp) {
    md.MaskType = 1;
    md.ImageCount = 3;
    md.R = Rect(0, 0, md.Bmp->Width(), md.Bmp->Height());
  }
  if (md.ImageCount <= 0) return;  // no cell to read the corners from
  if (state >= md.ImageCount) state = md.ImageCount - 1;
  if (state < 0) state = 0;
  const int cx = md.R.Left + state * md.Width, cy = md.R.Top;
  TBitmap* src = md.Bmp ? md.Bmp : md.Manager ? md.Manager->MasterBitmap() : nullptr;
  if (!src) return;
  const int cw = md.Width - md.WL - md.WR;
  const bool masked = md.MaskType > 0;
  const int sb = masked ? cy + md.Height - md.WB : md.R.Bottom - md.WB;
  auto corner = [&](std::uint8_t flag, int sx, int sy, int w, int h, int x, int y) {
    if (!(corners & flag) || w <= 0 || h <= 0) return;
    if (masked)
      RepairCornerMasked(Rect(x, y, x + w, y + h), Rect(sx, sy, sx + w, sy + h), src, cd, info);
    else
      RepairCornerKeyed(src, x, y, cd, info, Rect(sx, sy, sx + w - 1, sy + h - 1));
  };
  corner(1, cx, cy, md.WL, md.WT, 0, 0);
  corner(2, cx, sb, md.WL, md.WB, 0, H - md.WB);
  corner(8, cx + md.WL + cw, sb, md.WR, md.WB, W - md.WR, H - md.WB);
  corner(4, cx + md.WL + cw, cy, md.WR, md.WT, W - md.WR, 0);
}
