// UserFolder.cpp -- telling an installed game from a build, and laying out
// the player's folder.
#include "app/UserFolder.h"

#include <cerrno>
#include <stdexcept>
#include <system_error>
#include <utility>

#ifndef _WIN32
#include <unistd.h>
#endif

#include "services/Stream.h"
#include "services/SystemFile.h"

namespace fs = std::filesystem;

// The install rules put the read-only files here, seen from the folder of
// the executable (cmake/Install.cmake passes the path it installs to).
#ifndef RV_SHARE_FROM_BIN
#define RV_SHARE_FROM_BIN "../share/riftvaulter"
#endif

namespace {

#ifdef _WIN32
constexpr const char* kUserFolderName = "Riftvaulter";
#else
constexpr const char* kUserFolderName = "riftvaulter";
#endif

[[noreturn]] void Fail(const char* what, const fs::path& path, int error) {
  throw std::runtime_error(FileErrorText(what, Utf8Path(path), error));
}

void MakeFolder(const fs::path& folder) {
  std::error_code ignored;
  if (fs::is_directory(folder, ignored)) return;
  const fs::path parent = folder.parent_path();
  if (!parent.empty() && parent != folder) MakeFolder(parent);
  if (sysfile::MakeFolder(Utf8Path(folder).c_str()) != 0 && errno != EEXIST) Fail("Ordner kann nicht angelegt werden", folder, errno);
  if (!fs::is_directory(folder, ignored)) Fail("Ordner kann nicht angelegt werden", folder, ENOTDIR);
}

bool Exists(const fs::path& path) {
  std::error_code ignored;
  return fs::exists(fs::symlink_status(path, ignored));
}

// A file descriptor closed on every way out.
class TFd {
 public:
  explicit TFd(int fd) : fFd(fd) {}
  ~TFd() {
    if (fFd >= 0) sysfile::Close(fFd);
  }
  TFd(const TFd&) = delete;
  TFd& operator=(const TFd&) = delete;
  int Get() const { return fFd; }
  int Release() { return std::exchange(fFd, -1); }

 private:
  int fFd;
};

// A temporary file, removed on every way out until its path is cleared
// (once it has been renamed).
struct TTempCopy {
  std::string Path;
  ~TTempCopy() {
    if (!Path.empty()) sysfile::Remove(Path.c_str());
  }
};

// Copies `source` to a new temporary beside `target`, flushed to the disk.
void CopyToTemp(const fs::path& source, const fs::path& target, TTempCopy& temp) {
  TFd in(sysfile::Open(Utf8Path(source).c_str(), sysfile::kReadFlags));
  if (in.Get() < 0) Fail("Datei kann nicht ge\xF6" "ffnet werden", source, errno);
  TFd out(sysfile::CreateTempBeside(Utf8Path(target), temp.Path, 0644));
  if (out.Get() < 0) Fail("Datei kann nicht erstellt werden", target, errno);

  char buffer[65536];
  for (;;) {
    const long n = sysfile::Read(in.Get(), buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) Fail("Datei kann nicht gelesen werden", source, errno);
    if (n == 0) break;
    for (long done = 0; done < n;) {
      const long written = sysfile::Write(out.Get(), buffer + done, static_cast<unsigned long>(n - done));
      if (written < 0 && errno == EINTR) continue;
      if (written < 0) Fail("Datei kann nicht geschrieben werden", target, errno);
      done += written;
    }
  }
  if (sysfile::Sync(out.Get()) != 0) Fail("Datei kann nicht geschrieben werden", target, errno);
  if (sysfile::Close(out.Release()) != 0) Fail("Datei kann nicht geschrieben werden", target, errno);
}

// Copies `source` to `target` unless something is at `target` already. The
// copy is written and flushed under a temporary name, then renamed without
// replacing: a crash or a full disk never leaves a half-written file under
// the real name, and a second instance starting at the same moment cannot
// overwrite the first one's copy.
void CopyIfMissing(const fs::path& source, const fs::path& target) {
  if (Exists(target)) return;
  TTempCopy temp;
  CopyToTemp(source, target, temp);
  if (sysfile::RenameNoReplace(temp.Path.c_str(), Utf8Path(target).c_str()) != 0) {
    const int reason = errno;
    if (reason == EEXIST) return;  // another instance was quicker; its copy stays
    if (reason != EINVAL && reason != ENOSYS && reason != ENOTSUP)
      Fail("Datei kann nicht umbenannt werden", target, reason);
    // A file system without the flag: the check above has to do.
    if (Exists(target)) return;
    if (sysfile::Replace(temp.Path.c_str(), Utf8Path(target).c_str()) != 0)
      Fail("Datei kann nicht umbenannt werden", target, errno);
  }
  temp.Path.clear();
}

#ifdef _WIN32
// Windows lets only administrators make links: the player's folder holds
// copies instead, made again whenever the shipped file's size or time
// differs (an upgrade), each replaced in one step. A folder is copied file
// by file.
void RefreshShared(const fs::path& source, const fs::path& target) {
  std::error_code error;
  if (fs::is_directory(source, error)) {
    MakeFolder(target);
    fs::directory_iterator entry(source, error);
    for (; !error && entry != fs::directory_iterator(); entry.increment(error))
      RefreshShared(entry->path(), target / entry->path().filename());
    if (error) Fail("Ordner kann nicht gelesen werden", source, error.value());
    return;
  }
  std::error_code sourceError, targetError;
  const auto sourceSize = fs::file_size(source, sourceError);
  const auto targetSize = fs::file_size(target, targetError);
  const auto sourceTime = fs::last_write_time(source, sourceError);
  const auto targetTime = fs::last_write_time(target, targetError);
  if (!sourceError && !targetError && sourceSize == targetSize && sourceTime == targetTime) return;
  TTempCopy temp;
  CopyToTemp(source, target, temp);
  fs::last_write_time(FsPath(temp.Path), sourceTime, error);
  if (sysfile::Replace(temp.Path.c_str(), Utf8Path(target).c_str()) != 0)
    Fail("Datei kann nicht ersetzt werden", target, errno);
  temp.Path.clear();
}
#else
// Points `link` at `target`, unless the player has a file or folder of their
// own there.
void RefreshShared(const fs::path& target, const fs::path& link) {
  std::error_code error;
  const fs::file_status status = fs::symlink_status(link, error);
  if (fs::is_symlink(status)) {
    if (fs::read_symlink(link, error) == target) return;
    // A link to an older or moved install: a new link under a temporary
    // name, renamed over the old one (rename replaces the link itself).
    const fs::path temp = link.string() + ".tmp-" + std::to_string(::getpid());
    ::unlink(temp.c_str());
    if (::symlink(target.c_str(), temp.c_str()) != 0) Fail("Verkn\xFCpfung kann nicht angelegt werden", link, errno);
    if (::rename(temp.c_str(), link.c_str()) != 0) {
      const int reason = errno;
      ::unlink(temp.c_str());
      Fail("Verkn\xFCpfung kann nicht angelegt werden", link, reason);
    }
    return;
  }
  if (fs::exists(status)) return;
  if (::symlink(target.c_str(), link.c_str()) != 0 && errno != EEXIST)
    Fail("Verkn\xFCpfung kann nicht angelegt werden", link, errno);
}
#endif

}  // namespace

std::optional<fs::path> InstalledShareFolder(const fs::path& exeDir) {
  // Decided at run time from what lies on the disk, not from a flag compiled
  // in: the same build runs in place and installed, and a packager may stage
  // the install elsewhere or the prefix may move. A build folder always has
  // data/ beside the executable and an installed bin/ never has, so that is
  // tested first: a build never counts as installed, whatever lies beside
  // it. Then the share folder the install rules fill must be there; a bare
  // copy of the executable keeps the old behaviour (and its messages about
  // missing files).
  if (Exists(exeDir / "data")) return std::nullopt;
  std::error_code error;
  const fs::path share = exeDir / RV_SHARE_FROM_BIN;
  if (!fs::is_directory(share / "data", error)) return std::nullopt;
  fs::path canonical = fs::canonical(share, error);
  if (error) canonical = fs::absolute(share).lexically_normal();
  return canonical;
}

void PrepareUserFolder(const fs::path& share, const fs::path& user) {
  const fs::path shared = fs::absolute(share), sharedData = shared / "data", data = user / "data";
  MakeFolder(data);
  std::error_code error;
  fs::directory_iterator entry(sharedData, error);
  for (; !error && entry != fs::directory_iterator(); entry.increment(error)) {
    const fs::path name = entry->path().filename();
    std::error_code kindError;
    if (name.extension() == ".level") {
      if (entry->is_regular_file(kindError)) CopyIfMissing(entry->path(), data / name);
    } else {
      RefreshShared(entry->path(), data / name);
    }
  }
  if (error) Fail("Ordner kann nicht gelesen werden", sharedData, error.value());
  if (fs::is_directory(shared / "sound", error)) RefreshShared(shared / "sound", user / "sound");
  if (fs::is_regular_file(shared / "settings.ini", error))
    CopyIfMissing(shared / "settings.ini", user / "settings.ini");
}

TProgramFolder LocateProgramFolder(const std::string& exeDir, const std::string& dataHome) {
  TProgramFolder folder;
#ifdef _WIN32
  // The game keeps its files beside the executable, unless it may not write
  // there (under Program Files): then the folder it came in is the shared
  // one, and the player's files go to %APPDATA%.
  if (!Exists(FsPath(exeDir) / "data") || sysfile::FolderWritable(exeDir)) {
    folder.Path = exeDir;
    return folder;
  }
  folder.Share = fs::absolute(FsPath(exeDir));
#else
  folder.Share = InstalledShareFolder(FsPath(exeDir));
  if (!folder.Share) {
    folder.Path = exeDir;
    return folder;
  }
#endif
  if (!dataHome.empty() && FsPath(dataHome).is_absolute())
    folder.Path = Utf8Path(FsPath(dataHome) / kUserFolderName) + "/";
  return folder;
}

void PrepareProgramFolder(const TProgramFolder& folder) {
  if (!folder.Share) return;
  if (folder.Path.empty())
#ifdef _WIN32
    throw std::runtime_error("Kein Ordner f\xFCr Spielst\xE4nde: der Spielordner ist schreibgesch\xFCtzt und APPDATA nennt keinen absoluten Pfad");
#else
    throw std::runtime_error("Kein Ordner f\xFCr Spielst\xE4nde: weder XDG_DATA_HOME noch HOME nennen einen absoluten Pfad");
#endif
  PrepareUserFolder(*folder.Share, FsPath(folder.Path).parent_path());
}

std::string ProgramFolder(const std::string& exeDir, const std::string& dataHome) {
  const TProgramFolder folder = LocateProgramFolder(exeDir, dataHome);
  PrepareProgramFolder(folder);
  return folder.Path;
}
