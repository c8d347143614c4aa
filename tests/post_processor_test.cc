// PostProcessor: joining unit texts into words and removing pattern matches.
#include "orvane/post_processor.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace orvane {
namespace {

const std::string kMark = "\xE2\x96\x81";  // U+2581

std::string Join(const std::vector<std::string>& units) { return PostProcessor().Detokenize(units); }

TEST(PostProcessorTest, MarkedUnitsStartWordsAndOthersAreGlued) {
  EXPECT_EQ(Join({kMark + "xin", kMark + "ch", "\xC3\xA0o", ",", kMark + "b\xe1\xba\xa1n"}),
            "xin ch\xC3\xA0o, b\xe1\xba\xa1n");
  EXPECT_EQ(Join({}), "");
  EXPECT_EQ(Join({"abc", kMark + "d"}), "abc d");  // an unmarked first unit still starts the text
}

TEST(PostProcessorTest, SpecialUnitsAreSkippedButNotOthers) {
  EXPECT_EQ(Join({"<unk>", kMark + "a"}), "a");
  EXPECT_EQ(Join({kMark + "a", "<context>", "</context>", "<unk>", "b"}), "ab");
  EXPECT_EQ(Join({kMark + "a", "<sos/eos>", "<blank>"}), "a<sos/eos><blank>");
  EXPECT_EQ(Join({kMark + "a", "<UNK>"}), "a<UNK>");
}

TEST(PostProcessorTest, LoneMarkersAndPartialMarkers) {
  EXPECT_EQ(Join({kMark + "a", kMark, kMark + "b"}), "a  b");
  EXPECT_EQ(Join({kMark, kMark + "a"}), "a");
  EXPECT_EQ(Join({kMark, kMark}), "");
  // The first two bytes of the marker alone are ordinary text.
  EXPECT_EQ(Join({kMark + "a", "\xE2\x96"}), "a\xE2\x96");
  // Only the first marker is removed.
  EXPECT_EQ(Join({kMark + kMark + "a"}), kMark + "a");
  EXPECT_EQ(Join({"", kMark + "a", ""}), "a");
}

// "cuộc họp b": the onset of the next syllable arrives before its rhyme.
TEST(PostProcessorTest, TrailingOnsetWaitsForItsRhyme) {
  const PostProcessor pp;
  std::vector<std::string> units = {"\u2581cu", "\u1ed9c", "\u2581h", "\u1ecdp"};
  for (const char* onset : {"\u2581b", "\u2581ngh", "\u2581\u0111", "\u2581qu", "\u2581gi", "\u2581"}) {
    std::vector<std::string> cut = units;
    cut.push_back(onset);
    EXPECT_EQ(pp.DetokenizeWholeSyllables(cut), "cu\u1ed9c h\u1ecdp") << onset;
    cut.push_back("<unk>");
    EXPECT_EQ(pp.DetokenizeWholeSyllables(cut), "cu\u1ed9c h\u1ecdp") << onset;
    cut.push_back("an");
    EXPECT_EQ(pp.DetokenizeWholeSyllables(cut), pp.Detokenize(cut)) << onset;
  }
  // A whole last syllable, a continuation unit or a word that only looks like an onset stays.
  EXPECT_EQ(pp.DetokenizeWholeSyllables({"\u2581b", "\u1ea1n"}), "b\u1ea1n");
  EXPECT_EQ(pp.DetokenizeWholeSyllables({"\u2581a", "ng"}), "ang");
  EXPECT_EQ(pp.DetokenizeWholeSyllables({"\u2581a", "\u2581bc"}), "a bc");
  EXPECT_EQ(pp.DetokenizeWholeSyllables({"\u2581a", ","}), "a,");
  EXPECT_EQ(pp.DetokenizeWholeSyllables({"\u2581ch"}), "");
  EXPECT_EQ(pp.DetokenizeWholeSyllables({}), "");
}

TEST(PostProcessorTest, StripBadWordsRemovesEveryMatch) {
  const PostProcessor pp;
  EXPECT_EQ(pp.StripBadWords("a bad word", "bad"), "a  word");
  EXPECT_EQ(pp.StripBadWords("bad bad", "bad"), " ");
  EXPECT_EQ(pp.StripBadWords("Bad bad", "bad"), "Bad ");  // case-sensitive
  EXPECT_EQ(pp.StripBadWords("foo bar baz", "ba[rz]"), "foo  ");
  EXPECT_EQ(pp.StripBadWords("a1b22c", "\\d+"), "abc");
  EXPECT_EQ(pp.StripBadWords("abc", "x*"), "abc");  // empty matches remove nothing
  EXPECT_EQ(pp.StripBadWords("aaa", "a|"), "");
}

TEST(PostProcessorTest, StripBadWordsLeavesTextOnEmptyOrInvalidPattern) {
  const PostProcessor pp;
  EXPECT_EQ(pp.StripBadWords("a bad word", ""), "a bad word");
  EXPECT_EQ(pp.StripBadWords("a bad word", "("), "a bad word");
  EXPECT_EQ(pp.StripBadWords("a bad word", "[a-"), "a bad word");
  EXPECT_EQ(pp.StripBadWords("", "bad"), "");
}

TEST(PostProcessorTest, StripBadWordsUsesEcmaScriptSyntax) {
  const PostProcessor pp;
  EXPECT_EQ(pp.StripBadWords("foo bar", "\\bbar\\b"), "foo ");
  EXPECT_EQ(pp.StripBadWords("ab ab", "(?:ab)"), " ");
  EXPECT_EQ(pp.StripBadWords("x1 y2", "(?=\\d)\\d"), "x y");
}

}  // namespace
}  // namespace orvane
