// Metrics.cpp -- counting and the text exposition.
#include "Metrics.h"

#include <cstdio>

namespace {

// The verification time's buckets, in seconds: a replay takes from a
// fraction of a second to the verifier's time limit.
constexpr double kSecondsBounds[] = {0.25, 0.5, 1, 2, 5, 10, 30, 60, 120, 300};

std::string Number(double value) {
  char text[64];
  std::snprintf(text, sizeof text, "%.17g", value);
  return text;
}

}  // namespace

void TMetrics::Request(int status) {
  std::lock_guard lock(fMutex);
  ++fRequests[status];
}

void TMetrics::Verification(const std::string& verdict, double seconds) {
  std::lock_guard lock(fMutex);
  ++fVerifications[verdict];
  fSecondsBuckets.resize(std::size(kSecondsBounds));
  for (std::size_t i = 0; i < std::size(kSecondsBounds); ++i) {
    if (seconds <= kSecondsBounds[i]) {
      ++fSecondsBuckets[i];
      break;
    }
  }
  ++fSecondsCount;
  fSecondsSum += seconds;
}

std::string TMetrics::Text(const std::vector<TGauge>& gauges) const {
  std::lock_guard lock(fMutex);
  std::string out =
      "# HELP riftvaulter_http_requests_total HTTP requests answered, by status.\n"
      "# TYPE riftvaulter_http_requests_total counter\n";
  for (const auto& [status, count] : fRequests) {
    out += "riftvaulter_http_requests_total{status=\"" + std::to_string(status) + "\"} " + std::to_string(count) + "\n";
  }
  out +=
      "# HELP riftvaulter_verifications_total Verifications finished, by verdict.\n"
      "# TYPE riftvaulter_verifications_total counter\n";
  for (const auto& [verdict, count] : fVerifications) {
    out += "riftvaulter_verifications_total{verdict=\"" + verdict + "\"} " + std::to_string(count) + "\n";
  }
  out +=
      "# HELP riftvaulter_verification_seconds How long verifications took.\n"
      "# TYPE riftvaulter_verification_seconds histogram\n";
  uint64_t cumulative = 0;
  for (std::size_t i = 0; i < std::size(kSecondsBounds); ++i) {
    if (i < fSecondsBuckets.size()) cumulative += fSecondsBuckets[i];
    out += "riftvaulter_verification_seconds_bucket{le=\"" + Number(kSecondsBounds[i]) + "\"} " +
           std::to_string(cumulative) + "\n";
  }
  out += "riftvaulter_verification_seconds_bucket{le=\"+Inf\"} " + std::to_string(fSecondsCount) + "\n";
  out += "riftvaulter_verification_seconds_sum " + Number(fSecondsSum) + "\n";
  out += "riftvaulter_verification_seconds_count " + std::to_string(fSecondsCount) + "\n";
  for (const auto& gauge : gauges) {
    out += "# HELP " + gauge.Name + " " + gauge.Help + "\n# TYPE " + gauge.Name + " gauge\n" + gauge.Name + " " +
           Number(gauge.Value) + "\n";
  }
  return out;
}

TMetrics& ServerMetrics() {
  static TMetrics metrics;
  return metrics;
}
