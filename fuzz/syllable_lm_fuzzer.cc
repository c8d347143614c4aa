// SyllableLm::Open on arbitrary bytes, then queries with arbitrary histories and words. An accepted
// image must answer every query with a finite log probability and never read outside itself
// (AddressSanitizer checks the reads; the image is copied to a buffer of exactly its size first).
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "asr/syllable_lm.h"
#include "fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The first bytes pick the queries; the rest is the image.
  if (size < 16) return 0;
  const uint8_t* queries = data;
  std::vector<uint8_t> image(data + 16, data + size);
  std::shared_ptr<const orvane::SyllableLm> lm;
  const orvane::Status status = orvane::SyllableLm::Open(image.data(), image.size(), true, &lm);
  if (!status.ok()) {
    FUZZ_CHECK(!lm && status.code == -3);
    FUZZ_CHECK(status.message.rfind("language model: ", 0) == 0);
    return 0;
  }
  FUZZ_CHECK(lm && lm->order() >= 1 && lm->order() <= orvane::SyllableLm::kMaxOrder);
  const int32_t v = lm->vocab_size();
  for (int q = 0; q < 4; ++q) {
    int32_t history[6];
    for (int i = 0; i < 6; ++i) history[i] = static_cast<int32_t>(queries[(q * 3 + i) % 16]) % (v + 2) - 1;
    const int32_t word = static_cast<int32_t>(queries[(q * 5 + 7) % 16]) % (v + 2) - 1;
    const double lp = lm->LogProb(history, 1 + q, word);
    FUZZ_CHECK(std::isfinite(lp));
    FUZZ_CHECK(lm->WordId(lm->Word(word)) >= 0);
  }
  return 0;
}
