// Shallow fusion in CtcBeamSearch: the syllable scorer (language model) and the hotwords. Weight 0
// leaves the search exactly as it was; the language model and the hotwords settle acoustic ties;
// syllables close at the next word-initial unit; hotword bonuses are taken back on a failed match.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "asr/hotword_trie.h"
#include "asr/syllable_lm.h"
#include "asr/syllable_scorer.h"
#include "lm_test_support.h"
#include "orvane/ctc_beam_search.h"
#include "orvane/units.h"

namespace orvane {
namespace {

using testing_support::BuildLm;

// Ids: 0 blank, 1 <unk>, 2 ▁s, 3 ▁x, 4 ▁b, 5 a, 6 ai, 7 ▁ (no onset), 8 à.
Units TestUnits() {
  Units units;
  EXPECT_TRUE(units.LoadFromText("<blank> 0\n<unk> 1\n\u2581s 2\n\u2581x 3\n\u2581b 4\na 5\nai 6\n"
                                 "\u2581 7\n\u00e0 8\n").ok());
  return units;
}
constexpr int kS = 2, kX = 3, kB = 4, kA = 5, kAi = 6, kNone = 7, kGrave = 8, kTokens = 9;

// "sa" far likelier than "xa"; after "ba", "xa" is likelier.
std::shared_ptr<const SyllableLm> TestLm() {
  const std::string image = BuildLm(2, {"sa", "xa", "ba", "bai", "\u00e0"},
                                    {{{"sa"}, -0.5f, 0.0f},
                                     {{"xa"}, -4.0f, 0.0f},
                                     {{"ba"}, -1.0f, -1.0f},
                                     {{"bai"}, -2.0f, 0.0f},
                                     {{"\u00e0"}, -2.0f, 0.0f},
                                     {{"<s>"}, 0.0f, 0.0f},
                                     {{"ba", "xa"}, -0.1f, 0.0f}});
  std::shared_ptr<const SyllableLm> lm;
  EXPECT_TRUE(SyllableLm::Open(image.data(), image.size(), true, &lm).ok());
  return lm;
}

std::shared_ptr<const SyllableScorer> Scorer(double weight, double bonus) {
  std::shared_ptr<const SyllableScorer> scorer;
  EXPECT_TRUE(SyllableScorer::Create(TestLm(), TestUnits(), weight, bonus, &scorer).ok());
  return scorer;
}

std::shared_ptr<const HotwordTrie> Hotwords(const std::vector<std::string>& phrases, double score) {
  std::shared_ptr<const HotwordTrie> trie;
  const Status s = HotwordTrie::Create(phrases, TestUnits(), score, &trie);
  EXPECT_TRUE(s.ok()) << s.message;
  return trie;
}

// Frames spelling units one after another with a blank frame between; `tie` puts both ▁s and ▁x
// at the same score in the onset frame.
std::vector<std::vector<float>> Spell(const std::vector<std::vector<int>>& frames) {
  std::vector<std::vector<float>> out;
  for (const std::vector<int>& peak : frames) {
    std::vector<float> row(kTokens, 0.0f);
    for (int t : peak) row[t] = 8.0f;
    out.push_back(row);
    std::vector<float> blank(kTokens, 0.0f);
    blank[0] = 8.0f;
    out.push_back(blank);
  }
  return out;
}

std::vector<int> Decode(const std::vector<std::vector<float>>& frames,
                        std::shared_ptr<const SyllableScorer> lm,
                        std::shared_ptr<const HotwordTrie> hot, int beam = 4) {
  CtcBeamSearch search(CtcBeamSearchConfig{beam, 0});
  search.SetContext(std::move(lm), std::move(hot));
  for (const auto& f : frames) search.Step(f.data(), kTokens);
  return search.Hypothesis();
}

TEST(SearchContext, ZeroWeightAndUnrelatedHotwordsChangeNothing) {
  std::mt19937 rng(7);
  std::normal_distribution<float> noise(0.0f, 2.0f);
  std::vector<std::vector<float>> frames(60, std::vector<float>(kTokens));
  for (auto& f : frames) {
    for (float& v : f) v = noise(rng);
  }
  CtcBeamSearch plain(CtcBeamSearchConfig{5, 0});
  CtcBeamSearch fused(CtcBeamSearchConfig{5, 0});
  fused.SetContext(Scorer(0.0, 0.0), nullptr);
  for (const auto& f : frames) {
    plain.Step(f.data(), kTokens);
    fused.Step(f.data(), kTokens);
    const auto a = plain.Prefixes();
    const auto b = fused.Prefixes();
    ASSERT_EQ(a.size(), b.size());
    for (size_t i = 0; i < a.size(); ++i) {
      ASSERT_EQ(a[i].first, b[i].first);
      ASSERT_EQ(a[i].second.log_blank, b[i].second.log_blank);
      ASSERT_EQ(a[i].second.log_non_blank, b[i].second.log_non_blank);
    }
    ASSERT_EQ(plain.Hypothesis(), fused.Hypothesis());
  }
  EXPECT_EQ(fused.HypothesisContextScore(), 0.0);

  // A hotword made of units the frames never favour: same decoding, word for word.
  auto ordinary = Spell({{kS}, {kA}, {kB}, {kAi}});
  EXPECT_EQ(Decode(ordinary, nullptr, Hotwords({"\u00e0 \u00e0"}, 3.0)), Decode(ordinary, nullptr, nullptr));
}

TEST(SearchContext, LanguageModelSettlesAcousticTies) {
  const auto sa_or_xa = Spell({{kS, kX}, {kA}});
  // Acoustically tied: the smaller id (▁s) wins; the model agrees. With ▁x favoured by the model
  // after "ba", the tie goes the other way.
  EXPECT_EQ(Decode(sa_or_xa, nullptr, nullptr), (std::vector<int>{kS, kA}));
  EXPECT_EQ(Decode(sa_or_xa, Scorer(1.0, 0.0), nullptr), (std::vector<int>{kS, kA}));
  const auto ba_then_tie = Spell({{kB}, {kA}, {kS, kX}, {kA}});
  EXPECT_EQ(Decode(ba_then_tie, nullptr, nullptr), (std::vector<int>{kB, kA, kS, kA}));
  EXPECT_EQ(Decode(ba_then_tie, Scorer(1.0, 0.0), nullptr), (std::vector<int>{kB, kA, kX, kA}));
}

TEST(SearchContext, SyllablesCloseAtTheNextWordInitialUnit) {
  auto scorer = Scorer(2.0, 0.5);
  const SyllableLm& lm = scorer->lm();
  SyllableScorer::State s, t;
  scorer->Start(&s);
  scorer->Advance(s, kB, &t);  // bare onset: nothing to score yet
  EXPECT_EQ(SyllableScorer::Score(t), 0.0);
  scorer->Advance(t, kA, &s);  // "ba" open: scored as if closed
  const int32_t bos[] = {SyllableLm::kBos};
  const double ba = 2.0 * lm.LogProb(bos, 1, lm.WordId("ba")) + 0.5;
  EXPECT_DOUBLE_EQ(SyllableScorer::Score(s), ba);
  scorer->Advance(s, kAi, &t);  // "baai" is no spelling: <unk>
  EXPECT_DOUBLE_EQ(SyllableScorer::Score(t), 2.0 * lm.LogProb(bos, 1, SyllableLm::kUnk) + 0.5);
  scorer->Advance(s, kX, &t);  // closes "ba", opens ▁x
  EXPECT_DOUBLE_EQ(t.closed, ba);
  EXPECT_EQ(t.length, 1);  // order 2 keeps one word of history
  EXPECT_EQ(t.history[0], lm.WordId("ba"));
  scorer->Advance(t, kA, &s);
  const int32_t after_ba[] = {lm.WordId("ba")};
  EXPECT_DOUBLE_EQ(SyllableScorer::Score(s), ba + 2.0 * lm.LogProb(after_ba, 1, lm.WordId("xa")) + 0.5);
  // A syllable without onset ("▁" + rhyme) is a known spelling too.
  scorer->Start(&s);
  scorer->Advance(s, kNone, &t);
  scorer->Advance(t, kGrave, &s);
  EXPECT_DOUBLE_EQ(SyllableScorer::Score(s), 2.0 * lm.LogProb(bos, 1, lm.WordId("\u00e0")) + 0.5);
}

TEST(SearchContext, HotwordsFavourTheirSpellingAndTakeBackFailedMatches) {
  const auto tie = Spell({{kS, kX}, {kA}});
  EXPECT_EQ(Decode(tie, nullptr, Hotwords({"Xa"}, 1.0)), (std::vector<int>{kX, kA}));
  // Hotwords outweigh a language model that prefers the other spelling, given enough score.
  EXPECT_EQ(Decode(tie, Scorer(0.5, 0.0), Hotwords({"xa"}, 3.0)), (std::vector<int>{kX, kA}));

  auto trie = Hotwords({"xa ba", "s\u00e0"}, 2.0);
  EXPECT_EQ(trie->num_phrases(), 2u);
  HotwordTrie::State s, t;
  HotwordTrie::Start(&s);
  trie->Advance(s, kX, &t);
  EXPECT_DOUBLE_EQ(trie->Score(t), 0.0);   // one unit: too common a start to reward yet
  trie->Advance(t, kA, &s);
  EXPECT_DOUBLE_EQ(trie->Score(s), 0.0);   // one syllable of a longer phrase: still too common
  trie->Advance(s, kB, &t);
  EXPECT_DOUBLE_EQ(trie->Score(t), 6.0);   // three units of "xa ba" matched so far
  EXPECT_DOUBLE_EQ(HotwordTrie::FinalScore(t), 0.0);
  trie->Advance(t, kAi, &s);                // "xa bai": the match fails, its bonus goes
  EXPECT_DOUBLE_EQ(trie->Score(s), 0.0);
  trie->Advance(s, kS, &t);                 // a new match starts at once
  trie->Advance(t, kGrave, &s);             // "sà" complete: kept
  EXPECT_DOUBLE_EQ(HotwordTrie::FinalScore(s), 4.0);
  trie->Advance(s, kB, &t);
  EXPECT_DOUBLE_EQ(trie->Score(t), 4.0);
}

TEST(SearchContext, HotwordListsAreChecked) {
  std::shared_ptr<const HotwordTrie> trie;
  EXPECT_TRUE(HotwordTrie::Create({}, TestUnits(), 2.0, &trie).ok());
  EXPECT_EQ(trie->num_phrases(), 0u);
  EXPECT_TRUE(HotwordTrie::Create({"", "  "}, TestUnits(), 2.0, &trie).ok());
  Status s = HotwordTrie::Create({"sa", "qz", "ba xo"}, TestUnits(), 2.0, &trie);
  EXPECT_EQ(s.code, -1);
  EXPECT_EQ(s.message, "hotwords cannot be written with the units: \"qz\", \"ba xo\"");
  EXPECT_FALSE(trie);
  for (double bad : {-0.5, 10.5, std::nan("")}) {
    s = HotwordTrie::Create({"sa"}, TestUnits(), bad, &trie);
    EXPECT_EQ(s.message, "hotwords_score must be a number from 0 to 10");
  }
}

}  // namespace
}  // namespace orvane
