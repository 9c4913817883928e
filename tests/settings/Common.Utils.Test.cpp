#include <gtest/gtest.h>
#include <windows.h>
#include <shellapi.h>
#include <climits>
#include <cstdint>
#include "support/HttpTestServer.h"
#include "platform/runtime/Exceptions.h"
#include "platform/runtime/Files.h"
#include "platform/runtime/HttpClient.h"
#include "platform/runtime/Streams.h"
#include "platform/runtime/Strings.h"
#include "settings/Common.Types.h"
#include "settings/Common.Utils.h"

namespace {
// A fresh folder under the temporary folder, removed with everything in it afterwards.
class TempFolder {
public:
  TempFolder() {
    wchar_t base[MAX_PATH];
    GetTempPathW(MAX_PATH, base);
    static int counter = 0;
    FPath = std::wstring(base) + L"tarvel-utils-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
            std::to_wstring(++counter) + L"\\";
    ForceDirectories(FPath);
  }
  ~TempFolder() {
    std::wstring from = FPath.substr(0, FPath.size() - 1) + std::wstring(1, L'\0');
    SHFILEOPSTRUCTW op{};
    op.wFunc = FO_DELETE;
    op.pFrom = from.c_str();
    op.fFlags = FOF_NOCONFIRMATION | FOF_NOERRORUI | FOF_SILENT;
    SHFileOperationW(&op);
  }
  const std::wstring& Path() const { return FPath; }
  std::wstring File(const std::wstring& name, std::string_view bytes = {}) const {
    WriteAllBytes(FPath + name, bytes);
    return FPath + name;
  }

private:
  std::wstring FPath;
};

std::wstring OwnExe() {
  wchar_t path[MAX_PATH];
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  return path;
}
}  // namespace

TEST(CommonUtils, FormatSize) {
  SetDecimalSeparatorOverride(L',');
  struct Case { std::int64_t size; const wchar_t* text; } cases[] = {
      {0, L"0 B"},
      {1023, L"1023 B"},
      {-5, L"-5 B"},
      {LLONG_MIN, L"-9223372036854775808 B"},
      {1024, L"1,00 kB"},
      {1536, L"1,50 kB"},
      {1048575, L"1024,00 kB"},
      {1048576, L"1,00 MB"},
      {std::int64_t(5) << 30, L"5,00 GB"},
      {std::int64_t(3) << 39, L"1,50 TB"},
      {std::int64_t(1) << 50, L"1,00 PB"},
      {(std::int64_t(1) << 60) - 1, L"1024,00 PB"},
      {std::int64_t(1) << 60, L"big"},
      {LLONG_MAX, L"big"},
  };
  for (auto& c : cases) EXPECT_EQ(FormatSize(c.size), c.text) << c.size;
  SetDecimalSeparatorOverride(L'.');
  EXPECT_EQ(FormatSize(1536), L"1.50 kB");
  SetDecimalSeparatorOverride(0);
}

TEST(CommonUtils, FormatDuration) {
  struct Case { std::uint32_t ms; bool withMs; const wchar_t* text; } cases[] = {
      {0, false, L"00:00:00"},
      {0, true, L"00:00:00.000"},
      {999, false, L"00:00:00"},
      {86399999, true, L"23:59:59.999"},
      {86400000, false, L"1 дн. 00:00:00"},
      {90061001, true, L"1 дн. 01:01:01.001"},
      {UINT32_MAX, true, L"49 дн. 17:02:47.295"},
  };
  for (auto& c : cases) EXPECT_EQ(FormatDuration(c.ms, c.withMs), c.text) << c.ms;
}

TEST(CommonUtils, UrlParts) {
  struct Case { const wchar_t* url; const wchar_t* host; const wchar_t* path; } cases[] = {
      {L"http://example.com/a/b.png", L"http://example.com\\", L"a/b.png"},
      {L"https://cdn.example.com/x/y.js", L"https://cdn.example.com\\", L"x/y.js"},
      {L"ftp://files.example.org/x", L"ftp://files.example.org\\", L"x"},
      {L"http://127.0.0.2/assets/1.png", L"http://127.0.0.2\\", L"assets/1.png"},
      {L"http://example.com:8080/a.png", L"http://example.com\\", L"8080/a.png"},  // the colon is dropped
      {L"http://localhost/a.png", L"", L"http://localhost/a.png"},                 // no dot: no host
      {L"img/a.png", L"", L"img/a.png"},
      {L"HTTP://EXAMPLE.COM/a", L"", L"HTTP://EXAMPLE.COM/a"},                    // the scheme is case-sensitive
      {L"http://example.com", L"http://example.com\\", L""},                       // nothing after the host
      {L"", L"", L""},
  };
  for (auto& c : cases) {
    EXPECT_EQ(TUrl::GetHost(c.url), c.host) << c.url;
    EXPECT_EQ(TUrl::GetPath(c.url), c.path) << c.url;
  }
  struct Valid { const wchar_t* url; bool valid; } valid[] = {
      {L"http://example.com/a?b=c#d", true}, {L"ftp://x/y", true}, {L"mailto:someone", true},
      {L"img/a.png", false}, {L"http://example.com:99999/", false}, {L"http://exa mple.com/", false}, {L"", false}};
  for (auto& c : valid) EXPECT_EQ(TUrl::IsValid(c.url), c.valid) << c.url;
}

TEST(CommonUtils, Md5OfFilesAndStreams) {
  TempFolder dir;
  EXPECT_EQ(FileMD5(dir.File(L"empty.bin")), L"d41d8cd98f00b204e9800998ecf8427e");
  EXPECT_EQ(FileMD5(dir.File(L"abc.txt", "abc")), L"900150983cd24fb0d6963f7d28e17f72");
  // A million "a" crosses many read blocks (RFC 1321 test suite value).
  std::wstring big = dir.File(L"a.bin", std::string(1000000, 'a'));
  EXPECT_EQ(FileMD5(big), L"7707d6ae4e027c70eea2a935c2296f21");

  // Another process may be writing the file (a partial download): hashing still reads it.
  HANDLE writer = CreateFileW(big.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(writer, INVALID_HANDLE_VALUE);
  EXPECT_EQ(FileMD5(big), L"7707d6ae4e027c70eea2a935c2296f21");
  CloseHandle(writer);

  EXPECT_THROW(FileMD5(dir.Path() + L"missing.bin"), EInOutError);

  // From the current position to the end, leaving the stream at its end.
  TMemoryStream stream("xxThe quick brown fox jumps over the lazy dog");
  stream.SetPosition(2);
  EXPECT_EQ(StreamMD5(stream), L"9e107d9d372bb6826bd81d3542a419d6");
  EXPECT_EQ(stream.Position(), stream.Size());
}

TEST(CommonUtils, FileVersionText) {
  TempFolder dir;
  EXPECT_EQ(FileVersionText(OwnExe(), false), L"4.3.2");
  EXPECT_EQ(FileVersionText(OwnExe(), true), L"4.3.2.1");
  EXPECT_EQ(FileVersionText(dir.File(L"plain.exe", "MZ not really"), true), L"?.?.?.?");
  EXPECT_EQ(FileVersionText(dir.Path() + L"missing.exe", false), L"?.?.?.?");
}

TEST(CommonUtils, DeleteFilesByMask) {
  TempFolder dir;
  dir.File(L"a.txt", "1");
  dir.File(L"B.TXT", "2");
  dir.File(L"c.log", "3");
  dir.File(L"a.txt.bak", "4");
  ForceDirectories(dir.Path() + L"sub");
  dir.File(L"sub\\d.txt", "5");
  DeleteFiles(dir.Path(), L"*.txt");
  EXPECT_FALSE(FileExists(dir.Path() + L"a.txt"));
  EXPECT_FALSE(FileExists(dir.Path() + L"B.TXT"));
  EXPECT_TRUE(FileExists(dir.Path() + L"c.log"));
  EXPECT_TRUE(FileExists(dir.Path() + L"a.txt.bak"));
  EXPECT_TRUE(FileExists(dir.Path() + L"sub\\d.txt"));  // subfolders are left alone

  // A file that cannot be deleted ends the run with an input-output error.
  std::wstring locked = dir.File(L"locked.log", "x");
  HANDLE h = CreateFileW(locked.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  EXPECT_THROW(DeleteFiles(dir.Path(), L"*.log"), EInOutError);
  CloseHandle(h);
  EXPECT_NO_THROW(DeleteFiles(dir.Path() + L"nowhere", L"*"));
}

TEST(CommonUtils, ChooseTextAndProgressRecord) {
  EXPECT_EQ(ChooseText(true, L"yes", L"no"), L"yes");
  EXPECT_EQ(ChooseText(false, L"yes", L"no"), L"no");

  TProgressInfo info(L"Old", false);
  info.Stage = L"stage";
  info.State = L"state";
  info.Count = L"3 / 7";
  info.Percent = 42;
  info.Create(L"Check for updates...", true);
  EXPECT_TRUE(info.Wait);
  EXPECT_EQ(info.Title, L"Check for updates...");
  EXPECT_EQ(info.Stage, L"");
  EXPECT_EQ(info.State, L"");
  EXPECT_EQ(info.Percent, 0);
  EXPECT_EQ(info.Count, L"3 / 7");  // kept
}

TEST(CommonUtils, HttpGetText) {
  THttpTestServer server;
  const std::string text = "{\"a\":\"Grüße, мир\"}";
  // gzip is inflated; the declared charset is ignored: the body is read as UTF-8.
  server.ServeGzip("/rules.json", text, "application/json; charset=windows-1251");
  EXPECT_EQ(HttpGetText(server.Url("/rules.json")), L"{\"a\":\"Grüße, мир\"}");
  // The status is not looked at: an error page comes back as text.
  server.Serve("/missing", "not here", "text/plain", 404);
  EXPECT_EQ(HttpGetText(server.Url("/missing")), L"not here");
  // A body cut short is a network error, not a shorter text.
  server.ServeShortBody("/short", "{\"a\":", 100);
  EXPECT_THROW(HttpGetText(server.Url("/short")), ENetHTTPClientException);

  std::wstring refused;
  {
    THttpTestServer gone;
    refused = gone.Url("/x");
  }
  EXPECT_THROW(HttpGetText(refused), ENetHTTPClientException);
}
