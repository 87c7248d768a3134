// FatalTest.cpp -- fatal paths end the program with their message and a
// non-zero exit code.
#include <gtest/gtest.h>

#include "platform/Cp1252.h"
#include "platform/Dialog.h"
#include "services/FatalError.h"
#include "services/Sound.h"
#include "support/TempDir.h"

namespace {

TEST(FatalDeathTest, FatalErrorShowsItsMessageAndFails) {
  EXPECT_EXIT(FatalError("Level, Create: Fehler beim erstellen von 'fSpline'"), testing::ExitedWithCode(1),
              "^Fehler: Level, Create: Fehler beim erstellen von 'fSpline'\n$");
  // German letters reach stderr as UTF-8.
  EXPECT_EXIT(FatalError("MainMen\xFC"), testing::ExitedWithCode(1), "MainMen\xC3\xBC");
  EXPECT_EXIT(FatalMessage("Initialing GDI failed."), testing::ExitedWithCode(1),
              "^Riftvaulter: Initialing GDI failed.\n$");
}

TEST(FatalDeathTest, CheckFileExistsNamesContextAndPath) {
  TTempDir dir;
  WriteBytes(dir.File("there.ship"), "[Points]\r\n");
  CheckFileExists(dir.File("there.ship"), "Particle, LoadFromFile: ");
  EXPECT_EXIT(CheckFileExists("data\\Missing.ship", "Particle, LoadFromFile: "), testing::ExitedWithCode(1),
              "Particle, LoadFromFile: Datein nicht gefunden: data.Missing.ship");
}

TEST(Dialogs, SinkReceivesCaptionAndText) {
  std::string seen;
  platform::SetDialogSink([&](platform::TDialogKind kind, const std::string& caption, const std::string& text) {
    seen = caption + "|" + text + (kind == platform::TDialogKind::Error ? "|E" : "|I");
  });
  platform::ShowMessage(platform::TDialogKind::Error, "Fehler", "Text");
  platform::SetDialogSink({});
  EXPECT_EQ(seen, "Fehler|Text|E");
  EXPECT_EQ(platform::Cp1252ToUtf8("\xE4\xF6\xFC\xDF\x80"), "\xC3\xA4\xC3\xB6\xC3\xBC\xC3\x9F\xE2\x82\xAC");
}

TEST(SoundDeathTest, MissingAndUnplayableFilesAreFatalWhenPlayed) {
  TTempDir dir;
  WriteBytes(dir.File("noise.wav"), "this is not a sound file at all");
  EXPECT_EXIT(
      {
        TSound sound;
        (void)sound.Play("sound\\laser.wav.missing", false, 50);
      },
      testing::ExitedWithCode(1), "Datei nicht gefunden: \r\nsound.laser.wav.missing");
  EXPECT_EXIT(
      {
        TSound sound;
        (void)sound.Play(dir.File("noise.wav"), false, 50);
      },
      testing::ExitedWithCode(1), "Fehler beim Abspielen der Datei: .*noise.wav");
}

}  // namespace
