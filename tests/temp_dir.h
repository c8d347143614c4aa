// A fresh directory under the system temporary directory, removed with its content when the
// object goes, so that tests leave nothing behind in /tmp.
#ifndef ORVANE_TESTS_TEMP_DIR_H_
#define ORVANE_TESTS_TEMP_DIR_H_

#include <stdlib.h>

#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

namespace orvane {
namespace testing_support {

class TempDir {
 public:
  TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "orvane_test_XXXXXX").string();
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (mkdtemp(buffer.data()) != nullptr) path_ = buffer.data();
  }
  ~TempDir() {
    std::error_code ec;
    if (!path_.empty()) std::filesystem::remove_all(path_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  // Empty when the directory could not be created.
  const std::string& path() const { return path_; }
  std::string Sub(const std::string& relative) const { return path_ + "/" + relative; }

 private:
  std::string path_;
};

}  // namespace testing_support
}  // namespace orvane

#endif  // ORVANE_TESTS_TEMP_DIR_H_
