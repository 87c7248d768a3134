// InstallTest.cpp -- the installed game: telling it from a build, the
// player's folder it plays in (first start, later starts, an upgrade, what
// goes wrong), and the whole thing end to end: installed with
// `cmake --install` into a temporary prefix, a stage won there with its
// highscore saved into the player's copy while the installed files stay
// as they were, and its recording replayed. The end-to-end test needs a
// display.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <map>
#include <regex>
#include <stdexcept>
#include <string>

#include "app/UserFolder.h"
#include "platform/SdlPlatform.h"
#include "services/IniFile.h"
#include "services/RC4Stream.h"
#include "support/Run.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;

namespace {

// Every file under `root` (links followed) by its path below `root`.
std::map<std::string, std::string> FilesUnder(const fs::path& root) {
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    if (entry.is_regular_file()) files[fs::relative(entry.path(), root).string()] = ReadBytes(entry.path().string());
  }
  return files;
}

std::map<std::string, fs::file_type> Entries(const fs::path& folder) {
  std::map<std::string, fs::file_type> entries;
  for (const auto& entry : fs::directory_iterator(folder)) entries[entry.path().filename().string()] = entry.symlink_status().type();
  return entries;
}

// A prefix laid out as the install rules lay it out, with stand-ins for
// the files.
struct TFakeInstall {
  TTempDir Dir;
  fs::path Prefix = Dir.Path() / "prefix";
  fs::path Share = Prefix / "share" / "riftvaulter";
  std::string Bin = (Prefix / "bin").string() + "/";
  std::string DataHome = (Dir.Path() / "home" / ".local" / "share").string();
  fs::path User = Dir.Path() / "home" / ".local" / "share" / "riftvaulter";

  TFakeInstall() {
    fs::create_directories(Prefix / "bin");
    fs::create_directories(Share / "data");
    fs::create_directories(Share / "sound");
    Ship("data/Level01.level", "stage one");
    Ship("data/Level02.level", "stage two");
    Ship("data/ger.txt", "menu");
    Ship("data/Player.ship", "ship");
    Ship("sound/laser.wav", "wav");
    Ship("settings.ini", "[main]\r\nvsync=1\r\n");
  }
  void Ship(const std::string& name, const std::string& bytes) const { WriteBytes((Share / name).string(), bytes); }
  std::string Mine(const std::string& name) const { return ReadBytes((User / name).string()); }
  std::string Start() const { return ProgramFolder(Bin, DataHome); }
};

TEST(UserFolder, InstalledOnlyWithTheShareFolderAndNothingBesideTheExecutable) {
  // The build's own runtime folder is never an installed game, whatever the
  // data home: the program folder stays the executable's.
  EXPECT_FALSE(InstalledShareFolder(RV_BIN_DIR "/"));
  EXPECT_EQ(ProgramFolder(RV_BIN_DIR "/", ""), RV_BIN_DIR "/");
  EXPECT_EQ(LocateProgramFolder(RV_BIN_DIR "/", "/home/x/.local/share").Path + "settings.ini", RV_BIN_DIR "/settings.ini");

  TFakeInstall install;
  EXPECT_EQ(InstalledShareFolder(install.Bin), fs::canonical(install.Share));
  // The window opens from the player's settings, before the folder is laid
  // out (and without laying it out).
  EXPECT_EQ(LocateProgramFolder(install.Bin, install.DataHome).Path + "settings.ini",
            (install.User / "settings.ini").string());
  EXPECT_EQ(LocateProgramFolder(install.Bin, "").Path, "");
  EXPECT_FALSE(fs::exists(install.User));
  // A data folder beside the executable makes it a build, a missing share
  // folder a bare copy of the executable: both run where they are.
  fs::create_directories(install.Prefix / "bin" / "data");
  EXPECT_FALSE(InstalledShareFolder(install.Bin));
  EXPECT_EQ(ProgramFolder(install.Bin, install.DataHome), install.Bin);
  fs::remove(install.Prefix / "bin" / "data");
  fs::remove_all(install.Share / "data");
  EXPECT_FALSE(InstalledShareFolder(install.Bin));
  EXPECT_FALSE(fs::exists(install.User));
}

TEST(UserFolder, DataHomeFollowsTheXdgRule) {
  const struct {
    const char* xdg;
    const char* home;
    const char* expected;
  } cases[] = {
      {"/data/xdg", "/home/p", "/data/xdg"},
      {"/data/xdg/", "/home/p", "/data/xdg"},
      {nullptr, "/home/p", "/home/p/.local/share"},
      {"", "/home/p/", "/home/p/.local/share"},
      {"relative/xdg", "/home/p", "/home/p/.local/share"},
      {nullptr, "/", "/.local/share"},
      {nullptr, "relative", ""},
      {nullptr, nullptr, ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(platform::XdgDataHome(c.xdg, c.home), c.expected)
        << (c.xdg ? c.xdg : "(unset)") << ", " << (c.home ? c.home : "(unset)");
  }
}

TEST(UserFolder, FirstStartCopiesLaterStartsKeepThePlayersFiles) {
  TFakeInstall install;
  const auto shipped = FilesUnder(install.Share);
  ASSERT_EQ(install.Start(), install.User.string() + "/");

  // First start: real copies of the stage files and settings, links to the
  // rest, the folders private to the player.
  EXPECT_EQ(install.Mine("data/Level01.level"), "stage one");
  EXPECT_EQ(install.Mine("data/Level02.level"), "stage two");
  EXPECT_EQ(install.Mine("settings.ini"), "[main]\r\nvsync=1\r\n");
  EXPECT_EQ(install.Mine("data/ger.txt"), "menu");
  EXPECT_EQ(install.Mine("sound/laser.wav"), "wav");
  EXPECT_EQ(Entries(install.User / "data"), (std::map<std::string, fs::file_type>{
                                                {"Level01.level", fs::file_type::regular},
                                                {"Level02.level", fs::file_type::regular},
                                                {"Player.ship", fs::file_type::symlink},
                                                {"ger.txt", fs::file_type::symlink}}));
  EXPECT_EQ(Entries(install.User), (std::map<std::string, fs::file_type>{{"data", fs::file_type::directory},
                                                                          {"settings.ini", fs::file_type::regular},
                                                                          {"sound", fs::file_type::symlink}}));
  struct stat info {};
  ASSERT_EQ(::stat(install.User.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0700u);

  // The player plays: a highscore in stage one, a settings change, stage two
  // deleted to reset it, an own ship model in place of the link.
  WriteBytes((install.User / "data/Level01.level").string(), "stage one with scores");
  WriteBytes((install.User / "settings.ini").string(), "[main]\r\nvsync=0\r\n");
  fs::remove(install.User / "data/Level02.level");
  fs::remove(install.User / "data/Player.ship");
  WriteBytes((install.User / "data/Player.ship").string(), "my ship");
  // A start with nothing shipped changed: only the missing file comes back.
  install.Start();
  EXPECT_EQ(install.Mine("data/Level01.level"), "stage one with scores");
  EXPECT_EQ(install.Mine("data/Level02.level"), "stage two");
  EXPECT_EQ(install.Mine("settings.ini"), "[main]\r\nvsync=0\r\n");
  EXPECT_EQ(install.Mine("data/Player.ship"), "my ship");
  EXPECT_EQ(FilesUnder(install.Share), shipped);

  // An upgrade: changed files, a new stage, and the player's links still
  // pointing at a place the install has left.
  install.Ship("data/Level01.level", "stage one, new");
  install.Ship("data/Level03.level", "stage three");
  install.Ship("data/ger.txt", "menu, new");
  fs::remove(install.User / "sound");
  fs::create_directory_symlink(install.Dir.Path() / "old-prefix/share/riftvaulter/sound", install.User / "sound");
  install.Start();
  EXPECT_EQ(install.Mine("data/Level01.level"), "stage one with scores");
  EXPECT_EQ(install.Mine("data/Level03.level"), "stage three");
  EXPECT_EQ(install.Mine("data/ger.txt"), "menu, new");
  EXPECT_EQ(install.Mine("sound/laser.wav"), "wav");
  EXPECT_EQ(install.Mine("data/Player.ship"), "my ship");
  // Nothing left over from the copies and links.
  EXPECT_EQ(Entries(install.User / "data").size(), 5u);
  EXPECT_EQ(Entries(install.User).size(), 3u);
}

TEST(UserFolder, FailuresNameThePathAndLeaveNoHalfCopy) {
  auto failure = [](auto&& step) -> std::string {
    try {
      step();
    } catch (const std::runtime_error& error) {
      return error.what();
    }
    return "(no error)";
  };
  {
    TFakeInstall install;
    const std::string message = failure([&] { (void)ProgramFolder(install.Bin, ""); });
    EXPECT_NE(message.find("weder XDG_DATA_HOME noch HOME"), std::string::npos) << message;
    // The data home is a file: the message names what is in the way.
    WriteBytes(install.Dir.File("file"), "x");
    const std::string blocked = failure([&] { (void)ProgramFolder(install.Bin, install.Dir.File("file")); });
    EXPECT_NE(blocked.find("Ordner kann nicht angelegt werden '" + install.Dir.File("file") + "': Not a directory"),
              std::string::npos)
        << blocked;
  }
  {
    // A shipped stage file that fails while it is read (reading a process's
    // memory at address 0 fails after the open succeeded): the copy in
    // progress is removed, nothing appears under the real name, and the
    // next start tries again.
    TFakeInstall install;
    fs::create_symlink("/proc/self/mem", install.Share / "data/Level09.level");
    const std::string message = failure([&] { (void)install.Start(); });
    EXPECT_NE(message.find("Datei kann nicht gelesen werden '" + (install.Share / "data/Level09.level").string()),
              std::string::npos)
        << message;
    for (const auto& [name, type] : Entries(install.User / "data")) {
      EXPECT_EQ(name.find("Level09"), std::string::npos) << name;
      EXPECT_EQ(name.find(".tmp-"), std::string::npos) << name;
    }
    fs::remove(install.Share / "data/Level09.level");
    install.Start();
    EXPECT_EQ(install.Mine("data/Level02.level"), "stage two");
  }
  {
    // A name the temporary copy cannot have (too long with its suffix).
    TFakeInstall install;
    const std::string name = std::string(240, 'L') + ".level";
    install.Ship("data/" + name, "long");
    const std::string message = failure([&] { (void)install.Start(); });
    EXPECT_NE(message.find("Datei kann nicht erstellt werden"), std::string::npos) << message;
    EXPECT_FALSE(fs::exists(install.User / "data" / name));
  }
}

// The real install and the real program. The pilot wins the first stage
// with --keep-scores, so its highscore is saved where a player's would be.
TEST(InstalledGame, SavesHighscoresInThePlayersFolderOnly) {
  TTempDir dir;
  // Folders named with umlauts (UTF-8): every file the game opens, reads
  // and saves lies below one.
  const fs::path prefix = dir.Path() / "Pr\xC3\xBC" "fung", share = prefix / "share/riftvaulter";
  const fs::path dataHome = dir.Path() / "Spielst\xC3\xA4nde", user = dataHome / "riftvaulter";
  const TRun install = RunCommand(std::string("'") + RV_CMAKE_COMMAND + "' --install '" + RV_BUILD_DIR +
                                  "' --prefix '" + prefix.string() + "'");
  ASSERT_EQ(install.Status, 0) << install.Output;
  for (const char* file : {"bin/riftvaulter", "share/riftvaulter/data/lcd.ttf", "share/riftvaulter/data/lucon.ttf",
                           "share/riftvaulter/data/ger.txt", "share/riftvaulter/data/Level01.boss",
                           "share/riftvaulter/data/Level08.level", "share/riftvaulter/sound/music2.mp3",
                           "share/applications/riftvaulter.desktop",
                           "share/icons/hicolor/scalable/apps/riftvaulter.svg",
                           "share/metainfo/io.github.riftvaulter.Riftvaulter.metainfo.xml",
                           "share/riftvaulter/screenshots/flight.png", "share/man/man6/riftvaulter.6"}) {
    EXPECT_TRUE(fs::is_regular_file(prefix / file)) << file;
  }
  EXPECT_FALSE(fs::exists(prefix / "bin/data"));
  // The menu entry starts this very executable.
  const std::string desktop = ReadBytes((prefix / "share/applications/riftvaulter.desktop").string());
  EXPECT_NE(desktop.find("Exec=\"" + (prefix / "bin/riftvaulter").string() + "\"\n"), std::string::npos) << desktop;
  if (RunCommand("command -v desktop-file-validate").Status == 0) {
    const TRun check = RunCommand("desktop-file-validate '" + (prefix / "share/applications/riftvaulter.desktop").string() + "'");
    EXPECT_EQ(check.Status, 0) << check.Output;
    EXPECT_EQ(check.Output, "");
  }
  // The AppStream entry, checked against the menu entry it launches.
  if (RunCommand("command -v appstreamcli").Status == 0) {
    const TRun check = RunCommand("appstreamcli validate-tree --no-net '" + prefix.string() + "'");
    EXPECT_EQ(check.Status, 0) << check.Output;
  }
  // Shipped as written in assets/stages: no one's highscores.
  TIniFile shippedStage;
  LoadIni(shippedStage, (share / "data/Level01.level").string(), kLevelKey);
  EXPECT_EQ(shippedStage.ReadInteger("Highscore", "count", 0), 0);
  const auto installed = FilesUnder(prefix);

  const std::string game = "cd / && SDL_AUDIODRIVER=dummy RIFTVAULTER_NO_DIALOGS=1 XDG_DATA_HOME='" +
                           dataHome.string() + "' '" + (prefix / "bin/riftvaulter").string() + "' --window 160x120 ";
  const std::string recording = dir.File("run.rvr");
  const TRun pilot = RunCommand(game + "--autopilot --stage Level01 --fixed-step 16.667 --seed 20261207 --keep-scores" +
                                " --record '" + recording + "'");
  ASSERT_EQ(pilot.Status, 0) << pilot.Output;
  EXPECT_NE(pilot.Output.find("autopilot: Level01.level gewonnen"), std::string::npos) << pilot.Output;

  TIniFile stage;
  LoadIni(stage, (user / "data/Level01.level").string(), kLevelKey);
  EXPECT_GE(stage.ReadInteger("Highscore", "count", 0), 1);
  EXPECT_EQ(stage.ReadString("Highscore", "name0", ""), "AUTOPILOT");
  TIniFile next;
  LoadIni(next, (user / "data/Level02.level").string(), kLevelKey);
  EXPECT_TRUE(next.ReadBool("Level", "Active", false)) << "winning the first stage unlocks the second";
  EXPECT_EQ(FilesUnder(prefix), installed) << "the game wrote into its installed files";

  // --scores lists what the player's folder now holds, with no window.
  std::smatch total;
  ASSERT_TRUE(std::regex_search(pilot.Output, total, std::regex("Gesamt ([0-9]+),"))) << pilot.Output;
  const TRun scores = RunCommand("cd / && XDG_DATA_HOME='" + dataHome.string() + "' DISPLAY= '" +
                                 (prefix / "bin/riftvaulter").string() + "' --scores");
  EXPECT_EQ(scores.Status, 0) << scores.Output;
  EXPECT_TRUE(std::regex_search(scores.Output, std::regex("^Level01\\.level: \".+\", freigeschaltet, 1 Highscores\n"
                                                          "  1\\. AUTOPILOT " + total.str(1) + "\n"
                                                          "Level02\\.level: \".+\", freigeschaltet, 0 Highscores\n"
                                                          "Level03\\.level: \".+\", gesperrt, 0 Highscores\n")))
      << scores.Output;

  // Its recording plays back from the installed game too, on a scratch copy
  // of the player's files.
  const auto mine = FilesUnder(user);
  const TRun replay = RunCommand(game + "--timedemo '" + recording + "'");
  EXPECT_EQ(replay.Status, 0) << replay.Output;
  EXPECT_NE(replay.Output.find("timedemo: "), std::string::npos) << replay.Output;
  EXPECT_EQ(FilesUnder(user), mine);

  // A per-user folder that cannot be made is the error dialog's message (a
  // game that starts anyway would wait in its menu: the timeout ends it).
  const TRun blocked = RunCommand("cd / && SDL_AUDIODRIVER=dummy RIFTVAULTER_NO_DIALOGS=1 XDG_DATA_HOME='" +
                                  (user / "data/Level01.level").string() + "' timeout 60 '" +
                                  (prefix / "bin/riftvaulter").string() + "' --window 160x120");
  EXPECT_EQ(blocked.Status, 1) << blocked.Output;
  EXPECT_NE(blocked.Output.find("Fehler: Der Spielerordner kann nicht eingerichtet werden"), std::string::npos)
      << blocked.Output;
}

}  // namespace
