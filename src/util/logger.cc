// Process-wide logger writing "[orvane][LEVEL][tag] message" lines to the standard error stream.
#include "orvane/logger.h"

#include <atomic>
#include <cstdio>
#include <locale>
#include <mutex>

namespace orvane {
namespace {
const char* const kLevelNames[5] = {"TRACE", "DEBUG", "INFO", "WARN", "ERROR"};
}  // namespace

struct Logger::Impl {
  std::atomic<int> level{Info};
  std::mutex mutex;  // keeps each line one uninterrupted write
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
  std::lock_guard<std::mutex> lock(impl_->mutex);
  if (tag == nullptr) tag = "core";
  std::fprintf(stderr, "[orvane][%s][%s] %s\n", kLevelNames[static_cast<int>(level)], tag,
               message.c_str());
}

// The classic locale: numbers in log lines never take the host's separators.
LogStream::LogStream(LogLevel level, const char* tag) : level_(level), tag_(tag) {
  stream_.imbue(std::locale::classic());
}

LogStream::~LogStream() { Logger::Instance().Log(level_, tag_, stream_.str()); }

}  // namespace orvane
