// SystemFile.h -- the few file calls that differ between Linux and Windows.
//
// Paths are UTF-8 everywhere in the game, with either separator. Linux takes
// them as they are; Windows gets them as wide characters, so a game folder
// named with umlauts works on both. Failures return -1 (or false) and leave
// the reason in errno, as the POSIX calls do.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "platform/FileNames.h"

using platform::FsPath;
using platform::Utf8Path;

namespace sysfile {

// The flags that open an existing file for reading only, not inherited by
// child processes.
extern const int kReadFlags;
// open(2) on a UTF-8 path. Returns a descriptor.
int Open(const char* utf8Path, int flags);
// A new file beside `target`, named target.tmp-XXXXXX, opened for writing
// with the permissions `mode` (ignored on Windows); its path goes to `temp`.
int CreateTempBeside(const std::string& target, std::string& temp, int mode);
long Write(int fd, const void* buffer, unsigned long count);
long Read(int fd, void* buffer, unsigned long count);
// Flushes a file's data to the disk.
int Sync(int fd);
int Close(int fd);
// Renames `from` over `to`, replacing what is there, in one step.
int Replace(const char* from, const char* to);
// Renames `from` to `to` only if nothing is at `to` (errno EEXIST if there
// is); errno EINVAL where the file system cannot promise that.
int RenameNoReplace(const char* from, const char* to);
int Remove(const char* utf8Path);
// Makes one folder (mode 0700 where modes exist).
int MakeFolder(const char* utf8Path);
// Flushes a folder's entries after a rename (nothing to do on Windows).
void SyncFolder(const std::string& folder);
// The permissions of an existing file, or `fallback`.
int ModeOf(const char* utf8Path, int fallback);
void SetMode(int fd, int mode);
// A new, private folder named `prefix` and random letters under the system's
// temporary folder; empty when none can be made.
[[nodiscard]] std::filesystem::path MakeTempFolder(const std::string& prefix);
// True when a file can be created in `folder` (tried, then removed).
bool FolderWritable(const std::string& folder);

}  // namespace sysfile
