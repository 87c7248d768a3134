// Stream.h -- byte streams: the abstract stream and files on POSIX descriptors.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

// A file that cannot be opened, created, read or written.
class EStreamError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

enum class TSeekOrigin { Beginning, Current, End };

class TStream {
 public:
  virtual ~TStream() = default;
  // Returns the number of bytes transferred.
  virtual int64_t Read(void* buffer, int64_t count) = 0;
  virtual int64_t Write(const void* buffer, int64_t count) = 0;
  // Returns the new position.
  virtual int64_t Seek(int64_t offset, TSeekOrigin origin) = 0;
  virtual int64_t GetSize() = 0;
  int64_t Position() { return Seek(0, TSeekOrigin::Current); }
};

// The system calls a file stream opens and writes through; tests swap them
// to inject failures or to watch what is asked for. A missing Open means the
// system's.
struct TFileOps {
  long (*Write)(int fd, const void* buffer, unsigned long count);
  int (*Sync)(int fd);
  int (*Rename)(const char* from, const char* to);
  int (*Open)(const char* path, int flags) = nullptr;
};
const TFileOps& DefaultFileOps();

class TFileStream final : public TStream {
 public:
  // Opens an existing file for reading only. Throws EStreamError.
  static TFileStream OpenRead(const std::string& path, const TFileOps& ops = DefaultFileOps());
  // Takes over an open descriptor.
  TFileStream(int fd, std::string path, const TFileOps& ops = DefaultFileOps());
  TFileStream(TFileStream&& other) noexcept;
  TFileStream& operator=(TFileStream&&) = delete;
  ~TFileStream() override;

  int64_t Read(void* buffer, int64_t count) override;
  // Writes everything or throws EStreamError.
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  int64_t GetSize() override;
  // Flushes the file to the disk. Throws EStreamError.
  void Sync();
  // Closes the descriptor now. Throws EStreamError.
  void Close();

 private:
  int fFd;
  std::string fPath;
  const TFileOps* fOps;
};

// German text of a failed file operation on `path`.
std::string FileErrorText(const std::string& what, const std::string& path, int error);
