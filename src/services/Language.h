// Language.h -- the language the player reads: German (the game's own) or
// English. Every text the program writes itself goes through Tr (whole
// texts) or TrMessage (error messages built from pieces); the menu pages and
// stage titles come from data files of their own language.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

enum class TLanguage { German, English };

// One text in both languages. German is the key, byte for byte as the
// program writes it (Windows-1252).
struct TTextPair {
  std::string_view German;
  std::string_view English;
};

// The language of this run; German until SetLanguage says otherwise.
[[nodiscard]] TLanguage Language();
void SetLanguage(TLanguage language);

// The value of settings.ini main/language: "Deutsch" or "English".
[[nodiscard]] std::string_view LanguageName(TLanguage language);
// The language of a setting's value (any case of A to Z; blanks and control
// bytes round it ignored, as settings.ini's values are read); none for an
// unknown one.
[[nodiscard]] std::optional<TLanguage> LanguageNamed(std::string_view name);
// The language for --help when settings.ini names none: German when LC_ALL
// (or, when that is unset or empty, LANG) starts with "de", or when neither
// names a language at all (unset, empty, "C" or "POSIX"); English for every
// other language.
[[nodiscard]] TLanguage LanguageFromLocale(const char* lcAll, const char* lang);

// The system's language for a first start, with no language stored: in the
// page the browser's (German for "de..."), elsewhere LC_ALL and LANG as
// for --help. On Windows, without either variable, the user's language of
// the system's texts.
[[nodiscard]] TLanguage SystemLanguage();

// `german` in the current language: the English text of the table when
// English is chosen and the table has it, else `german` itself. The view
// points into the table or into `german`; nothing is allocated.
[[nodiscard]] std::string_view Tr(std::string_view german);

// An error message in the current language: in English every known German
// piece (the table of message pieces, longest first) is replaced by its
// English text, so names, paths and numbers stay as they are.
[[nodiscard]] std::string TrMessage(std::string message);

// The tables, for the content check.
[[nodiscard]] std::span<const TTextPair> ScreenTexts();
[[nodiscard]] std::span<const TTextPair> MessagePieces();
