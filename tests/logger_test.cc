// Logger: line format, level rules, the null tag and the host's sink.
#include "orvane/logger.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

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

struct Collected {
  std::mutex mutex;
  std::vector<std::string> lines;  // "level|tag|message"
};

void Collect(int level, const char* tag, const char* message, void* user_data) {
  auto* collected = static_cast<Collected*>(user_data);
  std::lock_guard<std::mutex> lock(collected->mutex);
  collected->lines.push_back(std::to_string(level) + "|" + tag + "|" + message);
}

class LoggerSinkTest : public LoggerTest {
 protected:
  void TearDown() override {
    Logger::Instance().SetSink(nullptr, nullptr);
    LoggerTest::TearDown();
  }
};

TEST_F(LoggerSinkTest, SinkTakesTheLinesThatPassTheLevelAndNullRestoresStderr) {
  Collected collected;
  Logger().SetSink(Collect, &collected);  // acts on Instance(), like SetLevel
  EXPECT_EQ(Capture(Warn, nullptr, "w"), "");
  EXPECT_EQ(Capture(Debug, "vad", "dropped"), "");
  EXPECT_EQ(Capture(static_cast<LogLevel>(9), "t", "dropped"), "");
  EXPECT_EQ(Capture(Error, "api", ""), "");
  EXPECT_EQ(collected.lines, (std::vector<std::string>{"3|core|w", "4|api|"}));
  Logger::Instance().SetSink(nullptr, &collected);
  EXPECT_EQ(Capture(Info, "t", "m"), "[orvane][INFO][t] m\n");
  EXPECT_EQ(collected.lines.size(), 2u);
}

// A sink that logs (a host calling back into the library) would take the logger's lock twice.
TEST_F(LoggerSinkTest, LinesLoggedFromTheSinkGoToStderrAndTheSinkMayRemoveItself) {
  static int calls = 0;
  calls = 0;
  Logger::Instance().SetSink(
      [](int, const char*, const char* message, void*) {
        ++calls;
        Logger::Instance().Log(Warn, "inner", std::string("saw ") + message);
        Logger::Instance().SetSink(nullptr, nullptr);
      },
      nullptr);
  EXPECT_EQ(Capture(Info, "t", "first"), "[orvane][WARN][inner] saw first\n");
  EXPECT_EQ(Capture(Info, "t", "second"), "[orvane][INFO][t] second\n");
  EXPECT_EQ(calls, 1);
}

TEST_F(LoggerSinkTest, AThrowingSinkLosesTheLineOnly) {
  Logger::Instance().SetSink([](int, const char*, const char*, void*) { throw 1; }, nullptr);
  EXPECT_NO_THROW(Logger::Instance().Log(Error, "t", "m"));
}

// Threads log while the sink is switched between two collectors: every line reaches exactly one of
// them, whole.
TEST_F(LoggerSinkTest, LinesFromManyThreadsEachReachOneSinkWhole) {
  constexpr int kThreads = 4;
  constexpr int kLines = 400;
  Collected a;
  Collected b;
  Logger::Instance().SetSink(Collect, &a);
  std::atomic<int> running{kThreads};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t, &running] {
      for (int i = 0; i < kLines; ++i) {
        LogStream(Info, "thread") << "line " << t << " " << i;
      }
      --running;
    });
  }
  for (int round = 0; running.load() > 0; ++round) {
    Logger::Instance().SetSink(Collect, round % 2 == 0 ? &b : &a);
  }
  for (std::thread& thread : threads) thread.join();
  Logger::Instance().SetSink(nullptr, nullptr);
  EXPECT_EQ(a.lines.size() + b.lines.size(), static_cast<size_t>(kThreads * kLines));
  std::vector<int> per_thread(kThreads, 0);
  for (const Collected* c : {&a, &b}) {
    for (const std::string& line : c->lines) {
      int t = -1;
      int i = -1;
      ASSERT_EQ(std::sscanf(line.c_str(), "2|thread|line %d %d", &t, &i), 2) << line;
      ASSERT_GE(t, 0);
      ASSERT_LT(t, kThreads);
      ++per_thread[static_cast<size_t>(t)];
    }
  }
  for (int count : per_thread) EXPECT_EQ(count, kLines);
}

}  // namespace
}  // namespace orvane
