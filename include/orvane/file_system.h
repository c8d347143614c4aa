// FileSystem: stateless helpers for the environment, POSIX paths and whole-file input and output.
#ifndef ORVANE_FILE_SYSTEM_H_
#define ORVANE_FILE_SYSTEM_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "orvane/export.h"

namespace orvane {

// Every helper is static, safe on any thread, never throws for file-system errors and never logs:
// failure shows only in the result (false, the fallback text or the all-ones size).
class ORVANE_EXPORT FileSystem {
 public:
  // The variable's value when it is set and not empty, otherwise `fallback`.
  static std::string EnvOrDefault(const char* name, const std::string& fallback);

  // POSIX append: an empty piece yields the other one; a `b` starting with "/" replaces `a`;
  // otherwise one "/" goes between them unless `a` already ends with one. Nothing is normalised.
  static std::string JoinPath(const std::string& a, const std::string& b);

  // ORVANE_MODEL_DIR as given; else $XDG_CACHE_HOME/orvane; else $HOME/.cache/orvane; else the
  // relative "orvane_cache". Empty variables count as unset. Read on every call; creates nothing.
  static std::string DefaultCacheDir();

  // Creates `path` with its missing parents. True when the directory exists afterwards; false for
  // the empty path, for a path that is (or lies below) a regular file, and for any other error.
  static bool EnsureDirectory(const std::string& path);

  // True only for an existing regular file, following symbolic links.
  static bool FileExists(const std::string& path);

  // Size in bytes; UINT64_MAX when it cannot be determined (missing file, directory, error).
  static uint64_t FileSize(const std::string& path);

  // Creates or truncates `path` and writes `len` bytes; false when opening, writing or closing
  // fails. A null `data` is accepted only with `len` 0.
  static bool WriteFile(const std::string& path, const unsigned char* data, std::size_t len);

  // Replaces `*out` with the whole content of `path`, exactly the bytes read. False, with `*out`
  // unchanged, when the file cannot be opened or read (a directory, for instance).
  static bool ReadFile(const std::string& path, std::vector<unsigned char>* out);
};

}  // namespace orvane

#endif  // ORVANE_FILE_SYSTEM_H_
