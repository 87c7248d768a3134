// EncryptedIniTest.cpp -- the RC4 container, the INI object and safe saving.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <random>
#include <thread>

#include "services/AtomicFile.h"
#include "services/IniFile.h"
#include "services/RC4Stream.h"
#include "support/TempDir.h"

namespace {

// A growable in-memory stream.
class TMemoryStream final : public TStream {
 public:
  std::string Bytes;
  int64_t Pos = 0;
  int64_t Read(void* buffer, int64_t count) override {
    const int64_t n = std::min<int64_t>(count, static_cast<int64_t>(Bytes.size()) - Pos);
    std::memcpy(buffer, Bytes.data() + Pos, static_cast<std::size_t>(n));
    Pos += n;
    return n;
  }
  int64_t Write(const void* buffer, int64_t count) override {
    Bytes.replace(static_cast<std::size_t>(Pos), static_cast<std::size_t>(count), static_cast<const char*>(buffer),
                  static_cast<std::size_t>(count));
    Pos += count;
    return count;
  }
  int64_t Seek(int64_t offset, TSeekOrigin origin) override {
    Pos = (origin == TSeekOrigin::Beginning ? 0 : origin == TSeekOrigin::Current ? Pos : GetSize()) + offset;
    return Pos;
  }
  int64_t GetSize() override { return static_cast<int64_t>(Bytes.size()); }
};

std::string Encipher(const std::string& plain, std::string_view key) {
  TMemoryStream memory;
  TRC4StreamWriter writer(memory, key);
  writer.Write(plain.data(), static_cast<int64_t>(plain.size()));
  return memory.Bytes;
}

std::string LargeText(char fill, std::size_t size) {
  std::string text = "[Level]\r\n";
  while (text.size() < size) text += std::string("k") + std::to_string(text.size()) + "=" + std::string(60, fill) + "\r\n";
  return text;
}

TEST(RC4, MatchesThePublishedTestVectors) {
  const std::string cipher = Encipher("Plaintext", "Key");
  const unsigned char expected[] = {0xBB, 0xF3, 0x16, 0xE8, 0xD9, 0x40, 0xAF, 0x0A, 0xD3};
  ASSERT_EQ(cipher.size(), sizeof expected);
  for (std::size_t i = 0; i < cipher.size(); ++i) EXPECT_EQ(static_cast<unsigned char>(cipher[i]), expected[i]) << i;
  const std::string wiki = Encipher("Attack at dawn", "Secret");
  EXPECT_EQ(static_cast<unsigned char>(wiki[0]), 0x45);
  EXPECT_EQ(static_cast<unsigned char>(wiki[13]), 0xF5);
}

TEST(RC4, ChunkedWritesReadBackAndRewindRestartsTheKeystream) {
  const std::string plain = LargeText('x', 3 * TRC4StreamWriter::kChunkSize + 123);
  const std::string once = Encipher(plain, kLevelKey);
  // Writing piecewise continues the keystream: the same bytes as one call.
  TMemoryStream pieces;
  {
    TRC4StreamWriter writer(pieces, kLevelKey);
    writer.Write(plain.data(), 1000);
    writer.Write(plain.data() + 1000, static_cast<int64_t>(plain.size() - 1000));
  }
  EXPECT_EQ(pieces.Bytes, once);

  TMemoryStream memory;
  memory.Bytes = once;
  TRC4StreamReader reader(memory, kLevelKey);
  std::string first(plain.size(), '\0');
  EXPECT_EQ(reader.Read(first.data(), static_cast<int64_t>(first.size())), static_cast<int64_t>(plain.size()));
  EXPECT_EQ(first, plain);
  EXPECT_EQ(reader.Seek(0, TSeekOrigin::Beginning), 0);
  std::string second(plain.size(), '\0');
  reader.Read(second.data(), static_cast<int64_t>(second.size()));
  EXPECT_EQ(second, plain);
}

TEST(RC4, UnsupportedOperationsRaise) {
  TMemoryStream memory;
  TRC4StreamReader reader(memory, kLevelKey);
  TRC4StreamWriter writer(memory, kLevelKey);
  char byte = 0;
  EXPECT_THROW(reader.Write(&byte, 1), ERC4Error);
  EXPECT_THROW(writer.Read(&byte, 1), ERC4Error);
  EXPECT_THROW(reader.Seek(1, TSeekOrigin::Beginning), ERC4Error);
  EXPECT_EQ(reader.Seek(0, TSeekOrigin::Current), 0);
  try {
    reader.Write(&byte, 1);
  } catch (const ERC4Error& error) {
    EXPECT_STREQ(error.what(), "Ung\xFCltige Stream-Operation");
  }
}

TEST(IniFile, ParsesLikeTheGameWritesAndReadsTypedValues) {
  TIniFile ini;
  ini.SetText("ignored=1\r\n ; comment\r\n[ Level ]\r\n  TubeSize = 4,5 \n\nCircles=$10\rActive=1\r\n"
              "Title=Erste Welt = gut\r\n[level]\r\nDup=2\r\n");
  ASSERT_EQ(ini.Sections().size(), 2u);
  EXPECT_EQ(ini.Sections()[0].Name, "Level");
  EXPECT_FALSE(ini.ValueExists("Level", "ignored"));
  EXPECT_FLOAT_EQ(ini.ReadFloat("LEVEL", "tubesize", 0), 4.5f);
  EXPECT_EQ(ini.ReadInteger("Level", "Circles", 0), 16);
  EXPECT_TRUE(ini.ReadBool("Level", "Active", false));
  EXPECT_EQ(ini.ReadString("Level", "Title", ""), "Erste Welt = gut");
  // Wrong types and missing keys give the defaults.
  EXPECT_EQ(ini.ReadInteger("Level", "TubeSize", 7), 7);
  EXPECT_FLOAT_EQ(ini.ReadFloat("Level", "Title", 2.5f), 2.5f);
  EXPECT_EQ(ini.ReadString("Nope", "x", "def"), "def");

  ini.WriteInteger("Level", "Circles", 1200);
  ini.WriteString("Highscore", "name0", "Anna");
  EXPECT_EQ(ini.GetText(),
            "[Level]\r\nTubeSize=4,5\r\nCircles=1200\r\nActive=1\r\nTitle=Erste Welt = gut\r\n\r\n"
            "[level]\r\nDup=2\r\n\r\n[Highscore]\r\nname0=Anna\r\n\r\n");
}

TEST(IniFile, ALineWithoutEqualsIsKeptAsWrittenAndIsNoKey) {
  TIniFile ini;
  ini.SetText("[Level]\r\n  Title \r\nTitle=Echt\r\nnur Text ohne Zeichen\r\n");
  EXPECT_EQ(ini.ReadString("Level", "Title", "?"), "Echt");
  EXPECT_FALSE(ini.ValueExists("Level", "nur Text ohne Zeichen"));
  EXPECT_EQ(ini.ReadString("Level", "nur Text ohne Zeichen", "?"), "?");
  // Writing and deleting keys leave the plain lines alone.
  ini.WriteString("Level", "Title", "Neu");
  ini.DeleteKey("Level", "Title");
  ini.WriteString("Level", "nur Text ohne Zeichen", "1");
  EXPECT_EQ(ini.GetText(), "[Level]\r\nTitle\r\nnur Text ohne Zeichen\r\nnur Text ohne Zeichen=1\r\n\r\n");
}

TEST(EncryptedIni, SixteenByteFileStartsWithTheFirstKeystreamByte) {
  TTempDir dir;
  TIniFile ini;
  ini.WriteString("Level", "a", "1");
  SaveIni(&ini, dir.File("one.level"), kLevelKey);
  const std::string bytes = ReadBytes(dir.File("one.level"));
  ASSERT_EQ(bytes.size(), 16u);
  const char keystream0 = Encipher(std::string(1, '\0'), kLevelKey)[0];
  EXPECT_EQ(bytes[0], static_cast<char>('[' ^ keystream0));
  EXPECT_EQ(Encipher(bytes, kLevelKey), "[Level]\r\na=1\r\n\r\n");
}

TEST(EncryptedIni, SaveLoadRoundTripAndRepeatedLoadsAgree) {
  TTempDir dir;
  const std::string path = dir.File("stage.level");
  TIniFile ini;
  ini.SetText(LargeText('q', 200000) + "[Highscore]\r\ncount=1\r\nname0=J\xFCrgen\r\nscore0=4711\r\n");
  SaveIni(&ini, path, kLevelKey);
  TIniFile first;
  TIniFile second;
  LoadIni(first, path, kLevelKey);
  LoadIni(second, path, kLevelKey);
  EXPECT_EQ(first.GetText(), ini.GetText());
  EXPECT_EQ(second.GetText(), ini.GetText());
  EXPECT_EQ(first.ReadString("Highscore", "name0", ""), "J\xFCrgen");
  // A wrong key reads garbage without complaint.
  TIniFile garbage;
  LoadIni(garbage, path, "wrong");
  EXPECT_FALSE(garbage.ValueExists("Highscore", "count"));
}

// What the loader asks of the system when it opens a stage file.
int gOpenFlags = -1;
std::string gVanishing;
int WatchedOpen(const char* path, int flags) {
  gOpenFlags = flags;
  if (!gVanishing.empty()) ::unlink(gVanishing.c_str());  // gone between the check and the open
  return ::open(path, flags);
}

TEST(EncryptedIni, StageFilesAreOpenedForReadingOnly) {
  // Root may write any file whatever its mode bits, so the proof is the
  // open itself: read-only, whoever runs the game.
  TTempDir dir;
  const std::string path = dir.File("locked.level");
  TIniFile ini;
  ini.WriteString("Level", "Title", "Gesperrt");
  SaveIni(&ini, path, kLevelKey);
  ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
  TFileOps watched = DefaultFileOps();
  watched.Open = WatchedOpen;
  gVanishing.clear();
  TIniFile back;
  LoadIni(back, path, kLevelKey, watched);
  EXPECT_EQ(gOpenFlags & O_ACCMODE, O_RDONLY);
  EXPECT_EQ(gOpenFlags & (O_CREAT | O_TRUNC | O_APPEND), 0);
  EXPECT_EQ(back.ReadString("Level", "Title", ""), "Gesperrt");
}

TEST(EncryptedIni, AFileGoneAfterTheCheckIsAStreamError) {
  TTempDir dir;
  const std::string path = dir.File("vanished.level");
  TIniFile ini;
  ini.WriteString("Level", "Title", "Weg");
  SaveIni(&ini, path, kLevelKey);
  TFileOps watched = DefaultFileOps();
  watched.Open = WatchedOpen;
  gVanishing = path;
  TIniFile back;
  try {
    LoadIni(back, path, kLevelKey, watched);
    ADD_FAILURE() << "no error";
  } catch (const EStreamError& error) {
    EXPECT_NE(std::string(error.what()).find("vanished.level"), std::string::npos) << error.what();
  }
  gVanishing.clear();
}

TEST(EncryptedIniDeathTest, MissingFileIsFatalWithItsMessage) {
  TIniFile ini;
  EXPECT_EXIT(LoadIni(ini, "/nonexistent/x.level", kLevelKey), testing::ExitedWithCode(1),
              "Fehler: RC4, LoadIni: Datein nicht gefunden: /nonexistent/x.level");
}

// Failure injection for the save path: the n-th write, the sync or the
// rename fails with EIO.
int gWriteCalls = 0;
int gFailWriteAt = -1;
bool gFailSync = false;
bool gFailRename = false;

long FlakyWrite(int fd, const void* buffer, unsigned long count) {
  if (gWriteCalls++ == gFailWriteAt) {
    errno = EIO;
    return -1;
  }
  return ::write(fd, buffer, count);
}
int FlakySync(int fd) {
  if (gFailSync) {
    errno = EIO;
    return -1;
  }
  return ::fsync(fd);
}
int FlakyRename(const char* from, const char* to) {
  if (gFailRename) {
    errno = EIO;
    return -1;
  }
  return std::rename(from, to);
}

TEST(EncryptedIni, FailedSavesLeaveTheOldFileAndNoTemporary) {
  TTempDir dir;
  const std::string path = dir.File("stage.level");
  TIniFile oldIni;
  oldIni.SetText("[Highscore]\r\ncount=1\r\nname0=Alt\r\nscore0=1\r\n");
  SaveIni(&oldIni, path, kLevelKey);
  const std::string oldBytes = ReadBytes(path);

  TIniFile newIni;
  newIni.SetText(LargeText('n', 3 * TRC4StreamWriter::kChunkSize));  // four chunk writes
  const TFileOps flaky{FlakyWrite, FlakySync, FlakyRename};
  struct Failure {
    int writeAt;
    bool sync;
    bool rename;
  } failures[] = {{0, false, false}, {1, false, false}, {2, false, false}, {3, false, false},
                  {-1, true, false}, {-1, false, true}};
  for (const Failure& f : failures) {
    gWriteCalls = 0;
    gFailWriteAt = f.writeAt;
    gFailSync = f.sync;
    gFailRename = f.rename;
    EXPECT_THROW(SaveIni(&newIni, path, kLevelKey, flaky), EStreamError)
        << "write " << f.writeAt << " sync " << f.sync << " rename " << f.rename;
    EXPECT_EQ(ReadBytes(path), oldBytes);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);
  }
  gFailWriteAt = -1;
  gFailSync = gFailRename = false;
  SaveIni(&newIni, path, kLevelKey, flaky);
  TIniFile back;
  LoadIni(back, path, kLevelKey);
  EXPECT_EQ(back.GetText(), newIni.GetText());
}

TEST(EncryptedIni, ASaveKilledAtAnyMomentLeavesOldOrNew) {
  TTempDir dir;
  const std::string path = dir.File("stage.level");
  TIniFile a;
  TIniFile b;
  a.SetText(LargeText('a', 150000));
  b.SetText(LargeText('b', 90000));
  SaveIni(&a, path, kLevelKey);
  std::mt19937 random(12345);
  for (int round = 0; round < 25; ++round) {
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      for (int i = 0;; ++i) SaveIni(i % 2 ? &a : &b, path, kLevelKey);
    }
    std::this_thread::sleep_for(std::chrono::microseconds(2000 + random() % 20000));
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    TIniFile back;
    LoadIni(back, path, kLevelKey);
    const std::string text = back.GetText();
    EXPECT_TRUE(text == a.GetText() || text == b.GetText()) << "round " << round;
  }
}

}  // namespace
