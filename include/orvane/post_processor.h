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

  // Detokenize, except that a last unit (special units aside) that is a syllable onset still
  // waiting for its rhyme is left out: "\u2581cu" "\u1ed9c" "\u2581h" "\u1ecdp" "\u2581b" gives
  // "cuộc họp", not "cuộc họp b". Used for every text the recogniser shows, since a hypothesis
  // that ends in an onset is a syllable cut in half.
  std::string DetokenizeWholeSyllables(const std::vector<std::string>& units) const;

  // How many leading units DetokenizeWholeSyllables keeps: all of them, or those before a trailing
  // onset (and the special units after it).
  static size_t WholeSyllableUnits(const std::vector<std::string>& units);

  // True for a word-initial unit (U+2581 marker) whose text after the marker is a Vietnamese
  // onset and nothing else (b, c, ch, d, đ, g, gh, gi, h, k, kh, l, m, n, ng, ngh, nh, p, ph,
  // qu, r, s, t, th, tr, v, x), or empty (a syllable without onset, its rhyme still to come).
  static bool IsOnsetUnit(const std::string& unit);

  // Removes every match of `pattern` (ECMAScript regular expression, case-sensitive), matching byte
  // by byte, leaving the surrounding text untouched. An empty or invalid pattern returns `text`.
  // The standard matcher recurses once per repeated character: a pattern whose single match spans
  // tens of thousands of bytes (".*" over a very long line) can exhaust the thread's stack.
  std::string StripBadWords(const std::string& text, const std::string& pattern) const;
};

}  // namespace orvane

#endif  // ORVANE_POST_PROCESSOR_H_
