// Options.cpp -- reading the command line.
#include "app/Options.h"

#include <charconv>
#include <cmath>
#include <cstdlib>

#include "app/StageRun.h"
#include "platform/Platform.h"
#include "services/CharConv.h"
#include "services/Language.h"

namespace {

double ParseNumber(const std::string& text, const std::string& option) {
  // from_chars reads alike on every system, whatever the locale.
  double value = 0;
  const char* first = text.data() + (text.starts_with('+') && !text.starts_with("+-") ? 1 : 0);
  if (text.empty() || !conv::ReadDouble(first, text.data() + text.size(), value) || !std::isfinite(value))
    throw EOptionsError("Option " + option + ": '" + text + "' ist keine Zahl");
  return value;
}

}  // namespace

const char* UsageText() {
  if (Language() == TLanguage::English)
    return "Usage: riftvaulter [--record FILE]\n"
           "       riftvaulter --replay FILE | --timedemo FILE [--frame-times FILE]\n"
           "       riftvaulter --autopilot [--stage NAME|all]... [--fixed-step MS] [--seed N]\n"
           "                   [--difficulty Leicht|Normal|Schwer] [--reaction MS] [--aim-noise DEGREES]\n"
           "                   [--keep-scores] [--headless] [--challenge TOKEN] [--record FILE]\n"
           "       each also with --window WIDTHxHEIGHT, and playing ones with --record-stage FILE\n"
           "       riftvaulter --verify FILE [--installed-stage]\n"
           "       riftvaulter --scores | --stage-hashes | --path-fingerprint | --help | --version\n";
  return "Aufruf: riftvaulter [--record DATEI]\n"
         "       riftvaulter --replay DATEI | --timedemo DATEI [--frame-times DATEI]\n"
         "       riftvaulter --autopilot [--stage NAME|all]... [--fixed-step MS] [--seed N]\n"
         "                   [--difficulty Leicht|Normal|Schwer] [--reaction MS] [--aim-noise GRAD]\n"
         "                   [--keep-scores] [--headless] [--challenge TOKEN] [--record DATEI]\n"
         "       jeweils auch mit --window BREITExH\xD6HE, spielend auch mit --record-stage DATEI\n"
         "       riftvaulter --verify DATEI [--installed-stage]\n"
         "       riftvaulter --scores | --stage-hashes | --path-fingerprint | --help | --version\n";
}

std::string HelpText() {
  if (Language() == TLanguage::English)
    return std::string(UsageText()) +
           "\n"
           "Without options the game starts in its main menu.\n"
           "\n"
           "  --record FILE        record the game into FILE\n"
           "  --record-stage FILE  write the last stage's run (its start to its name entry) into FILE\n"
           "  --replay FILE        play a recording back at its own pace\n"
           "  --timedemo FILE      play a recording back as fast as possible and print the frame times\n"
           "  --frame-times FILE   with --timedemo: one line per frame in FILE (frame, milliseconds, 1 for a loading frame, 1 for a frame of play)\n"
           "  --autopilot          the built-in pilot plays (exit code 0 only when it wins every stage)\n"
           "  --stage NAME|all     the stage for the autopilot, repeatable; all: every stage in order\n"
           "  --fixed-step MS      fixed frame time for the autopilot (1 to 1000 ms)\n"
           "  --seed N             seed of the random generator for the autopilot\n"
           "  --difficulty NAME    Leicht (easy), Normal or Schwer (hard) for the autopilot (else the one in settings.ini)\n"
           "  --reaction MS        the autopilot decides on the world as it was MS milliseconds ago (0 to 2000)\n"
           "  --aim-noise DEGREES  the autopilot aims with a random error of DEGREES standard deviation,\n"
           "                       drawn anew every 100 ms, repeatable with --seed (0 to 45)\n"
           "  --keep-scores        the autopilot enters its highscores into the real stage files\n"
           "  --headless           the autopilot plays without window and sound (nothing is drawn)\n"
           "  --challenge TOKEN    a leaderboard server's challenge: the autopilot's stage flies its seed and\n"
           "                       the stage's run carries it\n"
           "  --window WIDTHxHEIGHT  in a window of this size instead of full screen\n"
           "  --verify FILE        play a recording back without window or sound, check its checksums and print\n"
           "                       the last finished run whose name was entered. Exit code 0: proven;\n"
           "                       2: refused (not a readable recording, no finished run with a name, or content\n"
           "                       the game cannot play, such as a stage naming a missing file);\n"
           "                       3: the replay drifts from its checksums or ends early, its stage is another stage\n"
           "                       (--installed-stage), its clock is refused (running backwards, a frame time out of\n"
           "                       range) or its seed is not the challenge's\n"
           "                       (1: the game itself cannot run here, e.g. its folder cannot be set up)\n"
           "  --installed-stage    with --verify: refuse a run whose stage differs from the installed one\n"
           "  --scores             print every stage's title, unlock state and highscores\n"
           "  --stage-hashes       print every stage's name and the SHA-256 of its rules\n"
           "  --path-fingerprint   print the checksum of every path value of the stages (the same on every system)\n"
           "  -h, --help           this help\n"
           "  --version            the version\n"
           "\n"
           "Controls: arrow keys or mouse roll, Up/Down change the speed, X or the left mouse button fires,\n"
           "P or Pause pauses, Esc leaves the stage, R plays it again right after its end.\n"
           "Language: language=English or language=Deutsch in section [main] of settings.ini,\n"
           "or the item Language on the settings page.\n";
  return std::string(UsageText()) +
         "\n"
         "Ohne Optionen startet das Spiel im Hauptmen\xFC.\n"
         "\n"
         "  --record DATEI       das Spiel in DATEI aufnehmen\n"
         "  --record-stage DATEI den Lauf des letzten Levels (Start bis Namenseingabe) in DATEI schreiben\n"
         "  --replay DATEI       eine Aufnahme in ihrem Tempo wiedergeben\n"
         "  --timedemo DATEI     eine Aufnahme so schnell wie m\xF6glich wiedergeben und die Bildzeiten ausgeben\n"
         "  --frame-times DATEI  mit --timedemo: je Bild eine Zeile in DATEI (Bildnummer, Millisekunden, 1 f\xFCr Ladebild, 1 f\xFCr Spielbild)\n"
         "  --autopilot          der eingebaute Pilot spielt (Exit-Code 0 nur, wenn er jedes Level gewinnt)\n"
         "  --stage NAME|all     das Level f\xFCr den Autopiloten, wiederholbar; all: alle der Reihe nach\n"
         "  --fixed-step MS      feste Bildzeit f\xFCr den Autopiloten (1 bis 1000 ms)\n"
         "  --seed N             Startwert des Zufallsgenerators f\xFCr den Autopiloten\n"
         "  --difficulty NAME    Leicht, Normal oder Schwer f\xFCr den Autopiloten (sonst die aus settings.ini)\n"
         "  --reaction MS        der Autopilot entscheidet nach der Welt, wie sie vor MS Millisekunden war (0 bis 2000)\n"
         "  --aim-noise GRAD     der Autopilot zielt mit einem zuf\xE4lligen Fehler von GRAD Grad Standardabweichung,\n"
         "                       alle 100 ms neu gew\xFCrfelt, mit --seed wiederholbar (0 bis 45)\n"
         "  --keep-scores        der Autopilot tr\xE4gt seine Highscores in die echten Leveldateien ein\n"
         "  --headless           der Autopilot spielt ohne Fenster und Ton (nichts wird gezeichnet)\n"
         "  --challenge TOKEN    Herausforderung eines Bestenlisten-Servers: das Level des Autopiloten fliegt\n"
         "                       ihren Startwert, sein Lauf tr\xE4gt sie\n"
         "  --window BREITExH\xD6HE  in einem Fenster dieser Gr\xF6\xDF" "e statt im Vollbild\n"
         "  --verify DATEI       eine Aufnahme ohne Fenster und Ton nachspielen, ihre Pr\xFC" "fsummen pr\xFC" "fen und den\n"
         "                       letzten beendeten Lauf mit eingetragenem Namen ausgeben. Exit-Code 0: bewiesen;\n"
         "                       2: abgelehnt (keine lesbare Aufnahme, kein beendeter Lauf mit Namen oder ein Inhalt,\n"
         "                       den das Spiel nicht spielen kann, etwa ein Level, das eine fehlende Datei nennt);\n"
         "                       3: die Wiedergabe weicht von ihren Pr\xFC" "fsummen ab oder endet vorzeitig, ihr Level ist\n"
         "                       ein anderes (--installed-stage), ihre Uhr wird abgelehnt (l\xE4uft r\xFC" "ckw\xE4rts, eine\n"
         "                       Bildzeit au\xDF" "erhalb der Grenzen) oder ihr Startwert ist nicht der der Herausforderung\n"
         "                       (1: das Spiel selbst kann hier nicht laufen, etwa weil sein Ordner nicht einzurichten ist)\n"
         "  --installed-stage    mit --verify: einen Lauf ablehnen, dessen Level vom installierten abweicht\n"
         "  --scores             f\xFCr jedes Level Titel, Freischaltung und Highscores ausgeben\n"
         "  --stage-hashes       f\xFCr jedes Level Name und SHA-256-Pr\xFC" "fsumme seiner Regeln ausgeben\n"
         "  --path-fingerprint   die Pr\xFC" "fsumme aller Pfadwerte der Level ausgeben (gleich auf jedem System)\n"
         "  -h, --help           diese Hilfe\n"
         "  --version            die Version\n"
         "\n"
         "Steuerung: Pfeiltasten oder Maus rollen, Hoch/Runter \xE4ndern das Tempo, X oder linke Maustaste feuert,\n"
         "P oder Pause h\xE4lt an, Esc verl\xE4sst das Level, R spielt es nach seinem Ende gleich noch einmal.\n"
         "Sprache: language=Deutsch oder language=English in Abschnitt [main] von settings.ini,\n"
         "oder der Eintrag Sprache auf der Seite Einstellungen.\n";
}

std::string VersionText() { return std::string("riftvaulter ") + RV_VERSION + "\n"; }

TOptions ParseOptions(const std::vector<std::string>& args) {
  TOptions options;
  bool replay = false, timedemo = false, autopilot = false, pilotOnly = false, scores = false, fingerprint = false;
  bool verify = false, stageHashes = false;
  auto value = [&](std::size_t& i) -> const std::string& {
    if (i + 1 >= args.size()) throw EOptionsError("Option " + args[i] + " braucht einen Wert");
    return args[++i];
  };
  // Help and version win over everything else on the line.
  for (const TRunMode mode : {TRunMode::Help, TRunMode::Version}) {
    for (const std::string& arg : args) {
      if (mode == TRunMode::Help ? arg == "--help" || arg == "-h" : arg == "--version") {
        options.Mode = mode;
        return options;
      }
    }
  }
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--record") {
      options.RecordFile = value(i);
    } else if (arg == "--record-stage") {
      options.RecordStageFile = value(i);
    } else if (arg == "--installed-stage") {
      options.InstalledStage = true;
    } else if (arg == "--replay") {
      replay = true;
      options.ReplayFile = value(i);
    } else if (arg == "--timedemo") {
      timedemo = true;
      options.ReplayFile = value(i);
    } else if (arg == "--frame-times") {
      options.FrameTimesFile = value(i);
      if (options.FrameTimesFile.empty()) throw EOptionsError("Option --frame-times braucht einen Dateinamen");
    } else if (arg == "--verify") {
      verify = true;
      options.ReplayFile = value(i);
    } else if (arg == "--scores") {
      scores = true;
    } else if (arg == "--stage-hashes") {
      stageHashes = true;
    } else if (arg == "--path-fingerprint") {
      fingerprint = true;
    } else if (arg == "--autopilot") {
      autopilot = true;
    } else if (arg == "--stage") {
      pilotOnly = true;
      const std::string& name = value(i);
      if (name == "all") {
        options.AllStages = true;
      } else {
        if (name.empty() || name.find_first_of("/\\") != std::string::npos || name == "." || name == "..")
          throw EOptionsError("Option --stage: '" + name + "' ist kein Levelname");
        options.Stages.push_back(name.size() > 6 && name.compare(name.size() - 6, 6, ".level") == 0 ? name
                                                                                                   : name + ".level");
      }
    } else if (arg == "--fixed-step") {
      pilotOnly = true;
      options.FixedStepMs = ParseNumber(value(i), arg);
      if (!(options.FixedStepMs >= 1 && options.FixedStepMs <= 1000))
        throw EOptionsError("Option --fixed-step: erlaubt sind 1 bis 1000 Millisekunden");
    } else if (arg == "--seed") {
      pilotOnly = true;
      const double seed = ParseNumber(value(i), arg);
      if (!(seed >= 0 && seed <= 4294967295.0) || seed != std::floor(seed))
        throw EOptionsError("Option --seed: eine ganze Zahl von 0 bis 4294967295");
      options.Seed = static_cast<uint32_t>(seed);
    } else if (arg == "--challenge") {
      pilotOnly = true;
      options.Challenge = value(i);
      if (!SeedOfChallenge(options.Challenge))
        throw EOptionsError("Option --challenge: keine Herausforderung eines Servers (v1.STRECKE.SCHWIERIGKEIT.STARTWERT...)");
    } else if (arg == "--difficulty") {
      pilotOnly = true;
      const std::string& name = value(i);
      options.Difficulty = DifficultyNamed(name);
      if (!options.Difficulty)
        throw EOptionsError("Option --difficulty: '" + name + "' ist keine Schwierigkeit (Leicht, Normal oder Schwer)");
    } else if (arg == "--reaction") {
      pilotOnly = true;
      options.ReactionMs = ParseNumber(value(i), arg);
      if (!(options.ReactionMs >= 0 && options.ReactionMs <= 2000))
        throw EOptionsError("Option --reaction: erlaubt sind 0 bis 2000 Millisekunden");
    } else if (arg == "--aim-noise") {
      pilotOnly = true;
      options.AimNoiseDeg = ParseNumber(value(i), arg);
      if (!(options.AimNoiseDeg >= 0 && options.AimNoiseDeg <= 45))
        throw EOptionsError("Option --aim-noise: erlaubt sind 0 bis 45 Grad");
    } else if (arg == "--headless") {
      pilotOnly = true;
      options.Headless = true;
    } else if (arg == "--keep-scores") {
      pilotOnly = true;
      options.KeepScores = true;
    } else if (arg == "--window") {
      const std::string& size = value(i);
      const std::size_t x = size.find('x');
      if (x == std::string::npos) throw EOptionsError("Option --window: erwartet BREITExH\xD6HE, z. B. 640x480");
      const double w = ParseNumber(size.substr(0, x), arg), h = ParseNumber(size.substr(x + 1), arg);
      constexpr int lo = platform::kMinWindowSide, hi = platform::kMaxWindowSide;
      if (!(w >= lo && w <= hi && h >= lo && h <= hi) || w != std::floor(w) || h != std::floor(h))
        throw EOptionsError("Option --window: Breite und H\xF6he zwischen " + std::to_string(lo) + " und " +
                            std::to_string(hi) + " Pixeln");
      options.WindowWidth = static_cast<int>(w);
      options.WindowHeight = static_cast<int>(h);
    } else {
      throw EOptionsError("Unbekannte Option '" + arg + "'");
    }
  }
  if (scores && args.size() > 1) throw EOptionsError("--scores steht allein");
  if (fingerprint && args.size() > 1) throw EOptionsError("--path-fingerprint steht allein");
  if (stageHashes && args.size() > 1) throw EOptionsError("--stage-hashes steht allein");
  if (verify && args.size() > 2 + (options.InstalledStage ? 1 : 0))
    throw EOptionsError("--verify DATEI steht allein (oder mit --installed-stage)");
  if (options.InstalledStage && !verify) throw EOptionsError("--installed-stage gilt nur mit --verify");
  if (replay + timedemo + autopilot > 1)
    throw EOptionsError("--replay, --timedemo und --autopilot schlie\xDF" "en einander aus");
  if ((replay || timedemo) && (!options.RecordFile.empty() || !options.RecordStageFile.empty()))
    throw EOptionsError("Eine Wiedergabe kann nicht aufgenommen werden");
  if (!options.FrameTimesFile.empty() && !timedemo) throw EOptionsError("--frame-times gilt nur mit --timedemo");
  if (pilotOnly && !autopilot)
    throw EOptionsError("--stage, --fixed-step, --seed, --challenge, --difficulty, --reaction, --aim-noise, --keep-scores und --headless gelten nur mit --autopilot");
  // The pilot plays on the player's own files then, with their settings.
  if (options.KeepScores && options.Difficulty)
    throw EOptionsError("--difficulty und --keep-scores schlie\xDF" "en einander aus");
  if (options.Headless && options.WindowWidth > 0) throw EOptionsError("--headless und --window schlie\xDF" "en einander aus");
  if (options.AllStages && !options.Stages.empty())
    throw EOptionsError("--stage all und einzelne Level schlie\xDF" "en einander aus");
  if (scores) options.Mode = TRunMode::Scores;
  if (fingerprint) options.Mode = TRunMode::PathFingerprint;
  if (stageHashes) options.Mode = TRunMode::StageHashes;
  if (verify) {
    options.Mode = TRunMode::Verify;
    options.Headless = true;
  }
  if (replay) options.Mode = TRunMode::Replay;
  if (timedemo) options.Mode = TRunMode::Timedemo;
  if (autopilot) options.Mode = TRunMode::Autopilot;
  return options;
}
