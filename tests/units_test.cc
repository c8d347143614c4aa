// Units: the line rules of the vocabulary text, file loading and id lookup.
#include "orvane/units.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

namespace orvane {
namespace {

const std::string kXin = "\xE2\x96\x81xin";  // U+2581 then "xin"

TEST(UnitsTest, ThreeLinesGiveThreeUnits) {
  Units units;
  ASSERT_TRUE(units.LoadFromText("<blank> 0\n<unk> 1\n" + kXin + " 2\n").ok());
  ASSERT_EQ(units.size(), 3u);
  EXPECT_EQ(units.At(0), "<blank>");
  EXPECT_EQ(units.At(1), "<unk>");
  EXPECT_EQ(units.At(2), kXin);
  EXPECT_EQ(units.At(3), "");
  EXPECT_EQ(units.At(-1), "");
  EXPECT_EQ(units.At(-2147483647 - 1), "");
}

TEST(UnitsTest, LineEndingsAndBlankLines) {
  Units lf;
  Units crlf;
  ASSERT_TRUE(lf.LoadFromText("a 0\nb 1\nc 2").ok());  // last line without a line feed
  ASSERT_TRUE(crlf.LoadFromText("a 0\r\n\r\nb 1\r\n\n\nc 2\r\n").ok());
  EXPECT_EQ(lf.tokens(), crlf.tokens());
  EXPECT_EQ(crlf.At(1), "b");  // blank lines take no id

  Units bare;
  ASSERT_TRUE(bare.LoadFromText("x\r\ny\n").ok());  // no id written: the whole line
  EXPECT_EQ(bare.tokens(), (std::vector<std::string>{"x", "y"}));
}

TEST(UnitsTest, MalformedLines) {
  Units units;
  // Leading space: empty unit; only the first space splits; a tab does not; one CR is dropped.
  ASSERT_TRUE(units.LoadFromText(" 0\nab  1 extra\nt\t2\nq\r\r\n").ok());
  ASSERT_EQ(units.size(), 4u);
  EXPECT_EQ(units.At(0), "");
  EXPECT_EQ(units.At(1), "ab");
  EXPECT_EQ(units.At(2), "t\t2");
  EXPECT_EQ(units.At(3), "q\r");
}

TEST(UnitsTest, WrittenIdsAreNotRead) {
  Units units;
  ASSERT_TRUE(units.LoadFromText("b 1\na 0\nc 7\n").ok());
  EXPECT_EQ(units.At(0), "b");
  EXPECT_EQ(units.At(1), "a");
  EXPECT_EQ(units.At(2), "c");
  EXPECT_EQ(units.At(7), "");
}

// Units reach the JSON result as they are, so text that is not UTF-8 must not load.
TEST(UnitsTest, TextThatIsNotUtf8FailsNamingTheLine) {
  Units units;
  ASSERT_TRUE(units.LoadFromText("a 0\n").ok());
  for (const std::string bad : {"\xAD", "\xC3", "\xE0\x80\x80", "\xED\xA0\x80", "\xF4\x90\x80\x80"}) {
    const Status status = units.LoadFromText("a 0\nb 1\n" + bad + " 2\n");
    EXPECT_EQ(status.code, -3);
    EXPECT_EQ(status.message, "units text line 3 is not valid UTF-8");
    EXPECT_EQ(units.size(), 0u);
  }
  EXPECT_TRUE(units.LoadFromText("\xC3\xA0 0\n\xF0\x9F\x98\x80 1\n").ok());
}

TEST(UnitsTest, EmptyTextFailsAndEmptiesTheTable) {
  Units units;
  ASSERT_TRUE(units.LoadFromText("a 0\n").ok());
  for (const std::string text : {"", "\n\n\n", "\r\n\r\n"}) {
    const Status status = units.LoadFromText(text);
    EXPECT_EQ(status.code, -3);
    EXPECT_EQ(status.message, "units text is empty");
    EXPECT_EQ(units.size(), 0u);
  }
}

TEST(UnitsTest, LoadingReplacesThePreviousTable) {
  Units units;
  ASSERT_TRUE(units.LoadFromText("a 0\nb 1\nc 2\n").ok());
  ASSERT_TRUE(units.LoadFromText("z 0\n").ok());
  EXPECT_EQ(units.size(), 1u);
  EXPECT_EQ(units.At(1), "");
}

class UnitsFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = ::testing::TempDir() + "orvane_units_test_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".txt";
  }
  void TearDown() override { std::remove(path_.c_str()); }
  void Write(const std::string& content) {
    std::ofstream out(path_, std::ios::binary);
    out << content;
  }
  std::string path_;
};

TEST_F(UnitsFileTest, LoadReadsTheSameRulesAsText) {
  Write("<blank> 0\r\n<unk> 1\r\n\r\n" + kXin + " 2");
  Units units;
  ASSERT_TRUE(units.Load(path_).ok());
  ASSERT_EQ(units.size(), 3u);
  EXPECT_EQ(units.At(2), kXin);
}

TEST_F(UnitsFileTest, EmptyFileLoadsAnEmptyTable) {
  Write("\n\n");
  Units units;
  ASSERT_TRUE(units.LoadFromText("a 0\n").ok());
  const Status status = units.Load(path_);
  EXPECT_TRUE(status.ok());
  EXPECT_EQ(units.size(), 0u);
}

TEST_F(UnitsFileTest, MissingFileKeepsTheTable) {
  Units units;
  ASSERT_TRUE(units.LoadFromText("a 0\nb 1\n").ok());
  const std::string missing = path_ + ".missing";
  const Status status = units.Load(missing);
  EXPECT_EQ(status.code, -3);
  EXPECT_EQ(status.message, "cannot open units file: " + missing);
  EXPECT_EQ(units.size(), 2u);
  EXPECT_EQ(units.At(1), "b");
}

TEST_F(UnitsFileTest, DirectoryIsNotAnEmptyVocabulary) {
  Units units;
  ASSERT_TRUE(units.LoadFromText("a 0\n").ok());
  const std::string dir = ::testing::TempDir();
  const Status status = units.Load(dir);
  EXPECT_EQ(status.code, -3);
  EXPECT_EQ(status.message, "cannot open units file: " + dir);
  EXPECT_EQ(units.size(), 1u);
}

}  // namespace
}  // namespace orvane
