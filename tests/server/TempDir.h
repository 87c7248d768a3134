// TempDir.h -- what the server's tests share: a temporary folder removed
// with its contents, and a throwaway PostgreSQL cluster.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>

#include <stdio.h>
#include <sys/stat.h>

// A fresh folder under /tmp, open to other users (the PostgreSQL cluster
// runs as nobody below it), removed at the end.
class TTempDir {
 public:
  TTempDir() {
    char pattern[] = "/tmp/rv-server-test-XXXXXX";
    if (!mkdtemp(pattern)) throw std::runtime_error("mkdtemp failed");
    fPath = pattern;
    chmod(pattern, 0755);
  }
  ~TTempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(fPath, ignored);
  }
  TTempDir(const TTempDir&) = delete;
  TTempDir& operator=(const TTempDir&) = delete;
  const std::string& Path() const { return fPath; }

 private:
  std::string fPath;
};

// A PostgreSQL cluster in a folder of its own for one test, started by
// tests/server/pg-cluster and stopped with this object. Url() is empty when
// Debian's postgresql is not installed (exit 3 of the script).
class TPgCluster {
 public:
  explicit TPgCluster(const std::string& dir) : fDir(dir) {
    const std::string command = std::string(RV_SOURCE_DIR) + "/tests/server/pg-cluster start " + fDir;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) throw std::runtime_error("popen failed");
    char line[512] = {};
    const bool read = fgets(line, sizeof line, pipe) != nullptr;
    const int status = pclose(pipe);
    if (WIFEXITED(status) && WEXITSTATUS(status) == 3) return;
    if (status != 0 || !read) throw std::runtime_error("pg-cluster start failed: " + command);
    fUrl = line;
    while (!fUrl.empty() && (fUrl.back() == '\n' || fUrl.back() == '\r')) fUrl.pop_back();
  }
  ~TPgCluster() {
    const std::string command = std::string(RV_SOURCE_DIR) + "/tests/server/pg-cluster stop " + fDir;
    [[maybe_unused]] const int ignored = std::system(command.c_str());
  }
  TPgCluster(const TPgCluster&) = delete;
  TPgCluster& operator=(const TPgCluster&) = delete;
  const std::string& Url() const { return fUrl; }

 private:
  std::string fDir, fUrl;
};
