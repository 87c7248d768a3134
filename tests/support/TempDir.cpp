// TempDir.cpp -- temporary folders and whole-file helpers for tests.
#include "support/TempDir.h"

#include <stdlib.h>

#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>
#include <vector>

TTempDir::TTempDir() {
#ifdef _WIN32
  static std::mt19937 names{std::random_device{}()};
  for (int attempt = 0; attempt < 100 && fPath.empty(); ++attempt) {
    const auto path = std::filesystem::temp_directory_path() / ("rvtest-" + std::to_string(names()));
    if (std::filesystem::create_directory(path)) fPath = path;
  }
#else
  std::string pattern = (std::filesystem::temp_directory_path() / "rvtest-XXXXXX").string();
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  if (::mkdtemp(name.data())) fPath = name.data();
#endif
  if (fPath.empty()) throw std::runtime_error("no temporary folder for a test");
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
