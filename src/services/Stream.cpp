// Stream.cpp -- file streams on system file descriptors.
#include "services/Stream.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include "services/Paths.h"
#include "services/SystemFile.h"

const TFileOps& DefaultFileOps() {
  static const TFileOps ops{sysfile::Write, sysfile::Sync, sysfile::Replace};
  return ops;
}

std::string FileErrorText(const std::string& what, const std::string& path, int error) {
  return what + " '" + PathForMessage(path) + "': " + std::strerror(error);
}

TFileStream TFileStream::OpenRead(const std::string& path, const TFileOps& ops) {
  const std::string native = NativePath(path);
  const int fd = (ops.Open ? ops.Open : sysfile::Open)(native.c_str(), sysfile::kReadFlags);
  if (fd < 0) throw EStreamError(FileErrorText("Datei kann nicht ge\xF6" "ffnet werden", path, errno));
  return TFileStream(fd, path, ops);
}

TFileStream::TFileStream(int fd, std::string path, const TFileOps& ops) : fFd(fd), fPath(std::move(path)), fOps(&ops) {}

TFileStream::TFileStream(TFileStream&& other) noexcept : fFd(other.fFd), fPath(std::move(other.fPath)), fOps(other.fOps) {
  other.fFd = -1;
}

TFileStream::~TFileStream() {
  if (fFd >= 0) sysfile::Close(fFd);
}

int64_t TFileStream::Read(void* buffer, int64_t count) {
  int64_t done = 0;
  auto* bytes = static_cast<char*>(buffer);
  while (done < count) {
    const long n = sysfile::Read(fFd, bytes + done, static_cast<unsigned long>(count - done));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) throw EStreamError(FileErrorText("Lesefehler in", fPath, errno));
    if (n == 0) break;
    done += n;
  }
  return done;
}

int64_t TFileStream::Write(const void* buffer, int64_t count) {
  int64_t done = 0;
  const auto* bytes = static_cast<const char*>(buffer);
  while (done < count) {
    const long n = fOps->Write(fFd, bytes + done, static_cast<unsigned long>(count - done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) throw EStreamError(FileErrorText("Schreibfehler in", fPath, n < 0 ? errno : ENOSPC));
    done += n;
  }
  return done;
}

int64_t TFileStream::Seek(int64_t offset, TSeekOrigin origin) {
  const int whence = origin == TSeekOrigin::Beginning ? SEEK_SET : origin == TSeekOrigin::Current ? SEEK_CUR : SEEK_END;
#ifdef _WIN32
  const int64_t result = ::_lseeki64(fFd, offset, whence);
#else
  const off_t result = ::lseek(fFd, offset, whence);
#endif
  if (result < 0) throw EStreamError(FileErrorText("Positionierungsfehler in", fPath, errno));
  return result;
}

int64_t TFileStream::GetSize() {
#ifdef _WIN32
  struct _stat64 info {};
  if (::_fstat64(fFd, &info) != 0)
#else
  struct stat info {};
  if (::fstat(fFd, &info) != 0)
#endif
 throw EStreamError(FileErrorText("Dateigr\xF6\xDF" "e unbekannt", fPath, errno));
  return info.st_size;
}

void TFileStream::Sync() {
  if (fOps->Sync(fFd) != 0) throw EStreamError(FileErrorText("Datei kann nicht gesichert werden", fPath, errno));
}

void TFileStream::Close() {
  const int fd = fFd;
  fFd = -1;
  if (fd >= 0 && sysfile::Close(fd) != 0) throw EStreamError(FileErrorText("Datei kann nicht geschlossen werden", fPath, errno));
}
