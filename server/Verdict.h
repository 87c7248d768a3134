// Verdict.h -- what a finished verifier's exit and output say about a run.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <variant>

#include "ChildProcess.h"
#include "Protocol.h"

// The verdict on one run: what was proven, or why not (German, for the
// player).
using TVerdict = std::variant<TVerifiedRun, std::string>;

// Judges a finished verifier: accepted only when it exited with 0, printed
// one well-formed line, the line's stage hash is the one the client named
// and a shipped stage's, under that stage's name, and the name is of the
// entry's alphabet. A verifier that says no gives its own reason: the last
// line it wrote to stderr (warnings about its settings come before it).
[[nodiscard]] TVerdict Judge(const TChildResult& child, const std::string& claimedStageHash,
                             const std::map<std::string, std::string>& shippedStages);

// The last line of text that is not blank, without its line end; empty
// when there is none. A program's result message comes after its warnings.
[[nodiscard]] std::string LastLine(std::string_view text);
