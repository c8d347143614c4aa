// DecoderOptions: the recogniser's decoding members, read from the parsed configuration text.
#include "asr/decoder_options.h"

#include <cmath>
#include <locale>
#include <sstream>

#include "util/json_value.h"

namespace orvane {
namespace {

Status NotObject() { return Status(-1, "configuration text is not a JSON object"); }

Status Range(const std::string& key, double lo, double hi) {
  std::ostringstream m;
  m.imbue(std::locale::classic());
  m << key << " must be a number from " << lo << " to " << hi;
  return Status(-1, m.str());
}

// The number member `key` into `out` when present; its range checked by `lo`..`hi`.
Status ReadNumber(const JsonValue& root, const std::string& key, double lo, double hi, double* out) {
  const JsonValue* v = root.Find(key);
  if (v == nullptr) return Status();
  if (v->type() != JsonValue::Type::kNumber) return Status(-1, key + " must be a number");
  if (!(v->number() >= lo && v->number() <= hi)) return Range(key, lo, hi);
  *out = v->number();
  return Status();
}

}  // namespace

Status DecoderOptions::Parse(const std::string& json) {
  bool empty = true;
  for (char c : json) empty = empty && (c == ' ' || c == '\t' || c == '\n' || c == '\r');
  if (empty) return Status();
  JsonValue root;
  std::string error;
  if (!JsonValue::Parse(json, &root, &error) || !root.is_object()) return NotObject();

  DecoderOptions o = *this;
  if (const JsonValue* lm = root.Find("lm")) {
    if (lm->type() != JsonValue::Type::kBoolean) return Status(-1, "lm must be true or false");
    o.lm = lm->boolean();
  }
  Status status = ReadNumber(root, "lm_weight", 0.0, 5.0, &o.lm_weight);
  if (status.ok()) status = ReadNumber(root, "lm_bonus", -20.0, 20.0, &o.lm_bonus);
  if (status.ok()) status = ReadNumber(root, "hotwords_score", 0.0, 10.0, &o.hotwords_score);
  if (!status.ok()) return status;
  if (const JsonValue* beam = root.Find("beam_size")) {
    if (beam->type() != JsonValue::Type::kNumber) return Status(-1, "beam_size must be a number");
    const double n = beam->number();
    if (!(n >= 1.0 && n <= 64.0) || n != std::floor(n)) {
      return Status(-1, "beam_size must be a whole number from 1 to 64");
    }
    o.beam_size = static_cast<int>(n);
  }
  if (const JsonValue* list = root.Find("hotwords")) {
    if (list->type() != JsonValue::Type::kArray) {
      return Status(-1, "hotwords must be an array of strings");
    }
    o.hotwords.clear();
    for (const JsonValue& phrase : list->array()) {
      if (phrase.type() != JsonValue::Type::kString) {
        return Status(-1, "hotwords must be an array of strings");
      }
      o.hotwords.push_back(phrase.string());
    }
  }
  *this = o;
  return Status();
}

}  // namespace orvane
