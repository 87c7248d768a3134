// Language.cpp -- the run's language and the program's own texts in English.
#include "services/Language.h"

#ifdef _WIN32
#include <windows.h>
#endif

#include <array>
#include <atomic>
#include <cstdlib>
#include <string>

#include "platform/Browser.h"

#include "services/Text.h"

namespace {

std::atomic<TLanguage> gLanguage{TLanguage::German};

// Whole texts the player sees on screen, on the command line or in a
// dialog's caption.
constexpr std::array kScreenTexts = std::to_array<TTextPair>({
    // The menu's own items and lines.
    {"zur\xFC" "ck", "back"},
    {"Zur\xFC" "ck zum Hauptmen\xFC.", "Back to the main menu."},
    {"Highscores f\xFCr ", "Highscores for "},
    {"Keine Beschreibung vorhanden.", "No description available."},
    {"Unbekannt", "Unknown"},
    {"Das Level ist freigeschaltet und kann gespielt werden.", "This stage is unlocked and can be played."},
    {"Das Level ist gesperrt und muss erst noch freigeschaltet werden.",
     "This stage is locked: pass the stage before it to unlock it."},
    {"zur Zeit aktiviert", "currently on"},
    {"zur Zeit deaktiviert", "currently off"},
    {"zur Zeit eingeschaltet", "currently on"},
    {"zur Zeit ausgeschaltet", "currently off"},
    {"zur Zeit ", "currently "},
    {"Schwierigkeit: ", "Difficulty: "},
    {"Es sind noch keine Highscors f\xFCr diesen Level vorhanden.", "There are no highscores for this stage yet."},
    // The online leaderboard's lines in the menu.
    {"Online-Bestenliste", "Online leaderboard"},
    {"wird geladen ...", "loading ..."},
    {"Noch keine Eintr\xE4ge.", "No entries yet."},
    {"nicht abrufbar: ", "not available: "},
    {"Server: ", "Server: "},
    {"Eingeschaltet: gilt ab dem n\xE4" "chsten Start des Spiels.", "Switched on: takes effect when the game starts next."},
    {"Online-Bestenliste: %1, der Lauf wurde nicht gesendet", "Online leaderboard: %1, the run was not sent"},
    {"Online-Bestenliste: Aufnahme zu gro\xDF (%1 KB, h\xF6" "chstens %2 KB), der Lauf wurde nicht gesendet",
     "Online leaderboard: recording too large (%1 KB, at most %2 KB), the run was not sent"},
    {"Online-Bestenliste: Lauf wird gesendet ...", "Online leaderboard: sending the run ..."},
    {"Online-Bestenliste: Lauf gesendet, der Server pr\xFC" "ft ihn ...", "Online leaderboard: run sent, the server is checking it ..."},
    {"Online-Bestenliste: %1, der Lauf wurde nicht gewertet", "Online leaderboard: %1, the run was not counted"},
    {"Online-Bestenliste: abgelehnt (%1)", "Online leaderboard: refused (%1)"},
    {"Online-Bestenliste: abgelehnt", "Online leaderboard: refused"},
    {"Online-Bestenliste: keine Antwort mehr vom Server (%1), das Ergebnis ist unbekannt",
     "Online leaderboard: the server stopped answering (%1), the result is unknown"},
    {"Online-Bestenliste: Lauf nicht mehr abrufbar (%1)", "Online leaderboard: the run can no longer be looked up (%1)"},
    {"Online-Bestenliste: %1, der Lauf wird sp\xE4ter gesendet", "Online leaderboard: %1, the run will be sent later"},
    {"Online-Bestenliste: 1 Lauf wartet auf das Senden", "Online leaderboard: 1 run waits to be sent"},
    {"Online-Bestenliste: %1 L\xE4" "ufe warten auf das Senden", "Online leaderboard: %1 runs wait to be sent"},
    {"Online-Bestenliste: mehr als %1 L\xE4" "ufe warten, der \xE4lteste (%2) wird verworfen",
     "Online leaderboard: more than %1 runs wait, the oldest (%2) is dropped"},
    {"Dieser Lauf ist nicht f\xFCr die Online-Bestenliste (keine Verbindung zum Server beim Start)",
     "This run is not for the online leaderboard (no connection to the server at its start)"},
    {"Online-Bestenliste: angenommen: %1 mit %2 Punkten", "Online leaderboard: accepted: %1 with %2 points"},
    {"Online-Bestenliste: der Server hat den Lauf nicht rechtzeitig gepr\xFC" "ft",
     "Online leaderboard: the server did not check the run in time"},
    {"Server antwortet mit Status %1", "Server answers with status %1"},
    {"Server nicht erreichbar", "Server cannot be reached"},
    {"Server antwortet nicht (Zeit\xFC" "berschreitung)", "Server does not answer (timed out)"},
    {"Serveradresse ung\xFC" "ltig", "Invalid server address"},
    {"unlesbare Antwort des Servers", "unreadable answer from the server"},
    {"Serveradresse '%1' ung\xFCltig, erwartet wird http://HOST:PORT", "Server address '%1' is invalid, expected http://HOST:PORT"},
    // Difficulties, as the menu, the finish screen and the HUD name them.
    {"Leicht", "Easy"},
    {"Normal", "Normal"},
    {"Schwer", "Hard"},
    // The stage: HUD, pause, power-up notes, finish screen.
    {"Pfeil hoch/runter: vor und zur\xFC" "ck", "Arrow up/down: forward and back"},
    {"Pause", "Paused"},
    {"Leben voll", "Life full"},
    {" Leben", " life"},
    {"Waffe voll", "Weapon full"},
    {"Waffe Stufe ", "Weapon level "},
    {"Schild ", "Shield "},
    {"Punkte", "Points"},
    {"Lebensbonus", "Life bonus"},
    {"Zeitbonus", "Time bonus"},
    {"Gesamtpunkte", "Total"},
    {"Feuer: %1, linke Maustaste oder %2", "Fire: %1, left mouse button or %2"},
    {"%1: weiter", "%1: skip"},
    {"%1: Highscores", "%1: highscores"},
    {"%1: Namen eintragen", "%1: enter your name"},
    {"%1: nochmal spielen", "%1: play again"},
    {"%1: erst Namen eintragen, dann nochmal", "%1: enter your name first, then play again"},
    {"%1: Men\xFC", "%1: menu"},
    {"%1: Men\xFC ohne Eintrag", "%1: menu, without your entry"},
    {"%1: Namen speichern", "%1: save the name"},
    {"%1: Namen speichern, dann nochmal", "%1: save the name, then play again"},
    {"%1: zur\xFC" "ck zum Men\xFC", "%1: back to the menu"},
    {"Schwierigkeit: %1 (Pfeil links/rechts)", "Difficulty: %1 (left/right arrow)"},
    // The player's controls: key and button names, the controls page, the
    // stage's lines that name keys, and settings.ini's [controls] on stderr.
    {"Pfeil links", "Left arrow"},
    {"Pfeil rechts", "Right arrow"},
    {"Pfeil hoch", "Up arrow"},
    {"Pfeil runter", "Down arrow"},
    {"Leertaste", "Space"},
    {"R\xFC" "cktaste", "Backspace"},
    {"Umschalt", "Shift"},
    {"Strg", "Ctrl"},
    {"Feststelltaste", "Caps Lock"},
    {"Bild auf", "Page Up"},
    {"Bild ab", "Page Down"},
    {"Ende", "End"},
    {"Pos1", "Home"},
    {"Einfg", "Insert"},
    {"Entf", "Delete"},
    {"Num ,", "Num ."},
    {"Kreuz hoch", "D-pad up"},
    {"Kreuz runter", "D-pad down"},
    {"Kreuz links", "D-pad left"},
    {"Kreuz rechts", "D-pad right"},
    {"Taste: %1\r\nController: %2", "Key: %1\r\nController: %2"},
    {"Dr\xFC" "cke die neue Taste oder den neuen Controller-Knopf.\r\nEsc bricht ab.",
     "Press the new key or the new controller button.\r\nEsc cancels."},
    {"%1 ist schon mit '%2' belegt.", "%1 is already taken by '%2'."},
    {"Controller-Knopf %1 ist schon mit '%2' belegt.", "Controller button %1 is already taken by '%2'."},
    {"Enter bleibt dem Men\xFC vorbehalten.", "Enter stays the menu's."},
    {"Die ganze Steuerung steht wieder auf ihren Vorgaben.", "All controls are back at their defaults."},
    {"zur Zeit %1-fach", "currently %1 times"},
    {"zur Zeit Vollbild", "currently full screen"},
    {"zur Zeit im Fenster", "currently in a window"},
    {"%1 oder %2: weiter, %3: Level verlassen", "%1 or %2: resume, %3: leave the stage"},
    {"%1/%2: vor und zur\xFC" "ck", "%1/%2: forward and back"},
    {"Einstellung [controls] %1=%2 in settings.ini ist keine bekannte Taste (etwa X, Left, Space, F1, Num0); "
     "es gilt %3.",
     "Setting [controls] %1=%2 in settings.ini is no known key (such as X, Left, Space, F1, Num0); %3 applies."},
    {"Einstellung [controls] %1=%2 in settings.ini ist kein bekannter Controller-Knopf (A, B, Y, Back, Start, "
     "Up, Down, Left, Right); es gilt %3.",
     "Setting [controls] %1=%2 in settings.ini is no known controller button (A, B, Y, Back, Start, Up, Down, "
     "Left, Right); %3 applies."},
    {"Einstellung [controls] %1=%2 in settings.ini ist schon vergeben; es gilt %3.",
     "Setting [controls] %1=%2 in settings.ini is already taken; %3 applies."},
    {"Einstellung [controls] %1=%2 in settings.ini ist keine Zahl von 0.25 bis 4; es gilt %3.",
     "Setting [controls] %1=%2 in settings.ini is no number from 0.25 to 4; %3 applies."},
    {"Einstellung [controls] %1=%2 in settings.ini ist weder 0 noch 1; es gilt %3.",
     "Setting [controls] %1=%2 in settings.ini is neither 0 nor 1; %3 applies."},
    // --scores.
    {"freigeschaltet", "unlocked"},
    {"gesperrt", "locked"},
    // Dialog captions.
    {"Fehler", "Error"},
});

// Pieces of error messages. Longer pieces come before the shorter ones they
// contain, so that the longer one wins.
constexpr std::array kMessagePieces = std::to_array<TTextPair>({
    {"Die Wiedergabe weicht von der Aufnahme ab, bei Bild ", "The replay diverges from its recording at frame "},
    {"Fehler beim Initialisieren des Audioger\xE4tes.", "The audio device could not be opened."},
    {"Ohne Ton spielen: sound=0 in settings.ini eintragen.", "To play without sound, put sound=0 into settings.ini."},
    {"VertexBuffer werden nicht unterst\xFCtzt, das Programm wird beendet.",
     "Vertex buffers are not supported, the program ends."},
    {"Der Spielerordner kann nicht eingerichtet werden", "The player's folder cannot be set up"},
    {"Kein Ordner f\xFCr Spielst\xE4nde: der Spielordner ist schreibgesch\xFCtzt und APPDATA nennt keinen absoluten Pfad",
     "No folder for saved games: the game's folder is read-only and APPDATA names no absolute path"},
    {"Kein Ordner f\xFCr Spielst\xE4nde: weder XDG_DATA_HOME noch HOME nennen einen absoluten Pfad",
     "No folder for saved games: neither XDG_DATA_HOME nor HOME names an absolute path"},
    {"Fehler beim Abspielen der Datei: ", "Error playing the file: "},
    {"Datein nicht gefunden: ", "Files not found: "},
    {"Datei nicht gefunden: ", "File not found: "},
    {"Fehler beim erstellen und schreiben von ", "Error creating and writing "},
    {"Fehler beim erzeugen und laden von ", "Error creating and loading "},
    {"Fehler beim erstellen der Fonts", "Error creating the fonts"},
    {"Fehler beim Erzeugen von ", "Error creating "},
    {"Fehler beim erstellen von ", "Error creating "},
    {"Fehler beim Abarbeiten des Levels", "Error running the stage"},
    {"Fehler beim Abarbeiten von ", "Error running "},
    {"Fehler beim Laden des Levels", "Error loading the stage"},
    {"Fehler beim Laden der Seiten", "Error loading the pages"},
    {"Fehler beim Rendern des Levels", "Error drawing the stage"},
    {"Fehler beim Lesen der Leveldatei ", "Error reading the stage file "},
    {"Fehler beim Zeichnen der Blitze", "Error drawing the bolts"},
    {"Fehler beim Update der Blitze", "Error updating the bolts"},
    {"Fehler beim hinzuf\xFCgen", "Error adding"},
    {"Fehler beim Zur\xFC" "cksetzen der Zeit", "Error resetting the time"},
    {"Fehler bei Kollisionspr\xFC" "fung", "Error testing collisions"},
    {"Fehler beim Kollisionstest von ", "Error testing collisions of "},
    {"Fehler beim Schie\xDF" "en (", "Error shooting ("},
    {"' und '", "' and '"},
    {"Leveldatei ", "Stage file "},
    {"Men\xFC" "datei ", "Menu file "},
    {" kann nicht gelesen werden: ", " cannot be read: "},
    {": es fehlen die Eintr\xE4ge menu_0_0 und menu_0_1 (count in [menu_0] ist ",
     ": the entries menu_0_0 and menu_0_1 are missing (count in [menu_0] is "},
    {", n\xF6tig sind mindestens 2)", ", at least 2 are needed)"},
    {"] muss count=0 haben, das Programm f\xFCllt die Seite selbst", "] must have count=0, the program fills the page"},
    {"Datei kann nicht ge\xF6" "ffnet werden", "File cannot be opened"},
    {"Datei kann nicht erstellt werden", "File cannot be created"},
    {"Datei kann nicht ersetzt werden", "File cannot be replaced"},
    {"Datei kann nicht gesichert werden", "File cannot be flushed to disk"},
    {"Datei kann nicht geschlossen werden", "File cannot be closed"},
    {"Datei kann nicht gelesen werden", "File cannot be read"},
    {"Datei kann nicht geschrieben werden", "File cannot be written"},
    {"Datei kann nicht umbenannt werden", "File cannot be renamed"},
    {"Ordner kann nicht angelegt werden", "Folder cannot be made"},
    {"Ordner kann nicht gelesen werden", "Folder cannot be read"},
    {"Verkn\xFCpfung kann nicht angelegt werden", "Link cannot be made"},
    {"Dateigr\xF6\xDF" "e unbekannt", "File size unknown"},
    {"Positionierungsfehler in", "Seek error in"},
    {"Lesefehler in", "Read error in"},
    {"Schreibfehler in", "Write error in"},
    {"Ung\xFCltige Stream-Operation", "Invalid stream operation"},
    {" ist kein g\xFCltiger Gleitkommawert", " is not a valid floating-point value"},
    {" ist kein g\xFCltiger Integerwert", " is not a valid integer value"},
    {": erlaubt sind ", ": allowed are "},
    {": ein Pfad braucht 3 bis ", ": a path needs 3 to "},
    {" Kontrollpunkte", " control points"},
    {", der Pfad hat dort keine Richtung", ", the path has no direction there"},
    {": liegt auf p", ": lies on p"},
    {": alle Kontrollpunkte liegen aufeinander", ": all control points lie on one another"},
    {"gr\xF6\xDF" "er als der Durchmesser der R\xF6hre", "larger than the tube's diameter"},
    {"breiter als der Durchmesser der R\xF6hre", "wider than the tube's diameter"},
    {": der Feuerpunkt liegt au\xDF" "erhalb der R\xF6hre", ": the fire point lies outside the tube"},
    {"Modell ", "Model "},
    {", Schl\xFC" "ssel '", ", key '"},
    {": bei Skalierung ", ": at scale "},
    {" gibt es nicht (", " does not exist ("},
    {" Punkte)", " points)"},
    {"': Punkt ", "': point "},
    {" ist kein Dateiname neben dem Level", " is no file name beside the stage"},
    {"Keine Leveldateien (*.level) in ", "No stage files (*.level) in "},
    {": der Build legt sie aus assets/stages an (Ziel rv_stages, in scripts/build und "
     "cmake --build build --target rv_game enthalten)",
     ": the build makes them from assets/stages (target rv_stages, part of scripts/build and "
     "cmake --build build --target rv_game)"},
});

bool NamesGerman(const char* locale) {
  const std::string_view name = locale ? locale : "";
  if (name.empty() || name == "C" || name == "POSIX" || name.starts_with("C.")) return true;
  return name.starts_with("de");
}

}  // namespace

TLanguage Language() { return gLanguage.load(std::memory_order_relaxed); }

void SetLanguage(TLanguage language) { gLanguage.store(language, std::memory_order_relaxed); }

std::string_view LanguageName(TLanguage language) { return language == TLanguage::English ? "English" : "Deutsch"; }

std::optional<TLanguage> LanguageNamed(std::string_view name) {
  name = TrimBlanks(name);
  for (const TLanguage language : {TLanguage::German, TLanguage::English}) {
    if (SameIgnoringCase(name, LanguageName(language))) return language;
  }
  return std::nullopt;
}

TLanguage LanguageFromLocale(const char* lcAll, const char* lang) {
  const char* locale = lcAll && *lcAll ? lcAll : lang;
  return NamesGerman(locale) ? TLanguage::German : TLanguage::English;
}

TLanguage SystemLanguage() {
  if constexpr (platform::kInBrowser) {
    const std::string tag = platform::PageLanguage();
    return LanguageFromLocale(nullptr, tag.c_str());
  }
  const char* lcAll = std::getenv("LC_ALL");
  const char* lang = std::getenv("LANG");
#ifdef _WIN32
  if (!(lcAll && *lcAll) && !(lang && *lang)) return PRIMARYLANGID(GetUserDefaultUILanguage()) == LANG_GERMAN ? TLanguage::German : TLanguage::English;
#endif
  return LanguageFromLocale(lcAll, lang);
}

std::string_view Tr(std::string_view german) {
  if (Language() != TLanguage::English) return german;
  for (const TTextPair& pair : kScreenTexts) {
    if (pair.German == german) return pair.English;
  }
  return german;
}

std::string TrMessage(std::string message) {
  if (Language() != TLanguage::English) return message;
  for (const TTextPair& piece : kMessagePieces) {
    for (std::size_t at = message.find(piece.German); at != std::string::npos;
         at = message.find(piece.German, at + piece.English.size())) {
      message.replace(at, piece.German.size(), piece.English);
    }
  }
  return message;
}

std::span<const TTextPair> ScreenTexts() { return kScreenTexts; }

std::span<const TTextPair> MessagePieces() { return kMessagePieces; }
