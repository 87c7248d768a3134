// UserFolder.cpp -- telling an installed game from a build, and laying out
// the player's folder.
#include "app/UserFolder.h"

#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>
#include <system_error>
#include <utility>
#include <vector>

#include "services/Stream.h"

namespace fs = std::filesystem;

// The install rules put the read-only files here, seen from the folder of
// the executable (cmake/Install.cmake passes the path it installs to).
#ifndef RV_SHARE_FROM_BIN
#define RV_SHARE_FROM_BIN "../share/riftvaulter"
#endif

namespace {

constexpr const char* kUserFolderName = "riftvaulter";

[[noreturn]] void Fail(const char* what, const fs::path& path, int error) {
  throw std::runtime_error(FileErrorText(what, path.string(), error));
}

void MakeFolder(const fs::path& folder) {
  std::error_code ignored;
  if (fs::is_directory(folder, ignored)) return;
  const fs::path parent = folder.parent_path();
  if (!parent.empty() && parent != folder) MakeFolder(parent);
  if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) Fail("Ordner kann nicht angelegt werden", folder, errno);
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
    if (fFd >= 0) ::close(fFd);
  }
  TFd(const TFd&) = delete;
  TFd& operator=(const TFd&) = delete;
  int Get() const { return fFd; }
  int Release() { return std::exchange(fFd, -1); }

 private:
  int fFd;
};

// Copies `source` to `target` unless something is at `target` already. The
// copy is written and flushed under a temporary name, then renamed without
// replacing: a crash or a full disk never leaves a half-written file under
// the real name, and a second instance starting at the same moment cannot
// overwrite the first one's copy.
void CopyIfMissing(const fs::path& source, const fs::path& target) {
  if (Exists(target)) return;
  TFd in(::open(source.c_str(), O_RDONLY | O_CLOEXEC));
  if (in.Get() < 0) Fail("Datei kann nicht ge\xF6" "ffnet werden", source, errno);

  std::string pattern = target.string() + ".tmp-XXXXXX";
  std::vector<char> temp(pattern.begin(), pattern.end());
  temp.push_back('\0');
  TFd out(::mkostemp(temp.data(), O_CLOEXEC));
  if (out.Get() < 0) Fail("Datei kann nicht erstellt werden", target, errno);
  struct TRemove {
    const char* Path;
    ~TRemove() {
      if (Path) ::unlink(Path);
    }
  } remove{temp.data()};
  ::fchmod(out.Get(), 0644);

  char buffer[65536];
  for (;;) {
    const ssize_t n = ::read(in.Get(), buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) Fail("Datei kann nicht gelesen werden", source, errno);
    if (n == 0) break;
    for (ssize_t done = 0; done < n;) {
      const ssize_t written = ::write(out.Get(), buffer + done, static_cast<std::size_t>(n - done));
      if (written < 0 && errno == EINTR) continue;
      if (written < 0) Fail("Datei kann nicht geschrieben werden", target, errno);
      done += written;
    }
  }
  if (::fsync(out.Get()) != 0) Fail("Datei kann nicht geschrieben werden", target, errno);
  if (::close(out.Release()) != 0) Fail("Datei kann nicht geschrieben werden", target, errno);

  if (::renameat2(AT_FDCWD, temp.data(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) != 0) {
    const int reason = errno;
    if (reason == EEXIST) return;  // another instance was quicker; its copy stays
    if (reason != EINVAL && reason != ENOSYS && reason != ENOTSUP)
      Fail("Datei kann nicht umbenannt werden", target, reason);
    // A file system without the flag: the check above has to do.
    if (Exists(target)) return;
    if (::rename(temp.data(), target.c_str()) != 0) Fail("Datei kann nicht umbenannt werden", target, errno);
  }
  remove.Path = nullptr;
}

// Points `link` at `target`, unless the player has a file or folder of their
// own there.
void RefreshLink(const fs::path& target, const fs::path& link) {
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
      RefreshLink(entry->path(), data / name);
    }
  }
  if (error) Fail("Ordner kann nicht gelesen werden", sharedData, error.value());
  if (fs::is_directory(shared / "sound", error)) RefreshLink(shared / "sound", user / "sound");
  if (fs::is_regular_file(shared / "settings.ini", error))
    CopyIfMissing(shared / "settings.ini", user / "settings.ini");
}

TProgramFolder LocateProgramFolder(const std::string& exeDir, const std::string& dataHome) {
  TProgramFolder folder;
  folder.Share = InstalledShareFolder(exeDir);
  if (!folder.Share) {
    folder.Path = exeDir;
  } else if (!dataHome.empty() && dataHome[0] == '/') {
    folder.Path = (fs::path(dataHome) / kUserFolderName).string() + "/";
  }
  return folder;
}

void PrepareProgramFolder(const TProgramFolder& folder) {
  if (!folder.Share) return;
  if (folder.Path.empty())
    throw std::runtime_error("Kein Ordner f\xFCr Spielst\xE4nde: weder XDG_DATA_HOME noch HOME nennen einen absoluten Pfad");
  PrepareUserFolder(*folder.Share, fs::path(folder.Path).parent_path());
}

std::string ProgramFolder(const std::string& exeDir, const std::string& dataHome) {
  const TProgramFolder folder = LocateProgramFolder(exeDir, dataHome);
  PrepareProgramFolder(folder);
  return folder.Path;
}
