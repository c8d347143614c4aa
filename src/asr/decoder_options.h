// DecoderOptions: the recogniser's decoding settings read from its configuration text (a JSON
// object, read with JsonValue; other members are left to their readers):
//   "lm"             true/false: use the language model (default true when one is available)
//   "lm_weight"      0..5, weight of the syllable log probabilities
//   "lm_bonus"       -20..20, added per syllable (insertion bonus)
//   "beam_size"      1..64, prefixes kept per frame
//   "hotwords"       array of phrases favoured by the search
//   "hotwords_score" 0..10, bonus per matched unit of a hotword
#ifndef ORVANE_ASR_DECODER_OPTIONS_H_
#define ORVANE_ASR_DECODER_OPTIONS_H_

#include <string>
#include <vector>

#include "orvane/status.h"

namespace orvane {

struct DecoderOptions {
  static constexpr double kDefaultLmWeight = 0.8;
  static constexpr double kDefaultLmBonus = 4.0;
  static constexpr int kDefaultBeamSize = 10;
  static constexpr double kDefaultHotwordsScore = 3.0;

  bool lm = true;
  double lm_weight = kDefaultLmWeight;
  double lm_bonus = kDefaultLmBonus;
  int beam_size = kDefaultBeamSize;
  std::vector<std::string> hotwords;
  double hotwords_score = kDefaultHotwordsScore;

  // Reads the members above from `json`; absent members keep their defaults, and an empty text reads
  // as "{}". Failure (code -1, options unchanged): text that is not one JSON object ("configuration
  // text is not a JSON object"), a member of the wrong type ("<key> must be ..."), or a value outside
  // its range ("<key> must be a number from <lo> to <hi>").
  Status Parse(const std::string& json);
};

}  // namespace orvane

#endif  // ORVANE_ASR_DECODER_OPTIONS_H_
