// Model manager: cache directory, manifest table and the EnsureBundle flow that keeps bundle files
// present and verified against their MD5 checksums.
#include "orvane/model_manager.h"

#include <mutex>
#include <unordered_map>

#include "orvane/file_system.h"
#include "orvane/http_client.h"
#include "orvane/logger.h"
#include "orvane/md5.h"

namespace orvane {
namespace {

// Only the path is fixed; the host is a reserved name until a real model server exists.
const char kDefaultManifestUrl[] = "https://models.orvane.invalid/manifest.json";

// True when `md5` asks for verification: not empty and not a "TODO" placeholder.
bool IsRealChecksum(const std::string& md5) {
  return !md5.empty() && md5.compare(0, 4, "TODO") != 0;
}

// A bundle name, version or file name must stay below the directory it is joined to: it may not
// be absolute, contain a ".." component, or carry a NUL byte (the system would cut the path there).
bool IsContainedRelativePath(const std::string& piece) {
  if (piece.find('\0') != std::string::npos) return false;
  if (!piece.empty() && piece.front() == '/') return false;
  std::size_t start = 0;
  while (start <= piece.size()) {
    std::size_t end = piece.find('/', start);
    if (end == std::string::npos) end = piece.size();
    if (piece.compare(start, end - start, "..") == 0) return false;
    start = end + 1;
  }
  return true;
}

}  // namespace

struct ModelManager::Impl {
  mutable std::mutex mutex;  // guards replacement of cache_dir and manifest_url, and the table
  std::string cache_dir;
  std::string manifest_url;
  std::unordered_map<std::string, ModelBundle> manifest;  // module name -> bundle; never filled
  HttpClient http;
};

ModelManager::ModelManager() : impl_(new Impl) {
  impl_->manifest_url = kDefaultManifestUrl;
  impl_->cache_dir = FileSystem::DefaultCacheDir();
}

ModelManager::~ModelManager() = default;

std::string ModelManager::DefaultCacheDir() { return FileSystem::DefaultCacheDir(); }

void ModelManager::SetCacheDir(const std::string& dir) {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  impl_->cache_dir = dir;
}

const std::string& ModelManager::cache_dir() const { return impl_->cache_dir; }

void ModelManager::SetManifestUrl(const std::string& url) {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  impl_->manifest_url = url;
}

Status ModelManager::LoadManifest() {
  std::vector<unsigned char> body;
  const Status fetched = impl_->http.Get(impl_->manifest_url, &body);
  if (!fetched.ok()) return Status(fetched.code, "manifest unavailable: " + fetched.message);
  return Status();  // the content is not read: the table stays as it is
}

Status ModelManager::LookupBundle(const std::string& module, ModelBundle* out) const {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  const auto found = impl_->manifest.find(module);
  if (found == impl_->manifest.end()) {
    return Status(-2, "no manifest entry for module: " + module);
  }
  if (out == nullptr) return Status(-1, "LookupBundle: null output bundle");
  *out = found->second;
  return Status();
}

Status ModelManager::EnsureBundle(const ModelBundle& bundle, std::string* out_dir) {
  // Every piece is checked before anything is created, so a refused bundle leaves no trace.
  if (!IsContainedRelativePath(bundle.name)) {
    return Status(-3, "unsafe bundle name (absolute or with '..'): " + bundle.name);
  }
  if (!IsContainedRelativePath(bundle.version)) {
    return Status(-3, "unsafe bundle version (absolute or with '..'): " + bundle.version);
  }
  for (const ModelFile& file : bundle.files) {
    if (!IsContainedRelativePath(file.name)) {
      return Status(-3, "unsafe model file name (absolute or with '..'): " + file.name);
    }
  }

  const std::string bundle_dir =
      FileSystem::JoinPath(FileSystem::JoinPath(impl_->cache_dir, bundle.name), bundle.version);
  if (!FileSystem::EnsureDirectory(bundle_dir)) {
    return Status(-3, "failed to create cache directory: " + bundle_dir);
  }

  for (const ModelFile& file : bundle.files) {
    const std::string path = FileSystem::JoinPath(bundle_dir, file.name);
    if (FileSystem::FileExists(path)) {
      if (file.md5.empty()) continue;
      const std::string digest = Md5::HashFile(path);
      if (digest == file.md5 || file.md5.compare(0, 4, "TODO") == 0) continue;
      Logger::Instance().Log(Warn, "model_manager",
                             "checksum mismatch for " + file.name + " (expected " + file.md5 +
                                 ", got " + digest + "); will re-download");
    }
    const Status downloaded = impl_->http.Download(file.url, path);
    if (!downloaded.ok()) {
      return Status(downloaded.code,
                    "download failed: " + file.url + " (" + downloaded.message + ")");
    }
    if (IsRealChecksum(file.md5) && Md5::HashFile(path) != file.md5) {
      return Status(-5, "checksum mismatch after download: " + file.name);
    }
  }

  if (out_dir != nullptr) *out_dir = bundle_dir;
  return Status();
}

}  // namespace orvane
