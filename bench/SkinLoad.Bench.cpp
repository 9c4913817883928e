// Loading a packed skin, in milliseconds split into unpacking, reading the options text and
// reading the sections. Run by bench/run-skinload.sh on our stored skin and on a generated
// one of many sections with parent chains. Options and sections should cost no more than
// unpacking and grow linearly with sections times keys.
#include <chrono>
#include <cstdio>
#include <string>

#include "platform/runtime/Files.h"
#include "platform/runtime/Json.h"
#include "platform/runtime/Strings.h"
#include "skin/manager/sSkinManager.h"

namespace {
using Clock = std::chrono::steady_clock;

double Ms(Clock::time_point a, Clock::time_point b) { return std::chrono::duration<double, std::milli>(b - a).count(); }

void Measure(const std::wstring& file) {
  const std::string bytes = ReadAllBytes(file);
  const int reps = 20;
  double unpack = 0, options = 0, sections = 0;
  std::size_t sectionCount = 0;
  for (int i = 0; i < reps; ++i) {
    TsSkinManager manager;
    TMemoryStream data(bytes);
    TacSkinConvertor reader;
    reader.PackedData = &data;
    auto t0 = Clock::now();
    ReadPackedSkin(reader, &manager);
    auto t1 = Clock::now();
    manager.SkinCommonInfo.OptionsDat->SetText(DecodeTextBytesAnsi(reader.Options->Bytes()));
    manager.SkinFile = manager.SkinCommonInfo.OptionsDat.get();
    auto t2 = Clock::now();
    TacSkinData skin(&manager, 96);
    skin.LoadAllGeneralData();
    auto t3 = Clock::now();
    unpack += Ms(t0, t1);
    options += Ms(t1, t2);
    sections += Ms(t2, t3);
    sectionCount = skin.gd.size();
    reader.PackedData = nullptr;
  }
  std::printf("%-40ls sections %5zu  unpack %8.3f ms  options %8.3f ms  sections %8.3f ms\n",
              ExtractFileName(file).c_str(), sectionCount, unpack / reps, options / reps, sections / reps);
}
}  // namespace

int wmain(int argc, wchar_t** argv) {
  for (int i = 1; i < argc; ++i) Measure(argv[i]);
  return 0;
}
