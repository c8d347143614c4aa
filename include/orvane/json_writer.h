// JsonWriter, a compact streaming JSON writer, and JsonEscape, its string quoting.
#ifndef ORVANE_JSON_WRITER_H_
#define ORVANE_JSON_WRITER_H_

#include <sstream>
#include <string>
#include <vector>

#include "orvane/export.h"

namespace orvane {

// Returns `text` as a JSON string literal. Control bytes are escaped ("\n", "\u001f", ...);
// every byte from 0x7F up passes unchanged, so UTF-8 (valid or not) is copied as it is.
ORVANE_EXPORT std::string JsonEscape(const std::string& text);

// Writes JSON with no whitespace. Commas are inserted automatically; the writer does not check
// that keys and values alternate. One writer belongs to one rendering (no lock).
class ORVANE_EXPORT JsonWriter {
 public:
  JsonWriter();
  ~JsonWriter();

  JsonWriter& BeginObject();
  JsonWriter& EndObject();
  JsonWriter& BeginArray();
  JsonWriter& EndArray();
  JsonWriter& Key(const std::string& key);
  JsonWriter& String(const std::string& value);
  JsonWriter& RawValue(const std::string& json);  // written verbatim; must be valid JSON
  // "%g" (six significant digits), with up to three decimals kept from 1000 to 1e9; a full stop as
  // decimal separator whatever the locale. NaN and infinities become null.
  JsonWriter& Number(double value);
  JsonWriter& Integer(long long value);
  JsonWriter& Boolean(bool value);
  JsonWriter& Null();

  std::string Str() const;

 private:
  void Comma();

  std::ostringstream out_;
  std::vector<bool> has_element_;  // one flag per open container, innermost last
};

}  // namespace orvane

#endif  // ORVANE_JSON_WRITER_H_
