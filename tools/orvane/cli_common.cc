// Option parsing, pipeline set-up and stdout writing of the orvane tool.
#include "cli_common.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <limits>

#include "orvane.h"
#include "orvane/json_writer.h"
#include "orvane/preset_registry.h"

namespace orvane {
namespace cli {
namespace {

bool TakesValue(const std::string& flag) {
  return flag == "--preset" || flag == "--modules" || flag == "--log-level" || flag == "--rate" ||
         flag == "--format" || flag == "--model" || flag == "--hotwords" ||
         flag == "--hotwords-score";
}

std::vector<std::string> SplitCommas(const std::string& list) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= list.size()) {
    size_t comma = list.find(',', start);
    if (comma == std::string::npos) comma = list.size();
    std::string part = list.substr(start, comma - start);
    while (!part.empty() && part.front() == ' ') part.erase(part.begin());
    while (!part.empty() && part.back() == ' ') part.pop_back();
    if (!part.empty()) parts.push_back(part);
    start = comma + 1;
  }
  return parts;
}

// Whole-text decimal number; rejects trailing junk, empty text, NaN and infinities.
bool ParseNumber(const std::string& text, double* value) {
  if (text.empty()) return false;
  errno = 0;
  char* end = nullptr;
  const double v = std::strtod(text.c_str(), &end);
  if (end == text.c_str() || *end != '\0' || errno == ERANGE || !std::isfinite(v)) return false;
  *value = v;
  return true;
}

}  // namespace

void PrintError(const std::string& message) {
  std::string line = message;
  for (char& c : line) {
    if (c == '\n' || c == '\r') c = ' ';
  }
  std::fprintf(stderr, "orvane: %s\n", line.c_str());
  std::fflush(stderr);
}

bool ParseOptions(const std::string& command, const std::vector<std::string>& args, Options* out) {
  const bool is_stream = command == "stream";
  const bool is_transcribe = command == "transcribe";
  const bool is_list = command == "list-modules" || command == "list-presets";
  bool only_files = false;
  for (size_t i = 0; i < args.size(); ++i) {
    std::string arg = args[i];
    if (only_files || arg.empty() || arg[0] != '-' || arg == "-") {
      if (!is_transcribe) {
        PrintError("unexpected argument '" + arg + "' for '" + command + "' (see orvane " +
                   command + " --help)");
        return false;
      }
      out->files.push_back(arg);
      continue;
    }
    if (arg == "--") {
      only_files = true;
      continue;
    }
    std::string value;
    bool has_value = false;
    const size_t eq = arg.find('=');
    if (arg.compare(0, 2, "--") == 0 && eq != std::string::npos) {
      value = arg.substr(eq + 1);
      arg = arg.substr(0, eq);
      has_value = true;
    }
    if (arg == "-h" || arg == "--help") {
      out->help = true;
      continue;
    }
    if (TakesValue(arg) && !has_value) {
      if (i + 1 >= args.size()) {
        PrintError("option " + arg + " needs a value (see orvane " + command + " --help)");
        return false;
      }
      value = args[++i];
      has_value = true;
    }
    const bool pipeline_option = is_stream || is_transcribe;
    if (arg == "--text" && !has_value && pipeline_option) {
      out->text = true;
    } else if (arg == "--json" && !has_value && is_list) {
      out->json = true;
    } else if (arg == "--preset" && pipeline_option) {
      out->preset = value;
      out->preset_given = true;
    } else if (arg == "--modules" && pipeline_option) {
      out->modules = SplitCommas(value);
      if (out->modules.empty()) {
        PrintError(
            "--modules needs a comma-separated list of module names (see orvane list-modules)");
        return false;
      }
    } else if (arg == "--model" && pipeline_option) {
      if (value.empty()) {
        PrintError("--model needs a model folder (holding model.onnx and units.txt)");
        return false;
      }
      out->model_dir = value;
    } else if (arg == "--log-level") {
      double level = 0;
      if (!ParseNumber(value, &level) || level != std::floor(level) || level < 0 || level > 5) {
        PrintError("invalid --log-level '" + value + "': expected 0 (trace) to 5 (silent)");
        return false;
      }
      out->log_level = static_cast<int>(level);
    } else if (arg == "--rate" && is_stream) {
      double rate = 0;
      if (!ParseNumber(value, &rate) || rate < 1.0 ||
          rate > static_cast<double>(std::numeric_limits<int>::max())) {
        PrintError("invalid --rate '" + value + "': expected a sample rate in Hz, such as 16000");
        return false;
      }
      out->rate = rate;
    } else if (arg == "--hotwords" && pipeline_option) {
      std::ifstream in(value);
      if (!in) {
        PrintError("cannot read the hotwords file '" + value + "'");
        return false;
      }
      out->hotwords.clear();
      for (std::string line; std::getline(in, line);) out->hotwords.push_back(line);
      out->hotwords_given = true;
    } else if (arg == "--hotwords-score" && pipeline_option) {
      double score = 0;
      if (!ParseNumber(value, &score) || score < 0 || score > 10) {
        PrintError("invalid --hotwords-score '" + value + "': expected a number from 0 to 10");
        return false;
      }
      out->hotwords_score = score;
    } else if (arg == "--format" && is_stream) {
      if (value != "s16le" && value != "f32le") {
        PrintError("invalid --format '" + value + "': expected s16le or f32le");
        return false;
      }
      out->format = value;
    } else {
      PrintError("unknown option '" + args[i] + "' for '" + command + "' (see orvane " + command +
                 " --help)");
      return false;
    }
  }
  if (out->help) return true;
  if (out->preset_given && !out->modules.empty()) {
    PrintError("give either --preset or --modules, not both");
    return false;
  }
  if (is_stream && out->rate == 0.0) {
    PrintError("stream needs --rate HZ, the sample rate of the input (see orvane stream --help)");
    return false;
  }
  if (is_transcribe && out->files.empty()) {
    PrintError("transcribe needs at least one WAV file (see orvane transcribe --help)");
    return false;
  }
  return true;
}

std::unique_ptr<Pipeline> MakePipeline(const Options& options) {
  auto pipeline = std::make_unique<Pipeline>();
  const std::string recogniser_config =
      options.model_dir.empty() ? "{}" : "{\"model_dir\":" + JsonEscape(options.model_dir) + "}";
  if (options.modules.empty()) {
    const Status applied = PresetRegistry::Instance().Apply(options.preset, pipeline.get());
    if (!applied.ok()) {
      PrintError("cannot build preset '" + options.preset + "': " + applied.message +
                 " (see orvane list-presets)");
      return nullptr;
    }
    if (!options.model_dir.empty() &&
        !pipeline->SetModuleConfig("orvane", recogniser_config).ok()) {
      PrintError("--model: preset '" + options.preset + "' has no orvane module");
      return nullptr;
    }
  } else {
    for (const std::string& name : options.modules) {
      const Status status =
          pipeline->AddModule(name, name == "orvane" ? recogniser_config : std::string("{}"));
      if (!status.ok()) {
        PrintError(status.message + " (see orvane list-modules)");
        return nullptr;
      }
    }
  }
  const Status status = pipeline->Build();
  if (!status.ok()) {
    PrintError(status.message);
    return nullptr;
  }
  return pipeline;
}

bool ApplyHotwords(const Options& options, Session* session) {
  if (!options.hotwords_given) return true;
  const Status status = session->SetHotwords(options.hotwords, options.hotwords_score);
  if (!status.ok()) PrintError("--hotwords: " + status.message);
  return status.ok();
}

bool WriteOut(const std::string& text) {
  if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size()) return false;
  return std::fflush(stdout) == 0;
}

}  // namespace cli
}  // namespace orvane
