// TempDir.cpp -- temporary folders and whole-file helpers for tests.
#include "support/TempDir.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <vector>

TTempDir::TTempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "rvtest-XXXXXX").string();
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  fPath = ::mkdtemp(name.data());
}

TTempDir::~TTempDir() {
  std::error_code error;
  std::filesystem::remove_all(fPath, error);
}

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}
