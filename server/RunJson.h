// RunJson.h -- the API's JSON for runs and boards.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "Store.h"

// What a submission is answered with: {"id":"7","status":"queued"}.
[[nodiscard]] std::string SubmittedRunJson(int64_t id, TRunStatus status);

// A run as GET /api/runs/ID shows it: id and status, then a verified run's
// result (stage, name, score, life, time, difficulty, classic) or else the
// name of the stage the client named (stageByHash: hash to name) when the
// server has it, and a refused run's reason, with its code when it is one
// of the fixed reasons (RefusalCode).
[[nodiscard]] std::string RunJson(const TRunRecord& run, const std::map<std::string, std::string>& stageByHash);

// {"stage":...,"difficulty":...,"challenges":"required"|"off","entries":[{"rank","name","score","life","time",
// "difficulty"},...]}; challenges: whether the board takes only runs
// played with one of the server's challenges.
[[nodiscard]] std::string BoardJson(std::string_view stage, std::string_view difficulty,
                                    const std::vector<TBoardEntry>& entries, bool challengesRequired);

// "required" or "off".
[[nodiscard]] const char* ChallengeMode(bool required);
