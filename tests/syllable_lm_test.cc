// SyllableLm: back-off arithmetic on a hand-made model, refusal of damaged images (every truncation,
// bad fields), and the normalisation of the embedded model built by training/lm.py.
#include "asr/syllable_lm.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "lm_test_support.h"
#include "orvane/embedded_assets.h"

namespace orvane {
namespace {

using testing_support::BuildLm;

// Words: a b c (ids 3, 4, 5).
std::string SmallLm() {
  return BuildLm(3, {"a", "b", "c"},
                 {{{"a"}, -1.0f, -0.5f},
                  {{"b"}, -2.0f, -0.25f},
                  {{"c"}, -3.0f, 0.0f},
                  {{"<s>"}, 0.0f, -0.1f},
                  {{"<s>", "a"}, -0.2f, -0.3f},
                  {{"a", "b"}, -0.7f, -0.4f},
                  {{"a", "c"}, -1.5f, 0.0f},
                  {{"<s>", "a", "b"}, -0.05f, 0.0f}});
}

std::shared_ptr<const SyllableLm> Open(const std::string& image) {
  std::shared_ptr<const SyllableLm> lm;
  const Status s = SyllableLm::Open(image.data(), image.size(), true, &lm);
  EXPECT_TRUE(s.ok()) << s.message;
  return lm;
}

TEST(SyllableLm, BacksOffThroughShorterHistories) {
  auto lm = Open(SmallLm());
  ASSERT_TRUE(lm);
  EXPECT_EQ(lm->order(), 3);
  EXPECT_EQ(lm->vocab_size(), 6);
  EXPECT_EQ(lm->WordId("b"), 4);
  EXPECT_EQ(lm->WordId("zz"), SyllableLm::kUnk);
  EXPECT_EQ(lm->Word(5), "c");
  EXPECT_EQ(lm->Word(6), "");

  const int32_t s_a[] = {1, 3};  // <s> a
  EXPECT_FLOAT_EQ(lm->LogProb(s_a, 2, 4), -0.05f);               // trigram stored
  EXPECT_FLOAT_EQ(lm->LogProb(s_a, 2, 5), -0.3f + -1.5f);        // bo(<s> a) + p(c | a)
  EXPECT_FLOAT_EQ(lm->LogProb(s_a, 2, 3), -0.3f + -0.5f + -1.0f);  // bo(<s> a) + bo(a) + p(a)
  const int32_t b_a[] = {4, 3};  // b a: no context "b a" stored, so no backoff for it
  EXPECT_FLOAT_EQ(lm->LogProb(b_a, 2, 4), -0.7f);
  const int32_t c[] = {5};
  EXPECT_FLOAT_EQ(lm->LogProb(c, 1, 3), 0.0f + -1.0f);
  // Only the last order-1 words count; ids outside the vocabulary are <unk>.
  const int32_t long_history[] = {5, 5, 1, 3};
  EXPECT_FLOAT_EQ(lm->LogProb(long_history, 4, 4), -0.05f);
  EXPECT_FLOAT_EQ(lm->LogProb(nullptr, 0, 99), -5.0f);
}

TEST(SyllableLm, RefusesEveryTruncation) {
  const std::string image = SmallLm();
  for (size_t n = 0; n < image.size(); ++n) {
    std::shared_ptr<const SyllableLm> lm;
    const Status s = SyllableLm::Open(image.data(), n, true, &lm);
    EXPECT_EQ(s.code, -3) << n;
    EXPECT_EQ(s.message.rfind("language model: ", 0), 0u) << s.message;
    EXPECT_FALSE(lm);
  }
}

TEST(SyllableLm, RefusesDamagedFields) {
  const std::string good = SmallLm();
  auto refused = [](std::string image, size_t at, const void* bytes, size_t n) {
    std::memcpy(&image[at], bytes, n);
    std::shared_ptr<const SyllableLm> lm;
    return SyllableLm::Open(image.data(), image.size(), false, &lm).message;
  };
  const uint32_t huge = 1000;
  const uint32_t seven = 7;
  const float nan = std::nanf("");
  EXPECT_EQ(refused(good, 0, "XRVSYLM1", 8), "language model: not a syllable model");
  EXPECT_EQ(refused(good, 8, &huge, 4), "language model: unsupported version 1000");
  EXPECT_EQ(refused(good, 12, &seven, 4), "language model: order 7 outside 1..6");
  EXPECT_EQ(refused(good, 16, &seven, 4), "language model: vocabulary size does not match the unigrams");
  // Records start after the 24 + 3 * 8 + 8 byte header and the word list (21 bytes, padded to 24).
  const size_t unigrams = 56 + 24;
  const uint32_t a = 3;
  EXPECT_EQ(refused(good, unigrams + 16, &a, 4), "language model: unigrams out of order");
  EXPECT_EQ(refused(good, unigrams + 4, &nan, 4), "language model: bad probability at order 1");
  EXPECT_EQ(refused(good, unigrams + 8, &nan, 4), "language model: bad backoff at order 1");
  EXPECT_EQ(refused(good, unigrams + 12, &seven, 4),
            "language model: child ranges do not cover order 2");
  // A range running past the next order's records, found by the fuzzer: refused before any read.
  EXPECT_EQ(refused(good, unigrams + 16 + 12, &huge, 4),
            "language model: child ranges out of order at order 1");
  const uint32_t big_vocab = 0x7fffffff;
  std::string many = good;
  std::memcpy(&many[16], &big_vocab, 4);
  std::memcpy(&many[24], &big_vocab, 4);
  EXPECT_EQ(refused(many, 0, "ORVSYLM1", 8), "language model: word list does not hold the vocabulary");
  const size_t bigrams = unigrams + 7 * 16;
  EXPECT_EQ(refused(good, bigrams, &huge, 4), "language model: word id out of range at order 2");
  EXPECT_EQ(refused(good, bigrams + 2 * 16, &a, 4), "language model: children not sorted at order 2");
  std::string longer = good + std::string(8, '\0');
  std::shared_ptr<const SyllableLm> lm;
  EXPECT_EQ(SyllableLm::Open(longer.data(), longer.size(), true, &lm).message,
            "language model: size does not match the n-gram counts");
}

// The shipped model: every history's distribution over the predictable words sums to one.
TEST(SyllableLm, EmbeddedModelIsNormalised) {
  const std::pair<const void*, size_t> bytes = EmbeddedAsrLm();
  if (bytes.first == nullptr) GTEST_SKIP() << "no embedded language model";
  std::shared_ptr<const SyllableLm> lm;
  const Status s = SyllableLm::Open(bytes.first, bytes.second, false, &lm);
  ASSERT_TRUE(s.ok()) << s.message;
  const std::vector<std::vector<std::string>> histories = {
      {"<s>"}, {"<s>", "tôi"}, {"của", "bạn"}, {"không", "có"}, {"xyzq", "là"}};
  for (const auto& words : histories) {
    std::vector<int32_t> h;
    for (const std::string& w : words) h.push_back(w == "<s>" ? SyllableLm::kBos : lm->WordId(w));
    double sum = 0.0;
    for (int32_t w = 0; w < lm->vocab_size(); ++w) {
      if (w != SyllableLm::kBos) sum += std::exp(lm->LogProb(h.data(), static_cast<int>(h.size()), w));
    }
    EXPECT_NEAR(sum, 1.0, 1e-3) << words.back();
  }
}

}  // namespace
}  // namespace orvane
