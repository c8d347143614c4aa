// Units: the vocabulary table mapping a sub-word unit id to its UTF-8 text.
//
// Text format, one unit per non-empty line: the unit's text, a space, then anything (normally the
// decimal id, which is not read). Ids are positions among the non-empty lines, from 0. One trailing
// carriage return per line is dropped; a line starting with a space is a unit with empty text.
// Word-initial pieces start with U+2581.
#ifndef ORVANE_UNITS_H_
#define ORVANE_UNITS_H_

#include <cstddef>
#include <string>
#include <vector>

#include "orvane/export.h"
#include "orvane/status.h"

namespace orvane {

class ORVANE_EXPORT Units {
 public:
  // Replaces the table with the file's units. Code -3 "cannot open units file: <path>" when the file
  // cannot be opened (table kept). A file without units loads as an empty table, successfully.
  Status Load(const std::string& path);

  // Replaces the table with the units of `text`. Code -3 "units text is empty" when no line yields a
  // unit, or "units text line <n> is not valid UTF-8" (the table is then empty).
  Status LoadFromText(const std::string& text);

  // The unit's text; the empty string for ids outside 0..size()-1.
  const std::string& At(int id) const;

  size_t size() const { return tokens_.size(); }
  const std::vector<std::string>& tokens() const { return tokens_; }

  // Not synchronised: At may run on several threads at once, but not during a Load.

 private:
  void Parse(const std::string& text);

  std::vector<std::string> tokens_;
  std::string fallback_;
};

}  // namespace orvane

#endif  // ORVANE_UNITS_H_
