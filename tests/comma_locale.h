// Switches the process (C and C++ global locale) to a locale whose decimal separator is a comma for
// the lifetime of the object, and back to the previous locale afterwards. scripts/bootstrap
// generates de_DE.UTF-8; on a machine without any such locale, active() is false and the test
// should skip.
#ifndef ORVANE_TESTS_COMMA_LOCALE_H_
#define ORVANE_TESTS_COMMA_LOCALE_H_

#include <clocale>
#include <locale>
#include <stdexcept>
#include <string>

namespace orvane {
namespace testing_support {

class CommaLocale {
 public:
  CommaLocale() : saved_c_(std::setlocale(LC_ALL, nullptr)), saved_cpp_(std::locale()) {
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "vi_VN.UTF-8", "fr_FR.UTF-8"}) {
      if (std::setlocale(LC_ALL, name) == nullptr) continue;
      try {
        std::locale::global(std::locale(name));
      } catch (const std::runtime_error&) {
        std::setlocale(LC_ALL, saved_c_.c_str());
        continue;
      }
      // Confirm the separator really is a comma for both the C and C++ sides.
      if (*std::localeconv()->decimal_point == ',') {
        name_ = name;
        return;
      }
      Restore();
    }
  }
  ~CommaLocale() { Restore(); }
  CommaLocale(const CommaLocale&) = delete;
  CommaLocale& operator=(const CommaLocale&) = delete;

  bool active() const { return !name_.empty(); }
  const std::string& name() const { return name_; }

 private:
  void Restore() {
    std::locale::global(saved_cpp_);
    std::setlocale(LC_ALL, saved_c_.c_str());
  }
  std::string saved_c_;
  std::locale saved_cpp_;
  std::string name_;
};

}  // namespace testing_support
}  // namespace orvane

#define ORVANE_SKIP_WITHOUT_COMMA_LOCALE(guard)                                              \
  if (!(guard).active())                                                                   \
  GTEST_SKIP() << "no comma-decimal locale installed (scripts/bootstrap generates de_DE.UTF-8)"

#endif  // ORVANE_TESTS_COMMA_LOCALE_H_
