// The downloader against the loopback asset server: plain and ranged GETs into ".parts",
// refused answers, cut and aborted transfers, and content that is not what the index says.
#include <gtest/gtest.h>
#include "UpdFixture.h"
#include "platform/runtime/HttpClient.h"
#include "platform/runtime/Strings.h"
#include "updater/Upd.Downloader.h"

namespace {

enum class TOutcome { Ok, Refused, Network };
const char* const kMissing = "<missing>";

}  // namespace

TEST(Downloader, Table) {
  TAssetServer server;
  const std::string body = Content(1000, 7);
  const std::string prefix = body.substr(0, 100);
  const std::string garbage = Content(100, 99);
  const std::string right = Md5Of(body), wrong = Md5Of("other");

  struct Case {
    const char* name;
    TServedAsset asset;
    std::string partial;        // "" = none
    const char* expected;       // expected hash given to Download2, nullptr = none
    bool cancel;
    TOutcome outcome;
    std::string message;        // part of the error message
    std::string target;         // target afterwards
    std::string partialAfter;   // partial file afterwards
    std::string range;          // Range header of the last GET ("-" = no GET)
  };
  auto asset = [&](auto change) {
    TServedAsset a;
    a.Body = body;
    change(a);
    return a;
  };
  auto plain = asset([](TServedAsset&) {});
  const std::string url = WideToUtf8(server.Url("/dl/f.bin"));
  const Case cases[] = {
      {"fresh", plain, "", nullptr, false, TOutcome::Ok, "", body, kMissing, ""},
      {"resumed", plain, prefix, right.c_str(), false, TOutcome::Ok, "", body, kMissing, "bytes=100-1000"},
      {"partial as long as the file", plain, Content(1000, 3), nullptr, false, TOutcome::Ok, "", body, kMissing, ""},
      {"HEAD refused", asset([](TServedAsset& a) { a.HeadStatus = 404; }), "", nullptr, false, TOutcome::Refused,
       "404: Not Found \"" + url + "\"", "OLD", "", "-"},
      {"GET refused keeps the partial", asset([](TServedAsset& a) { a.Status = 500; a.HeadStatus = 200; }), prefix,
       nullptr, false, TOutcome::Refused, "500: Internal Server Error", "OLD", prefix, "bytes=100-1000"},
      {"aborted", plain, "", nullptr, true, TOutcome::Refused, "Invalid content length 1000, \"" + url + "\"", "OLD",
       kMissing, ""},
      {"short body", asset([](TServedAsset& a) { a.CutAt = 400; a.CutTimes = 1; }), "", nullptr, false,
       TOutcome::Network, "", "OLD", body.substr(0, 400), ""},
      {"range ignored", asset([](TServedAsset& a) { a.IgnoreRange = true; }), prefix, nullptr, false,
       TOutcome::Refused, "Invalid content length", "OLD", kMissing, "bytes=100-1000"},
      {"content not the indexed one", plain, "", wrong.c_str(), false, TOutcome::Refused, "MD5 mismatch", kMissing,
       kMissing, ""},
      {"stale partial prefix", plain, garbage, right.c_str(), false, TOutcome::Refused, "MD5 mismatch", kMissing,
       kMissing, "bytes=100-1000"},
  };

  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TTempFolder dir;
    const std::wstring target = dir / L"sub\\f.bin";
    WriteFileBytes(target, "OLD");
    if (!c.partial.empty()) WriteFileBytes(target + L".parts", c.partial);
    server.Set("/dl/f.bin", c.asset);
    const size_t before = server.Requests().size();

    TDownloader downloader;
    EXPECT_EQ(downloader.HTTPClient().ConnectionTimeout(), 5000);
    EXPECT_EQ(downloader.HTTPClient().ResponseTimeout(), 15000);
    downloader.SetCancelDownload(c.cancel);
    long long received = 0;
    downloader.SetOnProgress([&](TDownloader*, long long last, long long, long long, bool&) { received += last; });
    std::vector<std::tuple<std::wstring, long long, long long>> resumes;
    downloader.SetOnResume([&](const std::wstring& f, long long s, long long e) { resumes.emplace_back(f, s, e); });

    std::wstring expected = c.expected ? Utf8ToWide(c.expected) : L"";
    long long size = -1;
    std::wstring hash;
    TOutcome outcome = TOutcome::Ok;
    std::string message;
    try {
      downloader.Download2(server.Url("/dl/f.bin"), target, size, hash, c.expected ? &expected : nullptr);
    } catch (const ENetHTTPException& e) {
      outcome = TOutcome::Network;
      message = WideToUtf8(e.Message());
    } catch (const EDownloadException& e) {
      outcome = TOutcome::Refused;
      message = WideToUtf8(e.Message());
    }
    EXPECT_EQ(outcome, c.outcome) << message;
    EXPECT_NE(message.find(c.message), std::string::npos) << message;
    EXPECT_EQ(ReadFileBytes(target) == c.target, true) << "target differs";
    EXPECT_EQ(ReadFileBytes(target + L".parts") == c.partialAfter, true)
        << "partial holds " << ReadFileBytes(target + L".parts").size() << " bytes";
    if (c.outcome == TOutcome::Ok) {
      EXPECT_EQ(size, 1000);
      EXPECT_EQ(WideToUtf8(hash), right);
      EXPECT_EQ(received, 1000 - static_cast<long long>(c.range.empty() ? 0 : 100));
    }
    std::string lastRange = "-";
    auto requests = server.Requests();
    for (size_t i = before; i < requests.size(); ++i)
      if (requests[i].Method == "GET") lastRange = requests[i].Header("Range");
    EXPECT_EQ(lastRange, c.range);
    if (c.range == "bytes=100-1000") {
      ASSERT_EQ(resumes.size(), 1u);
      EXPECT_EQ(std::get<0>(resumes[0]), target);
      EXPECT_EQ(std::get<1>(resumes[0]), 100);
      EXPECT_EQ(std::get<2>(resumes[0]), 1000);
    } else {
      EXPECT_TRUE(resumes.empty());
    }
    // No compressed downloads are asked for.
    for (size_t i = before; i < requests.size(); ++i) EXPECT_FALSE(requests[i].HasHeader("Accept-Encoding"));
  }
}

TEST(Downloader, EmptyFileAndUnusedVariant) {
  TAssetServer server;
  TTempFolder dir;
  TServedAsset empty;
  server.Set("/dl/empty.txt", empty);
  TDownloader downloader;
  long long size = -1;
  std::wstring hash;
  downloader.Download2(server.Url("/dl/empty.txt"), dir / L"empty.txt", size, hash);
  EXPECT_EQ(size, 0);
  EXPECT_EQ(hash, L"d41d8cd98f00b204e9800998ecf8427e");
  EXPECT_EQ(ReadFileBytes(dir / L"empty.txt"), "");

  // The plain variant refuses an empty file and takes a whole one.
  EXPECT_THROW(downloader.Download(server.Url("/dl/empty.txt"), dir / L"e2.txt"), EDownloadException);
  EXPECT_FALSE(Exists(dir / L"e2.txt.parts"));
  TServedAsset one;
  one.Body = Content(5000, 1);
  server.Set("/dl/one.bin", one);
  WriteFileBytes(dir / L"one.bin.parts", one.Body.substr(0, 1200));
  downloader.Download(server.Url("/dl/one.bin"), dir / L"one.bin");
  EXPECT_TRUE(ReadFileBytes(dir / L"one.bin") == one.Body);
}
