// ResultBuilder: member order, presence rules, escaping and finality of the rendered document.
#include "orvane/result_builder.h"

#include <gtest/gtest.h>

#include <limits>
#include <thread>
#include <vector>

#include "comma_locale.h"

namespace orvane {
namespace {

TEST(ResultBuilderTest, FreshDocumentHasOnlyIsFinal) {
  ResultBuilder r;
  EXPECT_EQ(r.SnapshotJson(), "{\"is_final\":false}");
}

TEST(ResultBuilderTest, FinalJsonStaysFinalUntilClearedOrReset) {
  ResultBuilder r;
  EXPECT_EQ(r.FinalJson(), "{\"is_final\":true}");
  EXPECT_EQ(r.SnapshotJson(), "{\"is_final\":true}");
  r.MarkFinal(false);
  EXPECT_EQ(r.SnapshotJson(), "{\"is_final\":false}");
  r.MarkFinal(true);
  r.Reset();
  EXPECT_EQ(r.SnapshotJson(), "{\"is_final\":false}");
}

TEST(ResultBuilderTest, TextIsEscapedAndSourceIgnored) {
  ResultBuilder r;
  r.SetText("orvane", "a\nb\x01\tc");
  EXPECT_EQ(r.SnapshotJson(), "{\"text\":\"a\\nb\\u0001\\tc\",\"is_final\":false}");
  r.SetText("other", "x");
  EXPECT_EQ(r.SnapshotJson(), "{\"text\":\"x\",\"is_final\":false}");
}

TEST(ResultBuilderTest, PartialAppearsOnlyWhenNotEmpty) {
  ResultBuilder r;
  r.SetPartial("say \"hi\"");
  EXPECT_EQ(r.SnapshotJson(), "{\"partial\":\"say \\\"hi\\\"\",\"is_final\":false}");
  r.SetPartial("");
  EXPECT_EQ(r.SnapshotJson(), "{\"is_final\":false}");
}

TEST(ResultBuilderTest, SetFieldTextReplacesTextAndKeepsItFirst) {
  ResultBuilder r;
  r.SetField("a", "1");
  r.SetText("orvane", "old");
  r.SetField("text", "\"raw\"");
  r.SetPartial("p");
  EXPECT_EQ(r.SnapshotJson(), "{\"text\":\"raw\",\"partial\":\"p\",\"is_final\":false,\"a\":1}");
}

TEST(ResultBuilderTest, FieldsSortByKeyAfterSegmentsAndSpeakers) {
  ResultBuilder r;
  r.SetField("b", "2");
  r.SetField("a", "[]");
  r.AppendSpeaker("S1", 2.5);
  TextSegment seg;
  seg.text = "t";
  seg.start = 0;
  seg.end = 1.5;
  r.AppendSegment(seg);
  EXPECT_EQ(r.SnapshotJson(),
            "{\"is_final\":false,\"segments\":[{\"start\":0,\"end\":1.5,\"text\":\"t\"}],"
            "\"speakers\":[{\"id\":\"S1\",\"total_time_s\":2.5}],\"a\":[],\"b\":2}");
}

TEST(ResultBuilderTest, FieldKeysSortBytewiseUnsignedWithPrefixFirst) {
  ResultBuilder r;
  r.SetField("\xc3\xa9", "3");  // UTF-8 lead byte sorts after ASCII
  r.SetField("ab", "2");
  r.SetField("a", "1");
  r.SetField("B", "0");
  EXPECT_EQ(r.SnapshotJson(), "{\"is_final\":false,\"B\":0,\"a\":1,\"ab\":2,\"\xc3\xa9\":3}");
}

TEST(ResultBuilderTest, SetFieldReplacesTheValue) {
  ResultBuilder r;
  r.SetField("k", "1");
  r.SetField("k", "2");
  EXPECT_EQ(r.SnapshotJson(), "{\"is_final\":false,\"k\":2}");
}

TEST(ResultBuilderTest, SegmentWithConfidenceAndSpeaker) {
  ResultBuilder r;
  TextSegment seg;
  seg.text = "xin ch\xc3\xa0o";
  seg.start = 0;
  seg.end = 1.5;
  seg.confidence = 0.9f;
  seg.speaker = "A";
  r.AppendSegment(seg);
  EXPECT_EQ(r.SnapshotJson(),
            "{\"is_final\":false,\"segments\":[{\"start\":0,\"end\":1.5,\"text\":\"xin ch\xc3\xa0o\","
            "\"confidence\":0.9,\"speaker\":\"A\"}]}");
}

// A host that switched to a comma-decimal locale still gets valid JSON, with the times of a segment
// ten hours into a recording exact to the centisecond.
TEST(ResultBuilderTest, SegmentTimesIgnoreTheHostLocale) {
  testing_support::CommaLocale locale;
  ORVANE_SKIP_WITHOUT_COMMA_LOCALE(locale);
  ResultBuilder r;
  TextSegment seg;
  seg.start = 0.71;
  seg.end = 36001.37;
  seg.confidence = 0.5f;
  r.AppendSegment(seg);
  r.AppendSpeaker("A", 2.25);
  EXPECT_EQ(r.SnapshotJson(),
            "{\"is_final\":false,\"segments\":[{\"start\":0.71,\"end\":36001.37,\"text\":\"\","
            "\"confidence\":0.5}],\"speakers\":[{\"id\":\"A\",\"total_time_s\":2.25}]}");
}

TEST(ResultBuilderTest, ZeroOrNegativeConfidenceIsOmitted) {
  ResultBuilder r;
  TextSegment a;
  a.confidence = 0.0f;
  TextSegment b;
  b.confidence = -0.5f;
  b.start = 2;
  b.end = 3;
  r.AppendSegment(a);
  r.AppendSegment(b);
  EXPECT_EQ(r.SnapshotJson(),
            "{\"is_final\":false,\"segments\":[{\"start\":0,\"end\":0,\"text\":\"\"},"
            "{\"start\":2,\"end\":3,\"text\":\"\"}]}");
}

TEST(ResultBuilderTest, NonFiniteTimesRenderAsNull) {
  ResultBuilder r;
  TextSegment seg;
  seg.start = std::numeric_limits<double>::quiet_NaN();
  seg.end = std::numeric_limits<double>::infinity();
  r.AppendSegment(seg);
  r.AppendSpeaker("s", -std::numeric_limits<double>::infinity());
  EXPECT_EQ(r.SnapshotJson(),
            "{\"is_final\":false,\"segments\":[{\"start\":null,\"end\":null,\"text\":\"\"}],"
            "\"speakers\":[{\"id\":\"s\",\"total_time_s\":null}]}");
}

TEST(ResultBuilderTest, SegmentsAndSpeakersKeepAppendOrder) {
  ResultBuilder r;
  r.AppendSpeaker("z", 1);
  r.AppendSpeaker("a", 2);
  EXPECT_EQ(r.SnapshotJson(),
            "{\"is_final\":false,\"speakers\":[{\"id\":\"z\",\"total_time_s\":1},"
            "{\"id\":\"a\",\"total_time_s\":2}]}");
}

TEST(ResultBuilderTest, ResetClearsEverything) {
  ResultBuilder r;
  r.SetText("orvane", "t");
  r.SetPartial("p");
  r.SetField("f", "1");
  r.AppendSegment(TextSegment{});
  r.AppendSpeaker("s", 1);
  r.FinalJson();
  r.Reset();
  EXPECT_EQ(r.SnapshotJson(), "{\"is_final\":false}");
}

TEST(ResultBuilderTest, FinalisingKeepsThePartial) {
  ResultBuilder r;
  r.SetText("orvane", "t");
  r.SetPartial("t");
  EXPECT_EQ(r.FinalJson(), "{\"text\":\"t\",\"partial\":\"t\",\"is_final\":true}");
}

// The typed result is what the document renders: words go last in their segment, a text set as raw
// JSON reads back as text when it is a string and stands in verbatim when it is not.
TEST(ResultBuilderTest, TheTypedResultCarriesWordsAndRendersTheDocument) {
  ResultBuilder r;
  TextSegment seg;
  seg.text = "xin ch\xc3\xa0o";
  seg.end = 0.9;
  seg.confidence = 0.5f;
  seg.words = {WordTiming{"xin", 0.1, 0.2, 0.75f}, WordTiming{"ch\xc3\xa0o", 0.5, 0.9, 0.0f}};
  r.AppendSegment(seg);
  r.SetField("text", "\"a\\u0041\"");
  const RecognitionResult typed = r.Snapshot();
  EXPECT_TRUE(typed.has_text);
  EXPECT_EQ(typed.text, "aA");
  ASSERT_EQ(typed.segments.size(), 1u);
  ASSERT_EQ(typed.segments[0].words.size(), 2u);
  EXPECT_EQ(typed.segments[0].words[1].text, "ch\xc3\xa0o");
  EXPECT_EQ(typed.ToJson(), r.SnapshotJson());
  EXPECT_EQ(r.SnapshotJson(),
            "{\"text\":\"aA\",\"is_final\":false,\"segments\":[{\"start\":0,\"end\":0.9,"
            "\"text\":\"xin ch\xc3\xa0o\",\"confidence\":0.5,\"words\":["
            "{\"text\":\"xin\",\"start\":0.1,\"end\":0.2,\"confidence\":0.75},"
            "{\"text\":\"ch\xc3\xa0o\",\"start\":0.5,\"end\":0.9}]}]}");
  r.SetField("text", "[1]");
  EXPECT_EQ(r.Final().ToJson().rfind("{\"text\":[1],\"is_final\":true,", 0), 0u);
  r.SetText("orvane", "plain");
  EXPECT_EQ(r.Snapshot().fields.count("text"), 0u);
  EXPECT_EQ(r.SnapshotJson().rfind("{\"text\":\"plain\",", 0), 0u);
}

// Writers and readers on several threads: every snapshot is a whole document.
TEST(ResultBuilderTest, ConcurrentWritersAndReadersSeeWholeDocuments) {
  ResultBuilder r;
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&r, t] {
      for (int i = 0; i < 200; ++i) {
        r.SetField("k" + std::to_string(t), std::to_string(i));
        r.SetPartial("p" + std::to_string(i));
        const std::string json = r.SnapshotJson();
        ASSERT_EQ(json.front(), '{');
        ASSERT_EQ(json.back(), '}');
      }
    });
  }
  for (auto& th : threads) th.join();
  EXPECT_EQ(r.SnapshotJson(),
            "{\"partial\":\"p199\",\"is_final\":false,\"k0\":199,\"k1\":199,\"k2\":199,\"k3\":199}");
}

}  // namespace
}  // namespace orvane
