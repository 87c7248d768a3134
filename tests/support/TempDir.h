// TempDir.h -- a fresh folder for one test, removed afterwards.
#pragma once

#include <filesystem>
#include <string>

class TTempDir {
 public:
  TTempDir();
  ~TTempDir();
  TTempDir(const TTempDir&) = delete;
  TTempDir& operator=(const TTempDir&) = delete;

  const std::filesystem::path& Path() const { return fPath; }
  // Path of `name` inside the folder, as a string.
  std::string File(const std::string& name) const { return (fPath / name).string(); }

 private:
  std::filesystem::path fPath;
};

// Whole file as bytes ("" when missing); writes bytes to a file.
std::string ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, const std::string& bytes);
