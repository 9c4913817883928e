// The whole load of a packed skin (images, per-density data, palette, constant elements) at
// 96 and at 192 pixels per inch, beside the floor measured in the same run: the same bytes
// only unpacked and their images decoded by the readers. Prints the ratios; the aim is a
// load at 96 within twice the floor, and the figure at 192 shows what resampling adds.
// Run by bench/run-skinimages.sh on the program's own skin.
#include <chrono>
#include <cstdio>
#include <string>

#include "platform/runtime/Files.h"
#include "platform/runtime/Strings.h"
#include "platform/ui/Graphics.Jpeg.h"
#include "skin/graphics/sGraphUtils.h"
#include "skin/manager/sSkinManager.h"
#include "skin/manager/sStoredSkins.h"

namespace {
using Clock = std::chrono::steady_clock;

double Ms(Clock::time_point a, Clock::time_point b) { return std::chrono::duration<double, std::milli>(b - a).count(); }

double Floor(const std::string& bytes) {
  TsSkinManager manager;
  TMemoryStream data(bytes);
  TacSkinConvertor reader;
  reader.PackedData = &data;
  const auto t0 = Clock::now();
  ReadPackedSkin(reader, &manager);
  for (const TacFileItem& entry : reader.Files) {
    const std::wstring name = UpperCase(entry.Name);
    entry.Stream->SetPosition(0);
    TBitmap bmp;
    if (name.find(L".PNG") != std::wstring::npos) {
      LoadPngStreamToBitmap(bmp, *entry.Stream);
    } else if (name.find(L".BMP") != std::wstring::npos) {
      bmp.LoadFromStream(*entry.Stream);
    } else if (name.find(L".JPG") != std::wstring::npos) {
      TJPEGImage jpeg;
      jpeg.Performance = jpBestSpeed;
      jpeg.LoadFromStream(*entry.Stream);
    }
  }
  const auto t1 = Clock::now();
  reader.PackedData = nullptr;
  return Ms(t0, t1);
}

double Load(const std::string& bytes, TsSkinManager::TacScaleMode mode, int ppi, std::size_t& masks) {
  TsSkinManager manager;
  manager.Options.ScaleMode = mode;
  manager.SetSkinDirectory(L"no such folder");
  manager.SetSkinName(L"Bench");
  TsStoredSkin* skin = manager.InternalSkins().Add();
  skin->Name = L"Bench";
  skin->PackedData = std::make_unique<TMemoryStream>(bytes);
  const auto t0 = Clock::now();
  manager.ManagerState |= msSkinChanging;
  TacSkinData* d = manager.CommonSkinData(ppi);
  manager.ManagerState &= ~msSkinChanging;
  manager.SkinCommonInfo.Active = true;
  const auto t1 = Clock::now();
  masks = d->ma.size();
  return Ms(t0, t1);
}
}  // namespace

int wmain(int argc, wchar_t** argv) {
  for (int i = 1; i < argc; ++i) {
    const std::string bytes = ReadAllBytes(argv[i]);
    const int reps = 20;
    double floor = 0, at96 = 0, at192 = 0;
    std::size_t masks96 = 0, masks192 = 0;
    for (int r = 0; r < reps; ++r) {
      floor += Floor(bytes);
      at96 += Load(bytes, TsSkinManager::smOldMode, 96, masks96);
      at192 += Load(bytes, TsSkinManager::sm200, 192, masks192);
    }
    floor /= reps, at96 /= reps, at192 /= reps;
    std::printf("%ls\n  floor (unpack + decode) %8.3f ms\n  load at 96  %8.3f ms  %zu masks  ratio %.2f\n"
                "  load at 192 %8.3f ms  %zu masks  ratio %.2f  (resampling adds %.3f ms)\n",
                ExtractFileName(argv[i]).c_str(), floor, at96, masks96, at96 / floor, at192, masks192,
                at192 / floor, at192 - at96);
  }
  return 0;
}
