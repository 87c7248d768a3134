// SaveFailureTest.cpp -- saving a stage file onto a full disk and into a
// read-only folder, on real file systems: a small tmpfs and a read-only
// remount in a private mount namespace. Root can write any file whatever
// its mode bits, so only a mount makes these failures real when the suite
// runs as root (as CI does). Where mounts are not allowed the test is
// skipped; the open-flag test covers the read-only load everywhere.
#include <gtest/gtest.h>

#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <functional>

#include "services/IniFile.h"
#include "services/RC4Stream.h"
#include "stage/Level.h"
#include "support/StagePlay.h"
#include "support/TempDir.h"
#include "platform/VirtualKeys.h"

namespace {

constexpr int kNoMounts = 77;

// Runs `body` in a child with its own mount namespace and a tmpfs of
// `size` on `dir`. The child's exit code: 0 when every check held,
// kNoMounts when the mounts could not be made, else the failed check's
// number (its text on stderr).
int InTmpfs(const std::string& dir, const char* size, const std::function<int()>& body) {
  std::fflush(nullptr);
  const pid_t child = ::fork();
  if (child == 0) {
    if (::unshare(CLONE_NEWNS) != 0 || ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        ::mount("tmpfs", dir.c_str(), "tmpfs", 0, size) != 0)
      ::_exit(kNoMounts);
    int result = 1;
    try {
      result = body();
    } catch (const std::exception& error) {
      std::fprintf(stderr, "unexpected: %s\n", error.what());
    }
    std::fflush(nullptr);
    ::_exit(result);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 100;
}

TIniFile StageText(std::size_t size, const char* name) {
  TIniFile ini;
  ini.WriteString("Level", "Title", "Platte");
  ini.WriteString("Highscore", "name0", name);
  ini.WriteString("Level", "Fill", std::string(size, 'x'));
  return ini;
}

#define CHECK(n, condition)                                        \
  do {                                                             \
    if (!(condition)) {                                            \
      std::fprintf(stderr, "check %d failed: %s\n", n, #condition); \
      return n;                                                    \
    }                                                              \
  } while (0)

TEST(SaveFailure, AFullDiskKeepsTheOldStageFile) {
  TTempDir dir;
  const std::string folder = dir.Path().string();
  const int result = InTmpfs(folder, "size=64k", [&] {
    const std::string path = folder + "/stage.level";
    const TIniFile old = StageText(1000, "Alt");
    SaveIni(&old, path, kLevelKey);
    const std::string before = ReadBytes(path);
    // Fill the rest of the disk.
    FILE* filler = std::fopen((folder + "/filler").c_str(), "wb");
    CHECK(2, filler != nullptr);
    const std::string block(4096, 'f');
    while (std::fwrite(block.data(), 1, block.size(), filler) == block.size() && std::fflush(filler) == 0) {
    }
    std::fclose(filler);
    const TIniFile big = StageText(20000, "Neu");
    std::string message;
    try {
      SaveIni(&big, path, kLevelKey);
    } catch (const EStreamError& error) {
      message = error.what();
    }
    CHECK(3, !message.empty());
    CHECK(4, message.find("stage.level") != std::string::npos);
    CHECK(5, message.find("No space left") != std::string::npos);
    CHECK(6, ReadBytes(path) == before);
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) files += entry.is_regular_file();
    CHECK(7, files == 2);  // the stage and the filler: no temporary left behind
    // Room again: the same save goes through.
    std::filesystem::remove(folder + "/filler");
    SaveIni(&big, path, kLevelKey);
    TIniFile back;
    LoadIni(back, path, kLevelKey);
    CHECK(8, back.ReadString("Highscore", "name0", "") == "Neu");
    return 0;
  });
  if (result == kNoMounts) GTEST_SKIP() << "no mount namespace or tmpfs allowed here";
  EXPECT_EQ(result, 0);
}

TEST(SaveFailure, AReadOnlyFolderKeepsTheOldStageFileAndStillLoads) {
  TTempDir dir;
  const std::string folder = dir.Path().string();
  const int result = InTmpfs(folder, "size=1m", [&] {
    const std::string path = folder + "/stage.level";
    const TIniFile old = StageText(100, "Alt");
    SaveIni(&old, path, kLevelKey);
    const std::string before = ReadBytes(path);
    if (::mount(nullptr, folder.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) != 0) return kNoMounts;
    std::string message;
    try {
      const TIniFile next = StageText(100, "Neu");
      SaveIni(&next, path, kLevelKey);
    } catch (const EStreamError& error) {
      message = error.what();
    }
    CHECK(2, message.find("Read-only file system") != std::string::npos);
    CHECK(3, ReadBytes(path) == before);
    // A read-only stage still loads: it is opened for reading only.
    TIniFile back;
    LoadIni(back, path, kLevelKey);
    CHECK(4, back.ReadString("Highscore", "name0", "") == "Alt");
    return 0;
  });
  if (result == kNoMounts) GTEST_SKIP() << "no mount namespace or read-only remount allowed here";
  EXPECT_EQ(result, 0);
}

// Leaving a won stage with Escape unlocks the next one; where that cannot
// be saved, the error reaches the caller (the menu reports it as it reports
// a failed highscore save) and neither file changes.
TEST(SaveFailure, AnUnlockThatCannotBeSavedLeavesBothStageFiles) {
  TTempDir scratch;
  const int result = InTmpfs(scratch.Path().string(), "size=64k", [&] {
    TStagePlay play;
    const std::string next = play.Dir.File("next.level");
    TIniFile locked;
    locked.WriteBool("Level", "Active", false);
    SaveIni(&locked, next, kLevelKey);
    play.Load(TStagePlay::Empty({{"Level/NextLevel", "next.level"}}));
    const std::string stageBefore = ReadBytes(play.StageFile);
    const std::string nextBefore = ReadBytes(next);
    const std::string folder = play.Dir.Path().string();
    if (::mount(folder.c_str(), folder.c_str(), nullptr, MS_BIND, nullptr) != 0 ||
        ::mount(nullptr, folder.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) != 0)
      return kNoMounts;
    play.Level->fFinish.State = TFinishState::Passed;
    play.Hold(platform::kVkEscape, true);
    std::string message;
    try {
      play.Frame(16);
    } catch (const EStreamError& error) {
      message = error.what();
    }
    ::umount(folder.c_str());
    CHECK(2, message.find("Read-only file system") != std::string::npos);
    CHECK(3, ReadBytes(play.StageFile) == stageBefore);
    CHECK(4, ReadBytes(next) == nextBefore);
    CHECK(5, !play.Level->fActive);
    return 0;
  });
  if (result == kNoMounts) GTEST_SKIP() << "no mount namespace or read-only bind mount allowed here";
  EXPECT_EQ(result, 0);
}

}  // namespace
