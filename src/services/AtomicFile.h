// AtomicFile.h -- replacing a file so that it is either the old or the new one.
//
// The new content goes to a temporary file in the same folder, is flushed to
// the disk and renamed over the old file; then the folder is flushed. If
// anything fails the old file is untouched, the temporary is removed and the
// error is thrown (EStreamError).
#pragma once

#include <string>
#include <utility>

#include "services/Stream.h"

class TAtomicFile {
 public:
  explicit TAtomicFile(const std::string& path, const TFileOps& ops = DefaultFileOps());
  ~TAtomicFile();  // removes the temporary unless Commit succeeded
  TAtomicFile(const TAtomicFile&) = delete;
  TAtomicFile& operator=(const TAtomicFile&) = delete;

  // The temporary file, open for writing.
  TStream& Stream() { return fStream; }
  // Flushes, closes and renames the temporary over the target.
  void Commit();

 private:
  TAtomicFile(const std::string& path, const TFileOps& ops, std::pair<int, std::string> temp);

  std::string fPath;
  std::string fTempPath;
  const TFileOps* fOps;
  TFileStream fStream;
  bool fCommitted = false;
};

// The whole of `bytes` as the new content of `path`.
void WriteFileAtomically(const std::string& path, const std::string& bytes, const TFileOps& ops = DefaultFileOps());
