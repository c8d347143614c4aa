// Environment, path and whole-file helpers. File-system errors are taken as error codes, never as
// exceptions, and never logged.
#include "orvane/file_system.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <system_error>

namespace orvane {

namespace fs = std::filesystem;

std::string FileSystem::EnvOrDefault(const char* name, const std::string& fallback) {
  const char* value = name ? std::getenv(name) : nullptr;
  if (value == nullptr || value[0] == '\0') return fallback;
  return value;
}

std::string FileSystem::JoinPath(const std::string& a, const std::string& b) {
  if (a.empty()) return b;
  if (b.empty()) return a;
  if (b.front() == '/') return b;
  if (a.back() == '/') return a + b;
  return a + "/" + b;
}

std::string FileSystem::DefaultCacheDir() {
  const std::string explicit_dir = EnvOrDefault("ORVANE_MODEL_DIR", "");
  if (!explicit_dir.empty()) return explicit_dir;
  const std::string xdg = EnvOrDefault("XDG_CACHE_HOME", "");
  if (!xdg.empty()) return JoinPath(xdg, "orvane");
  const std::string home = EnvOrDefault("HOME", "");
  if (!home.empty()) return JoinPath(home, ".cache/orvane");
  return "orvane_cache";
}

bool FileSystem::EnsureDirectory(const std::string& path) {
  if (path.empty()) return false;
  std::error_code ec;
  fs::create_directories(path, ec);
  if (ec) return false;
  // create_directories reports no error for an existing non-directory on some library versions.
  return fs::is_directory(path, ec) && !ec;
}

bool FileSystem::FileExists(const std::string& path) {
  std::error_code ec;
  return fs::is_regular_file(path, ec) && !ec;
}

uint64_t FileSystem::FileSize(const std::string& path) {
  std::error_code ec;
  const std::uintmax_t size = fs::file_size(path, ec);
  if (ec) return static_cast<uint64_t>(-1);
  return static_cast<uint64_t>(size);
}

bool FileSystem::WriteFile(const std::string& path, const unsigned char* data, std::size_t len) {
  if (data == nullptr && len != 0) return false;
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  if (!file.is_open()) return false;
  if (len != 0) file.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(len));
  file.close();  // buffered bytes reach the disk here; a full disk shows up as a failure now
  return !file.fail();
}

bool FileSystem::ReadFile(const std::string& path, std::vector<unsigned char>* out) {
  if (out == nullptr) return false;
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
  if (!file) return false;
  // Read to the end rather than trusting a size taken up front: a directory or a pipe reports no
  // usable size, and a file may shrink or grow while it is read.
  std::vector<unsigned char> content;
  unsigned char chunk[65536];
  for (;;) {
    const std::size_t got = std::fread(chunk, 1, sizeof(chunk), file.get());
    content.insert(content.end(), chunk, chunk + got);
    if (got < sizeof(chunk)) break;
  }
  if (std::ferror(file.get())) return false;
  out->swap(content);
  return true;
}

}  // namespace orvane
