// Process-wide logger writing "[orvane][LEVEL][tag] message" lines to the standard error stream.
#include "orvane/logger.h"

#include <atomic>
#include <cstdio>
#include <locale>
#include <mutex>

namespace orvane {
namespace {
const char* const kLevelNames[5] = {"TRACE", "DEBUG", "INFO", "WARN", "ERROR"};

// True on a thread while it runs the host's sink, so that a line logged from inside the sink does
// not try to take the logger's lock a second time.
thread_local bool t_in_sink = false;

void WriteLine(int level, const char* tag, const std::string& message) {
  std::fprintf(stderr, "[orvane][%s][%s] %s\n", kLevelNames[level], tag, message.c_str());
}

}  // namespace

struct Logger::Impl {
  std::atomic<int> level{Info};
  std::mutex mutex;  // keeps each line one uninterrupted write; guards sink and sink_data
  LogSink sink = nullptr;
  void* sink_data = nullptr;
};

Logger::Logger() : impl_(new Impl) {}
Logger::~Logger() = default;

Logger& Logger::Instance() {
  static Logger instance;
  return instance;
}

void Logger::SetLevel(LogLevel level) {
  Instance().impl_->level.store(static_cast<int>(level), std::memory_order_seq_cst);
}

LogLevel Logger::level() const {
  return static_cast<LogLevel>(impl_->level.load());
}

void Logger::Log(LogLevel level, const char* tag, const std::string& message) {
  if (static_cast<int>(level) < impl_->level.load()) return;
  if (static_cast<unsigned>(level) > static_cast<unsigned>(Error)) return;
  if (tag == nullptr) tag = "core";
  if (t_in_sink) {
    WriteLine(static_cast<int>(level), tag, message);
    return;
  }
  std::lock_guard<std::mutex> lock(impl_->mutex);
  if (impl_->sink == nullptr) {
    WriteLine(static_cast<int>(level), tag, message);
    return;
  }
  t_in_sink = true;
  try {
    impl_->sink(static_cast<int>(level), tag, message.c_str(), impl_->sink_data);
  } catch (...) {
    // The host's sink failed; the line is lost, the library goes on.
  }
  t_in_sink = false;
}

void Logger::SetSink(LogSink sink, void* user_data) {
  Impl* impl = Instance().impl_.get();
  // Called from within the sink, this thread already holds the lock.
  std::unique_lock<std::mutex> lock(impl->mutex, std::defer_lock);
  if (!t_in_sink) lock.lock();
  impl->sink = sink;
  impl->sink_data = sink == nullptr ? nullptr : user_data;
}

// The classic locale: numbers in log lines never take the host's separators.
LogStream::LogStream(LogLevel level, const char* tag) : level_(level), tag_(tag) {
  stream_.imbue(std::locale::classic());
}

LogStream::~LogStream() { Logger::Instance().Log(level_, tag_, stream_.str()); }

}  // namespace orvane
