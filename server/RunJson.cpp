// RunJson.cpp -- a run's fields are written in one place for the run and
// for its board entry.
#include "RunJson.h"

#include "Challenge.h"

namespace {

// {"id":"7","status":"queued" -- left open for more members.
std::string OpenRun(int64_t id, TRunStatus status) {
  return "{\"id\":\"" + std::to_string(id) + "\",\"status\":\"" + StatusName(status) + "\"";
}

// ,"name":..,"score":..,"life":..,"time":..,"difficulty":..
std::string ResultMembers(const std::string& name, int64_t score, int64_t life, double time,
                          const std::string& difficulty) {
  return ",\"name\":" + JsonString(name) + ",\"score\":" + std::to_string(score) + ",\"life\":" +
         std::to_string(life) + ",\"time\":" + JsonNumber(time) + ",\"difficulty\":" + JsonString(difficulty);
}

}  // namespace

std::string SubmittedRunJson(int64_t id, TRunStatus status) { return OpenRun(id, status) + "}"; }

std::string RunJson(const TRunRecord& run, const std::map<std::string, std::string>& stageByHash) {
  std::string body = OpenRun(run.Id, run.Status);
  if (run.Result) {
    const TVerifiedRun& r = *run.Result;
    body += ",\"stage\":" + JsonString(r.Stage) + ResultMembers(r.Name, r.Score, r.Life, r.Time, r.Difficulty) +
            ",\"classic\":" + (r.Classic ? "true" : "false");
  } else if (const auto stage = stageByHash.find(run.ClaimedStageHash); stage != stageByHash.end()) {
    body += ",\"stage\":" + JsonString(stage->second);
  }
  if (run.Status == TRunStatus::Refused) {
    body += ",\"reason\":" + JsonString(run.Reason);
    if (const std::string code = RefusalCode(run.Reason); !code.empty()) body += ",\"code\":" + JsonString(code);
  }
  return body + "}";
}

const char* ChallengeMode(bool required) { return required ? "required" : "off"; }

std::string BoardJson(std::string_view stage, std::string_view difficulty, const std::vector<TBoardEntry>& entries,
                      bool challengesRequired) {
  std::string body = "{\"stage\":" + JsonString(stage) + ",\"difficulty\":" + JsonString(difficulty) +
                     ",\"challenges\":\"" + ChallengeMode(challengesRequired) + "\",\"entries\":[";
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const TBoardEntry& e = entries[i];
    body += std::string(i ? "," : "") + "{\"rank\":" + std::to_string(e.Rank) +
            ResultMembers(e.Name, e.Score, e.Life, e.Time, e.Difficulty) + "}";
  }
  return body + "]}";
}
