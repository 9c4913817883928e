// The trash stage: asset files that a fully read index does not list are deleted, except what
// the exclude entries protect; a partial index or a stop removes nothing, and removed files
// leave the local index.
#include <gtest/gtest.h>
#include "UpdFixture.h"
#include "platform/runtime/Strings.h"
#include "updater/Upd.Core.h"

namespace {

const std::vector<std::wstring> ShellExcludes = {
    L"resources\\app\\wemb\\logs\\*.*", L"resources\\app\\wemb\\settings.ini", L"resources\\app\\wemb\\url.cfg",
    L"resources\\app\\wemb\\license.txt", L"resources\\app\\wemb\\manual.txt"};

// Puts the published files into the asset folder as if downloaded earlier, plus extra ones.
void Seed(const TSite& site, const std::vector<std::string>& extra) {
  for (const auto& f : site.Files) WriteFileBytes(site.Local(f.first), f.second);
  for (const auto& path : extra) WriteFileBytes(site.Local(path), "local only: " + path);
}

TRunOptions TrashOnly(const TSite& site) {
  auto options = site.Options();
  options.Stages = StageBit(stgClear);
  options.Exclude = ShellExcludes;
  return options;
}

}  // namespace

TEST(UpdaterTrash, NothingIsRemovedWithoutAFullIndexOrAfterAStop) {
  struct TCase {
    const char* Name;
    std::function<void(TSite&, TRunOptions&)> Arrange;
  };
  const TCase cases[] = {
      {"index refused until stopped",
       [](TSite& site, TRunOptions& o) {
         site.Publish({{"index.json", [](TServedAsset& a) { a.Status = 500; }}});
         o.StopIf = [&site] { return site.Server.Count("GET", "/index.json") >= 2; };
       }},
      {"stopped while the index arrives",
       [](TSite& site, TRunOptions& o) {
         site.Publish({{"index.json", [](TServedAsset& a) {
                          a.ChunkSize = 64;
                          a.ChunkDelayMs = 20;
                        }}});
         o.StopWhen = [](const TProgressInfo& info) { return info.Stage.rfind(L"Size:", 0) == 0; };
       }},
      {"stopped during the downloads",
       [](TSite& site, TRunOptions& o) {
         site.Files.push_back({"files/new.bin", Content(100, 9)});
         site.Publish();
         o.Stages = StageBit(stgDownload) | StageBit(stgClear);
         o.StopWhen = [](const TProgressInfo& info) { return info.Title == L"Downloading files..."; };
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    TLogCapture log;
    TSite site;
    site.Files = {{"files/keep.bin", Content(100, 1)}};
    for (int i = 0; i < 40; ++i) site.Files.push_back({"files/many/" + std::to_string(i) + ".txt", "x"});
    Seed(site, {"files/old.bin"});
    auto options = TrashOnly(site);
    c.Arrange(site, options);
    const auto r = RunUpdater(options);
    EXPECT_TRUE(r.Cancelled);
    EXPECT_TRUE(Exists(site.Local("files/old.bin")));
    EXPECT_TRUE(Exists(site.Local("files/keep.bin")));
    EXPECT_FALSE(log.Has("Removed trash"));
    EXPECT_EQ(r.CountTitle(L"Clearing unnecessary files"), 0);
  }
}

TEST(UpdaterTrash, UnlistedFilesGoExceptProtectedOnes) {
  TLogCapture log;
  TSite site;
  site.Files = {{"Files/LISTED.bin", Content(100, 1)}, {"resources/app/wemb/app.js", Content(100, 2)}};
  site.Publish();
  struct TLocal {
    std::string Path;
    bool Stays;
  };
  const TLocal locals[] = {
      {"files/listed.bin", true},                          // listed, in other letter case
      {"resources/app/wemb/app.js", true},                 // listed
      {"resources/app/wemb/logs/today.log", true},         // "logs\*.*"
      {"resources/app/wemb/logs/2026/12/deep.log", true},  // ... and below it
      {"resources/app/wemb/logs/sub/NODOT", false},        // "*.*" needs a point
      {"resources/app/wemb/Settings.INI", true},           // names match without regard to case
      {"resources/app/wemb/sub/settings.ini", true},       // the entry's folder protects its subfolders
      {"resources/app/wemb/other.ini", false},
      {"other/resources/app/wemb/url.cfg", true},          // the folder part may stand anywhere
      {"settings.ini", false},                             // an entry without "\" protects nothing
      {"files/listed.bin.parts", false},                   // a partial download is trash
      {"files/.htaccess", false},                          // ignored names are trash too
      {"files/sub/old.bin", false},
  };
  for (const auto& l : locals) WriteFileBytes(site.Local(l.Path), "local: " + l.Path);
  auto options = TrashOnly(site);
  options.Exclude.push_back(L"settings.ini");
  const auto r = RunUpdater(options);
  EXPECT_TRUE(r.Done);
  EXPECT_FALSE(r.Cancelled);
  int removed = 0;
  for (const auto& l : locals) {
    EXPECT_EQ(Exists(site.Local(l.Path)), l.Stays) << l.Path;
    removed += !l.Stays;
  }
  // Folders stay, even emptied ones.
  EXPECT_TRUE(Exists(site.Local("files/sub")));
  // Protected files are not counted: the folder holds the two listed files and the removed ones.
  EXPECT_TRUE(log.Has("Removed trash: " + std::to_string(removed) +
                      ". Files in cache folder: " + std::to_string(2 + removed)))
      << log.Text();
}

TEST(UpdaterTrash, CountMessageAndProgress) {
  TLogCapture log;
  TSite site;
  for (int i = 0; i < 7; ++i) site.Files.push_back({"files/f" + std::to_string(i) + ".bin", Content(50, i)});
  site.Publish();
  Seed(site, {"old/a.txt", "old/b.txt", "old/c.txt"});
  auto options = TrashOnly(site);
  options.ThrottleMs = 0;
  const auto r = RunUpdater(options);
  EXPECT_TRUE(log.Has("Removed trash: 3. Files in cache folder: 10"));
  EXPECT_FALSE(Exists(site.Local("old/a.txt")));
  EXPECT_FALSE(Exists(site.Local("old/c.txt")));
  EXPECT_TRUE(site.Installed("files/f6.bin"));
  // Unthrottled: the listing record, then one per removed file.
  ASSERT_EQ(r.CountTitle(L"Clearing unnecessary files"), 4);
  for (const auto& rec : r.Records)
    if (rec.Stage == L"Deleting...") {
      EXPECT_TRUE(rec.State == L"a.txt" || rec.State == L"b.txt" || rec.State == L"c.txt") << WideToUtf8(rec.State);
      EXPECT_LE(rec.Percent, 100);
      EXPECT_FALSE(rec.Wait);
    }
}

TEST(UpdaterTrash, StopEndsTheStageAfterTheCurrentFile) {
  TLogCapture log;
  TSite site;
  site.Files = {{"files/keep.bin", Content(50, 1)}};
  site.Publish();
  Seed(site, {"old/1.txt", "old/2.txt", "old/3.txt", "old/4.txt", "old/5.txt"});
  auto options = TrashOnly(site);
  options.ThrottleMs = 0;
  options.StopWhen = [](const TProgressInfo& info) { return info.Stage == L"Deleting..."; };
  const auto r = RunUpdater(options);
  EXPECT_TRUE(r.Cancelled);
  int left = 0;
  for (int i = 1; i <= 5; ++i) left += Exists(site.Local("old/" + std::to_string(i) + ".txt"));
  EXPECT_EQ(left, 4);
  EXPECT_TRUE(log.Has("Removed trash: 1. Files in cache folder: 6"));
}

TEST(UpdaterTrash, RemovedFilesLeaveTheLocalIndexAndComeBackWhenListedAgain) {
  TSite site;
  site.Files = {{"files/a.bin", Content(100, 1)}, {"files/b.bin", Content(100, 2)}};
  site.Publish();
  auto options = site.Options();
  options.Stages = StageBit(stgDownload) | StageBit(stgClear);
  RunUpdater(options);
  ASSERT_EQ(site.LocalIndex().size(), 2u);

  // The server drops b.bin: the trash stage removes it, and the local index forgets it.
  const auto b = site.Files[1];
  site.Files.pop_back();
  site.Server.Remove("/files/b.bin");
  site.Publish();
  RunUpdater(options);
  EXPECT_FALSE(Exists(site.Local("files/b.bin")));
  EXPECT_EQ(site.LocalIndex().count(L"files\\b.bin"), 0u);
  EXPECT_EQ(site.LocalIndex().count(L"files\\a.bin"), 1u);

  // Listed again, it is fetched again rather than trusted from a stale entry.
  site.Files.push_back(b);
  site.Publish();
  options.Stages = StageBit(stgDownload);
  RunUpdater(options);
  EXPECT_TRUE(site.Installed("files/b.bin"));
}
