// ModelFolder: reading a model folder's files with messages that name them.
#include "asr/model_folder.h"

#include <sys/stat.h>

#include <cerrno>

#include "orvane/file_system.h"

namespace orvane {
namespace {

Status Refuse(const std::string& path, const std::string& problem) {
  return Status(-3, path + ": " + problem);
}

// In fixed English: strerror's text follows the host's locale.
std::string StatProblem(int error, const char* missing) {
  if (error == ENOENT || error == ENOTDIR) return missing;
  if (error == EACCES) return "permission denied";
  return "cannot be examined (errno " + std::to_string(error) + ")";
}

// The whole file, or a refusal naming it: missing, not a regular file, unreadable or empty.
Status ReadRequired(const std::string& path, std::vector<unsigned char>* out) {
  struct stat info;
  if (stat(path.c_str(), &info) != 0) {
    return Refuse(path, StatProblem(errno, "no such file"));
  }
  if (!S_ISREG(info.st_mode)) return Refuse(path, "not a regular file");
  if (!FileSystem::ReadFile(path, out)) return Refuse(path, "cannot be read");
  if (out->empty()) return Refuse(path, "file is empty");
  return Status();
}

}  // namespace

Status ModelFolder::Read(const std::string& dir, ModelFolder* out) {
  struct stat info;
  if (dir.empty()) return Refuse("model folder \"\"", "no folder named");
  if (stat(dir.c_str(), &info) != 0) {
    return Refuse("model folder " + dir, StatProblem(errno, "no such folder"));
  }
  if (!S_ISDIR(info.st_mode)) return Refuse("model folder " + dir, "not a folder");

  ModelFolder folder;
  folder.model_path = FileSystem::JoinPath(dir, kModelFile);
  folder.units_path = FileSystem::JoinPath(dir, kUnitsFile);
  Status status = ReadRequired(folder.model_path, &folder.model);
  if (!status.ok()) return status;
  std::vector<unsigned char> units;
  status = ReadRequired(folder.units_path, &units);
  if (!status.ok()) return status;
  folder.units_text.assign(units.begin(), units.end());
  const std::string lm_path = FileSystem::JoinPath(dir, kLmFile);
  struct stat lm_info;
  if (stat(lm_path.c_str(), &lm_info) == 0) {
    status = ReadRequired(lm_path, &folder.lm);
    if (!status.ok()) return status;
    folder.lm_path = lm_path;
  }
  *out = std::move(folder);
  return Status();
}

}  // namespace orvane
