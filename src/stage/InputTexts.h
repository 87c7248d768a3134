// InputTexts.h -- every text the player's controls show, in one place: the
// names of keys and controller buttons, the controls page's messages, the
// lines about settings.ini's [controls] on stderr, and the stage's lines
// that name keys. Windows-1252; "%1", "%2" stand for what FillText puts in.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/Gamepad.h"
#include "services/Text.h"  // FillText, which these texts are written for

// A key the player can bind: its virtual-key code, its name in
// settings.ini and the name the game shows.
struct TKeyText {
  int Vk;
  const char* FileName;
  const char* ShownName;
};

// Every key that can be bound, apart from letters and digits (their names
// are the letter or digit itself) and F1 to F12.
inline constexpr TKeyText kKeyTexts[] = {
    {0x25, "Left", "Pfeil links"},   {0x27, "Right", "Pfeil rechts"}, {0x26, "Up", "Pfeil hoch"},
    {0x28, "Down", "Pfeil runter"},  {0x20, "Space", "Leertaste"},     {0x08, "Backspace", "R\xFC" "cktaste"},
    {0x09, "Tab", "Tab"},            {0x10, "Shift", "Umschalt"},      {0x11, "Ctrl", "Strg"},
    {0x12, "Alt", "Alt"},            {0x13, "Pause", "Pause"},         {0x14, "CapsLock", "Feststelltaste"},
    {0x21, "PageUp", "Bild auf"},    {0x22, "PageDown", "Bild ab"},    {0x23, "End", "Ende"},
    {0x24, "Home", "Pos1"},          {0x2D, "Insert", "Einfg"},        {0x2E, "Delete", "Entf"},
    {0x1B, "Escape", "Esc"},         {0x60, "Num0", "Num 0"},          {0x61, "Num1", "Num 1"},
    {0x62, "Num2", "Num 2"},         {0x63, "Num3", "Num 3"},          {0x64, "Num4", "Num 4"},
    {0x65, "Num5", "Num 5"},         {0x66, "Num6", "Num 6"},          {0x67, "Num7", "Num 7"},
    {0x68, "Num8", "Num 8"},         {0x69, "Num9", "Num 9"},          {0x6A, "NumMultiply", "Num *"},
    {0x6B, "NumPlus", "Num +"},      {0x6D, "NumMinus", "Num -"},      {0x6E, "NumPeriod", "Num ,"},
    {0x6F, "NumDivide", "Num /"},
};

struct TPadButtonText {
  platform::TPadButton Button;
  const char* FileName;
  const char* ShownName;
};

inline constexpr TPadButtonText kPadButtonTexts[] = {
    {platform::kPadA, "A", "A"},
    {platform::kPadB, "B", "B"},
    {platform::kPadY, "Y", "Y"},
    {platform::kPadBack, "Back", "Back"},
    {platform::kPadStart, "Start", "Start"},
    {platform::kPadUp, "Up", "Kreuz hoch"},
    {platform::kPadDown, "Down", "Kreuz runter"},
    {platform::kPadLeft, "Left", "Kreuz links"},
    {platform::kPadRight, "Right", "Kreuz rechts"},
};

// The controls page. %1 a key or button, %2 the action holding it.
inline constexpr const char* kTextBinding = "Taste: %1\r\nController: %2";
inline constexpr const char* kTextWaiting =
    "Dr\xFC" "cke die neue Taste oder den neuen Controller-Knopf.\r\nEsc bricht ab.";
inline constexpr const char* kTextKeyTaken = "%1 ist schon mit '%2' belegt.";
inline constexpr const char* kTextPadTaken = "Controller-Knopf %1 ist schon mit '%2' belegt.";
inline constexpr const char* kTextEnterReserved = "Enter bleibt dem Men\xFC vorbehalten.";
inline constexpr const char* kTextDefaultsRestored = "Die ganze Steuerung steht wieder auf ihren Vorgaben.";
inline constexpr const char* kTextSensitivity = "zur Zeit %1-fach";
inline constexpr const char* kTextOn = "zur Zeit eingeschaltet";
inline constexpr const char* kTextOff = "zur Zeit ausgeschaltet";
inline constexpr const char* kTextFullScreen = "zur Zeit Vollbild";
inline constexpr const char* kTextWindow = "zur Zeit im Fenster";

// settings.ini's [controls] on stderr. %1 the key, %2 its value, %3 what
// applies instead.
inline constexpr const char* kTextBadKey =
    "Einstellung [controls] %1=%2 in settings.ini ist keine bekannte Taste (etwa X, Left, Space, F1, Num0); "
    "es gilt %3.";
inline constexpr const char* kTextBadPadButton =
    "Einstellung [controls] %1=%2 in settings.ini ist kein bekannter Controller-Knopf (A, B, Y, Back, Start, "
    "Up, Down, Left, Right); es gilt %3.";
inline constexpr const char* kTextTakenInFile =
    "Einstellung [controls] %1=%2 in settings.ini ist schon vergeben; es gilt %3.";
inline constexpr const char* kTextBadSensitivity =
    "Einstellung [controls] %1=%2 in settings.ini ist keine Zahl von 0.25 bis 4; es gilt %3.";
inline constexpr const char* kTextBadSwitch = "Einstellung [controls] %1=%2 in settings.ini ist weder 0 noch 1; es gilt %3.";

// The stage. %1 the pause key, %2 the pause button, %3 the key that leaves.
inline constexpr const char* kTextPauseHelp = "%1 oder %2: weiter, %3: Level verlassen";
// %1 the fire key, %2 the fire button.
inline constexpr const char* kTextPauseFire = "Feuer: %1, linke Maustaste oder %2";
// The stage page: %1 the difficulty in force.
inline constexpr const char* kTextStageDifficulty = "Schwierigkeit: %1 (Pfeil links/rechts)";
// The finish screen's keys, one line each; %1 the key (and button).
inline constexpr const char* kTextFinishSkip = "%1: weiter";
inline constexpr const char* kTextFinishList = "%1: Highscores";
inline constexpr const char* kTextFinishName = "%1: Namen eintragen";
inline constexpr const char* kTextFinishAgain = "%1: nochmal spielen";
inline constexpr const char* kTextFinishNameThenAgain = "%1: erst Namen eintragen, dann nochmal";
inline constexpr const char* kTextFinishLeave = "%1: Men\xFC";
inline constexpr const char* kTextFinishLeaveUnnamed = "%1: Men\xFC ohne Eintrag";
inline constexpr const char* kTextFinishSave = "%1: Namen speichern";
inline constexpr const char* kTextFinishSaveThenAgain = "%1: Namen speichern, dann nochmal";
inline constexpr const char* kTextFinishBack = "%1: zur\xFC" "ck zum Men\xFC";
// Under the finish screen's keys when the stage started without the
// server's challenge while the online board was on.
inline constexpr const char* kTextNotForBoard =
    "Dieser Lauf ist nicht f\xFCr die Online-Bestenliste (keine Verbindung zum Server beim Start)";
// The arena's moves with the arrow keys, and with any other two keys (%1
// forward, %2 back).
inline constexpr const char* kTextArenaArrows = "Pfeil hoch/runter: vor und zur\xFC" "ck";
inline constexpr const char* kTextArenaKeys = "%1/%2: vor und zur\xFC" "ck";
