// IniFile.cpp -- parsing, typed access and plain-file storage of INI text.
#include "services/IniFile.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>

#include "services/AtomicFile.h"
#include "services/Paths.h"
#include "services/SystemFile.h"
#include "services/ValueLists.h"

void TIniFile::SetText(std::string_view text) {
  fSections.clear();
  TSection* current = nullptr;
  std::size_t pos = 0;
  while (pos <= text.size()) {
    std::size_t end = text.find_first_of("\r\n", pos);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view line = TrimBlanks(text.substr(pos, end - pos));
    // CR LF counts as one break.
    pos = end + ((end + 1 < text.size() && text[end] == '\r' && text[end + 1] == '\n') ? 2 : 1);

    if (line.empty() || line.front() == ';') continue;
    if (line.front() == '[' && line.back() == ']' && line.size() >= 2) {
      fSections.push_back({std::string(TrimBlanks(line.substr(1, line.size() - 2))), {}});
      current = &fSections.back();
      continue;
    }
    if (!current) continue;
    const std::size_t eq = line.find('=');
    if (eq == std::string_view::npos) {
      current->Lines.push_back({std::string(line), {}, true});
    } else {
      current->Lines.push_back({std::string(TrimBlanks(line.substr(0, eq))), std::string(TrimBlanks(line.substr(eq + 1)))});
    }
  }
}

std::string TIniFile::GetText() const {
  std::string text;
  for (const TSection& section : fSections) {
    text += "[" + section.Name + "]\r\n";
    for (const TLine& line : section.Lines) {
      text += line.Key;
      if (!line.Plain) {
        text += "=";
        text += line.Value;
      }
      text += "\r\n";
    }
    text += "\r\n";
  }
  return text;
}

void TIniFile::LoadFromFile(const std::string& path) {
  std::ifstream in(FsPath(path), std::ios::binary);
  if (!in) {
    fSections.clear();
    return;
  }
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  SetText(text);
}

void TIniFile::SaveToFile(const std::string& path) const { WriteFileAtomically(path, GetText()); }

bool TIniFile::SectionExists(std::string_view section) const {
  return std::any_of(fSections.begin(), fSections.end(),
                     [&](const TSection& s) { return SameIgnoringCase(s.Name, section); });
}

bool TIniFile::ValueExists(std::string_view section, std::string_view key) const {
  return Find(section, key) != nullptr;
}

const TIniFile::TLine* TIniFile::Find(std::string_view section, std::string_view key) const {
  for (const TSection& s : fSections) {
    if (!SameIgnoringCase(s.Name, section)) continue;
    for (const TLine& line : s.Lines) {
      if (!line.Plain && SameIgnoringCase(line.Key, key)) return &line;
    }
  }
  return nullptr;
}

TIniFile::TSection& TIniFile::SectionFor(std::string_view section) {
  for (TSection& s : fSections) {
    if (SameIgnoringCase(s.Name, section)) return s;
  }
  fSections.push_back({std::string(section), {}});
  return fSections.back();
}

std::string TIniFile::ReadString(std::string_view section, std::string_view key, std::string_view def) const {
  const TLine* line = Find(section, key);
  return line ? line->Value : std::string(def);
}

int32_t TIniFile::ReadInteger(std::string_view section, std::string_view key, int32_t def) const {
  const TLine* line = Find(section, key);
  int32_t value = def;
  if (line && TryStrToInt(line->Value, value)) return value;
  return def;
}

float TIniFile::ReadFloat(std::string_view section, std::string_view key, float def) const {
  const TLine* line = Find(section, key);
  float value = def;
  if (line && TryStrToFloat(line->Value, value)) return value;
  return def;
}

bool TIniFile::ReadBool(std::string_view section, std::string_view key, bool def) const {
  const TLine* line = Find(section, key);
  if (!line) return def;
  if (SameIgnoringCase(line->Value, "true")) return true;
  if (SameIgnoringCase(line->Value, "false")) return false;
  int32_t value = 0;
  if (TryStrToInt(line->Value, value)) return value != 0;
  return def;
}

void TIniFile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
  TSection& s = SectionFor(section);
  for (TLine& line : s.Lines) {
    if (!line.Plain && SameIgnoringCase(line.Key, key)) {
      line.Value = value;
      return;
    }
  }
  s.Lines.push_back({std::string(key), std::string(value)});
}

void TIniFile::WriteInteger(std::string_view section, std::string_view key, int64_t value) {
  WriteString(section, key, std::to_string(value));
}

void TIniFile::WriteFloat(std::string_view section, std::string_view key, double value) {
  WriteString(section, key, FloatToStr(value));
}

void TIniFile::WriteBool(std::string_view section, std::string_view key, bool value) {
  WriteString(section, key, value ? "1" : "0");
}

void TIniFile::EraseSection(std::string_view section) {
  fSections.erase(std::remove_if(fSections.begin(), fSections.end(),
                                 [&](const TSection& s) { return SameIgnoringCase(s.Name, section); }),
                  fSections.end());
}

void TIniFile::DeleteKey(std::string_view section, std::string_view key) {
  for (TSection& s : fSections) {
    if (!SameIgnoringCase(s.Name, section)) continue;
    s.Lines.erase(std::remove_if(s.Lines.begin(), s.Lines.end(),
                                 [&](const TLine& line) { return !line.Plain && SameIgnoringCase(line.Key, key); }),
                  s.Lines.end());
  }
}
