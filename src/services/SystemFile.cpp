// SystemFile.cpp -- POSIX calls on Linux, their wide-character twins on Windows.
#include "services/SystemFile.h"

#include <cerrno>
#include <random>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>
#endif

namespace sysfile {

#ifdef _WIN32

namespace {

std::wstring Wide(const char* utf8) { return FsPath(utf8).wstring(); }

// errno for the Windows error of the last call.
int ErrnoOf(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
      return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_WRITE_PROTECT:
      return EACCES;
    case ERROR_ALREADY_EXISTS:
    case ERROR_FILE_EXISTS:
      return EEXIST;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return ENOSPC;
    case ERROR_NOT_SAME_DEVICE:
      return EXDEV;
    case ERROR_DIRECTORY:
      return ENOTDIR;
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_NOT_SUPPORTED:
    case ERROR_INVALID_PARAMETER:
      return EINVAL;
    case ERROR_FILENAME_EXCED_RANGE:
      return ENAMETOOLONG;
    default:
      return EIO;
  }
}

// `count` random letters and digits, for names no one else uses.
std::string RandomName(int count) {
  static std::mt19937 names{std::random_device{}()};
  static constexpr char kDigits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
  std::string name;
  for (int i = 0; i < count; ++i) name += kDigits[names() % 36];
  return name;
}

int Move(const char* from, const char* to, DWORD flags) {
  // A virus scanner or an indexer may hold the target open for a moment:
  // a replace that finds it in use is tried again for up to a second.
  for (int attempt = 0;; ++attempt) {
    if (MoveFileExW(Wide(from).c_str(), Wide(to).c_str(), flags | MOVEFILE_WRITE_THROUGH)) return 0;
    const DWORD error = GetLastError();
    if (attempt == 20 || (error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION)) {
      errno = ErrnoOf(error);
      return -1;
    }
    Sleep(50);
  }
}

}  // namespace

const int kReadFlags = _O_RDONLY | _O_BINARY | _O_NOINHERIT;

int Open(const char* utf8Path, int flags) { return ::_wopen(Wide(utf8Path).c_str(), flags); }

int CreateTempBeside(const std::string& target, std::string& temp, int) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string name = target + ".tmp-" + RandomName(6);
    const int fd = ::_wopen(Wide(name.c_str()).c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY | _O_NOINHERIT,
                            _S_IREAD | _S_IWRITE);
    if (fd >= 0) {
      temp = name;
      return fd;
    }
    if (errno != EEXIST) return -1;
  }
  return -1;
}

long Write(int fd, const void* buffer, unsigned long count) {
  // _write takes an unsigned int; a larger count is written in parts.
  const unsigned int part = count > 0x40000000ul ? 0x40000000u : static_cast<unsigned int>(count);
  return ::_write(fd, buffer, part);
}

long Read(int fd, void* buffer, unsigned long count) {
  const unsigned int part = count > 0x40000000ul ? 0x40000000u : static_cast<unsigned int>(count);
  return ::_read(fd, buffer, part);
}

int Sync(int fd) { return ::_commit(fd); }

int Close(int fd) { return ::_close(fd); }

int Replace(const char* from, const char* to) { return Move(from, to, MOVEFILE_REPLACE_EXISTING); }

int RenameNoReplace(const char* from, const char* to) { return Move(from, to, 0); }

int Remove(const char* utf8Path) { return ::_wunlink(Wide(utf8Path).c_str()); }

int MakeFolder(const char* utf8Path) { return ::_wmkdir(Wide(utf8Path).c_str()); }

void SyncFolder(const std::string&) {}

int ModeOf(const char*, int fallback) { return fallback; }

void SetMode(int, int) {}

#else

const int kReadFlags = O_RDONLY | O_CLOEXEC;

int Open(const char* utf8Path, int flags) { return ::open(utf8Path, flags); }

int CreateTempBeside(const std::string& target, std::string& temp, int mode) {
  std::vector<char> name(target.begin(), target.end());
  const std::string suffix = ".tmp-XXXXXX";
  name.insert(name.end(), suffix.begin(), suffix.end());
  name.push_back('\0');
  const int fd = ::mkostemp(name.data(), O_CLOEXEC);
  if (fd < 0) return -1;
  ::fchmod(fd, static_cast<mode_t>(mode));
  temp = name.data();
  return fd;
}

long Write(int fd, const void* buffer, unsigned long count) { return ::write(fd, buffer, count); }

long Read(int fd, void* buffer, unsigned long count) { return ::read(fd, buffer, count); }

int Sync(int fd) { return ::fsync(fd); }

int Close(int fd) { return ::close(fd); }

int Replace(const char* from, const char* to) { return ::rename(from, to); }

int RenameNoReplace(const char* from, const char* to) {
#ifdef __EMSCRIPTEN__
  // The page runs one thread and no other program shares its files: looking
  // first cannot race.
  struct stat ignored;
  if (::lstat(to, &ignored) == 0) {
    errno = EEXIST;
    return -1;
  }
  return ::rename(from, to);
#else
  return ::renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE);
#endif
}

int Remove(const char* utf8Path) { return ::unlink(utf8Path); }

int MakeFolder(const char* utf8Path) { return ::mkdir(utf8Path, 0700); }

void SyncFolder(const std::string& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd >= 0) {
    ::fsync(fd);
    ::close(fd);
  }
}

int ModeOf(const char* utf8Path, int fallback) {
  struct stat info {};
  return ::stat(utf8Path, &info) == 0 ? static_cast<int>(info.st_mode & 07777) : fallback;
}

void SetMode(int fd, int mode) { ::fchmod(fd, static_cast<mode_t>(mode)); }

#endif

std::filesystem::path MakeTempFolder(const std::string& prefix) {
  const std::filesystem::path parent = std::filesystem::temp_directory_path();
#ifdef _WIN32
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::error_code error;
    const std::filesystem::path folder = parent / (prefix + RandomName(8));
    if (std::filesystem::create_directory(folder, error)) return folder;
    if (error) break;
  }
  return {};
#else
  // mkdtemp makes it private (0700) from the start.
  std::string pattern = Utf8Path(parent / (prefix + "XXXXXX"));
  return ::mkdtemp(pattern.data()) ? FsPath(pattern) : std::filesystem::path();
#endif
}

bool FolderWritable(const std::string& folder) {
  std::string probe;
  const int fd = CreateTempBeside(folder + (folder.empty() || folder.back() == '/' ? "" : "/") + ".write-test", probe,
                                  0600);
  if (fd < 0) return false;
  Close(fd);
  Remove(probe.c_str());
  return true;
}

}  // namespace sysfile
