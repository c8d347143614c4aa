// Options, pipeline set-up and output shared by the sub-commands of the `orvane` tool.
#ifndef ORVANE_TOOLS_CLI_COMMON_H_
#define ORVANE_TOOLS_CLI_COMMON_H_

#include <memory>
#include <string>
#include <vector>

#include "orvane/pipeline.h"
#include "orvane/session.h"

namespace orvane {
namespace cli {

// Exit statuses of the tool.
constexpr int kExitOk = 0;
// A file, the input or the output failed, or a result carried "error".
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;  // bad command line

struct Options {
  bool help = false;
  bool text = false;  // plain transcript instead of JSON documents
  bool json = false;  // list-*: the library's JSON array as it stands
  std::string preset = "transcribe";
  bool preset_given = false;
  std::vector<std::string> modules;  // --modules a,b,c: a hand-built pipeline instead of a preset
  std::string model_dir;             // --model DIR: the recogniser's model folder (empty: embedded)
  int log_level = -1;                // -1: leave the library's default
  double rate = 0.0;                 // stream: input rate in Hz (0: not given)
  std::string format = "s16le";      // stream: sample format of standard input
  std::vector<std::string> files;    // transcribe: the WAV files
  std::vector<std::string> hotwords;  // --hotwords FILE: its lines, phrases favoured by the search
  bool hotwords_given = false;
  double hotwords_score = 3.0;        // --hotwords-score: bonus per matched unit
};

// Parses args (everything after the command name) for `command`. On a usage error prints one line
// "orvane: ..." to stderr and returns false.
bool ParseOptions(const std::string& command, const std::vector<std::string>& args, Options* out);

// Prints "orvane: <message>" as one line on stderr (line breaks in `message` become spaces).
void PrintError(const std::string& message);

// The pipeline named by the options, built; empty after a one-line error on stderr.
std::unique_ptr<Pipeline> MakePipeline(const Options& options);

// Gives the session the --hotwords phrases (nothing without the option). False after a one-line
// error on stderr naming the problem (phrases that cannot be written, a score out of range).
bool ApplyHotwords(const Options& options, Session* session);

// Writes `text` to stdout and flushes. False when the output is gone (closed pipe, full disk); the
// caller then stops quietly with kExitFailure.
bool WriteOut(const std::string& text);

}  // namespace cli
}  // namespace orvane

#endif  // ORVANE_TOOLS_CLI_COMMON_H_
