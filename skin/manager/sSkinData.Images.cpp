// Skin images: the master bitmap, the image files of masks (BMP, JPEG, PNG), the masks a
// skin's options text defines, the corner test of borders, and the colour adjustments
// (hue, saturation, brightness) applied to a loaded skin.
#include <algorithm>
#include <unordered_set>

#include "platform/runtime/Files.h"
#include "platform/runtime/Logger.h"
#include "platform/runtime/Streams.h"
#include "platform/runtime/Strings.h"
#include "platform/ui/Graphics.Jpeg.h"
#include "skin/graphics/acColorAdjust.h"
#include "skin/graphics/acPixelOps.h"
#include "skin/graphics/sGraphUtils.h"
#include "skin/manager/sSkinManager.h"

namespace {

// A bitmap of fewer than 32 bits becomes 32-bit: alpha 255, the key colour see-through.
void Make32WithKeyAlpha(TBitmap* bmp) {
  if (!bmp || bmp->Empty() || bmp->PixelFormat() == pf32bit) return;
  bmp->SetPixelFormat(pf32bit);
  TPixels32 p;
  if (!GetPixels32(bmp, p)) return;
  for (int y = 0; y < p.Height; ++y)
    for (int x = 0; x < p.Width; ++x) {
      std::uint32_t& v = p.Row(y)[x];
      v = (v & 0xFFFFFF) == 0xFF00FF ? 0x00FF00FFu : (v | 0xFF000000u);
    }
}

bool Contains(const std::wstring& upper, const wchar_t* part) { return upper.find(part) != std::wstring::npos; }

// An image file or entry read by its name: BMP, JPEG (fastest decoding) or PNG.
std::unique_ptr<TBitmap> ReadImage(const std::wstring& upperName, TStream& stream, bool& isPng) {
  auto bmp = std::make_unique<TBitmap>();
  bmp->SetIgnorePalette(true);
  isPng = false;
  if (Contains(upperName, L".BMP")) {
    bmp->LoadFromStream(stream);
  } else if (Contains(upperName, L".JPG") || Contains(upperName, L".JPEG")) {
    TJPEGImage jpeg;
    jpeg.Performance = jpBestSpeed;
    jpeg.LoadFromStream(stream);
    bmp->SetPixelFormat(pf24bit);
    bmp->SetSize(jpeg.Width(), jpeg.Height());
    jpeg.DrawTo(*bmp);
  } else if (Contains(upperName, L".PNG")) {
    LoadPngStreamToBitmap(*bmp, stream);
    isPng = true;
  }
  return bmp;
}

// The masks whose title images keep their colours when the hue turns.
bool KeepTitleImage(const std::wstring& name, int keepHue) {
  static const wchar_t* const closes[] = {L"BICONCLOSE", L"BICLOSEALONE", L"SICONCLOSE"};
  static const wchar_t* const others[] = {L"BICONMAX", L"BICONMIN", L"BICONNORM", L"BICONHELP",
                                          L"SICONMAX", L"SICONMIN", L"SICONNORM"};
  for (const wchar_t* n : closes)
    if (name == n) return true;
  if (keepHue == 1)
    for (const wchar_t* n : others)
      if (name == n) return true;
  return false;
}

template <class F>
void ForEachColorOfStates(TacSkinData& d, F adjust) {
  for (TsGeneralData& g : d.gd)
    for (TsGenState& s : g.Props) {
      if (s.GradientPercent > 0)
        for (TsGradPoint& p : s.GradientArray) p.Color = static_cast<TsColor>(adjust(static_cast<TColor>(p.Color)));
      for (TColor* c : {&s.Color, &s.GlowColor, &s.FontColor.Color, &s.FontColor.Left, &s.FontColor.Top,
                        &s.FontColor.Right, &s.FontColor.Bottom})
        if (*c != -1) *c = adjust(*c);
    }
}

}  // namespace

// ---------------------------------------------------------------------------
// The master bitmap
// ---------------------------------------------------------------------------

void TsSkinManager::LoadMasterBitmap() {
  FMasterBitmap = std::make_unique<TBitmap>();
  TBitmap* bmp = FMasterBitmap.get();
  if (!SkinFile) return;
  const std::wstring v = SkinFile->ReadString(s_GlobalInfo, L"MASTERBITMAP", L"");
  if (v.empty()) return;
  const std::wstring upper = UpperCase(v);
  auto read = [&](TStream& stream) {
    if (Contains(upper, L".PNG")) {
      bmp->SetIgnorePalette(true);
      LoadPngStreamToBitmap(*bmp, stream);
      // Opaque key pixels are see-through.
      TPixels32 p;
      if (bmp->PixelFormat() == pf32bit && GetPixels32(bmp, p))
        for (int y = 0; y < p.Height; ++y)
          for (int x = 0; x < p.Width; ++x)
            if (p.Row(y)[x] == 0xFFFF00FFu) p.Row(y)[x] = 0x00FF00FFu;
    } else {
      bmp->LoadFromStream(stream);
    }
  };
  if (sc) {
    // Entry names are compared upper-cased against the value as written.
    for (const TacFileItem& entry : sc->Files)
      if (UpperCase(entry.Name) == v) {
        entry.Stream->SetPosition(0);
        read(*entry.Stream);
        break;
      }
  } else if (!SkinIsPacked) {
    const std::wstring path = v.find(L':') != std::wstring::npos ? v : SkinCommonInfo.SkinPath + v;
    if (FileExists(path)) {
      TFileStream stream(path, fmOpenRead | fmShareDenyWrite);
      read(stream);
    }
  }
  Make32WithKeyAlpha(bmp);
  bmp->SetTransparent(true);
  bmp->SetTransparentColor(0xFF00FF);
}

// ---------------------------------------------------------------------------
// Images of masks
// ---------------------------------------------------------------------------

void LoadMaskImage(TsMaskData& Mask, const std::wstring& FileName, TStream* Stream, TacSkinData* SkinData,
                   TsSkinManager* Manager, bool KeepAlpha, std::unique_ptr<TBitmap>* OwnedBmp) {
  Mask.Bmp = nullptr;
  std::unique_ptr<TFileStream> file;
  if (Stream) {
    Stream->SetPosition(0);
  } else {
    const std::wstring path = FileName.find(L':') != std::wstring::npos || !Manager
                                  ? FileName
                                  : Manager->SkinCommonInfo.SkinPath + FileName;
    if (!FileExists(path)) return;
    file = std::make_unique<TFileStream>(path, fmOpenRead | fmShareDenyWrite);
    Stream = file.get();
  }
  const std::wstring upper = UpperCase(FileName);
  bool isPng = false;
  std::unique_ptr<TBitmap> bmp;
  try {
    bmp = ReadImage(upper, *Stream, isPng);
  } catch (const Exception& e) {
    // A damaged image file costs its own mask only, not the whole skin.
    CodeSite().SendWarning(L"Skin image " + FileName + L" cannot be read: " + e.Message());
    return;
  }
  if (bmp->Empty()) return;  // an unknown kind of file (or an empty image) gives no image
  if (isPng && (!Manager || Manager->Brightness() <= 0) && Mask.ImgType != itisaBorder) PremultiplyBitmap(bmp.get());
  Make32WithKeyAlpha(bmp.get());
  Mask.Bmp = bmp.get();
  Mask.R = Rect(0, 0, bmp->Width(), bmp->Height());
  Mask.Width = bmp->Width();
  Mask.Height = bmp->Height();
  if (Mask.MulPPi != Mask.DivPPI) {
    const bool keep = KeepAlpha || Mask.ImgType == itisaTexture || Mask.ImgType == itisaPngGlyph;
    if (ScaleMaskBitmap(Mask, nullptr, keep)) bmp.reset(Mask.Bmp);  // the loaded one is freed
  }
  if (SkinData) {
    SkinData->CacheImage(Mask, std::move(bmp), FileName, TRect{});
  } else if (OwnedBmp) {
    *OwnedBmp = std::move(bmp);
  } else {
    Mask.Bmp = nullptr;  // nobody would own it
  }
}

void LoadMaskFile(TacSkinData* SkinData, TsMaskData& Mask, const std::wstring& FileName, bool KeepAlpha,
                  TStream* Stream) {
  LoadMaskImage(Mask, FileName, Stream, SkinData, SkinData ? SkinData->FOwner : Mask.Manager, KeepAlpha);
}

void TacSkinData::LoadAllMasks() {
  BmpArray.clear();
  ma.clear();
  rsta.reset();  // the window shadows follow the skin being loaded
  rsti.reset();
  if (!FOwner) return;
  if (FOwner->SkinFile) {
    const TMemIniFile& ini = *FOwner->SkinFile;
    FOwner->Palette[pcMainColor] = ini.ReadInteger(s_GlobalInfo, L"COLOR", ColorToRGB(clBtnFace));
    bool masterSkipped = false, globalSeen = false;
    const std::vector<std::wstring> sections = ini.ReadSections();
    for (std::size_t s = 0; s < sections.size(); ++s) {
      const std::wstring& section = sections[s];
      const bool firstGlobal = section == s_GlobalInfo && !globalSeen;
      if (section == s_GlobalInfo) globalSeen = true;
      std::vector<std::wstring> scaledOnly;
      for (const std::wstring& key : ini.ReadSection(section)) {
        if (firstGlobal && !masterSkipped && key == L"MASTERBITMAP") {
          masterSkipped = true;
          continue;
        }
        const std::wstring value = UpperCase(ini.ReadString(section, key, L""));
        if (value.empty() || !IsMaskDefinition(value)) continue;
        const std::size_t star = key.find(L'*');
        if (star != std::wstring::npos) {
          // A key of a scale step is no mask of its own; a mask given only for steps is
          // built once under its plain name (the definition is picked for the density).
          const std::wstring base = key.substr(0, star);
          if (!ini.ValueExists(section, base) &&
              std::find(scaledOnly.begin(), scaledOnly.end(), base) == scaledOnly.end()) {
            scaledOnly.push_back(base);
            LoadMaskDefinition(static_cast<int>(s), section, base);
          }
          continue;
        }
        LoadMaskDefinition(static_cast<int>(s), section, key);
      }
    }
  }
  if (FOwner->CommonSections.empty()) return;
  TMemIniFile common(true);
  common.SetStrings(FOwner->CommonSections);
  for (const std::wstring& section : common.ReadSections()) {
    if (UpperCase(section) == s_GlobalInfo) continue;
    for (const std::wstring& key : common.ReadSection(section)) {
      const std::wstring value = UpperCase(common.ReadString(section, key, L"-"));
      if (!Contains(value, L".BMP")) continue;
      const std::wstring path =
          value.find(L':') != std::wstring::npos ? value : FOwner->SkinCommonInfo.SkinPath + value;
      if (!FileExists(path)) continue;
      auto bmp = std::make_unique<TBitmap>();
      bmp->LoadFromFile(path);
      if (bmp->Width() < 1) continue;
      Make32WithKeyAlpha(bmp.get());
      TsMaskData m;
      m.PropertyName = UpperCase(key);
      m.ClassName = UpperCase(section);
      m.Manager = FOwner;
      m.SkinIndex = 0;
      m.ImageCount = 0;
      m.MulPPi = m.DivPPI = 0;
      m.R = Rect(0, 0, bmp->Width(), bmp->Height());
      ma.push_back(m);
      CacheImage(ma.back(), std::move(bmp), path, TRect{});
    }
  }
}

// ---------------------------------------------------------------------------
// Corner test
// ---------------------------------------------------------------------------

int CheckMaskCorners(TsSkinManager* Manager, const TsMaskData& m) {
  if (Manager && m.SkinIndex >= 0 && m.SkinIndex == Manager->SkinCommonInfo.Sections[11] &&
      m.PropertyName == L"BORDERSMASK")
    return 2;
  if (m.R.Height() <= 0 || m.ImageCount < 1) return 0;
  TBitmap* bmp = m.Bmp ? m.Bmp : (Manager ? Manager->MasterBitmap() : nullptr);
  TPixels32 p;
  if (!bmp || !GetPixels32(bmp, p)) return 0;
  const int c = m.R.Width() / m.ImageCount, h = m.R.Height() / (m.MaskType + 1);
  // Each region from its start to its end (exclusive), limited to the bitmap: a region may
  // reach the bitmap's last column and row.
  auto find = [&](int l, int r, int t, int b) {
    l = std::max(l, 0), t = std::max(t, 0), r = std::min(r, p.Width), b = std::min(b, p.Height);
    for (int y = t; y < b; ++y)
      for (int x = l; x < r; ++x)
        if ((p.Row(y)[x] & 0xFFFFFF) == 0xFF00FF) return true;
    return false;
  };
  const int L = m.R.Left, T = m.R.Top;
  if (find(L, L + m.WL, T, T + m.WT) || find(L + c - m.WR, L + c, T, T + m.WT) ||
      find(L, L + m.WL, T + h - m.WB, T + h) || find(L + c - m.WR, L + c, T + h - m.WB, T + h))
    return 1;
  return 0;
}

// ---------------------------------------------------------------------------
// Colour adjustments
// ---------------------------------------------------------------------------

int TacSkinData::BrightMin() const { return FOwner ? FOwner->SkinCommonInfo.BrightMin : -50; }
int TacSkinData::BrightMax() const { return FOwner ? FOwner->SkinCommonInfo.BrightMax : 50; }
bool TacSkinData::Active() const { return FOwner && FOwner->IsActive(); }

namespace {

// The objects an adjustment reaches: the one being loaded, else every object.
std::vector<TacSkinData*> AdjustedObjects(TsSkinManager& m) {
  if (m.LoadingSkinData) return {m.LoadingSkinData};
  std::vector<TacSkinData*> all;
  for (auto& d : m.SkinDataArray)
    if (d) all.push_back(d.get());
  return all;
}

}  // namespace

void TsSkinManager::ApplyHueOffset(int Degrees) {
  if (Degrees == 0) return;
  const int keep = SkinCommonInfo.BIKeepHUE;
  const std::vector<TacSkinData*> objects = AdjustedObjects(*this);
  std::unordered_set<const TBitmap*> keptBitmaps;
  TBitmap* master = FMasterBitmap.get();
  if (keep < 1) {
    ForEachPixel(master, PixelHueShift, Degrees, 0xFF00FF);
  } else {
    // The kept title images are put back after the whole master bitmap turned.
    std::vector<std::pair<TRect, std::unique_ptr<TBitmap>>> saved;
    if (!objects.empty())
      for (const TsMaskData& m : objects.front()->ma) {
        if (m.ClassName != s_GlobalInfo || !KeepTitleImage(m.PropertyName, keep)) continue;
        if (m.Bmp) {
          keptBitmaps.insert(m.Bmp);
          continue;
        }
        TRect r = m.R;
        r.Left = std::max(r.Left, 0), r.Top = std::max(r.Top, 0);
        r.Right = std::min(r.Right, master->Width()), r.Bottom = std::min(r.Bottom, master->Height());
        if (r.IsEmpty()) continue;
        auto copy = NewBitmap32(r.Width(), r.Height());
        TPixels32 s, d;
        if (GetPixels32(master, s) && GetPixels32(copy.get(), d))
          for (int y = 0; y < r.Height(); ++y)
            std::copy_n(s.Row(r.Top + y) + r.Left, r.Width(), d.Row(y));
        saved.emplace_back(r, std::move(copy));
      }
    ForEachPixel(master, PixelHueShift, Degrees, 0xFF00FF);
    for (auto& [r, copy] : saved) {
      TPixels32 s, d;
      if (GetPixels32(copy.get(), s) && GetPixels32(master, d))
        for (int y = 0; y < r.Height(); ++y) std::copy_n(s.Row(y), r.Width(), d.Row(r.Top + y) + r.Left);
    }
  }
  for (TacSkinData* d : objects) {
    for (TacBmpData& e : d->BmpArray)
      if (e.Bmp && !keptBitmaps.count(e.Bmp.get())) ForEachPixel(e.Bmp.get(), PixelHueShift, Degrees, 0xFF00FF);
    ForEachColorOfStates(*d, [Degrees](TColor c) { return ShiftColorHue(Degrees, c); });
  }
  SkinCommonInfo.Shadow1Color = ShiftColorHue(Degrees, SkinCommonInfo.Shadow1Color);
  for (TacPaletteColors slot : AdjustedPaletteColors) Palette[slot] = ShiftColorHue(Degrees, Palette[slot]);
}

void TsSkinManager::ApplySaturation(int Percent) {
  if (Percent == 0) return;
  const int b = static_cast<int>(std::clamp<long long>(static_cast<long long>(Percent) * 255 / 100, -255, 255));
  ForEachPixel(FMasterBitmap.get(), PixelSaturation, b, 0xFF00FF);
  auto turn = [b](TColor c) { return static_cast<TColor>(ChangeColorSaturation(static_cast<std::uint32_t>(c), b)); };
  for (TacSkinData* d : AdjustedObjects(*this)) {
    for (TacBmpData& e : d->BmpArray)
      if (e.Bmp) ForEachPixel(e.Bmp.get(), PixelSaturation, b, 0xFF00FF);
    ForEachColorOfStates(*d, turn);
  }
  SkinCommonInfo.Shadow1Color = turn(SkinCommonInfo.Shadow1Color);
  for (TacPaletteColors slot : AdjustedPaletteColors) Palette[slot] = turn(Palette[slot]);
}

void TsSkinManager::ApplyBrightness(int Amount) {
  if (Amount == 0) return;
  ForEachPixel(FMasterBitmap.get(), PixelBrightness, Amount, 0xFF00FF);
  for (TacSkinData* d : AdjustedObjects(*this)) {
    for (TacBmpData& e : d->BmpArray) {
      if (!e.Bmp) continue;
      if (e.MaskType != 0) {
        // Only the image half; the mask below stays as it is.
        const int half = e.Bmp->Height() / 2;
        auto top = NewBitmap32(e.Bmp->Width(), half);
        TPixels32 s, t;
        if (!GetPixels32(e.Bmp.get(), s) || !GetPixels32(top.get(), t)) continue;
        for (int y = 0; y < half; ++y) std::copy_n(s.Row(y), s.Width, t.Row(y));
        ForEachPixel(top.get(), PixelBrightness, Amount, 0xFF00FF);
        for (int y = 0; y < half; ++y) std::copy_n(t.Row(y), s.Width, s.Row(y));
      } else {
        ForEachPixel(e.Bmp.get(), PixelBrightness, Amount, 0xFF00FF);
        if (Amount > 0 && Contains(UpperCase(e.FileName), L".PNG")) PremultiplyBitmap(e.Bmp.get());
      }
    }
    ForEachColorOfStates(
        *d, [Amount](TColor c) { return static_cast<TColor>(ChangeColorBrightness(static_cast<std::uint32_t>(c), Amount)); });
  }
}
