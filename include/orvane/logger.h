// The process-wide logger: one line per message on the standard error stream, in the form
// "[orvane][LEVEL][tag] message", or handed to a sink the host installed.
#ifndef ORVANE_LOGGER_H_
#define ORVANE_LOGGER_H_

#include <memory>
#include <sstream>
#include <string>

#include "orvane/export.h"

namespace orvane {

// Stored as a plain int: SetLevel accepts any integer (5 or more silences the logger, a negative
// value lets every level through).
enum LogLevel : int { Trace = 0, Debug = 1, Info = 2, Warn = 3, Error = 4 };

// Receives each line that passes the level test instead of the standard error stream: the level
// (0..4), the tag (never null) and the message, both NUL-terminated and valid only during the
// call, and the pointer given with the sink.
using LogSink = void (*)(int level, const char* tag, const char* message, void* user_data);

class ORVANE_EXPORT Logger {
 public:
  Logger();
  ~Logger();
  Logger(const Logger&) = delete;
  Logger& operator=(const Logger&) = delete;

  // Created on first use, destroyed at process exit.
  static Logger& Instance();

  // Sets the minimum level of Instance(), whatever object it is called on.
  void SetLevel(LogLevel level);
  LogLevel level() const;

  // Writes one line when `level` is at least the minimum level and within Trace..Error.
  // A null tag is printed as "core". Dropped lines cost one atomic load and no lock.
  void Log(LogLevel level, const char* tag, const std::string& message);

  // Routes the lines of Instance(), whatever object it is called on, to `sink` with `user_data`;
  // a null sink restores the standard error stream. Lines are delivered one at a time, under the
  // logger's lock: once SetSink returns, the previous sink is never called again. A line logged
  // from within the sink (the sink calling into the library) goes to the standard error stream
  // rather than deadlocking; an exception thrown by the sink is swallowed.
  void SetSink(LogSink sink, void* user_data);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// Builds one line with operator<< and logs it when the temporary is destroyed:
//   LogStream(Info, "engine_onnx") << "loaded model, " << n << " inputs";
// The text is always built; Log drops it afterwards when the level is below the minimum.
class ORVANE_EXPORT LogStream {
 public:
  LogStream(LogLevel level, const char* tag);
  ~LogStream();
  LogStream(const LogStream&) = delete;
  LogStream& operator=(const LogStream&) = delete;

  template <typename T>
  LogStream& operator<<(const T& value) {
    stream_ << value;
    return *this;
  }

 private:
  LogLevel level_;
  const char* tag_;  // not owned; a string literal
  std::ostringstream stream_;
};

}  // namespace orvane

#endif  // ORVANE_LOGGER_H_
