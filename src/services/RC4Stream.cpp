// RC4Stream.cpp -- the cipher, its streams, LoadIni and SaveIni.
#include "services/RC4Stream.h"

#include <algorithm>
#include <utility>

#include "services/AtomicFile.h"
#include "services/FatalError.h"
#include "services/IniFile.h"
#include "services/Paths.h"

namespace {

TRC4State KeySchedule(std::string_view key) {
  TRC4State state;
  for (int k = 0; k < 256; ++k) state.S[static_cast<std::size_t>(k)] = static_cast<uint8_t>(k);
  uint8_t j = 0;
  for (std::size_t n = 0; n < 256; ++n) {
    const uint8_t keyByte = key.empty() ? 0 : static_cast<uint8_t>(key[n % key.size()]);
    j = static_cast<uint8_t>(j + state.S[n] + keyByte);
    std::swap(state.S[n], state.S[j]);
  }
  return state;
}

}  // namespace

TBaseRC4Stream::TBaseRC4Stream(std::unique_ptr<TStream> inner, std::string_view key)
    : fOwned(std::move(inner)), fInner(fOwned.get()), fInitial(KeySchedule(key)), fWorking(fInitial) {}

TBaseRC4Stream::TBaseRC4Stream(TStream& inner, std::string_view key)
    : fInner(&inner), fInitial(KeySchedule(key)), fWorking(fInitial) {}

TBaseRC4Stream::~TBaseRC4Stream() {
  // The key schedule is as good as the key; leave nothing of it behind.
  volatile uint8_t* initial = fInitial.S.data();
  volatile uint8_t* working = fWorking.S.data();
  for (std::size_t k = 0; k < 256; ++k) {
    initial[k] = 0;
    working[k] = 0;
  }
  fInitial.I = fInitial.J = fWorking.I = fWorking.J = 0;
}

int64_t TBaseRC4Stream::Seek(int64_t offset, TSeekOrigin origin) {
  if (offset != 0) throw ERC4Error();
  if (origin == TSeekOrigin::Beginning) fWorking = fInitial;
  return fInner->Seek(offset, origin);
}

void TBaseRC4Stream::Crypt(uint8_t* data, std::size_t count) {
  TRC4State& s = fWorking;
  for (std::size_t n = 0; n < count; ++n) {
    s.I = static_cast<uint8_t>(s.I + 1);
    s.J = static_cast<uint8_t>(s.J + s.S[s.I]);
    std::swap(s.S[s.I], s.S[s.J]);
    data[n] ^= s.S[static_cast<uint8_t>(s.S[s.I] + s.S[s.J])];
  }
}

int64_t TRC4StreamReader::Read(void* buffer, int64_t count) {
  const int64_t got = Inner().Read(buffer, count);
  // The whole requested count is deciphered, as the stream always did.
  Crypt(static_cast<uint8_t*>(buffer), static_cast<std::size_t>(count));
  return got;
}

TRC4StreamWriter::TRC4StreamWriter(std::unique_ptr<TStream> inner, std::string_view key)
    : TBaseRC4Stream(std::move(inner), key), fBuffer(kChunkSize) {}

TRC4StreamWriter::TRC4StreamWriter(TStream& inner, std::string_view key)
    : TBaseRC4Stream(inner, key), fBuffer(kChunkSize) {}

int64_t TRC4StreamWriter::Write(const void* buffer, int64_t count) {
  const auto* source = static_cast<const uint8_t*>(buffer);
  int64_t written = 0;
  while (count > 0) {
    const std::size_t chunk = static_cast<std::size_t>(std::min<int64_t>(count, kChunkSize));
    std::copy(source, source + chunk, fBuffer.begin());
    Crypt(fBuffer.data(), chunk);
    written += Inner().Write(fBuffer.data(), static_cast<int64_t>(chunk));
    source += chunk;
    count -= static_cast<int64_t>(chunk);
  }
  return written;
}

void LoadIni(TIniFile& ini, const std::string& path, std::string_view key, const TFileOps& ops) {
  if (!FileExists(path)) FatalError("RC4, LoadIni: Datein nicht gefunden: " + path);
  TFileStream file = TFileStream::OpenRead(path, ops);
  LoadIniFromStream(ini, file, key);
}

void LoadIniFromStream(TIniFile& ini, TStream& file, std::string_view key) {
  TRC4StreamReader reader(file, key);
  const int64_t remaining = reader.GetSize() - reader.Position();
  std::string text(static_cast<std::size_t>(std::max<int64_t>(remaining, 0)), '\0');
  const int64_t got = reader.Read(text.data(), static_cast<int64_t>(text.size()));
  text.resize(static_cast<std::size_t>(got));
  ini.SetText(text);
}

void SaveIni(const TIniFile* ini, const std::string& path, std::string_view key, const TFileOps& ops) {
  if (!ini) return;
  const std::string text = ini->GetText();
  TAtomicFile file(path, ops);
  {
    TRC4StreamWriter writer(file.Stream(), key);
    writer.Write(text.data(), static_cast<int64_t>(text.size()));
  }
  file.Commit();
}
