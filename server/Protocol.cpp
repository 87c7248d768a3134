// Protocol.cpp -- parsers of the verifier's output and of request parts,
// writers of JSON and HTML.
#include "Protocol.h"

#include <charconv>
#include <cmath>
#include <cstdio>

#include "platform/Cp1252.h"
#include "platform/Utf8.h"

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Reads "key=" at the front of text and the value up to the next space (or
// the rest when last). Advances text past the value and its space.
std::optional<std::string_view> Field(std::string_view& text, std::string_view key, bool last) {
  if (text.size() < key.size() + 1 || text.substr(0, key.size()) != key || text[key.size()] != '=') {
    return std::nullopt;
  }
  text.remove_prefix(key.size() + 1);
  if (last) {
    const std::string_view value = text;
    text = {};
    return value;
  }
  const std::size_t space = text.find(' ');
  if (space == std::string_view::npos) return std::nullopt;
  const std::string_view value = text.substr(0, space);
  text.remove_prefix(space + 1);
  return value;
}

std::optional<int64_t> Unsigned(std::string_view text) {
  if (text.empty() || text.size() > 18) return std::nullopt;
  for (char c : text) {
    if (!IsDigit(c)) return std::nullopt;
  }
  int64_t value = 0;
  std::from_chars(text.data(), text.data() + text.size(), value);
  return value;
}

// digits[.digits], at most 12 digits before the point.
std::optional<double> Decimal(std::string_view text) {
  const std::size_t point = text.find('.');
  const std::string_view whole = text.substr(0, point);
  if (whole.empty() || whole.size() > 12) return std::nullopt;
  for (char c : whole) {
    if (!IsDigit(c)) return std::nullopt;
  }
  if (point != std::string_view::npos) {
    const std::string_view fraction = text.substr(point + 1);
    if (fraction.empty() || fraction.size() > 9) return std::nullopt;
    for (char c : fraction) {
      if (!IsDigit(c)) return std::nullopt;
    }
  }
  double value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

// Length of the valid UTF-8 sequence at the front of text, 0 when invalid.
std::size_t Utf8Length(std::string_view text) {
  return platform::DecodeUtf8(text, platform::TUtf8Mode::Strict).Length;
}

}  // namespace

bool IsValidUtf8(std::string_view text) {
  while (!text.empty()) {
    const std::size_t length = Utf8Length(text);
    if (length == 0) return false;
    text.remove_prefix(length);
  }
  return true;
}

std::optional<TVerifiedRun> ParseVerifierLine(std::string_view output) {
  if (!output.empty() && output.back() == '\n') output.remove_suffix(1);
  if (!output.empty() && output.back() == '\r') output.remove_suffix(1);
  if (output.find('\n') != std::string_view::npos || output.find('\r') != std::string_view::npos ||
      output.find('\0') != std::string_view::npos) {
    return std::nullopt;
  }
  constexpr std::string_view prefix = "verified: ";
  if (output.substr(0, prefix.size()) != prefix) return std::nullopt;
  std::string_view rest = output.substr(prefix.size());

  // The name may hold spaces; what follows it has none, and a valid name
  // holds no '='.
  const std::size_t playAt = rest.rfind(" play=");
  if (playAt == std::string_view::npos) return std::nullopt;
  std::string_view tail = rest.substr(playAt + 1);
  rest = rest.substr(0, playAt);

  const auto stage = Field(rest, "stage", false);
  const auto hash = Field(rest, "stagehash", false);
  const auto difficulty = Field(rest, "difficulty", false);
  const auto classic = Field(rest, "classic", false);
  const auto score = Field(rest, "score", false);
  const auto life = Field(rest, "life", false);
  const auto time = Field(rest, "time", false);
  const auto name = Field(rest, "name", true);
  const auto play = Field(tail, "play", false);
  const auto seed = Field(tail, "seed", false);
  const auto challenge = Field(tail, "challenge", false);
  const auto clock = Field(tail, "clockms", true);
  // The fields are read in order; a missing one leaves the rest unread.
  if (!stage || !hash || !difficulty || !classic || !score || !life || !time || !name) return std::nullopt;
  if (!play || !seed || !challenge || !clock) return std::nullopt;
  const std::string hashText = AsciiLower(*hash), playText = AsciiLower(*play);
  if (!IsStageName(*stage) || !IsStageHash(hashText) || !IsStageHash(playText)) return std::nullopt;
  if (!IsDifficulty(*difficulty)) return std::nullopt;
  if (*classic != "0" && *classic != "1") return std::nullopt;
  const auto scoreValue = Unsigned(*score);
  const auto lifeValue = Unsigned(*life);
  const auto timeValue = Decimal(*time);
  const auto seedValue = Unsigned(*seed);
  const auto clockValue = Unsigned(*clock);
  if (!scoreValue || !lifeValue || !timeValue || !seedValue || *seedValue > 0xFFFFFFFFLL || !clockValue) {
    return std::nullopt;
  }
  if (challenge->empty() || challenge->size() > 512) return std::nullopt;
  for (char c : *challenge) {
    if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || IsDigit(c) || c == '.' || c == '_' || c == '-')) {
      return std::nullopt;
    }
  }

  TVerifiedRun run;
  run.Stage = *stage;
  run.StageHash = hashText;
  run.Difficulty = *difficulty;
  run.Classic = *classic == "1";
  run.Score = *scoreValue;
  run.Life = *lifeValue;
  run.Time = *timeValue;
  run.Name = NormalizeName(*name);
  run.Play = playText;
  run.Seed = static_cast<uint32_t>(*seedValue);
  if (*challenge != "-") run.Challenge = *challenge;
  run.ClockMs = *clockValue;
  return run;
}

std::optional<std::map<std::string, std::string>> ParseStageHashes(std::string_view output) {
  std::map<std::string, std::string> stages;
  while (!output.empty()) {
    const std::size_t end = output.find('\n');
    std::string_view line = output.substr(0, end);
    output.remove_prefix(end == std::string_view::npos ? output.size() : end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    const std::size_t space = line.find(' ');
    if (space == std::string_view::npos) return std::nullopt;
    const std::string_view name = line.substr(0, space);
    const std::string hash = AsciiLower(line.substr(space + 1));
    if (!IsStageName(name) || !IsStageHash(hash)) return std::nullopt;
    if (!stages.emplace(name, hash).second) return std::nullopt;
  }
  if (stages.empty()) return std::nullopt;
  return stages;
}

bool IsValidName(std::string_view name) {
  if (name.empty() || name.size() > 32) return false;
  for (char c : name) {
    if (!((c >= 'A' && c <= 'Z') || IsDigit(c) || c == ' ')) return false;
  }
  return true;
}

std::string AsciiLower(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

std::string NormalizeName(std::string_view name) {
  std::string out;
  for (char c : name) {
    if (c == ' ' && (out.empty() || out.back() == ' ')) continue;
    out += c;
  }
  if (!out.empty() && out.back() == ' ') out.pop_back();
  return out;
}

bool IsDifficulty(std::string_view text) { return text == "Leicht" || text == "Normal" || text == "Schwer"; }

bool IsStageHash(std::string_view text) {
  if (text.size() != 64) return false;
  for (char c : text) {
    if (!(IsDigit(c) || (c >= 'a' && c <= 'f'))) return false;
  }
  return true;
}

bool IsStageName(std::string_view text) {
  if (text.empty() || text.size() > 64) return false;
  for (char c : text) {
    if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || IsDigit(c) || c == '_' || c == '-')) return false;
  }
  return true;
}

std::optional<int64_t> ParseRunId(std::string_view text) {
  if (text.empty() || text[0] == '0') return std::nullopt;
  return Unsigned(text);
}

std::optional<int> ParseLimit(std::optional<std::string_view> text, int fallback, int maximum) {
  if (!text) return fallback;
  if (text->size() > 9) return std::nullopt;
  const auto value = Unsigned(*text);
  if (!value || *value < 1 || *value > maximum) return std::nullopt;
  return static_cast<int>(*value);
}

std::string ToCleanUtf8(std::string_view bytes, std::size_t maxBytes) {
  std::string text;
  if (IsValidUtf8(bytes)) {
    text = bytes;
  } else {
    text = platform::Cp1252ToUtf8(std::string(bytes));
  }
  std::string out;
  std::string_view rest = text;
  while (!rest.empty()) {
    const std::size_t length = Utf8Length(rest);
    if (out.size() + length > maxBytes) break;
    const auto b = static_cast<unsigned char>(rest[0]);
    if (length == 1 && (b < 0x20 || b == 0x7F) && b != '\t') {
      out += ' ';
    } else {
      out.append(rest.substr(0, length));
    }
    rest.remove_prefix(length);
  }
  return out;
}

std::string JsonString(std::string_view text) {
  std::string out = "\"";
  for (char c : text) {
    const auto b = static_cast<unsigned char>(c);
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (b < 0x20 || b == 0x7F) {
          char escape[8];
          std::snprintf(escape, sizeof escape, "\\u%04x", b);
          out += escape;
        } else {
          out += c;
        }
    }
  }
  out += '"';
  return out;
}

std::string JsonNumber(double value) {
  if (!std::isfinite(value)) return "0";
  char buffer[32];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, result.ptr);
}

std::string JsonError(std::string_view code, std::string_view message) {
  return "{\"error\":" + JsonString(code) + ",\"message\":" + JsonString(message) + "}";
}

std::string HtmlEscape(std::string_view text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&#39;"; break;
      default: out += c;
    }
  }
  return out;
}
