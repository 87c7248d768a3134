// Metrics.h -- the server's counters for GET /metrics, in Prometheus' text
// format: requests by status, verifications by verdict and how long they
// took (a histogram), and gauges read when asked (the queue's depth).
#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

class TMetrics {
 public:
  // Thread-safe.
  void Request(int status);
  // verdict: "verified", "refused", "duplicate" or "error".
  void Verification(const std::string& verdict, double seconds);

  // The exposition text, with the gauges given (name, help, value).
  struct TGauge {
    std::string Name, Help;
    double Value = 0;
  };
  [[nodiscard]] std::string Text(const std::vector<TGauge>& gauges) const;

 private:
  mutable std::mutex fMutex;
  std::map<int, uint64_t> fRequests;
  std::map<std::string, uint64_t> fVerifications;
  std::vector<uint64_t> fSecondsBuckets;  // per bound of kSecondsBounds, not cumulative
  uint64_t fSecondsCount = 0;
  double fSecondsSum = 0;
};

// The process's counters.
TMetrics& ServerMetrics();
