// AccessLog.cpp -- JSON log lines with a UTC time stamp.
#include "AccessLog.h"

#include <httplib.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <mutex>

#include "Protocol.h"

namespace {

std::string Iso8601Now() {
  const auto now = std::chrono::system_clock::now();
  const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
  std::tm utc{};
  gmtime_r(&seconds, &utc);
  char text[64];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", utc.tm_year + 1900, utc.tm_mon + 1,
                utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec, static_cast<int>(ms));
  return text;
}

// When the request being answered on this thread began.
thread_local std::chrono::steady_clock::time_point tRequestStart;
thread_local bool tRequestStarted = false;

}  // namespace

void LogLine(const std::string& fields) {
  static std::mutex mutex;
  const std::string line = "{\"time\":\"" + Iso8601Now() + "\"," + fields + "}\n";
  std::lock_guard lock(mutex);
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fflush(stderr);
}

void StartRequestClock() {
  tRequestStart = std::chrono::steady_clock::now();
  tRequestStarted = true;
}

void LogRequest(const httplib::Request& req, const httplib::Response& res) {
  const double ms = tRequestStarted
                        ? std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - tRequestStart).count()
                        : 0.0;
  tRequestStarted = false;
  LogLine("\"address\":" + JsonString(ToCleanUtf8(req.remote_addr, 64)) + ",\"method\":" +
          JsonString(ToCleanUtf8(req.method, 16)) + ",\"path\":" + JsonString(ToCleanUtf8(req.path, 200)) +
          ",\"status\":" + std::to_string(res.status) + ",\"ms\":" + JsonNumber(std::round(ms * 1000) / 1000));
}
