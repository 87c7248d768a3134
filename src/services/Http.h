// Http.h -- the game's few HTTP requests, started without waiting and
// collected when their answer is there, so that no frame ever waits for the
// network.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

struct THttpRequest {
  std::string Method = "GET";  // GET or POST
  std::string Url;             // absolute: http://host[:port]/path?query
  std::string Body;            // POST only
  std::string ContentType = "application/octet-stream";
};

struct THttpResponse {
  // The server's status code; 0 when no answer came (Error says why, in
  // German: no connection, timed out, bad address).
  int Status = 0;
  std::string Body;
  std::string Error;
  // The answer's Retry-After in seconds (a 429 or 503 says when to ask
  // again); -1 when it has none or gives a date.
  int RetryAfterSeconds = -1;
};

// A Retry-After header's value as seconds: a whole number of seconds,
// capped at a day; -1 for anything else (an HTTP date among them, which
// the caller's own wait then replaces).
[[nodiscard]] inline int ParseRetryAfter(std::string_view value) {
  while (!value.empty() && (value.front() == ' ' || value.front() == '\t')) value.remove_prefix(1);
  while (!value.empty() && (value.back() == ' ' || value.back() == '\t' || value.back() == '\r')) value.remove_suffix(1);
  if (value.empty() || value.size() > 9) return -1;
  int seconds = 0;
  for (const char ch : value) {
    if (ch < '0' || ch > '9') return -1;
    seconds = seconds * 10 + (ch - '0');
  }
  return seconds < 24 * 3600 ? seconds : 24 * 3600;
}

// Requests run elsewhere (a worker thread, the browser); Start and Take only
// touch a queue and return at once. Answers are taken by the thread that
// started the requests.
class THttpClient {
 public:
  virtual ~THttpClient() = default;
  // Queues `request`; returns its number (never 0).
  virtual uint64_t Start(const THttpRequest& request) = 0;
  // The answer to request `id` once it is complete (then it is forgotten),
  // else nothing.
  [[nodiscard]] virtual std::optional<THttpResponse> Take(uint64_t id) = 0;
};

// Seconds a request may take in all before it counts as unanswered.
inline constexpr long kHttpTimeoutSeconds = 15;

// The system's own HTTP: libcurl on a worker thread on Linux, WinHTTP on a
// worker thread on Windows, the page's fetch in the browser.
[[nodiscard]] std::unique_ptr<THttpClient> MakeSystemHttpClient();
