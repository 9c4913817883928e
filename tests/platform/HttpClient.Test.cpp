#include <gtest/gtest.h>
#include <windows.h>
#include <vector>
#include "support/HttpTestServer.h"
#include "platform/runtime/HttpClient.h"
#include "platform/runtime/Streams.h"

TEST(HttpClient, GetIntoMemoryAndStream) {
  THttpTestServer server;
  server.Serve("/a.bin", "0123456789", "application/octet-stream");
  THTTPClient client;
  THTTPResponse r = client.Get(server.Url("/a.bin"));
  EXPECT_EQ(r.StatusCode(), 200);
  EXPECT_EQ(r.StatusText(), L"OK");
  EXPECT_EQ(r.ContentLength(), 10);
  EXPECT_EQ(r.MimeType(), L"application/octet-stream");
  EXPECT_EQ(r.ContentBytes(), "0123456789");
  EXPECT_FALSE(r.Aborted());

  TMemoryStream stream("xy");
  stream.SetPosition(2);
  r = client.Get(server.Url("/a.bin"), &stream);
  EXPECT_EQ(stream.Bytes(), "xy0123456789");
  EXPECT_EQ(r.ContentBytes(), "");
  EXPECT_EQ(r.BytesReceived(), 10);

  // Redirects are followed.
  server.Get("/moved", [](const httplib::Request&, httplib::Response& res) { res.set_redirect("/a.bin"); });
  r = client.Get(server.Url("/moved"));
  EXPECT_EQ(r.StatusCode(), 200);
  EXPECT_EQ(r.ContentBytes(), "0123456789");

  // Downloads are hashed as received: nothing may ask the server to compress them.
  for (auto& req : server.Requests()) EXPECT_FALSE(req.HasHeader("Accept-Encoding"));
}

TEST(HttpClient, HeadAndRangedGet) {
  THttpTestServer server;
  server.Serve("/f.bin", "0123456789");
  THTTPClient client;
  THTTPResponse head = client.Head(server.Url("/f.bin"));
  EXPECT_EQ(head.StatusCode(), 200);
  EXPECT_EQ(head.ContentLength(), 10);
  EXPECT_EQ(head.ContentBytes(), "");

  // The last position may be the full length: the server sends the remainder.
  THTTPResponse part = client.Get(server.Url("/f.bin"), nullptr, {{L"Range", L"bytes=4-10"}});
  EXPECT_EQ(part.StatusCode(), 206);
  EXPECT_EQ(part.ContentBytes(), "456789");

  auto log = server.Requests();
  ASSERT_EQ(log.size(), 2u);
  EXPECT_EQ(log[0].Method, "HEAD");
  EXPECT_EQ(log[1].Method, "GET");
  EXPECT_EQ(log[1].Path, "/f.bin");
  EXPECT_EQ(log[1].Header("Range"), "bytes=4-10");
}

TEST(HttpClient, ReceiveDataCallbackAndAbort) {
  THttpTestServer server;
  std::string body(64 * 1024, 'z');
  server.ServeSlowBody("/slow.bin", body, 8 * 1024, 20);
  server.Serve("/missing", "error page", "text/plain", 404);

  THTTPClient client;
  std::vector<std::pair<std::int64_t, std::int64_t>> calls;
  client.OnReceiveData = [&](std::int64_t length, std::int64_t read, bool& abort) {
    calls.emplace_back(length, read);
    abort = read > 0;  // stop after the first block
  };
  TMemoryStream stream;
  THTTPResponse r = client.Get(server.Url("/slow.bin"), &stream);
  EXPECT_TRUE(r.Aborted());
  ASSERT_GE(calls.size(), 2u);
  EXPECT_EQ(calls[0], std::make_pair(std::int64_t(65536), std::int64_t(0)));  // once before the first block
  EXPECT_GT(calls[1].second, 0);
  EXPECT_LT(calls.back().second, 65536);
  EXPECT_EQ(static_cast<std::int64_t>(stream.Bytes().size()), calls.back().second);

  // Without abort every block is reported, ending with the whole length.
  calls.clear();
  client.OnReceiveData = [&](std::int64_t length, std::int64_t read, bool&) { calls.emplace_back(length, read); };
  r = client.Get(server.Url("/slow.bin"));
  EXPECT_EQ(r.ContentBytes(), body);
  ASSERT_GE(calls.size(), 2u);
  EXPECT_EQ(calls.back().second, 65536);

  // Refused statuses are not reported.
  calls.clear();
  r = client.Get(server.Url("/missing"));
  EXPECT_EQ(r.StatusCode(), 404);
  EXPECT_EQ(r.ContentBytes(), "error page");
  EXPECT_TRUE(calls.empty());
}

TEST(HttpClient, TextByCharsetAndGzip) {
  THttpTestServer server;
  server.Serve("/cp1251.txt", std::string("\xEC\xE8\xF0"), "text/plain; charset=\"Windows-1251\"");
  server.Serve("/plain.txt", "\xEF\xBB\xBF" "caf\xC3\xA9", "text/plain");
  server.ServeGzip("/z.txt", "packed text");
  THTTPClient client;
  EXPECT_EQ(client.Get(server.Url("/cp1251.txt")).ContentAsString(), L"мир");
  EXPECT_EQ(client.Get(server.Url("/plain.txt")).ContentAsString(), L"café");  // UTF-8 when none, BOM dropped
  THTTPResponse z = client.Get(server.Url("/z.txt"));
  EXPECT_EQ(z.ContentAsString(), L"packed text");
  EXPECT_NE(z.ContentBytes(), "packed text");  // the raw body stays as it came
  server.ServeGzip("/empty.txt", "");
  EXPECT_EQ(client.Get(server.Url("/empty.txt")).ContentAsString(), L"");
}

TEST(HttpClient, ErrorKinds) {
  THttpTestServer server;
  server.ServeShortBody("/short.bin", "abc", 10);
  server.ServeDropped("/drop");
  server.ServeDelayed("/late", "late", 1500);
  server.ServeRaw("/badgzip", "HTTP/1.1 200 OK\r\nContent-Encoding: gzip\r\nContent-Length: 4\r\n\r\nnope");
  THTTPClient client;
  TMemoryStream stream;
  EXPECT_THROW(client.Get(server.Url("/short.bin"), &stream), ENetHTTPClientException);
  EXPECT_THROW(client.Get(server.Url("/drop")), ENetHTTPClientException);
  EXPECT_THROW(client.Get(L"not a url"), ENetURIException);
  EXPECT_THROW(client.Get(server.Url("/badgzip")).ContentAsString(), ENetHTTPResponseException);

  THTTPClient impatient;
  impatient.SetResponseTimeout(300);
  EXPECT_THROW(impatient.Get(server.Url("/late")), ENetHTTPClientException);

  std::wstring refused;
  {
    THttpTestServer gone;
    refused = gone.Url("/x");
  }
  EXPECT_THROW(client.Head(refused), ENetHTTPClientException);
}

// The updater's tests serve from a dotted loopback host on port 80, so that URLs carry no port.
// This one uses another loopback address, since test executables run in parallel.
TEST(HttpTestServer, BindsDottedLoopbackOnPort80) {
  THttpTestServer server("127.0.0.9", 80);
  server.Serve("/assets/1.png", "png");
  EXPECT_EQ(server.Url("/assets/1.png"), L"http://127.0.0.9/assets/1.png");
  THTTPClient client;
  EXPECT_EQ(client.Get(server.Url("/assets/1.png")).ContentBytes(), "png");
}
