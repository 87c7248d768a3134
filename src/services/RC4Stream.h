// RC4Stream.h -- RC4 cipher streams and the encrypted INI files built on them.
//
// A stage file is its INI text enciphered as one RC4 stream from the key's
// initial state; no header, no checksum. A wrong key deciphers to garbage,
// which the INI parser mostly ignores.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "services/Stream.h"

class TIniFile;

// The key of every stage file.
inline constexpr std::string_view kLevelKey = "Skyvaulter";

// An operation a cipher stream does not support.
class ERC4Error : public std::runtime_error {
 public:
  ERC4Error() : std::runtime_error("Ung\xFCltige Stream-Operation") {}
};

struct TRC4State {
  std::array<uint8_t, 256> S{};
  uint8_t I = 0;
  uint8_t J = 0;
};

class TBaseRC4Stream : public TStream {
 public:
  // Runs the key schedule. The owning form frees `inner` with the cipher
  // stream; the referencing form leaves it to the caller.
  TBaseRC4Stream(std::unique_ptr<TStream> inner, std::string_view key);
  TBaseRC4Stream(TStream& inner, std::string_view key);
  ~TBaseRC4Stream() override;  // wipes both states

  int64_t GetSize() override { return fInner->GetSize(); }
  // Only offset 0 is allowed; a rewind restarts the keystream.
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;

 protected:
  void Crypt(uint8_t* data, std::size_t count);
  TStream& Inner() { return *fInner; }

 private:
  std::unique_ptr<TStream> fOwned;
  TStream* fInner;
  TRC4State fInitial;
  TRC4State fWorking;
};

class TRC4StreamReader final : public TBaseRC4Stream {
 public:
  using TBaseRC4Stream::TBaseRC4Stream;
  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void*, int64_t) override { throw ERC4Error(); }
};

class TRC4StreamWriter final : public TBaseRC4Stream {
 public:
  static constexpr std::size_t kChunkSize = 65536;
  TRC4StreamWriter(std::unique_ptr<TStream> inner, std::string_view key);
  TRC4StreamWriter(TStream& inner, std::string_view key);
  int64_t Read(void*, int64_t) override { throw ERC4Error(); }
  // Enciphers in chunks of at most 64 KiB; returns the bytes the inner
  // stream accepted.
  int64_t Write(const void* buffer, int64_t count) override;

 private:
  std::vector<uint8_t> fBuffer;
};

// Replaces `ini`'s content with the deciphered file. A missing file is fatal
// ("RC4, LoadIni: Datein nicht gefunden: " + path); a file that cannot be read
// throws EStreamError. The file is opened for reading only.
void LoadIni(TIniFile& ini, const std::string& path, std::string_view key, const TFileOps& ops = DefaultFileOps());
// The same from an open stream (its remaining bytes).
void LoadIniFromStream(TIniFile& ini, TStream& file, std::string_view key);

// Writes `ini` enciphered, atomically: the old file stays byte for byte as it
// was unless the new one is completely on the disk. Throws EStreamError.
void SaveIni(const TIniFile* ini, const std::string& path, std::string_view key,
             const TFileOps& ops = DefaultFileOps());
