// orvane: the command-line front end of liborvane. Uses only the public interface (orvane.h and
// the exported classes), so it behaves exactly as any host program would.
#include <signal.h>

#include <algorithm>
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "commands.h"
#include "orvane.h"
#include "orvane/module_registry.h"
#include "orvane/preset_registry.h"

namespace orvane {
namespace cli {
namespace {

const char kMainHelp[] =
    "usage: orvane COMMAND [OPTIONS]\n"
    "\n"
    "Vietnamese speech recognition with liborvane.\n"
    "\n"
    "commands:\n"
    "  transcribe FILE...   transcribe WAV files (PCM or float, any rate, mono or more channels)\n"
    "  stream --rate HZ     transcribe raw PCM from standard input as it arrives\n"
    "  list-modules         the modules a pipeline can be built from\n"
    "  list-presets         the named pipelines\n"
    "  version              the library version\n"
    "\n"
    "Run 'orvane COMMAND --help' for the options of a command.\n"
    "Exit status: 0 success, 1 a file, the input, the output or a result failed, 2 bad usage.\n";

const char kPipelineOptions[] =
    "  --preset NAME        pipeline preset (default \"transcribe\"; see orvane list-presets)\n"
    "  --modules a,b,c      build the pipeline from these modules instead of a preset\n"
    "  --model DIR          recognise with the model folder DIR (model.onnx and units.txt)\n"
    "                       instead of the model built into the library\n"
    "  --log-level N        library log level on stderr: 0 trace .. 4 error, 5 silent (default 3)\n"
    "  --hotwords FILE      phrases to favour (names, terms), one per line, UTF-8; a phrase that\n"
    "                       the recogniser's units cannot write is refused with its name\n"
    "  --hotwords-score X   bonus per matched unit of a hotword, 0 to 10 (default 3)\n"
    "  -h, --help           show this help\n";

const char kTranscribeHelp[] =
    "usage: orvane transcribe [OPTIONS] FILE...\n"
    "\n"
    "Transcribes each WAV file (16-, 24- or 32-bit integer PCM or 32-bit float, plain or\n"
    "WAVE_FORMAT_EXTENSIBLE) and prints its final result document as\n"
    "one JSON line, in the order of the files. A file that cannot be read gets its error document\n"
    "({\"is_final\":true,\"error\":...}) as its line and a one-line message on stderr; the exit\n"
    "status is then 1. When stderr is a terminal, long files show their progress there.\n"
    "\n"
    "options:\n"
    "  --text               print only the transcript of each file, one line per file\n";

const char kStreamHelp[] =
    "usage: orvane stream --rate HZ [--format s16le|f32le] [OPTIONS]\n"
    "\n"
    "Reads mono raw PCM from standard input, feeds it to one session in blocks of about 100 ms "
    "and\n"
    "prints the partial result document as one JSON line each time the transcript changes, then "
    "the\n"
    "final document when the input ends (end of file or Ctrl-C). For example:\n"
    "  arecord -f S16_LE -r 16000 -c 1 -t raw | orvane stream --rate 16000 --text\n"
    "\n"
    "options:\n"
    "  --rate HZ            sample rate of the input in Hz (required; resampled to 16 kHz)\n"
    "  --format FORMAT      s16le (default): signed 16-bit little-endian; f32le: 32-bit float\n"
    "                       little-endian, nominally -1..1\n"
    "  --text               plain transcript: a live-updating line on a terminal, else one line\n"
    "                       per change; then the final transcript\n";

const char kListModulesHelp[] =
    "usage: orvane list-modules [--json]\n"
    "\n"
    "Prints the registered module names, one per line, sorted (--json: the library's JSON "
    "array).\n";

const char kListPresetsHelp[] =
    "usage: orvane list-presets [--json]\n"
    "\n"
    "Prints the preset names, one per line, sorted (--json: the library's JSON array).\n";

const char kVersionHelp[] =
    "usage: orvane version\n"
    "\n"
    "Prints the version of the liborvane library in use.\n";

// `json` is the library's JSON array, printed as it stands with --json; otherwise `names`, sorted.
int PrintList(const char* json, std::vector<std::string> names, bool raw) {
  if (raw) return WriteOut(std::string(json != nullptr ? json : "") + "\n") ? kExitOk : kExitFailure;
  std::sort(names.begin(), names.end());
  std::string out;
  for (const std::string& name : names) out += name + "\n";
  return WriteOut(out) ? kExitOk : kExitFailure;
}

int Run(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty()) {
    std::fputs(kMainHelp, stderr);
    return kExitUsage;
  }
  const std::string command = args.front();
  args.erase(args.begin());
  if (command == "-h" || command == "--help" || command == "help") {
    return WriteOut(kMainHelp) ? kExitOk : kExitFailure;
  }
  if (command == "--version")
    return WriteOut(std::string("orvane ") + orvane_version() + "\n") ? kExitOk : kExitFailure;

  const char* help = nullptr;
  if (command == "transcribe") {
    help = kTranscribeHelp;
  } else if (command == "stream") {
    help = kStreamHelp;
  } else if (command == "list-modules") {
    help = kListModulesHelp;
  } else if (command == "list-presets") {
    help = kListPresetsHelp;
  } else if (command == "version") {
    help = kVersionHelp;
  } else {
    PrintError("unknown command '" + command + "' (see orvane --help)");
    return kExitUsage;
  }

  Options options;
  if (!ParseOptions(command, args, &options)) return kExitUsage;
  if (options.help) {
    std::string text = help;
    if (command == "transcribe" || command == "stream") text += kPipelineOptions;
    return WriteOut(text) ? kExitOk : kExitFailure;
  }
  // The library's INFO lines (model loaded, vocabulary size) are noise on a terminal: the tool shows
  // warnings and errors unless asked for more.
  orvane_set_log_level(options.log_level >= 0 ? options.log_level : 3);

  if (command == "transcribe") return RunTranscribe(options);
  if (command == "stream") return RunStream(options);
  if (command == "list-modules") {
    return PrintList(orvane_list_modules(), ModuleRegistry::Instance().List(), options.json);
  }
  if (command == "list-presets") {
    return PrintList(orvane_list_presets(), PresetRegistry::Instance().List(), options.json);
  }
  return WriteOut(std::string("orvane ") + orvane_version() + "\n") ? kExitOk : kExitFailure;
}

}  // namespace
}  // namespace cli
}  // namespace orvane

int main(int argc, char** argv) {
  // A closed output pipe shows up as EPIPE on the next write, which ends the program quietly with
  // a failure status instead of a signal.
  signal(SIGPIPE, SIG_IGN);
  try {
    return orvane::cli::Run(argc, argv);
  } catch (const std::exception& e) {
    orvane::cli::PrintError(std::string("internal error: ") + e.what());
  } catch (...) {
    orvane::cli::PrintError("internal error");
  }
  return orvane::cli::kExitFailure;
}
