// Units::LoadFromText on arbitrary text, then PostProcessor::Detokenize of the loaded units and of
// arbitrary unit lists. Checks the line rules (a unit never holds a line feed or a space, ids
// outside the table give the empty text), that detokenised text only drops or joins what it is
// given, keeps valid UTF-8 valid, and always escapes to valid JSON.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "json_validator.h"
#include "orvane/json_writer.h"
#include "orvane/post_processor.h"
#include "orvane/units.h"

namespace {

using orvane::testing_support::IsValidJson;
using orvane::testing_support::IsValidUtf8;

void CheckDetokenized(const std::vector<std::string>& units) {
  static const orvane::PostProcessor post;
  const std::string text = post.Detokenize(units);
  size_t budget = 0;
  bool all_utf8 = true;
  for (const std::string& u : units) {
    budget += u.size() + 1;
    all_utf8 = all_utf8 && IsValidUtf8(u);
  }
  FUZZ_CHECK(text.size() <= budget);
  if (all_utf8) {
    FUZZ_CHECK(IsValidUtf8(text));
    FUZZ_CHECK(IsValidJson(orvane::JsonEscape(text)));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider provider(data, size);
  const std::string text = provider.ConsumeRandomLengthString(1 << 16);

  orvane::Units units;
  const orvane::Status status = units.LoadFromText(text);
  FUZZ_CHECK(status.ok() == (units.size() > 0));
  if (!status.ok()) {
    FUZZ_CHECK(status.code == -3 &&
               (status.message == "units text is empty" || !IsValidUtf8(text)));
  }
  for (const std::string& unit : units.tokens()) FUZZ_CHECK(IsValidUtf8(unit));
  for (const std::string& unit : units.tokens()) {
    FUZZ_CHECK(unit.find('\n') == std::string::npos);
    FUZZ_CHECK(unit.find(' ') == std::string::npos);
  }
  FUZZ_CHECK(units.size() <= text.size());
  FUZZ_CHECK(units.At(-1).empty());
  FUZZ_CHECK(units.At(static_cast<int>(units.size())).empty());
  FUZZ_CHECK(units.At(INT32_MIN).empty());
  CheckDetokenized(units.tokens());

  // Token ids from the rest of the input, mapped through the table like the recogniser does.
  std::vector<std::string> picked;
  while (provider.remaining_bytes() > 0 && picked.size() < 4096) {
    picked.push_back(units.At(provider.ConsumeIntegral<int16_t>()));
  }
  CheckDetokenized(picked);
  return 0;
}
