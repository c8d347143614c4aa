// Logger: line format, level rules and the null tag.
#include "orvane/logger.h"

#include <gtest/gtest.h>

#include "comma_locale.h"

namespace orvane {
namespace {

class LoggerTest : public ::testing::Test {
 protected:
  void SetUp() override { Logger::Instance().SetLevel(Info); }
  void TearDown() override { Logger::Instance().SetLevel(Info); }

  static std::string Capture(LogLevel level, const char* tag, const std::string& message) {
    testing::internal::CaptureStderr();
    Logger::Instance().Log(level, tag, message);
    return testing::internal::GetCapturedStderr();
  }
};

TEST_F(LoggerTest, WritesBracketedPrefixThenMessage) {
  EXPECT_EQ(Capture(Info, "engine_onnx", "loaded"), "[orvane][INFO][engine_onnx] loaded\n");
  EXPECT_EQ(Capture(Error, "api", "x y"), "[orvane][ERROR][api] x y\n");
}

TEST_F(LoggerTest, NullTagPrintsCore) {
  EXPECT_EQ(Capture(Warn, nullptr, "m"), "[orvane][WARN][core] m\n");
}

TEST_F(LoggerTest, EmptyMessageKeepsTheBlank) {
  EXPECT_EQ(Capture(Info, "t", ""), "[orvane][INFO][t] \n");
}

TEST_F(LoggerTest, DefaultLevelDropsDebugAndTrace) {
  EXPECT_EQ(Capture(Debug, "vad", "summary"), "");
  EXPECT_EQ(Capture(Trace, "vad", "summary"), "");
  EXPECT_EQ(Logger::Instance().level(), Info);
}

TEST_F(LoggerTest, LevelFiveSilencesEverythingAndZeroPrintsTrace) {
  Logger::Instance().SetLevel(static_cast<LogLevel>(5));
  EXPECT_EQ(Capture(Error, "t", "m"), "");
  Logger::Instance().SetLevel(Trace);
  EXPECT_EQ(Capture(Trace, "t", "m"), "[orvane][TRACE][t] m\n");
}

TEST_F(LoggerTest, NegativeMinimumLetsEveryValidLevelThrough) {
  Logger::Instance().SetLevel(static_cast<LogLevel>(-3));
  EXPECT_EQ(Capture(Trace, "t", "m"), "[orvane][TRACE][t] m\n");
}

TEST_F(LoggerTest, OutOfRangeLevelsNeverPrint) {
  Logger::Instance().SetLevel(static_cast<LogLevel>(-3));
  EXPECT_EQ(Capture(static_cast<LogLevel>(7), "t", "m"), "");
  EXPECT_EQ(Capture(static_cast<LogLevel>(-1), "t", "m"), "");
}

TEST_F(LoggerTest, SetLevelOnAnotherObjectChangesTheInstance) {
  Logger other;
  other.SetLevel(Error);
  EXPECT_EQ(Logger::Instance().level(), Error);
  EXPECT_EQ(other.level(), Info);
}

TEST_F(LoggerTest, LogStreamFormatsPiecesIntoOneLine) {
  testing::internal::CaptureStderr();
  LogStream(Warn, "model_manager") << "got " << 3 << " of " << 4.5;
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "[orvane][WARN][model_manager] got 3 of 4.5\n");
}

TEST_F(LoggerTest, LogStreamNumbersIgnoreTheHostLocale) {
  testing_support::CommaLocale locale;
  ORVANE_SKIP_WITHOUT_COMMA_LOCALE(locale);
  testing::internal::CaptureStderr();
  LogStream(Warn, "t") << 4.5 << " " << 1234567;
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "[orvane][WARN][t] 4.5 1234567\n");
}

}  // namespace
}  // namespace orvane
