// ClientAddress.cpp -- client addresses, their limit keys, refusal lines.
#include "ClientAddress.h"

#include <arpa/inet.h>

#include <algorithm>
#include <cstring>

std::optional<std::string> CanonicalAddress(std::string_view text) {
  if (text.empty() || text.size() >= INET6_ADDRSTRLEN) return std::nullopt;
  const std::string copy(text);
  char out[INET6_ADDRSTRLEN] = {};
  in_addr v4{};
  if (inet_pton(AF_INET, copy.c_str(), &v4) == 1) return inet_ntop(AF_INET, &v4, out, sizeof out);
  in6_addr v6{};
  if (inet_pton(AF_INET6, copy.c_str(), &v6) != 1) return std::nullopt;
  if (IN6_IS_ADDR_V4MAPPED(&v6)) {
    std::memcpy(&v4, &v6.s6_addr[12], 4);
    return inet_ntop(AF_INET, &v4, out, sizeof out);
  }
  return inet_ntop(AF_INET6, &v6, out, sizeof out);
}

namespace {

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

}  // namespace

std::string ClientAddress(std::string_view peer, std::string_view forwardedFor,
                          const std::vector<std::string>& trustedProxies) {
  const std::string peerText = CanonicalAddress(peer).value_or(std::string(peer));
  if (forwardedFor.empty() || std::find(trustedProxies.begin(), trustedProxies.end(), peerText) == trustedProxies.end()) {
    return peerText;
  }
  const auto comma = forwardedFor.rfind(',');
  const std::string_view last = Trim(comma == std::string_view::npos ? forwardedFor : forwardedFor.substr(comma + 1));
  return CanonicalAddress(last).value_or(peerText);
}

std::string LimitKey(std::string_view address) {
  const std::string copy(address);
  in6_addr v6{};
  if (address.find(':') == std::string_view::npos || inet_pton(AF_INET6, copy.c_str(), &v6) != 1) return copy;
  std::memset(&v6.s6_addr[8], 0, 8);
  char out[INET6_ADDRSTRLEN] = {};
  return std::string(inet_ntop(AF_INET6, &v6, out, sizeof out)) + "/64";
}

std::optional<int64_t> TRefusalLog::Note(const std::string& key, TClock::time_point now) {
  std::lock_guard lock(fMutex);
  if (now - fLastSweep > std::chrono::minutes(10)) {
    std::erase_if(fEntries, [&](const auto& item) { return now - item.second.Logged > std::chrono::minutes(2); });
    fLastSweep = now;
  }
  const auto [it, added] = fEntries.try_emplace(key, TEntry{now, 0});
  if (added) return 0;
  TEntry& entry = it->second;
  if (now - entry.Logged < std::chrono::minutes(1)) {
    ++entry.Unlogged;
    return std::nullopt;
  }
  const int64_t unlogged = entry.Unlogged;
  entry = TEntry{now, 0};
  return unlogged;
}
