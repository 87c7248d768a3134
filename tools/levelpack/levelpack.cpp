// levelpack.cpp -- command-line tool for stage authors: reads and writes the
// encrypted stage files.
//
//   levelpack decrypt FILE        prints the stage's INI text
//   levelpack encrypt IN OUT      writes the INI text IN as stage file OUT
//   levelpack install IN OUT      as encrypt, but an existing OUT is kept
//                                 (it holds the player's highscores)
//   levelpack check FILE          says whether FILE decrypts to INI sections
#include <cstdio>
#include <exception>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>

#include "platform/Cp1252.h"
#include "services/IniFile.h"
#include "services/Paths.h"
#include "services/RC4Stream.h"

namespace {

int Usage() {
  std::cerr << "Aufruf:\n"
               "  levelpack decrypt DATEI\n"
               "  levelpack encrypt EINGABE AUSGABE\n"
               "  levelpack install EINGABE AUSGABE\n"
               "  levelpack check DATEI\n";
  return 2;
}

int Fail(const std::string& message) {
  std::cerr << "levelpack: " << platform::Cp1252ToUtf8(message) << "\n";
  return 1;
}

// The deciphered bytes of a stage file, exactly as stored.
std::string Decrypt(const std::string& path) {
  TRC4StreamReader reader(std::make_unique<TFileStream>(TFileStream::OpenRead(path)), kLevelKey);
  std::string text(static_cast<std::size_t>(reader.GetSize()), '\0');
  text.resize(static_cast<std::size_t>(reader.Read(text.data(), static_cast<int64_t>(text.size()))));
  return text;
}

int Encrypt(const std::string& in, const std::string& out, bool keepExisting) {
  if (keepExisting && FileExists(out)) {
    std::cout << "levelpack: " << out << " ist schon da und bleibt (enth\xC3\xA4lt Highscores)\n";
    return 0;
  }
  std::ifstream source(NativePath(in), std::ios::binary);
  if (!source) return Fail("Datei nicht gefunden: " + in);
  const std::string text((std::istreambuf_iterator<char>(source)), std::istreambuf_iterator<char>());
  TIniFile ini;
  ini.SetText(text);
  if (ini.Sections().empty()) return Fail("Keine INI-Abschnitte in " + in);
  SaveIni(&ini, out, kLevelKey);
  return 0;
}

int Check(const std::string& path) {
  TIniFile ini;
  ini.SetText(Decrypt(path));
  if (ini.Sections().empty()) return Fail(path + " ist keine Level-Datei (keine INI-Abschnitte)");
  std::cout << path << ": " << ini.Sections().size() << " Abschnitte, "
            << ini.ReadInteger("SplinePoints", "count", 0) << " Kontrollpunkte\n";
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Usage();
  const std::string command = argv[1];
  try {
    if (command == "decrypt" && argc == 3) {
      if (!FileExists(argv[2])) return Fail(std::string("Datei nicht gefunden: ") + argv[2]);
      const std::string text = Decrypt(argv[2]);
      std::fwrite(text.data(), 1, text.size(), stdout);
      return 0;
    }
    if ((command == "encrypt" || command == "install") && argc == 4)
      return Encrypt(argv[2], argv[3], command == "install");
    if (command == "check" && argc == 3) {
      if (!FileExists(argv[2])) return Fail(std::string("Datei nicht gefunden: ") + argv[2]);
      return Check(argv[2]);
    }
  } catch (const std::exception& error) {
    return Fail(error.what());
  }
  return Usage();
}
