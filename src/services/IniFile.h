// IniFile.h -- an in-memory INI store used for every INI file of the game.
//
// Sections and keys keep their file order; names match without regard to
// the case of A to Z (SameIgnoringCase). Typed reads never fail: a missing key or a value that does not
// convert gives the default.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "services/Text.h"  // TrimBlanks and SameIgnoringCase, as INI lines and names are read

class TIniFile {
 public:
  struct TLine {
    std::string Key;
    std::string Value;
    // A line without "=": kept in Key as written, never found as a key and
    // written back unchanged.
    bool Plain = false;
  };
  struct TSection {
    std::string Name;
    std::vector<TLine> Lines;
  };

  // Replaces the content with the INI text: lines trimmed, empty and ";"
  // lines skipped, "[name]" starts a section, blanks round the first "="
  // removed, a line without "=" kept as it is, lines before the first
  // section dropped.
  void SetText(std::string_view text);
  // Each section's header, its lines and an empty line, all ended by CR LF.
  [[nodiscard]] std::string GetText() const;
  void Clear() { fSections.clear(); }

  // Plain (unencrypted) files. A missing file loads as empty; Save writes
  // atomically and throws std::runtime_error on failure.
  void LoadFromFile(const std::string& path);
  void SaveToFile(const std::string& path) const;

  [[nodiscard]] bool SectionExists(std::string_view section) const;
  [[nodiscard]] bool ValueExists(std::string_view section, std::string_view key) const;
  [[nodiscard]] const std::vector<TSection>& Sections() const { return fSections; }

  [[nodiscard]] std::string ReadString(std::string_view section, std::string_view key, std::string_view def) const;
  [[nodiscard]] int32_t ReadInteger(std::string_view section, std::string_view key, int32_t def) const;
  [[nodiscard]] float ReadFloat(std::string_view section, std::string_view key, float def) const;
  // Integers: non-zero is true. "true"/"false" are understood as well.
  [[nodiscard]] bool ReadBool(std::string_view section, std::string_view key, bool def) const;

  void WriteString(std::string_view section, std::string_view key, std::string_view value);
  void WriteInteger(std::string_view section, std::string_view key, int64_t value);
  void WriteFloat(std::string_view section, std::string_view key, double value);
  void WriteBool(std::string_view section, std::string_view key, bool value);
  void EraseSection(std::string_view section);
  void DeleteKey(std::string_view section, std::string_view key);

 private:
  [[nodiscard]] const TLine* Find(std::string_view section, std::string_view key) const;
  TSection& SectionFor(std::string_view section);

  std::vector<TSection> fSections;
};
