// Test helpers for the model-management tests: a scoped environment variable, file texts, and
// (from temp_dir.h) a temporary directory removed with its content.
#ifndef ORVANE_TESTS_MODELS_TEST_SUPPORT_H_
#define ORVANE_TESTS_MODELS_TEST_SUPPORT_H_

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "temp_dir.h"

namespace orvane {
namespace testing_support {

// Sets (or, with nullopt, unsets) one variable and restores the previous state on destruction.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, std::optional<std::string> value) : name_(name) {
    if (const char* old = std::getenv(name)) saved_ = std::string(old);
    Apply(value);
  }
  ~ScopedEnv() { Apply(saved_); }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  void Apply(const std::optional<std::string>& value) {
    if (value) {
      setenv(name_, value->c_str(), 1);
    } else {
      unsetenv(name_);
    }
  }
  const char* name_;
  std::optional<std::string> saved_;
};

inline void WriteText(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

inline std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace testing_support
}  // namespace orvane

#endif  // ORVANE_TESTS_MODELS_TEST_SUPPORT_H_
