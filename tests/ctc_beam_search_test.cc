// CtcBeamSearch: collapse rules, blank handling, ties, pruning, normalisation, and agreement of the
// scores with a plain ordered-map prefix beam search written from the algorithm's definition.
#include "orvane/ctc_beam_search.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <random>
#include <vector>

namespace orvane {
namespace {

constexpr double kNegInf = -std::numeric_limits<double>::infinity();
using Prefix = std::vector<int>;
using Score = CtcBeamSearch::Score;

CtcBeamSearch MakeSearch(int beam_size, int blank_id = 0) {
  CtcBeamSearchConfig config;
  config.beam_size = beam_size;
  config.blank_id = blank_id;
  return CtcBeamSearch(config);
}

// A frame where `token` dominates the others by `margin`.
std::vector<float> Peak(int num_tokens, int token, float margin = 10.0f) {
  std::vector<float> row(num_tokens, 0.0f);
  row[token] = margin;
  return row;
}

void Feed(CtcBeamSearch& search, const std::vector<std::vector<float>>& frames) {
  for (const auto& f : frames) search.Step(f.data(), static_cast<int>(f.size()));
}

double Total(const Score& s) { return CtcBeamSearch::LogSumExp(s.log_blank, s.log_non_blank); }

// The search as defined: an ordered map from prefix to score, rebuilt every frame.
class ReferenceSearch {
 public:
  ReferenceSearch(int beam, int blank) : beam_(beam), blank_(blank) { beams_[{}] = {0.0, kNegInf}; }

  void Step(const float* logits, int n) {
    const int k = std::min(2 * beam_, n);
    std::vector<int> ids(n);
    for (int i = 0; i < n; ++i) ids[i] = i;
    std::partial_sort(ids.begin(), ids.begin() + k, ids.end(), [&](int a, int b) {
      return logits[a] > logits[b] || (logits[a] == logits[b] && a < b);
    });
    const double denom = CtcBeamSearch::LogSoftmaxDenominator(logits, n);
    std::map<Prefix, Score> next;
    auto touch = [&next](const Prefix& p) -> Score& {
      return next.emplace(p, Score{kNegInf, kNegInf}).first->second;
    };
    for (const auto& [p, s] : beams_) {
      for (int i = 0; i < k; ++i) {
        const int t = ids[i];
        const double lp = static_cast<double>(logits[t]) - denom;
        const double total = CtcBeamSearch::LogSumExp(s.log_blank, s.log_non_blank);
        if (t == blank_) {
          Score& ns = touch(p);
          ns.log_blank = CtcBeamSearch::LogSumExp(ns.log_blank, total + lp);
          continue;
        }
        const int last = p.empty() ? -1 : p.back();
        Prefix e = p;
        e.push_back(t);
        if (t != last) {
          Score& es = touch(e);
          es.log_non_blank = CtcBeamSearch::LogSumExp(es.log_non_blank, total + lp);
        } else {
          Score& es = touch(e);
          es.log_non_blank = CtcBeamSearch::LogSumExp(es.log_non_blank, s.log_blank + lp);
          Score& ps = touch(p);
          ps.log_non_blank = CtcBeamSearch::LogSumExp(ps.log_non_blank, s.log_non_blank + lp);
        }
      }
    }
    std::vector<std::pair<Prefix, Score>> list(next.begin(), next.end());
    std::stable_sort(list.begin(), list.end(),
                     [](const auto& a, const auto& b) { return Total(a.second) > Total(b.second); });
    if (static_cast<int>(list.size()) > beam_) list.resize(beam_);
    beams_.clear();
    beams_.insert(list.begin(), list.end());
  }

  std::vector<std::pair<Prefix, Score>> Prefixes() const { return {beams_.begin(), beams_.end()}; }

 private:
  int beam_;
  int blank_;
  std::map<Prefix, Score> beams_;
};

void ExpectSameAsReference(int beam, int blank, int num_tokens, int frames, uint32_t seed) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<float> noise(-4.0f, 4.0f);
  std::uniform_int_distribution<int> pick(0, num_tokens - 1);
  std::uniform_int_distribution<int> coin(0, 2);
  CtcBeamSearch search = MakeSearch(beam, blank);
  ReferenceSearch reference(beam, blank);
  int previous = pick(rng);
  for (int f = 0; f < frames; ++f) {
    std::vector<float> row(num_tokens);
    for (float& v : row) v = noise(rng);
    // Peaks that repeat, return to blank or move on, so every collapse rule is exercised.
    const int c = coin(rng);
    const int peak = c == 0 ? previous : (c == 1 ? blank : pick(rng));
    row[peak] += 6.0f;
    previous = peak;
    search.Step(row.data(), num_tokens);
    reference.Step(row.data(), num_tokens);
    const auto got = search.Prefixes();
    const auto want = reference.Prefixes();
    ASSERT_EQ(got.size(), want.size()) << "frame " << f;
    for (size_t i = 0; i < got.size(); ++i) {
      ASSERT_EQ(got[i].first, want[i].first) << "frame " << f;
      // Bit-identical: the same operations on the same values.
      ASSERT_EQ(got[i].second.log_blank, want[i].second.log_blank) << "frame " << f;
      ASSERT_EQ(got[i].second.log_non_blank, want[i].second.log_non_blank) << "frame " << f;
    }
  }
}

TEST(CtcBeamSearchTest, MatchesOrderedMapDefinition) {
  ExpectSameAsReference(/*beam=*/4, /*blank=*/0, /*num_tokens=*/6, /*frames=*/80, 1);
  ExpectSameAsReference(3, 0, 40, 80, 2);
  ExpectSameAsReference(10, 0, 1000, 60, 3);
  ExpectSameAsReference(5, 7, 30, 60, 4);   // blank in the middle of the vocabulary
  ExpectSameAsReference(40, 0, 300, 30, 5);  // more than 64 tokens tried per frame
}

TEST(CtcBeamSearchTest, FreshSearchHoldsOnlyTheEmptyPrefix) {
  CtcBeamSearch search = MakeSearch(10);
  EXPECT_TRUE(search.Hypothesis().empty());
  const auto prefixes = search.Prefixes();
  ASSERT_EQ(prefixes.size(), 1u);
  EXPECT_TRUE(prefixes[0].first.empty());
  EXPECT_EQ(prefixes[0].second.log_blank, 0.0);
  EXPECT_EQ(prefixes[0].second.log_non_blank, kNegInf);
  EXPECT_EQ(search.frame_best_token(), -1);
}

TEST(CtcBeamSearchTest, BlankFrameKeepsHypothesisEmptyAndScoresTheBlank) {
  CtcBeamSearch search = MakeSearch(10);
  const std::vector<float> row = {3.0f, 1.0f, 0.5f};
  search.Step(row.data(), 3);
  EXPECT_TRUE(search.Hypothesis().empty());
  const double expected = std::log(std::exp(3.0) / (std::exp(3.0) + std::exp(1.0) + std::exp(0.5)));
  const auto prefixes = search.Prefixes();
  ASSERT_EQ(prefixes.size(), 3u);  // fewer tokens than 2 * beam: every token tried
  EXPECT_TRUE(prefixes[0].first.empty());
  EXPECT_NEAR(prefixes[0].second.log_blank, expected, 1e-12);
  EXPECT_EQ(prefixes[0].second.log_non_blank, kNegInf);
  EXPECT_EQ(prefixes[1].first, Prefix({1}));
  EXPECT_EQ(prefixes[2].first, Prefix({2}));
  EXPECT_EQ(search.frame_best_token(), 0);
  EXPECT_NEAR(search.frame_best_log_prob(), expected, 1e-12);
  EXPECT_EQ(search.frame_log_normaliser(), CtcBeamSearch::LogSoftmaxDenominator(row.data(), 3));
  search.Reset();
  EXPECT_EQ(search.frame_log_normaliser(), kNegInf);
  search.Step(nullptr, 3);
  EXPECT_EQ(search.frame_log_normaliser(), kNegInf);
}

TEST(CtcBeamSearchTest, RepeatsCollapseUnlessSeparatedByBlank) {
  CtcBeamSearch search = MakeSearch(10);
  Feed(search, {Peak(5, 3), Peak(5, 3)});
  EXPECT_EQ(search.Hypothesis(), Prefix({3}));

  search.Reset();
  Feed(search, {Peak(5, 3), Peak(5, 0), Peak(5, 3)});
  EXPECT_EQ(search.Hypothesis(), Prefix({3, 3}));

  search.Reset();
  Feed(search, {Peak(5, 0), Peak(5, 2), Peak(5, 2), Peak(5, 0), Peak(5, 4), Peak(5, 4), Peak(5, 0)});
  EXPECT_EQ(search.Hypothesis(), Prefix({2, 4}));
}

TEST(CtcBeamSearchTest, RepeatScoreSumsBothAlignments) {
  // Two frames over tokens {blank, a}: the prefix [a] collects a-a, a-blank and blank-a.
  CtcBeamSearch search = MakeSearch(10);
  const std::vector<float> row = {0.0f, 1.0f};
  Feed(search, {row, row});
  const double pa = std::exp(1.0) / (1.0 + std::exp(1.0));
  const double pb = 1.0 - pa;
  for (const auto& [prefix, score] : search.Prefixes()) {
    if (prefix == Prefix({1})) {
      EXPECT_NEAR(score.log_non_blank, std::log(pa * pa + pb * pa), 1e-12);
      EXPECT_NEAR(score.log_blank, std::log(pa * pb), 1e-12);
    } else if (prefix == Prefix({1, 1})) {
      // Touched by the repeat rule, but a repeat without a blank between has no alignment.
      EXPECT_EQ(Total(score), kNegInf);
    } else {
      EXPECT_TRUE(prefix.empty());
      EXPECT_NEAR(score.log_blank, std::log(pb * pb), 1e-12);
    }
  }
}

TEST(CtcBeamSearchTest, FirstTokenIsAppendedEvenWhenItIsTokenZero) {
  // With the blank elsewhere, token 0 on the empty prefix is a new token, not a repeat.
  CtcBeamSearch search = MakeSearch(10, /*blank_id=*/2);
  Feed(search, {Peak(3, 0), Peak(3, 2), Peak(3, 0)});
  EXPECT_EQ(search.Hypothesis(), Prefix({0, 0}));
}

TEST(CtcBeamSearchTest, NeverKeepsMoreThanBeamSizeOrABlankInAPrefix) {
  CtcBeamSearch search = MakeSearch(3);
  std::mt19937 rng(9);
  std::uniform_real_distribution<float> noise(-2.0f, 2.0f);
  for (int f = 0; f < 50; ++f) {
    std::vector<float> row(12);
    for (float& v : row) v = noise(rng);
    search.Step(row.data(), 12);
    ASSERT_LE(search.num_prefixes(), 3);
    for (const auto& p : search.Prefixes()) {
      ASSERT_EQ(std::count(p.first.begin(), p.first.end(), 0), 0);
    }
  }
}

TEST(CtcBeamSearchTest, PruningKeepsTheBestTotals) {
  // One frame from the empty prefix: candidates are the empty prefix (blank) and [1], [2], [3].
  CtcBeamSearch search = MakeSearch(2);
  const std::vector<float> row = {1.0f, 3.0f, 2.0f, 2.5f};
  search.Step(row.data(), 4);
  const auto prefixes = search.Prefixes();
  ASSERT_EQ(prefixes.size(), 2u);
  EXPECT_EQ(prefixes[0].first, Prefix({1}));
  EXPECT_EQ(prefixes[1].first, Prefix({3}));
}

TEST(CtcBeamSearchTest, OnlyTwiceBeamSizeTokensAreTried) {
  // beam 1 tries the two best tokens only: 1 and 2; the blank is never seen, so no prefix keeps a
  // blank-ending alignment.
  CtcBeamSearch search = MakeSearch(1);
  const std::vector<float> row = {1.0f, 3.0f, 2.0f};
  search.Step(row.data(), 3);
  const auto prefixes = search.Prefixes();
  ASSERT_EQ(prefixes.size(), 1u);
  EXPECT_EQ(prefixes[0].first, Prefix({1}));
  search.Step(row.data(), 3);
  EXPECT_EQ(search.Prefixes()[0].second.log_blank, kNegInf);
}

TEST(CtcBeamSearchTest, EqualTotalsPreferTheLexicographicallySmallerPrefix) {
  CtcBeamSearch search = MakeSearch(10);
  // Tokens 4, 2, 3 tie; the blank is far below.
  const std::vector<float> row = {-20.0f, 0.0f, 5.0f, 5.0f, 5.0f};
  search.Step(row.data(), 5);
  EXPECT_EQ(search.Hypothesis(), Prefix({2}));
  // [2, 4], [2, 5], [3, 4] and [3, 5] end with equal totals.
  search.Reset();
  Feed(search, {{-20.0f, -20.0f, 5.0f, 5.0f, -20.0f, -20.0f},
                {-20.0f, -20.0f, -20.0f, -20.0f, 5.0f, 5.0f}});
  EXPECT_EQ(search.Hypothesis(), Prefix({2, 4}));
}

TEST(CtcBeamSearchTest, ScoresAreNormalisedFromRawLogits) {
  CtcBeamSearch a = MakeSearch(8);
  CtcBeamSearch b = MakeSearch(8);
  const std::vector<std::vector<float>> frames = {{1.0f, 2.0f, 0.5f}, {0.0f, 2.0f, 3.0f}};
  Feed(a, frames);
  for (auto f : frames) {
    for (float& v : f) v += 64.0f;  // exact in single precision
    b.Step(f.data(), 3);
  }
  const auto pa = a.Prefixes();
  const auto pb = b.Prefixes();
  ASSERT_EQ(pa.size(), pb.size());
  double mass = 0.0;
  for (size_t i = 0; i < pa.size(); ++i) {
    EXPECT_EQ(pa[i].first, pb[i].first);
    EXPECT_NEAR(std::exp(Total(pa[i].second)), std::exp(Total(pb[i].second)), 1e-14);
    mass += std::exp(Total(pa[i].second));
  }
  // Beam 8 with 3 tokens over two frames loses no path: probabilities of all prefixes sum to one.
  EXPECT_NEAR(mass, 1.0, 1e-12);

  // Very large raw scores stay finite.
  CtcBeamSearch c = MakeSearch(4);
  const std::vector<float> huge = {1000.0f, 3000.0f, 2999.0f};
  c.Step(huge.data(), 3);
  EXPECT_EQ(c.Hypothesis(), Prefix({1}));
  EXPECT_TRUE(std::isfinite(Total(c.Prefixes()[0].second)));
}

TEST(CtcBeamSearchTest, NoTokensEmptiesTheSearchUntilReset) {
  CtcBeamSearch search = MakeSearch(10);
  Feed(search, {Peak(4, 2)});
  search.Step(nullptr, 0);
  EXPECT_EQ(search.num_prefixes(), 0);
  EXPECT_TRUE(search.Hypothesis().empty());
  Feed(search, {Peak(4, 3)});
  EXPECT_TRUE(search.Hypothesis().empty());
  EXPECT_EQ(search.frame_best_token(), 3);
  search.Reset();
  Feed(search, {Peak(4, 3)});
  EXPECT_EQ(search.Hypothesis(), Prefix({3}));

  const std::vector<float> row = Peak(4, 1);
  search.Step(row.data(), -5);
  EXPECT_TRUE(search.Hypothesis().empty());
  search.Reset();
  search.Step(nullptr, 4);  // a null row is taken as a frame without tokens, never read
  EXPECT_EQ(search.num_prefixes(), 0);
  EXPECT_EQ(search.frame_best_token(), -1);

  CtcBeamSearch zero = MakeSearch(0);
  zero.Step(row.data(), 4);
  EXPECT_TRUE(zero.Hypothesis().empty());
  EXPECT_EQ(zero.num_prefixes(), 0);
}

TEST(CtcBeamSearchTest, NanScoresDoNotBreakTheSearch) {
  CtcBeamSearch search = MakeSearch(3);
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const std::vector<float> row = {nan, 1.0f, nan, 2.0f, 0.0f, nan, 1.5f, nan};
  for (int i = 0; i < 5; ++i) search.Step(row.data(), static_cast<int>(row.size()));
  EXPECT_TRUE(search.Hypothesis().empty());  // every total is NaN
  EXPECT_LE(search.num_prefixes(), 3);
}

TEST(CtcBeamSearchTest, LogSumExpAndDenominatorEdges) {
  EXPECT_EQ(CtcBeamSearch::LogSumExp(kNegInf, -3.25), -3.25);
  EXPECT_EQ(CtcBeamSearch::LogSumExp(-3.25, kNegInf), -3.25);
  EXPECT_EQ(CtcBeamSearch::LogSumExp(kNegInf, kNegInf), kNegInf);
  EXPECT_NEAR(CtcBeamSearch::LogSumExp(std::log(0.25), std::log(0.5)), std::log(0.75), 1e-15);
  EXPECT_NEAR(CtcBeamSearch::LogSumExp(-1000.0, -1000.0), -1000.0 + std::log(2.0), 1e-12);
  const float v = -7.5f;
  EXPECT_EQ(CtcBeamSearch::LogSoftmaxDenominator(&v, 1), -7.5);
  EXPECT_EQ(CtcBeamSearch::LogSoftmaxDenominator(&v, 0), kNegInf);
  EXPECT_EQ(CtcBeamSearch::LogSoftmaxDenominator(nullptr, 3), kNegInf);
  const std::vector<float> row = {0.0f, 0.0f, 0.0f, 0.0f};
  EXPECT_NEAR(CtcBeamSearch::LogSoftmaxDenominator(row.data(), 4), std::log(4.0), 1e-15);
}

}  // namespace
}  // namespace orvane
