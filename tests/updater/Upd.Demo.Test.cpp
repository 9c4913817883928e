// The run command's demo site, made by its own tool at build time for the updater tests'
// address: its index reads as the updater expects, and a full update installs it.
#include <gtest/gtest.h>
#include "UpdFixture.h"
#include "platform/runtime/Files.h"
#include "platform/runtime/Strings.h"
#include "updater/Upd.Core.h"

TEST(UpdaterDemoSite, FullUpdateInstallsTheDemoSet) {
  const std::wstring root = ExeDir() + L"demo_site\\";
  const std::string indexText = ReadFileBytes(root + L"index.json");
  ASSERT_NE(indexText, "<missing>");
  TFileItemList index;
  ReadIndexJson(indexText, index);
  ASSERT_GE(index.Count(), 5);

  TSite site;
  const std::wstring prefix = site.Server.Url("/");
  bool programFile = false;
  for (const auto& item : index) {
    // Full addresses on the updater's host, whose paths are the folder paths below the assets.
    ASSERT_EQ(item.Path.rfind(prefix, 0), 0u) << WideToUtf8(item.Path);
    std::wstring rel = item.Path.substr(prefix.size());
    std::wstring local = rel;
    for (auto& c : local)
      if (c == L'/') c = L'\\';
    EXPECT_EQ(item.AsPath, local);
    const std::string body = ReadFileBytes(root + local);
    EXPECT_EQ(item.Hash, Utf8ToWide(Md5Of(body))) << WideToUtf8(rel);
    EXPECT_EQ(item.Size, static_cast<long long>(body.size()));
    site.Files.push_back({WideToUtf8(rel), body});
    programFile |= StartsText(L"resources\\app\\shell\\", item.AsPath);
  }
  EXPECT_TRUE(programFile);
  site.Publish();
  // Serve the tool's own index, not one made here.
  TServedAsset served;
  served.Body = indexText;
  site.Server.Set("/index.json", served);
  WriteFileBytes(site.Local("outdated/old-notes.txt"), "no longer published");

  TLogCapture log;
  auto options = site.Options();
  options.Stages = StageBit(stgReindex) | StageBit(stgDownload) | StageBit(stgUpdate) | StageBit(stgClear);
  options.RunningExe = site.Dir / L"bin\\Tarvel.exe";
  const auto r = RunUpdater(options);
  EXPECT_TRUE(r.Done);
  EXPECT_FALSE(r.Cancelled);
  for (const auto& f : site.Files) EXPECT_TRUE(site.Installed(f.first)) << f.first;
  EXPECT_EQ(site.LocalIndex().size(), site.Files.size());
  EXPECT_EQ(ReadFileBytes(site.Dir / L"bin\\Tarvel.build.txt"), site.Body("resources/app/shell/Tarvel.build.txt"));
  EXPECT_FALSE(Exists(site.Local("outdated/old-notes.txt")));
  EXPECT_TRUE(log.Has("Removed trash: 1."));
}
