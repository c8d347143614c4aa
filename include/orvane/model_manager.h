// ModelManager: the per-user cache of downloadable model bundles, verified by MD5, and the
// bundle records it works on.
#ifndef ORVANE_MODEL_MANAGER_H_
#define ORVANE_MODEL_MANAGER_H_

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "orvane/export.h"
#include "orvane/status.h"

namespace orvane {

// One file of a bundle.
struct ModelFile {
  std::string name;  // path relative to the bundle directory; no ".." component, not absolute
  std::string url;   // download address
  // Expected digest, 32 lower-case hexadecimal digits. Empty, or beginning with "TODO" (a
  // placeholder): an existing file is kept unverified and a download is not checked.
  std::string md5;
  int64_t size = 0;  // carried along; nothing reads or checks it
};

// A named, versioned set of files stored in <cache dir>/<name>/<version>/. `name` and `version`
// must not be absolute or contain a ".." component.
struct ModelBundle {
  std::string name;
  std::string version;
  std::vector<ModelFile> files;  // processed in this order
};

// Each pipeline owns one manager. The mutex guards SetCacheDir, SetManifestUrl and LookupBundle;
// cache_dir(), LoadManifest and EnsureBundle read the directory and URL without it, so they must
// not run while another thread changes them. Two EnsureBundle calls for one bundle on different
// threads may download the same file at once.
class ORVANE_EXPORT ModelManager {
 public:
  // The cache directory starts as DefaultCacheDir(), read once here.
  ModelManager();
  ~ModelManager();
  ModelManager(const ModelManager&) = delete;
  ModelManager& operator=(const ModelManager&) = delete;

  // Exactly FileSystem::DefaultCacheDir().
  static std::string DefaultCacheDir();

  // Stored as given (also empty); nothing is checked or created.
  void SetCacheDir(const std::string& dir);
  const std::string& cache_dir() const;

  void SetManifestUrl(const std::string& url);

  // Checks that the manifest can be fetched; its content is not read and the table stays empty.
  // Here always -4 "manifest unavailable: " + the HTTP client's message.
  Status LoadManifest();

  // Copies the bundle registered for `module` into `*out`; -2 "no manifest entry for module: "
  // + module, with `*out` untouched, when there is none (always, in this library).
  Status LookupBundle(const std::string& module, ModelBundle* out) const;

  // Makes every file of `bundle` present in its bundle directory and, where a real checksum is
  // given, verified; damaged or missing files are downloaded. On success stores the bundle
  // directory in `*out_dir` when it is not null. Codes: -3 unsafe bundle path or directory not
  // creatable, the HTTP client's code (-4) for a failed download, -5 checksum mismatch after a
  // download. The first failure ends the call; nothing already present is deleted.
  Status EnsureBundle(const ModelBundle& bundle, std::string* out_dir);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace orvane

#endif  // ORVANE_MODEL_MANAGER_H_
