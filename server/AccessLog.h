// AccessLog.h -- the server's log: one JSON line per request and per event
// on stderr.
#pragma once

#include <string>

namespace httplib {
struct Request;
struct Response;
}  // namespace httplib

// One JSON line on stderr (whole lines, also from several threads):
// {"time":"...", fields...}; fields is JSON object content without braces.
void LogLine(const std::string& fields);

// Marks the start of the request this thread is about to answer.
void StartRequestClock();
// The request's line: address, method, path, status and the milliseconds
// since StartRequestClock on this thread (0 without one).
void LogRequest(const httplib::Request& req, const httplib::Response& res);
