// PostProcessor: turns a sequence of unit texts into readable text, and filters words out of a text.
// Stateless; every operation is const and safe to call from several threads at once.
#ifndef ORVANE_POST_PROCESSOR_H_
#define ORVANE_POST_PROCESSOR_H_

#include <string>
#include <vector>

#include "orvane/export.h"

namespace orvane {

class ORVANE_EXPORT PostProcessor {
 public:
  // Joins unit texts: a unit starting with U+2581 begins a new word (one space before it unless the
  // text is still empty, the marker itself dropped); "<unk>", "<context>" and "</context>" are
  // skipped; any other unit is glued to what precedes it. Nothing is trimmed or collapsed.
  std::string Detokenize(const std::vector<std::string>& units) const;

  // Removes every match of `pattern` (ECMAScript regular expression, case-sensitive), matching byte
  // by byte, leaving the surrounding text untouched. An empty or invalid pattern returns `text`.
  // The standard matcher recurses once per repeated character: a pattern whose single match spans
  // tens of thousands of bytes (".*" over a very long line) can exhaust the thread's stack.
  std::string StripBadWords(const std::string& text, const std::string& pattern) const;
};

}  // namespace orvane

#endif  // ORVANE_POST_PROCESSOR_H_
