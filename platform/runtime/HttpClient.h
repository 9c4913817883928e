#pragma once
// HTTP client over WinHTTP: GET and HEAD into a stream or into memory, extra request
// headers, connection and response time-outs, a receive-data callback that may abort,
// status, response headers and the body as text.
//
// Error kinds, all ENetHTTPException:
//   ENetHTTPClientException   the network failed: no connection, time-out, connection
//                             dropped or garbled, body shorter than its announced length;
//   ENetHTTPRequestException  the request could not be set up;
//   ENetHTTPResponseException the response's content cannot be used (bad Content-Length,
//                             damaged gzip data).
// A malformed address raises ENetURIException, which is not a network error.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>
#include "platform/runtime/Exceptions.h"

class TStream;

TARVEL_DECLARE_EXCEPTION(ENetException, Exception)
TARVEL_DECLARE_EXCEPTION(ENetURIException, ENetException)
TARVEL_DECLARE_EXCEPTION(ENetHTTPException, ENetException)
TARVEL_DECLARE_EXCEPTION(ENetHTTPClientException, ENetHTTPException)
TARVEL_DECLARE_EXCEPTION(ENetHTTPRequestException, ENetHTTPException)
TARVEL_DECLARE_EXCEPTION(ENetHTTPResponseException, ENetHTTPException)

using TNetHeader = std::pair<std::wstring, std::wstring>;
using TNetHeaders = std::vector<TNetHeader>;

// Called for responses whose status is below 300: once before the first block (readCount 0)
// and after every block. contentLength is the announced length, -1 when none or 0.
// Setting abort ends the transfer without an error, keeping the bytes received so far.
using TReceiveDataEvent = std::function<void(std::int64_t contentLength, std::int64_t readCount, bool& abort)>;

class THTTPResponse {
public:
  int StatusCode() const { return FStatusCode; }
  const std::wstring& StatusText() const { return FStatusText; }
  const TNetHeaders& Headers() const { return FHeaders; }
  // The first header of that name (case-insensitive), empty when absent.
  std::wstring HeaderValue(std::wstring_view name) const;
  bool ContainsHeader(std::wstring_view name) const;
  // The announced Content-Length, -1 when none.
  std::int64_t ContentLength() const { return FContentLength; }
  std::wstring MimeType() const;        // Content-Type without parameters
  std::wstring ContentCharSet() const;  // the charset parameter of Content-Type, lower case
  std::wstring ContentEncoding() const;
  // Body bytes received (when the request had no content stream: also kept in ContentBytes).
  std::int64_t BytesReceived() const { return FBytesReceived; }
  bool Aborted() const { return FAborted; }
  const std::string& ContentBytes() const { return FContent; }
  // The body in memory as text: inflated when its Content-Encoding is gzip, decoded by
  // codePage, or with 0 by the response's charset (UTF-8 when none or unknown);
  // a leading byte-order mark is dropped.
  std::wstring ContentAsString(unsigned codePage = 0) const;

private:
  friend class THTTPClient;
  int FStatusCode = 0;
  std::wstring FStatusText;
  TNetHeaders FHeaders;
  std::int64_t FContentLength = -1;
  std::int64_t FBytesReceived = 0;
  bool FAborted = false;
  std::string FContent;
};

class THTTPClient {
public:
  // WinHTTP's own defaults.
  static constexpr int DefaultConnectionTimeout = 60000;
  static constexpr int DefaultResponseTimeout = 30000;

  THTTPClient();
  ~THTTPClient();
  THTTPClient(const THTTPClient&) = delete;
  THTTPClient& operator=(const THTTPClient&) = delete;

  int ConnectionTimeout() const { return FConnectionTimeout; }
  void SetConnectionTimeout(int ms) { FConnectionTimeout = ms; }
  // Time allowed for sending the request and for each wait on response data.
  int ResponseTimeout() const { return FResponseTimeout; }
  void SetResponseTimeout(int ms) { FResponseTimeout = ms; }

  TReceiveDataEvent OnReceiveData;

  // The body goes to content from its current position, or into the response when null.
  // Redirects are followed as WinHTTP does. No Accept-Encoding is sent unless given in headers.
  THTTPResponse Get(const std::wstring& url, TStream* content = nullptr, const TNetHeaders& headers = {});
  THTTPResponse Head(const std::wstring& url, const TNetHeaders& headers = {});

private:
  THTTPResponse Execute(const wchar_t* method, const std::wstring& url, TStream* content, const TNetHeaders& headers);
  void* FSession;
  int FConnectionTimeout = DefaultConnectionTimeout;
  int FResponseTimeout = DefaultResponseTimeout;
};
