// Whole update runs against the loopback asset server: the remote index with its retries,
// the local check, and parallel downloads under injected faults.
#include <gtest/gtest.h>
#include "UpdFixture.h"
#include "platform/runtime/Strings.h"
#include "settings/Common.Utils.h"
#include "updater/Upd.Core.h"
#include "updater/Upd.Types.h"

namespace {

std::wstring W(const std::string& s) { return Utf8ToWide(s); }

void StandardFiles(TSite& site) {
  site.Files = {{"files/a.bin", Content(3000, 1)}, {"files/sub/b.bin", Content(2000, 2)}};
}

}  // namespace

// ---- remote index ------------------------------------------------------------

TEST(UpdaterIndex, RefusedThenServedWithTheRealBackOff) {
  TSite site;
  StandardFiles(site);
  site.Publish({{"index.json", [](TServedAsset& a) { a.FailFirst = 1; }}});
  auto options = site.Options();
  options.RealRetryDelay = true;
  const auto r = RunUpdater(options);
  EXPECT_TRUE(r.Done);
  EXPECT_FALSE(r.Cancelled);
  EXPECT_EQ(site.Server.Count("GET", "/index.json"), 2);
  EXPECT_GE(r.ElapsedMs, 4900);
  EXPECT_TRUE(site.Installed("files/a.bin"));
  EXPECT_TRUE(site.Installed("files/sub/b.bin"));
  EXPECT_EQ(site.LocalIndex().size(), 2u);
  EXPECT_EQ(site.LocalIndex()[L"files\\a.bin"], W(Md5Of(site.Body("files/a.bin"))));
}

TEST(UpdaterIndex, ErrorPagesAreFailedAttempts) {
  for (int status : {500, 404}) {
    SCOPED_TRACE(status);
    TSite site;
    StandardFiles(site);
    // A JSON error body that would read as an empty index if its status were ignored.
    site.Publish({{"index.json", [status](TServedAsset& a) {
                     a.Status = status;
                     a.ErrorBody = "[]";
                   }}});
    auto options = site.Options();
    options.StopIf = [&] { return site.Server.Count("GET", "/index.json") >= 3; };
    const auto r = RunUpdater(options);
    EXPECT_TRUE(r.Done);
    EXPECT_TRUE(r.Cancelled);
    EXPECT_EQ(site.FileRequests(), 0);
    EXPECT_FALSE(Exists(site.Local("files/a.bin")));
  }
}

TEST(UpdaterIndex, OversizedBodiesAreFailedAttempts) {
  for (bool gzip : {false, true}) {
    SCOPED_TRACE(gzip ? "gzip" : "plain");
    TSite site;
    StandardFiles(site);
    for (int i = 0; i < 400; ++i) site.Files.push_back({"files/many/" + std::to_string(i) + ".txt", "x"});
    site.Publish({{"index.json", [gzip](TServedAsset& a) { a.Gzip = gzip; }}});
    auto options = site.Options();
    // Above the compressed size, below the unpacked one.
    options.MaxIndexBytes = 20000;
    options.StopIf = [&] { return site.Server.Count("GET", "/index.json") >= 2; };
    const auto r = RunUpdater(options);
    EXPECT_TRUE(r.Cancelled);
    EXPECT_EQ(site.FileRequests(), 0);
  }
}

TEST(UpdaterIndex, ParseIndexDropsIgnoredNamesAndSorts) {
  TUpdater updater(true);
  updater.Ignored() = {L"*.htaccess-orig", L"*.htaccess"};
  TFileItemList list;
  list.Add(TFileItem::Create(L"old", L"", 1));
  updater.ParseIndex("[{\"path\":\"b/x.txt\",\"hash\":\"1\",\"size\":\"1\"},"
                     "{\"path\":\"a/.htaccess\",\"hash\":\"1\",\"size\":\"1\"},"
                     "{\"path\":\"a/site.htaccess-orig\",\"hash\":\"1\",\"size\":\"1\"},"
                     "{\"path\":\"a/htaccess\",\"hash\":\"1\",\"size\":\"1\"}]",
                     list, true);
  ASSERT_EQ(list.Count(), 2);
  EXPECT_EQ(list[0].AsPath, L"a\\htaccess");
  EXPECT_EQ(list[1].AsPath, L"b\\x.txt");
  // Without clearing, a broken index keeps what was read before it broke, sorted.
  EXPECT_THROW(updater.ParseIndex("[{\"path\":\"0\",\"hash\":\"1\",\"size\":\"1\"},{", list, false), EJsonException);
  EXPECT_EQ(list.Count(), 3);
  EXPECT_EQ(list[0].AsPath, L"0");
}

TEST(UpdaterIndex, AddressFromTheIndexUrlDocument) {
  TSite site;
  StandardFiles(site);
  site.Publish();
  // No "url" at first, then a number, then the real address.
  TServedAsset doc;
  doc.Body = "{\"other\":\"x\"}";
  site.Server.Set("/geturl.php", doc);
  auto options = site.Options();
  options.Params[0] = L"UpdateUrl=   ";
  int stage = 0;
  options.StopIf = [&] {
    const int n = site.Server.Count("GET", "/geturl.php");
    if (stage == 0 && n >= 2) {
      doc.Body = "{\"url\":5}";
      site.Server.Set("/geturl.php", doc);
      stage = 1;
    } else if (stage == 1 && n >= 4) {
      doc.Body = "{\"url\":\"" + WideToUtf8(site.Server.Url("/index.json")) + "\"}";
      site.Server.Set("/geturl.php", doc);
      stage = 2;
    }
    return false;
  };
  const auto r = RunUpdater(options);
  EXPECT_TRUE(r.Done);
  EXPECT_FALSE(r.Cancelled);
  EXPECT_EQ(site.Server.Count("GET", "/index.json"), 1);
  EXPECT_TRUE(site.Installed("files/a.bin"));
}

TEST(UpdaterIndex, GzipIndexAndHostileEntries) {
  TSite site;
  StandardFiles(site);
  site.Publish();
  // Entries that would write outside the asset folder, and ignored names, are dropped.
  std::string index = IndexOf(site.Files, site.Server.Url("/"));
  index.pop_back();
  index += ",{\"path\":\"" + WideToUtf8(site.Server.Url("/../evil.bin")) + "\",\"hash\":\"x\",\"size\":\"1\"}";
  index += ",{\"path\":\"C:\\\\evil.bin\",\"hash\":\"x\",\"size\":\"1\"}";
  index += ",{\"path\":\"" + WideToUtf8(site.Server.Url("/files/.htaccess")) + "\",\"hash\":\"x\",\"size\":\"1\"}";
  // The same file listed twice is fetched once.
  index += "," + IndexOf({site.Files[0]}, site.Server.Url("/")).substr(1);
  TServedAsset served;
  served.Body = index;
  served.Gzip = true;
  site.Server.Set("/index.json", served);
  TServedAsset evil;
  evil.Body = "x";
  site.Server.Set("/files/.htaccess", evil);
  const auto r = RunUpdater(site.Options());
  EXPECT_FALSE(r.Cancelled);
  EXPECT_TRUE(site.Installed("files/a.bin"));
  EXPECT_EQ(site.LocalIndex().size(), 2u);
  EXPECT_FALSE(Exists(site.Dir / L"evil.bin"));
  EXPECT_EQ(site.Server.Count("HEAD", "/files/.htaccess"), 0);
  EXPECT_EQ(site.Server.Count("GET", "/files/a.bin"), 1);
}

TEST(UpdaterIndex, ServerDownThenUp) {
  TSite site;
  StandardFiles(site);
  site.Publish();
  site.Server.Stop();
  auto options = site.Options();
  const auto start = GetTickCount64();
  options.StopIf = [&] {
    if (GetTickCount64() - start > 800) site.Server.Start();
    return false;
  };
  const auto r = RunUpdater(options);
  EXPECT_TRUE(r.Done);
  EXPECT_FALSE(r.Cancelled);
  EXPECT_TRUE(site.Installed("files/a.bin"));
  EXPECT_TRUE(site.Installed("files/sub/b.bin"));
}

TEST(UpdaterIndex, StopWhileTheIndexArrives) {
  TSite site;
  StandardFiles(site);
  for (int i = 0; i < 300; ++i) site.Files.push_back({"files/many/" + std::to_string(i) + ".txt", "x"});
  site.Publish({{"index.json", [](TServedAsset& a) {
                   a.ChunkSize = 512;
                   a.ChunkDelayMs = 40;
                 }}});
  auto options = site.Options();
  options.StopWhen = [](const TProgressInfo& info) { return info.Stage.rfind(L"Size: ", 0) == 0 && info.Percent > 0; };
  const auto r = RunUpdater(options);
  EXPECT_TRUE(r.Done);
  EXPECT_TRUE(r.Cancelled);
  EXPECT_LT(r.ElapsedMs, 3000);
  EXPECT_EQ(site.FileRequests(), 0);
  for (const auto& rec : r.Records) EXPECT_LE(rec.Percent, 100);
}

// ---- downloads under faults -------------------------------------------------

TEST(UpdaterDownloads, CutTransfersResumeWithTheExactRange) {
  TSite site;
  StandardFiles(site);
  site.Publish({{"files/a.bin", [](TServedAsset& a) {
                   a.CutAt = 1000;
                   a.CutTimes = 2;
                 }}});
  const auto r = RunUpdater(site.Options());
  EXPECT_FALSE(r.Cancelled);
  EXPECT_TRUE(site.Installed("files/a.bin"));
  EXPECT_FALSE(Exists(site.Local("files/a.bin") + L".parts"));
  EXPECT_EQ(site.Ranges("/files/a.bin"), (std::vector<std::string>{"", "bytes=1000-3000", "bytes=2000-3000"}));
  // One wait shown per task, however often it waits.
  EXPECT_EQ(r.CountState(L"Wait for connection... "), 1);
  EXPECT_EQ(site.LocalIndex()[L"files\\a.bin"], W(Md5Of(site.Body("files/a.bin"))));
}

TEST(UpdaterDownloads, ShortBodiesAreNeverRecorded) {
  TSite site;
  StandardFiles(site);
  site.Publish({{"files/sub/b.bin", [](TServedAsset& a) {
                   a.CutAt = 0;
                   a.CutTimes = 1000;
                 }}});
  auto options = site.Options();
  options.StopIf = [&] { return site.Server.Count("GET", "/files/sub/b.bin") >= 3; };
  const auto r = RunUpdater(options);
  EXPECT_TRUE(r.Cancelled);
  EXPECT_TRUE(site.Installed("files/a.bin"));
  EXPECT_FALSE(Exists(site.Local("files/sub/b.bin")));
  const auto index = site.LocalIndex();
  EXPECT_EQ(index.count(L"files\\sub\\b.bin"), 0u);
  EXPECT_EQ(index.count(L"files\\a.bin"), 1u);
}

TEST(UpdaterDownloads, RejectedContentTable) {
  struct Case {
    const char* name;
    std::function<void(TServedAsset&)> fault;
    std::string partial;  // seeded ".parts" of files/a.bin
    int gets;             // GETs of files/a.bin
    int heads;
  };
  const std::string body = Content(3000, 1);
  const Case cases[] = {
      {"server ignores Range", [](TServedAsset& a) { a.IgnoreRange = true; }, body.substr(0, 500), 1, 1},
      {"content differs from the index", [](TServedAsset& a) { a.Body = Content(3000, 77); }, "", 1, 1},
      {"stale partial prefix", [](TServedAsset&) {}, Content(500, 55), 1, 1},
      {"HEAD refused: given up at once", [](TServedAsset& a) { a.HeadStatus = 404; }, "", 0, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TSite site;
    StandardFiles(site);
    site.Publish({{"files/a.bin", c.fault}});
    if (!c.partial.empty()) WriteFileBytes(site.Local("files/a.bin") + L".parts", c.partial);
    const auto r = RunUpdater(site.Options());
    EXPECT_FALSE(r.Cancelled);
    EXPECT_EQ(site.Server.Count("GET", "/files/a.bin"), c.gets);
    EXPECT_EQ(site.Server.Count("HEAD", "/files/a.bin"), c.heads);
    EXPECT_EQ(r.CountState(L"Wait for connection... "), 0);
    EXPECT_FALSE(Exists(site.Local("files/a.bin")));
    if (c.gets) {
      EXPECT_FALSE(Exists(site.Local("files/a.bin") + L".parts"));
    }
    EXPECT_TRUE(site.Installed("files/sub/b.bin"));
    EXPECT_EQ(site.LocalIndex().count(L"files\\a.bin"), 0u);

    // The next run, with the file served right, fetches it whole.
    site.Publish();
    const auto again = RunUpdater(site.Options());
    EXPECT_TRUE(site.Installed("files/a.bin"));
    EXPECT_EQ(site.LocalIndex().size(), 2u);
  }
}

TEST(UpdaterDownloads, WorkerMaxIsNeverExceeded) {
  for (const char* workers : {"2", "x"}) {
    SCOPED_TRACE(workers);
    TSite site;
    for (int i = 0; i < 12; ++i) site.Files.push_back({"files/w" + std::to_string(i) + ".bin", Content(48 * 1024, i)});
    std::map<std::string, std::function<void(TServedAsset&)>> slow;
    for (const auto& f : site.Files) slow[f.first] = [](TServedAsset& a) {
      a.ChunkSize = 8 * 1024;
      a.ChunkDelayMs = 60;
    };
    site.Publish(slow);
    const auto r = RunUpdater(site.Options(workers));
    EXPECT_FALSE(r.Cancelled);
    // Two as asked, or ten when the parameter is not a number (the test server itself serves
    // at most max(8, processors - 1) at once, so more than eight cannot always be seen).
    if (std::string(workers) == "2") {
      EXPECT_EQ(site.Server.MaxConcurrent(), 2);
    } else {
      EXPECT_GE(site.Server.MaxConcurrent(), 8);
      EXPECT_LE(site.Server.MaxConcurrent(), 10);
    }
    EXPECT_EQ(site.LocalIndex().size(), 12u);
    for (const auto& rec : r.Records) EXPECT_LE(rec.Percent, 100);
  }
}

TEST(UpdaterDownloads, StopDuringDownloads) {
  TSite site;
  StandardFiles(site);
  site.Files.push_back({"files/big.bin", Content(4 * 1024 * 1024, 9)});
  site.Publish({{"files/big.bin", [](TServedAsset& a) {
                   a.ChunkSize = 16 * 1024;
                   a.ChunkDelayMs = 30;
                 }}});
  auto options = site.Options();
  options.StopWhen = [](const TProgressInfo& info) {
    return info.Title == L"Downloading files..." && info.State.rfind(L"Speed: ", 0) == 0;
  };
  const auto r = RunUpdater(options);
  EXPECT_TRUE(r.Done);
  EXPECT_TRUE(r.Cancelled);
  EXPECT_LT(r.ElapsedMs, 4000);
  EXPECT_FALSE(Exists(site.Local("files/big.bin")));
  EXPECT_FALSE(Exists(site.Local("files/big.bin") + L".parts"));
  EXPECT_EQ(site.LocalIndex().count(L"files\\big.bin"), 0u);
}

namespace {

// The last record of the downloads; its stage carries the loaded and the total size.
const TProgressInfo* LastDownloadRecord(const TRunResult& r) {
  const TProgressInfo* last = nullptr;
  for (const auto& rec : r.Records)
    if (rec.Title == L"Downloading files...") last = &rec;
  return last;
}

std::wstring SizeStage(long long loaded, long long total) {
  return L"Size: " + FormatSize(loaded) + L" / " + FormatSize(total);
}

}  // namespace

TEST(UpdaterDownloads, ProgressCountsEveryByteWhenReportsCollide) {
  // Five workers receive small pieces at once and each piece tries to report, so the report
  // lock is often taken: a busy lock may drop a report, never the piece's bytes.
  TSite site;
  long long total = 0;
  std::map<std::string, std::function<void(TServedAsset&)>> trickle;
  for (int i = 0; i < 5; ++i) {
    site.Files.push_back({"files/t" + std::to_string(i) + ".bin", Content(100 * 1024 + 37 * i, 20 + i)});
    total += static_cast<long long>(site.Files.back().second.size());
    trickle[site.Files.back().first] = [](TServedAsset& a) {
      a.ChunkSize = 512;
      a.ChunkDelayMs = 1;
    };
  }
  site.Publish(trickle);
  auto options = site.Options("5");
  options.ThrottleMs = 0;
  const auto r = RunUpdater(options);
  EXPECT_FALSE(r.Cancelled);
  EXPECT_EQ(site.LocalIndex().size(), 5u);
  EXPECT_GE(site.Server.MaxConcurrent(), 2);
  const TProgressInfo* last = LastDownloadRecord(r);
  ASSERT_NE(last, nullptr);
  EXPECT_EQ(last->Stage, SizeStage(total, total));
  EXPECT_EQ(last->Percent, 100);
}

TEST(UpdaterDownloads, ResumedBytesAreCountedOnce) {
  struct TCase {
    const char* Name;
    long long CutAt;      // the first GET ends here (connection closed), -1 for none
    std::string Partial;  // ".parts" left by an earlier run
    std::vector<std::string> Ranges;
  };
  const std::string body = Content(3000, 1);
  const TCase cases[] = {
      {"cut at half in this run", 1500, "", {"", "bytes=1500-3000"}},
      {"partial file of an earlier run", -1, body.substr(0, 1000), {"bytes=1000-3000"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    TSite site;
    site.Files = {{"files/a.bin", body}};
    site.Publish({{"files/a.bin", [&c](TServedAsset& a) {
                     a.CutAt = c.CutAt;
                     a.CutTimes = 1;
                     a.ChunkSize = 500;
                   }}});
    if (!c.Partial.empty()) WriteFileBytes(site.Local("files/a.bin") + L".parts", c.Partial);
    auto options = site.Options();
    options.ThrottleMs = 0;  // every piece reports
    const auto r = RunUpdater(options);
    EXPECT_TRUE(site.Installed("files/a.bin"));
    EXPECT_EQ(site.Ranges("/files/a.bin"), c.Ranges);
    int sized = 0;
    for (const auto& rec : r.Records) {
      double loaded = 0, size = 0;
      if (rec.Title != L"Downloading files..." || !StageSizes(rec, loaded, size)) continue;
      ++sized;
      EXPECT_LE(loaded, size) << WideToUtf8(rec.Stage);
    }
    EXPECT_GT(sized, 2);
    const TProgressInfo* last = LastDownloadRecord(r);
    ASSERT_NE(last, nullptr);
    EXPECT_EQ(last->Stage, SizeStage(3000, 3000));
  }
}

// ---- local check -------------------------------------------------------------

TEST(UpdaterLocalCheck, LocalIndexIsTrustedWhenPresent) {
  TSite site;
  StandardFiles(site);
  site.Publish();
  // The index vouches for a.bin (whose content on disk differs): it is not fetched again.
  WriteFileBytes(site.Local("files/a.bin"), "not what the index says");
  TFileItemList local;
  local.Add(TFileItem::Create(L"FILES\\A.bin", W(Md5Of(site.Body("files/a.bin"))), 3000));
  WriteFileBytes(site.IndexFile(), WriteIndexJson(local));
  const auto r = RunUpdater(site.Options());
  EXPECT_EQ(site.Server.Count("GET", "/files/a.bin"), 0);
  EXPECT_TRUE(site.Installed("files/sub/b.bin"));
  EXPECT_EQ(r.CountTitle(L"Indexing local files..."), 0);
  EXPECT_EQ(site.LocalIndex().size(), 2u);

  // With the index thrown away (reindex) the content decides.
  auto options = site.Options();
  options.Stages = StageBit(stgReindex) | StageBit(stgDownload);
  const auto again = RunUpdater(options);
  EXPECT_GT(again.CountTitle(L"Indexing local files..."), 0);
  EXPECT_EQ(site.Server.Count("GET", "/files/a.bin"), 1);
  EXPECT_TRUE(site.Installed("files/a.bin"));
}

TEST(UpdaterLocalCheck, WithoutLocalIndexFilesAreHashed) {
  TSite site;
  StandardFiles(site);
  site.Files.push_back({"files/c.bin", Content(100, 3)});
  site.Publish();
  WriteFileBytes(site.Local("files/a.bin"), site.Body("files/a.bin"));
  WriteFileBytes(site.Local("files/sub/b.bin"), "changed");
  const auto r = RunUpdater(site.Options());
  EXPECT_GT(r.CountTitle(L"Indexing local files..."), 0);
  EXPECT_EQ(site.Server.Count("GET", "/files/a.bin"), 0);
  EXPECT_EQ(site.Server.Count("GET", "/files/sub/b.bin"), 1);
  EXPECT_EQ(site.Server.Count("GET", "/files/c.bin"), 1);
  EXPECT_TRUE(site.Installed("files/sub/b.bin"));
  EXPECT_EQ(site.LocalIndex().size(), 3u);
}

TEST(UpdaterLocalCheck, ChangedFileIsFetchedOnceAndRecordedOnce) {
  TSite site;
  StandardFiles(site);
  site.Publish();
  WriteFileBytes(site.Local("files/a.bin"), "old");
  WriteFileBytes(site.Local("files/sub/b.bin"), site.Body("files/sub/b.bin"));
  TFileItemList local;
  local.Add(TFileItem::Create(L"files\\a.bin", W(Md5Of("old")), 3));
  local.Add(TFileItem::Create(L"files\\sub\\b.bin", W(Md5Of(site.Body("files/sub/b.bin"))), 2000));
  WriteFileBytes(site.IndexFile(), WriteIndexJson(local));
  RunUpdater(site.Options());
  EXPECT_EQ(site.Server.Count("GET", "/files/a.bin"), 1);
  EXPECT_EQ(site.Server.Count("GET", "/files/sub/b.bin"), 0);
  const auto index = site.LocalIndex();
  EXPECT_EQ(index.size(), 2u);
  EXPECT_EQ(index.at(L"files\\a.bin"), W(Md5Of(site.Body("files/a.bin"))));
  // Nothing left to do on the next run.
  RunUpdater(site.Options());
  EXPECT_EQ(site.Server.Count("GET", "/files/a.bin"), 1);
  EXPECT_EQ(site.Server.Count("HEAD", "/files/a.bin"), 1);
}

TEST(UpdaterLocalCheck, UpperCaseDigestsInTheIndexMatch) {
  TSite site;
  StandardFiles(site);
  site.Publish();
  TServedAsset index;
  index.Body = IndexOf(site.Files, site.Server.Url("/"));
  for (const auto& f : site.Files) {
    const std::string hash = Md5Of(f.second);
    index.Body.replace(index.Body.find(hash), hash.size(), WideToUtf8(UpperCase(W(hash))));
  }
  ASSERT_EQ(index.Body.find(Md5Of(site.Body("files/a.bin"))), std::string::npos);
  site.Server.Set("/index.json", index);

  const auto r = RunUpdater(site.Options());
  EXPECT_FALSE(r.Cancelled);
  EXPECT_TRUE(site.Installed("files/a.bin"));  // kept after its download
  EXPECT_TRUE(site.Installed("files/sub/b.bin"));
  EXPECT_EQ(site.LocalIndex().size(), 2u);
  // Nothing is fetched again: neither with the local index nor by hashing the files.
  RunUpdater(site.Options());
  DeleteFileW(site.IndexFile().c_str());
  RunUpdater(site.Options());
  EXPECT_EQ(site.Server.Count("GET", "/files/a.bin"), 1);
  EXPECT_EQ(site.Server.Count("GET", "/files/sub/b.bin"), 1);
  EXPECT_EQ(site.LocalIndex().size(), 2u);
}

TEST(UpdaterLocalCheck, ProgramFilesOnly) {
  TSite site;
  site.Files = {{"files/a.bin", Content(300, 1)}, {"resources/app/shell/Tarvel.dat", Content(200, 2)}};
  site.Publish();
  auto options = site.Options();
  options.BinOnly = true;
  RunUpdater(options);
  EXPECT_TRUE(site.Installed("resources/app/shell/Tarvel.dat"));
  EXPECT_FALSE(Exists(site.Local("files/a.bin")));
  const auto index = site.LocalIndex();
  EXPECT_EQ(index.size(), 1u);
  EXPECT_EQ(index.count(L"resources\\app\\shell\\Tarvel.dat"), 1u);
}

TEST(UpdaterLocalCheck, ProgramFileStageAloneRunsNothingAfterTheFetch) {
  TSite site;
  StandardFiles(site);
  site.Publish();
  auto options = site.Options();
  options.Stages = StageBit(stgUpdate);
  const auto r = RunUpdater(options);
  EXPECT_TRUE(r.Done);
  EXPECT_EQ(site.Server.Count("GET", "/index.json"), 1);
  EXPECT_EQ(site.FileRequests(), 0);
  EXPECT_FALSE(Exists(site.IndexFile()));
}

TEST(UpdaterHelpers, PercentAndSpeedNeverDivideByZero) {
  EXPECT_EQ(PercentOf(10, 0), 0);
  EXPECT_EQ(PercentOf(10, -1), 0);
  EXPECT_EQ(PercentOf(50, 100), 50);
  EXPECT_EQ(PercentOf(300, 100), 100);
  EXPECT_EQ(SpeedOf(1000, 0), 0);
  EXPECT_EQ(SpeedOf(1000, 500), 2000);
  TParamList params;
  params.Add(L"WorkerMax=5");
  EXPECT_EQ(params.Values(L"workermax"), L"5");
  EXPECT_EQ(params.Values(L"missing"), L"");
}
