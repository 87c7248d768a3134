// TempDir.cpp -- temporary folders and whole-file helpers for tests.
#include "support/TempDir.h"

#include <fstream>
#include <iterator>
#include <stdexcept>

#include "services/SystemFile.h"

TTempDir::TTempDir() : fPath(sysfile::MakeTempFolder("rvtest-")) {
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
