// Protocol.h -- the server's pure parsers and writers: what the verifier
// prints, what a client sends in a path or query, and the JSON and HTML the
// server answers with. No I/O here; every function accepts any input and
// says no (an empty optional, false) instead of throwing, so the fuzzer and
// the request handlers can call them on whatever arrives.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

// What the verifier proved about a run: the last finished, named stage run
// of the recording.
struct TVerifiedRun {
  std::string Stage;       // stage file name without extension, e.g. Level01
  std::string StageHash;   // SHA-256, 64 lower-case hex digits
  std::string Difficulty;  // Leicht, Normal or Schwer
  bool Classic = false;
  int64_t Score = 0;
  int64_t Life = 0;
  double Time = 0;         // seconds of play
  std::string Name;        // normalised (NormalizeName); may be anything until IsValidName
  std::string Play;        // the play's identity: SHA-256, 64 lower-case hex digits
  uint32_t Seed = 0;       // the stage's seed
  std::string Challenge;   // the challenge token, empty when played without one
  int64_t ClockMs = 0;     // the recording's own clock, pauses and finish screen included
  // Not from the verifier: the challenge's nonce once the challenge passed
  // its checks, marked used together with the board entry (empty: none).
  std::string Nonce;
};

// The verifier's one success line, with or without its line end, e.g.
// "verified: stage=Level01 stagehash=<64 hex> difficulty=Normal classic=0
// score=51776 life=73 time=312.4 name=ANNA B play=<64 hex> seed=7
// challenge=- clockms=70310". Fields in exactly this order, single spaces;
// the name runs up to the last " play=". Hashes are read in either case and
// kept lower-case, the name normalised. Numbers are plain decimals (no
// sign, no exponent); anything else, a second line included, is no answer.
[[nodiscard]] std::optional<TVerifiedRun> ParseVerifierLine(std::string_view output);

// "--stage-hashes" output: one "Level01 <64 hex>" per line (either case,
// kept lower-case). Empty
// optional when any line is malformed, a name repeats or there is no line.
[[nodiscard]] std::optional<std::map<std::string, std::string>> ParseStageHashes(std::string_view output);

// A name from the finish screen's entry: 1 to 32 of A-Z, 0-9 and space.
[[nodiscard]] bool IsValidName(std::string_view name);
// 64 lower-case hex digits (a SHA-256).
[[nodiscard]] bool IsStageHash(std::string_view text);
// The text in lower case (ASCII letters only).
[[nodiscard]] std::string AsciiLower(std::string_view text);
// A name as compared and shown: spaces at either end dropped, inner runs of
// spaces made one.
[[nodiscard]] std::string NormalizeName(std::string_view name);
// A difficulty's name: Leicht, Normal or Schwer.
[[nodiscard]] bool IsDifficulty(std::string_view text);
// A stage's file name as it appears in a path: letters, digits, '_' and '-',
// 1 to 64 of them.
[[nodiscard]] bool IsStageName(std::string_view text);

// A run's id in a path: decimal, 1 to 18 digits, no leading zero.
[[nodiscard]] std::optional<int64_t> ParseRunId(std::string_view text);
// The board's "limit" parameter: absent gives fallback, else 1..maximum.
[[nodiscard]] std::optional<int> ParseLimit(std::optional<std::string_view> text, int fallback, int maximum);

// Text made safe for the output: invalid UTF-8 is read as Windows-1252 (the
// game's own message encoding) and converted, control characters other than
// tab become spaces, and the result is cut to at most maxBytes on a
// character boundary.
[[nodiscard]] std::string ToCleanUtf8(std::string_view bytes, std::size_t maxBytes);

[[nodiscard]] bool IsValidUtf8(std::string_view text);

// A JSON string literal, quotes included, of valid UTF-8 text.
[[nodiscard]] std::string JsonString(std::string_view text);
// A number as JSON writes it: shortest form that reads back to the same
// double; non-finite values become 0.
[[nodiscard]] std::string JsonNumber(double value);
// {"error":code,"message":message}
[[nodiscard]] std::string JsonError(std::string_view code, std::string_view message);
// Text made safe between HTML tags and in attribute values.
[[nodiscard]] std::string HtmlEscape(std::string_view text);
