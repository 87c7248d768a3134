// ClientAddress.h -- who a request comes from: the peer, or the client a
// trusted proxy names; the key its rate limits are kept under; and a log
// of refused requests that writes one line per address and minute.
#pragma once

#include <chrono>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// The address in its canonical text (inet_ntop's), IPv4 for an IPv4-mapped
// IPv6 address; nullopt when text is no IP address.
[[nodiscard]] std::optional<std::string> CanonicalAddress(std::string_view text);

// The client's address: the last hop of forwardedFor (an X-Forwarded-For
// value, "client, proxy1, proxy2") when peer is one of trustedProxies
// (canonical addresses) and that hop is an IP address; else peer. Hops
// before the last one were written by whoever sent the request to the
// proxy and prove nothing.
[[nodiscard]] std::string ClientAddress(std::string_view peer, std::string_view forwardedFor,
                                        const std::vector<std::string>& trustedProxies);

// The key an address is limited under: an IPv4 address itself, an IPv6
// address its /64 network ("2001:db8:1:2::/64"), which one subscriber
// usually holds whole; anything else as it is.
[[nodiscard]] std::string LimitKey(std::string_view address);

// Counts refusals per key and says when to log one: the first of a key,
// then again once a minute has passed, with the number not logged since.
class TRefusalLog {
 public:
  using TClock = std::chrono::steady_clock;
  // nullopt: do not log now; else the refusals since the last line that
  // were not logged. Thread-safe.
  [[nodiscard]] std::optional<int64_t> Note(const std::string& key, TClock::time_point now = TClock::now());

 private:
  struct TEntry {
    TClock::time_point Logged;
    int64_t Unlogged = 0;
  };
  std::unordered_map<std::string, TEntry> fEntries;
  TClock::time_point fLastSweep{};
  std::mutex fMutex;
};
