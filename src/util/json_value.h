// JsonValue: a parsed JSON text, for the configuration texts that hosts hand to modules.
#ifndef ORVANE_SRC_UTIL_JSON_VALUE_H_
#define ORVANE_SRC_UTIL_JSON_VALUE_H_

#include <string>
#include <utility>
#include <vector>

namespace orvane {

// Strict RFC 8259 reading: one value, optional white space around it, strings unescaped to UTF-8
// (escaped surrogates must pair), numbers read the same on every host locale, nesting at most 64
// deep. Members keep their order; duplicate keys are all kept and Find returns the last one.
class JsonValue {
 public:
  enum class Type { kNull, kBoolean, kNumber, kString, kArray, kObject };

  // False, with a reason in `error` ("at byte 12: expected ':'"), when `text` is not one JSON value.
  static bool Parse(const std::string& text, JsonValue* out, std::string* error);

  Type type() const { return type_; }
  bool is_object() const { return type_ == Type::kObject; }
  bool boolean() const { return boolean_; }
  double number() const { return number_; }
  const std::string& string() const { return string_; }
  const std::vector<JsonValue>& array() const { return array_; }
  const std::vector<std::pair<std::string, JsonValue>>& members() const { return members_; }

  // The last member named `key` of an object; null when absent or not an object.
  const JsonValue* Find(const std::string& key) const;

 private:
  friend class JsonParser;

  Type type_ = Type::kNull;
  bool boolean_ = false;
  double number_ = 0.0;
  std::string string_;
  std::vector<JsonValue> array_;
  std::vector<std::pair<std::string, JsonValue>> members_;
};

}  // namespace orvane

#endif  // ORVANE_SRC_UTIL_JSON_VALUE_H_
