#include "platform/runtime/HttpClient.h"
#include "platform/runtime/Streams.h"
#include "platform/runtime/Strings.h"
#include <windows.h>
#include <winhttp.h>
#include <zlib.h>
#include <algorithm>
#include <cstring>

namespace {
struct THandle {
  HINTERNET H = nullptr;
  explicit THandle(HINTERNET h) : H(h) {}
  ~THandle() {
    if (H) WinHttpCloseHandle(H);
  }
  THandle(const THandle&) = delete;
  THandle& operator=(const THandle&) = delete;
};

std::wstring WinHttpErrorText(DWORD code) {
  // Wine's winhttp.dll has no message table: the usual codes get their texts here.
  static const struct { DWORD code; const wchar_t* text; } known[] = {
      {ERROR_WINHTTP_TIMEOUT, L"The operation timed out"},
      {ERROR_WINHTTP_NAME_NOT_RESOLVED, L"The server name or address could not be resolved"},
      {ERROR_WINHTTP_CANNOT_CONNECT, L"A connection with the server could not be established"},
      {ERROR_WINHTTP_CONNECTION_ERROR, L"The connection with the server was terminated abnormally"},
      {ERROR_WINHTTP_INVALID_SERVER_RESPONSE, L"The server returned an invalid or unrecognized response"},
      {ERROR_WINHTTP_INVALID_URL, L"The URL is invalid"},
      {ERROR_WINHTTP_UNRECOGNIZED_SCHEME, L"The URL does not use a recognized protocol"},
      {ERROR_WINHTTP_SECURE_FAILURE, L"A security error occurred"},
      {ERROR_WINHTTP_REDIRECT_FAILED, L"The redirection failed"},
  };
  for (auto& k : known)
    if (k.code == code) return FormatW(L"(%lu) %s", code, k.text);
  wchar_t* buffer = nullptr;
  DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_FROM_SYSTEM |
                               FORMAT_MESSAGE_IGNORE_INSERTS,
                           GetModuleHandleW(L"winhttp.dll"), code, 0, reinterpret_cast<LPWSTR>(&buffer), 0, nullptr);
  std::wstring text = n && buffer ? std::wstring(buffer, n) : L"WinHTTP error";
  if (buffer) LocalFree(buffer);
  while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' ')) text.pop_back();
  return FormatW(L"(%lu) %s", code, text.c_str());
}

[[noreturn]] void RaiseNetwork(const wchar_t* what, DWORD code) {
  throw ENetHTTPClientException(std::wstring(what) + L": " + WinHttpErrorText(code));
}

bool QueryHeaderText(HINTERNET request, DWORD info, std::wstring& value) {
  DWORD size = 0;
  WinHttpQueryHeaders(request, info, WINHTTP_HEADER_NAME_BY_INDEX, WINHTTP_NO_OUTPUT_BUFFER, &size,
                      WINHTTP_NO_HEADER_INDEX);
  if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || size == 0) return false;
  std::wstring buf(size / sizeof(wchar_t) + 1, L'\0');
  if (!WinHttpQueryHeaders(request, info, WINHTTP_HEADER_NAME_BY_INDEX, buf.data(), &size, WINHTTP_NO_HEADER_INDEX))
    return false;
  buf.resize(size / sizeof(wchar_t));
  value = std::move(buf);
  return true;
}

TNetHeaders ParseRawHeaders(const std::wstring& raw) {
  TNetHeaders headers;
  size_t start = raw.find(L"\r\n");  // the status line comes first
  while (start != std::wstring::npos) {
    start += 2;
    size_t end = raw.find(L"\r\n", start);
    std::wstring line = raw.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start);
    size_t colon = line.find(L':');
    if (colon != std::wstring::npos && colon > 0) headers.emplace_back(Trim(line.substr(0, colon)), Trim(line.substr(colon + 1)));
    start = end;
  }
  return headers;
}

std::string Gunzip(const std::string& bytes) {
  z_stream zs{};
  if (inflateInit2(&zs, 15 + 32) != Z_OK) throw ENetHTTPResponseException(L"Cannot start gzip decoding");
  std::string out;
  char buf[65536];
  zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
  zs.avail_in = static_cast<uInt>(bytes.size());
  int rc = Z_OK;
  while (rc != Z_STREAM_END) {
    zs.next_out = reinterpret_cast<Bytef*>(buf);
    zs.avail_out = sizeof buf;
    rc = inflate(&zs, Z_NO_FLUSH);
    if (rc != Z_OK && rc != Z_STREAM_END) break;
    out.append(buf, sizeof buf - zs.avail_out);
    if (rc == Z_OK && zs.avail_in == 0 && zs.avail_out != 0) break;  // truncated data
  }
  inflateEnd(&zs);
  if (rc != Z_STREAM_END) throw ENetHTTPResponseException(L"The gzip content of the response is damaged");
  return out;
}

// The code page of a charset name; 0 when the name is unknown.
unsigned CodePageOfCharset(const std::wstring& name) {
  static const struct { const wchar_t* name; unsigned cp; } table[] = {
      {L"utf-8", CP_UTF8},        {L"utf8", CP_UTF8},          {L"utf-16", 1200},        {L"utf-16le", 1200},
      {L"utf-16be", 1201},        {L"us-ascii", 20127},        {L"ascii", 20127},        {L"iso-8859-1", 28591},
      {L"latin1", 28591},         {L"iso-8859-2", 28592},      {L"iso-8859-5", 28595},   {L"iso-8859-15", 28605},
      {L"koi8-r", 20866},         {L"koi8-u", 21866},          {L"cp866", 866},          {L"ibm866", 866},
      {L"windows-1250", 1250},    {L"windows-1251", 1251},     {L"windows-1252", 1252},  {L"windows-1253", 1253},
      {L"windows-1254", 1254},    {L"windows-1255", 1255},     {L"windows-1256", 1256},  {L"windows-1257", 1257},
      {L"windows-1258", 1258},    {L"cp1251", 1251},           {L"cp1252", 1252},
  };
  for (auto& e : table)
    if (name == e.name) return e.cp;
  return 0;
}

std::wstring Decode(const std::string& bytes, unsigned codePage) {
  std::wstring text;
  if (codePage == 1200 || codePage == 1201) {
    text.resize(bytes.size() / 2);
    for (size_t i = 0; i < text.size(); ++i) {
      unsigned char a = bytes[2 * i], b = bytes[2 * i + 1];
      text[i] = codePage == 1200 ? static_cast<wchar_t>(a | b << 8) : static_cast<wchar_t>(b | a << 8);
    }
  } else if (!bytes.empty()) {
    int n = MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    text.resize(n);
    if (n > 0) MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()), text.data(), n);
  }
  if (!text.empty() && text[0] == 0xFEFF) text.erase(0, 1);
  return text;
}
}  // namespace

// ---- response --------------------------------------------------------------
std::wstring THTTPResponse::HeaderValue(std::wstring_view name) const {
  for (auto& h : FHeaders)
    if (SameText(h.first, name)) return h.second;
  return {};
}

bool THTTPResponse::ContainsHeader(std::wstring_view name) const {
  for (auto& h : FHeaders)
    if (SameText(h.first, name)) return true;
  return false;
}

std::wstring THTTPResponse::MimeType() const {
  std::wstring type = HeaderValue(L"Content-Type");
  return Trim(type.substr(0, type.find(L';')));
}

std::wstring THTTPResponse::ContentCharSet() const {
  for (auto& part : SplitString(HeaderValue(L"Content-Type"), L';')) {
    std::wstring p = Trim(part);
    if (StartsText(L"charset=", p)) {
      std::wstring value = Trim(p.substr(8));
      if (value.size() >= 2 && value.front() == L'"' && value.back() == L'"') value = value.substr(1, value.size() - 2);
      return LowerCase(value);
    }
  }
  return {};
}

std::wstring THTTPResponse::ContentEncoding() const { return HeaderValue(L"Content-Encoding"); }

std::wstring THTTPResponse::ContentAsString(unsigned codePage) const {
  std::wstring encoding = LowerCase(Trim(ContentEncoding()));
  const std::string& bytes = FContent;
  // A packed body that unpacks to nothing is empty text, not its raw gzip bytes.
  const bool packed = encoding == L"gzip" || encoding == L"x-gzip";
  std::string inflated;
  if (packed) inflated = Gunzip(bytes);
  if (codePage == 0) {
    codePage = CodePageOfCharset(ContentCharSet());
    if (codePage == 0) codePage = CP_UTF8;
  }
  return Decode(packed ? inflated : bytes, codePage);
}

// ---- client ----------------------------------------------------------------
THTTPClient::THTTPClient() {
  FSession = WinHttpOpen(L"Tarvel", WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0);
  if (!FSession) throw ENetHTTPRequestException(L"Cannot open an HTTP session: " + WinHttpErrorText(GetLastError()));
}

THTTPClient::~THTTPClient() { WinHttpCloseHandle(FSession); }

THTTPResponse THTTPClient::Get(const std::wstring& url, TStream* content, const TNetHeaders& headers) {
  return Execute(L"GET", url, content, headers);
}

THTTPResponse THTTPClient::Head(const std::wstring& url, const TNetHeaders& headers) {
  return Execute(L"HEAD", url, nullptr, headers);
}

THTTPResponse THTTPClient::Execute(const wchar_t* method, const std::wstring& url, TStream* content,
                                   const TNetHeaders& headers) {
  URL_COMPONENTS uc{};
  uc.dwStructSize = sizeof uc;
  uc.dwSchemeLength = uc.dwHostNameLength = uc.dwUrlPathLength = uc.dwExtraInfoLength = static_cast<DWORD>(-1);
  if (url.empty() || !WinHttpCrackUrl(url.c_str(), static_cast<DWORD>(url.size()), 0, &uc) || uc.dwHostNameLength == 0)
    throw ENetURIException(L"Malformed URL \"" + url + L"\"");
  std::wstring host(uc.lpszHostName, uc.dwHostNameLength);
  std::wstring path = std::wstring(uc.lpszUrlPath, uc.dwUrlPathLength) + std::wstring(uc.lpszExtraInfo, uc.dwExtraInfoLength);
  if (path.empty()) path = L"/";

  THandle connection(WinHttpConnect(FSession, host.c_str(), uc.nPort, 0));
  if (!connection.H) throw ENetHTTPRequestException(L"Cannot connect to \"" + host + L"\": " + WinHttpErrorText(GetLastError()));
  THandle request(WinHttpOpenRequest(connection.H, method, path.c_str(), nullptr, WINHTTP_NO_REFERER,
                                     WINHTTP_DEFAULT_ACCEPT_TYPES, uc.nScheme == INTERNET_SCHEME_HTTPS ? WINHTTP_FLAG_SECURE : 0));
  if (!request.H) throw ENetHTTPRequestException(L"Cannot open a request for \"" + url + L"\": " + WinHttpErrorText(GetLastError()));
  WinHttpSetTimeouts(request.H, 0, FConnectionTimeout, FResponseTimeout, FResponseTimeout);
  // The wait for the response headers has its own WinHTTP option (90 s by default); a set
  // response time-out covers it too, else a server that never answers holds the caller.
  if (FResponseTimeout != DefaultResponseTimeout) {
    DWORD timeout = static_cast<DWORD>(FResponseTimeout);
    WinHttpSetOption(request.H, WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &timeout, sizeof timeout);
  }
  for (auto& h : headers) {
    std::wstring line = h.first + L": " + h.second;
    if (!WinHttpAddRequestHeaders(request.H, line.c_str(), static_cast<DWORD>(line.size()),
                                  WINHTTP_ADDREQ_FLAG_ADD | WINHTTP_ADDREQ_FLAG_REPLACE))
      throw ENetHTTPRequestException(L"Invalid request header \"" + line + L"\": " + WinHttpErrorText(GetLastError()));
  }

  if (!WinHttpSendRequest(request.H, WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, 0, 0))
    RaiseNetwork(L"Error sending data", GetLastError());
  // Every failure on the wire is a network error, an unreadable answer included: WinHTTP
  // under Wine reports a connection dropped before the answer as an invalid response.
  if (!WinHttpReceiveResponse(request.H, nullptr)) RaiseNetwork(L"Error receiving data", GetLastError());

  THTTPResponse response;
  DWORD status = 0, size = sizeof status;
  if (!WinHttpQueryHeaders(request.H, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER, WINHTTP_HEADER_NAME_BY_INDEX,
                           &status, &size, WINHTTP_NO_HEADER_INDEX))
    throw ENetHTTPResponseException(L"The response of \"" + url + L"\" has no status");
  response.FStatusCode = static_cast<int>(status);
  QueryHeaderText(request.H, WINHTTP_QUERY_STATUS_TEXT, response.FStatusText);
  std::wstring raw;
  if (QueryHeaderText(request.H, WINHTTP_QUERY_RAW_HEADERS_CRLF, raw)) response.FHeaders = ParseRawHeaders(raw);
  long long announced = -1;
  if (response.ContainsHeader(L"Content-Length") &&
      (!TryStrToInt64(Trim(response.HeaderValue(L"Content-Length")), announced) || announced < 0))
    throw ENetHTTPResponseException(L"Invalid Content-Length \"" + response.HeaderValue(L"Content-Length") + L"\" from \"" + url + L"\"");
  response.FContentLength = announced;

  // No body belongs to these, whatever their headers announce.
  if (std::wstring_view(method) == L"HEAD" || status == 204 || status == 304 || status < 200) return response;

  bool report = OnReceiveData && status < 300;
  std::int64_t reportedLength = announced > 0 ? announced : -1;
  bool abort = false;
  if (report) OnReceiveData(reportedLength, 0, abort);
  std::int64_t total = 0;
  std::string block;
  while (!abort) {
    DWORD available = 0;
    if (!WinHttpQueryDataAvailable(request.H, &available)) RaiseNetwork(L"Error receiving data", GetLastError());
    if (available == 0) break;
    block.resize(std::min<DWORD>(std::max<DWORD>(available, 4096), 1 << 20));
    DWORD got = 0;
    if (!WinHttpReadData(request.H, block.data(), static_cast<DWORD>(block.size()), &got))
      RaiseNetwork(L"Error receiving data", GetLastError());
    if (got == 0) break;
    if (content)
      content->Write(block.data(), got);
    else
      response.FContent.append(block.data(), got);
    total += got;
    if (report) OnReceiveData(reportedLength, total, abort);
  }
  response.FBytesReceived = total;
  response.FAborted = abort;
  // WinHTTP (under Wine at least) ends a body cut short by a closed connection without an
  // error: the caller would take a truncated file for a whole one.
  if (!abort && announced >= 0 && total < announced)
    throw ENetHTTPClientException(FormatW(L"Connection closed after %lld of %lld bytes of \"%s\"",
                                          static_cast<long long>(total), announced, url.c_str()));
  return response;
}
