// HttpSystem.cpp -- the system's HTTP under THttpClient: libcurl on Linux,
// WinHTTP on Windows (no DLL beyond the system's), fetch in the browser.
#include "services/Http.h"

#if defined(__EMSCRIPTEN__)
#include <emscripten/fetch.h>

#include <array>

#include <cstring>
#include <string_view>
#include <map>
#else
#include "services/HttpWorker.h"
#if defined(_WIN32)
#include <windows.h>
#include <winhttp.h>

#include <string>
#include <vector>
#else
#include <curl/curl.h>

#include <mutex>
#endif
#endif

namespace {

[[maybe_unused]] constexpr const char* kNoAnswer = "Server nicht erreichbar";
[[maybe_unused]] constexpr const char* kTimedOut = "Server antwortet nicht (Zeit\xFC" "berschreitung)";
[[maybe_unused]] constexpr const char* kBadAddress = "Serveradresse ung\xFC" "ltig";

#if defined(__EMSCRIPTEN__)

// The answer's Retry-After among its headers ("name: value" lines; the
// server exposes it to pages of other origins).
int RetryAfterOf(emscripten_fetch_t* fetch) {
  const std::size_t length = emscripten_fetch_get_response_headers_length(fetch);
  std::string headers(length + 1, '\0');
  emscripten_fetch_get_response_headers(fetch, headers.data(), headers.size());
  headers.resize(length);
  std::size_t start = 0;
  while (start < headers.size()) {
    std::size_t end = headers.find('\n', start);
    if (end == std::string::npos) end = headers.size();
    const std::string_view line(headers.data() + start, end - start);
    constexpr std::string_view kName = "retry-after:";
    bool match = line.size() > kName.size();
    for (std::size_t i = 0; match && i < kName.size(); ++i)
      match = (line[i] >= 'A' && line[i] <= 'Z' ? line[i] + ('a' - 'A') : line[i]) == kName[i];
    if (match) return ParseRetryAfter(line.substr(kName.size()));
    start = end + 1;
  }
  return -1;
}

// The browser runs the request and calls back on the page's own thread,
// between two frames.
class TFetchHttp final : public THttpClient {
 public:
  ~TFetchHttp() override {
    for (auto& [id, fetch] : fRunning) {
      fetch->userData = nullptr;
      emscripten_fetch_close(fetch);
    }
  }

  uint64_t Start(const THttpRequest& request) override {
    const uint64_t id = fNextId++;
    emscripten_fetch_attr_t attr;
    emscripten_fetch_attr_init(&attr);
    std::strncpy(attr.requestMethod, request.Method.c_str(), sizeof attr.requestMethod - 1);
    attr.attributes = EMSCRIPTEN_FETCH_LOAD_TO_MEMORY;
    attr.timeoutMSecs = static_cast<unsigned long>(kHttpTimeoutSeconds * 1000);
    fHeaders[id] = {"Content-Type", request.ContentType.c_str(), nullptr};
    fBodies[id] = request.Body;
    if (request.Method == "POST") {
      attr.requestHeaders = fHeaders[id].data();
      attr.requestData = fBodies[id].data();
      attr.requestDataSize = fBodies[id].size();
    }
    attr.userData = this;
    attr.onsuccess = attr.onerror = [](emscripten_fetch_t* fetch) {
      if (auto* self = static_cast<TFetchHttp*>(fetch->userData)) self->Finished(fetch);
    };

    emscripten_fetch_t* fetch = emscripten_fetch(&attr, request.Url.c_str());
    if (fetch) fRunning[id] = fetch;
    else fDone[id] = THttpResponse{0, {}, kNoAnswer};
    return id;
  }

  std::optional<THttpResponse> Take(uint64_t id) override {
    const auto found = fDone.find(id);
    if (found == fDone.end()) return std::nullopt;
    THttpResponse response = std::move(found->second);
    fDone.erase(found);
    return response;
  }

 private:
  // A timeout ends as an error without a status, as a refused connection.
  void Finished(emscripten_fetch_t* fetch) {
    for (auto it = fRunning.begin(); it != fRunning.end(); ++it) {
      if (it->second != fetch) continue;
      THttpResponse response;
      response.Status = fetch->status;
      response.Body.assign(fetch->data ? fetch->data : "", static_cast<std::size_t>(fetch->numBytes));
      if (response.Status == 0) response.Error = kNoAnswer;
      response.RetryAfterSeconds = RetryAfterOf(fetch);
      fDone[it->first] = std::move(response);
      fHeaders.erase(it->first);
      fBodies.erase(it->first);
      fRunning.erase(it);
      break;
    }
    emscripten_fetch_close(fetch);
  }

  uint64_t fNextId = 1;
  std::map<uint64_t, emscripten_fetch_t*> fRunning;
  std::map<uint64_t, std::array<const char*, 3>> fHeaders;
  std::map<uint64_t, std::string> fBodies;
  std::map<uint64_t, THttpResponse> fDone;
};

#elif defined(_WIN32)

struct TInternetHandle {
  HINTERNET Handle = nullptr;
  ~TInternetHandle() {
    if (Handle) WinHttpCloseHandle(Handle);
  }
};

THttpResponse WinHttpTransfer(const THttpRequest& request) {
  THttpResponse response;
  // Our addresses are plain ASCII.
  const std::wstring url(request.Url.begin(), request.Url.end());
  const std::wstring method(request.Method.begin(), request.Method.end());
  wchar_t host[256] = {}, path[4096] = {};
  URL_COMPONENTS parts{};
  parts.dwStructSize = sizeof parts;
  parts.lpszHostName = host;
  parts.dwHostNameLength = static_cast<DWORD>(std::size(host));
  parts.lpszUrlPath = path;
  parts.dwUrlPathLength = static_cast<DWORD>(std::size(path));
  if (!WinHttpCrackUrl(url.c_str(), 0, 0, &parts)) {
    response.Error = kBadAddress;
    return response;
  }
  const int timeoutMs = static_cast<int>(kHttpTimeoutSeconds * 1000);
  TInternetHandle session{WinHttpOpen(L"Riftvaulter", WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME,
                                      WINHTTP_NO_PROXY_BYPASS, 0)};
  if (!session.Handle) {
    response.Error = kNoAnswer;
    return response;
  }
  WinHttpSetTimeouts(session.Handle, timeoutMs, timeoutMs, timeoutMs, timeoutMs);
  TInternetHandle connection{WinHttpConnect(session.Handle, host, parts.nPort, 0)};
  TInternetHandle handle{connection.Handle ? WinHttpOpenRequest(connection.Handle, method.c_str(), path, nullptr,
                                                               WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                                                               parts.nScheme == INTERNET_SCHEME_HTTPS ? WINHTTP_FLAG_SECURE : 0)
                                           : nullptr};
  const std::wstring headers = L"Content-Type: " + std::wstring(request.ContentType.begin(), request.ContentType.end());
  const bool post = request.Method == "POST";
  if (!handle.Handle ||
      !WinHttpSendRequest(handle.Handle, post ? headers.c_str() : WINHTTP_NO_ADDITIONAL_HEADERS, post ? static_cast<DWORD>(-1) : 0,
                          post ? const_cast<char*>(request.Body.data()) : WINHTTP_NO_REQUEST_DATA,
                          static_cast<DWORD>(post ? request.Body.size() : 0), static_cast<DWORD>(post ? request.Body.size() : 0), 0) ||
      !WinHttpReceiveResponse(handle.Handle, nullptr)) {
    response.Error = GetLastError() == ERROR_WINHTTP_TIMEOUT ? kTimedOut : kNoAnswer;
    return response;
  }
  DWORD status = 0, size = sizeof status;
  WinHttpQueryHeaders(handle.Handle, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER, WINHTTP_HEADER_NAME_BY_INDEX,
                      &status, &size, WINHTTP_NO_HEADER_INDEX);
  for (;;) {
    DWORD available = 0;
    if (!WinHttpQueryDataAvailable(handle.Handle, &available) || available == 0) break;
    std::vector<char> chunk(available);
    DWORD read = 0;
    if (!WinHttpReadData(handle.Handle, chunk.data(), available, &read) || read == 0) break;
    response.Body.append(chunk.data(), read);
  }
  response.Status = static_cast<int>(status);
  DWORD retryAfter = 0;
  size = sizeof retryAfter;
  if (WinHttpQueryHeaders(handle.Handle, WINHTTP_QUERY_RETRY_AFTER | WINHTTP_QUERY_FLAG_NUMBER, WINHTTP_HEADER_NAME_BY_INDEX,
                          &retryAfter, &size, WINHTTP_NO_HEADER_INDEX))
    response.RetryAfterSeconds = ParseRetryAfter(std::to_string(retryAfter));
  return response;
}

#else

size_t AppendBody(char* data, size_t size, size_t count, void* target) {
  static_cast<std::string*>(target)->append(data, size * count);
  return size * count;
}

THttpResponse CurlTransfer(const THttpRequest& request) {
  // Once per process, before the first handle.
  static std::once_flag initialised;
  std::call_once(initialised, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
  THttpResponse response;
  CURL* curl = curl_easy_init();
  if (!curl) {
    response.Error = kNoAnswer;
    return response;
  }
  curl_slist* headers = nullptr;
  curl_easy_setopt(curl, CURLOPT_URL, request.Url.c_str());
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(curl, CURLOPT_TIMEOUT, kHttpTimeoutSeconds);
  curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, 5L);
  curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, AppendBody);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &response.Body);
  if (request.Method == "POST") {
    headers = curl_slist_append(headers, ("Content-Type: " + request.ContentType).c_str());
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(curl, CURLOPT_POST, 1L);
    curl_easy_setopt(curl, CURLOPT_POSTFIELDS, request.Body.data());
    curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(request.Body.size()));
  }
  const CURLcode result = curl_easy_perform(curl);
  if (result == CURLE_OK) {
    long status = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
    response.Status = static_cast<int>(status);
    // Seconds only: curl turns a date into seconds too, and 0 is "none".
    curl_off_t retryAfter = 0;
    if (curl_easy_getinfo(curl, CURLINFO_RETRY_AFTER, &retryAfter) == CURLE_OK && retryAfter > 0)
      response.RetryAfterSeconds = ParseRetryAfter(std::to_string(retryAfter));
  } else {
    response.Body.clear();
    response.Error = result == CURLE_OPERATION_TIMEDOUT                                        ? kTimedOut
                     : result == CURLE_URL_MALFORMAT || result == CURLE_UNSUPPORTED_PROTOCOL ? kBadAddress
                                                                                             : kNoAnswer;
  }
  curl_slist_free_all(headers);
  curl_easy_cleanup(curl);
  return response;
}

#endif

}  // namespace

std::unique_ptr<THttpClient> MakeSystemHttpClient() {
#if defined(__EMSCRIPTEN__)
  return std::make_unique<TFetchHttp>();
#elif defined(_WIN32)
  return std::make_unique<THttpWorker>(WinHttpTransfer);
#else
  return std::make_unique<THttpWorker>(CurlTransfer);
#endif
}
