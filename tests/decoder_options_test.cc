// DecoderOptions: the recogniser's decoding members of its configuration text, their ranges and
// the refusal of malformed text; and a pipeline whose recogniser refuses its configuration.
#include "asr/decoder_options.h"

#include <gtest/gtest.h>

#include <string>

#include "orvane/pipeline.h"

namespace orvane {
namespace {

TEST(DecoderOptions, ReadsItsMembersAndSkipsOthers) {
  DecoderOptions o;
  ASSERT_TRUE(o.Parse("").ok());
  EXPECT_TRUE(o.lm);
  EXPECT_EQ(o.beam_size, DecoderOptions::kDefaultBeamSize);
  const Status s = o.Parse(
      " {\"model_dir\": \"/x\", \"lm\": false, \"lm_weight\": 0.25, \"lm_bonus\": -1.5e0,"
      " \"other\": {\"a\": [1, null, true, \"\\u00e0\"]}, \"beam_size\": 16,"
      " \"hotwords\": [\"Nguy\\u1ec5n V\\u0103n A\", \"b\\\"c\"], \"hotwords_score\": 3} ");
  ASSERT_TRUE(s.ok()) << s.message;
  EXPECT_FALSE(o.lm);
  EXPECT_EQ(o.lm_weight, 0.25);
  EXPECT_EQ(o.lm_bonus, -1.5);
  EXPECT_EQ(o.beam_size, 16);
  EXPECT_EQ(o.hotwords, (std::vector<std::string>{"Nguy\u1ec5n V\u0103n A", "b\"c"}));
  EXPECT_EQ(o.hotwords_score, 3.0);
  ASSERT_TRUE(o.Parse("{\"hotwords\": []}").ok());
  EXPECT_TRUE(o.hotwords.empty());
}

TEST(DecoderOptions, RefusesBadValuesAndKeepsTheOldOnes) {
  const std::pair<const char*, const char*> cases[] = {
      {"{\"lm_weight\": 50}", "lm_weight must be a number from 0 to 5"},
      {"{\"lm_weight\": -0.1}", "lm_weight must be a number from 0 to 5"},
      {"{\"lm_bonus\": 1e9}", "lm_bonus must be a number from -20 to 20"},
      {"{\"hotwords_score\": 11}", "hotwords_score must be a number from 0 to 10"},
      {"{\"beam_size\": 2.5}", "beam_size must be a whole number from 1 to 64"},
      {"{\"beam_size\": 0}", "beam_size must be a whole number from 1 to 64"},
      {"{\"lm_weight\": \"1\"}", "lm_weight must be a number"},
      {"{\"lm\": 1}", "lm must be true or false"},
      {"{\"hotwords\": \"abc\"}", "hotwords must be an array of strings"},
      {"{\"hotwords\": [\"a\", 2]}", "hotwords must be an array of strings"},
      {"{\"lm\": true", "configuration text is not a JSON object"},
      {"[1]", "configuration text is not a JSON object"},
      {"{\"a\": 01}", "configuration text is not a JSON object"},
      {"{\"a\": 1} x", "configuration text is not a JSON object"},
      {"{\"a\": \"\\ud800\"}", "configuration text is not a JSON object"},
  };
  for (const auto& c : cases) {
    DecoderOptions o;
    o.lm_weight = 1.25;
    const Status s = o.Parse(c.first);
    EXPECT_EQ(s.code, -1) << c.first;
    EXPECT_EQ(s.message, c.second) << c.first;
    EXPECT_EQ(o.lm_weight, 1.25) << c.first;
  }
  std::string deep(200, '[');
  DecoderOptions o;
  EXPECT_EQ(o.Parse("{\"a\": " + deep + "}").message, "configuration text is not a JSON object");
}

TEST(DecoderOptions, PipelineBuildFailsWithTheRecognisersMessage) {
  Pipeline p;
  ASSERT_TRUE(p.AddModule("orvane", "{\"hotwords_score\": 99}").ok());
  Status s = p.Build();
  EXPECT_EQ(s.code, -1);
  EXPECT_EQ(s.message, "module init failed [orvane]: hotwords_score must be a number from 0 to 10");
  Pipeline q;
  ASSERT_TRUE(q.AddModule("orvane", "{\"lm\": false, \"hotwords\": [\"b\u1ea1n\", \"qqq\"]}").ok());
  s = q.Build();
  EXPECT_EQ(s.message, "module init failed [orvane]: hotwords cannot be written with the units: \"qqq\"");
}

}  // namespace
}  // namespace orvane
