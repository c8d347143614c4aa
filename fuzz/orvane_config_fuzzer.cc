// The recogniser's configuration text: JsonValue and OrvaneConfig::Parse on arbitrary text, a
// model_dir of arbitrary bytes written as JSON and read back, and OrvaneModule::Init with the text
// (no-op engine). Parsing never crashes or recurses without bound; the configuration accepts
// exactly the JSON objects whose "model_dir" (last one wins) is absent or a string, and gives back
// the string's bytes; Init refuses what Parse refuses, with the same message, and then what the
// decoding members' parser refuses.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <string>

#include "asr/decoder_options.h"
#include "asr/orvane_config.h"
#include "fuzz_check.h"
#include "orvane/json_writer.h"
#include "orvane/logger.h"
#include "orvane/noop_engine.h"
#include "orvane/orvane_module.h"
#include "util/json_value.h"

namespace {

using orvane::JsonValue;
using orvane::OrvaneConfig;

void CheckText(const std::string& text) {
  OrvaneConfig config;
  config.model_dir = "unchanged";
  const orvane::Status status = OrvaneConfig::Parse(text, &config);
  JsonValue root;
  const bool json = JsonValue::Parse(text, &root, nullptr);
  const bool blank = text.find_first_not_of(" \t\r\n") == std::string::npos;
  const JsonValue* dir = json ? root.Find("model_dir") : nullptr;
  const bool acceptable =
      blank || (json && root.is_object() && (dir == nullptr || dir->type() == JsonValue::Type::kString));
  FUZZ_CHECK(status.ok() == acceptable);
  if (!status.ok()) {
    FUZZ_CHECK(status.code == -1);
    FUZZ_CHECK(status.message.rfind("orvane configuration: ", 0) == 0);
    FUZZ_CHECK(config.model_dir == "unchanged");
    return;
  }
  FUZZ_CHECK(config.model_dir == (dir != nullptr ? dir->string() : std::string()));
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  orvane::Logger::Instance().SetLevel(orvane::Error);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider p(data, size);
  const int mode = p.ConsumeIntegralInRange<int>(0, 2);
  const std::string bytes = p.ConsumeRemainingBytesAsString();
  if (mode == 0) {
    CheckText(bytes);
    return 0;
  }
  if (mode == 1) {
    // Arbitrary bytes as the folder name, among other members, read back unchanged.
    const std::string text =
        "{\"lm\":null,\"model_dir\":" + orvane::JsonEscape(bytes) + ",\"x\":[{}]}";
    OrvaneConfig config;
    FUZZ_CHECK(OrvaneConfig::Parse(text, &config).ok());
    FUZZ_CHECK(config.model_dir == bytes);
    CheckText(text);
    return 0;
  }
  // Through the module: a refused text fails Init with Parse's message and leaves no model.
  orvane::NoopEngine engine;
  orvane::OrvaneModule module;
  orvane::ModuleConfig module_config;
  module_config.json = bytes;
  OrvaneConfig config;
  const orvane::Status parsed = OrvaneConfig::Parse(bytes, &config);
  const orvane::Status init = module.Init(module_config, nullptr, &engine);
  if (!parsed.ok()) {
    FUZZ_CHECK(init.code == parsed.code && init.message == parsed.message);
  } else if (!config.model_dir.empty()) {
    FUZZ_CHECK(!init.ok());  // the no-op engine loads no model, whatever the folder holds
  } else {
    // The decoding members (lm, beam_size, hotwords, ...) are checked after the folder member.
    orvane::DecoderOptions options;
    const orvane::Status decoding = options.Parse(bytes);
    FUZZ_CHECK(init.ok() == decoding.ok());
    if (!decoding.ok()) FUZZ_CHECK(init.message == decoding.message);
  }
  FUZZ_CHECK(!module.model_loaded());
  return 0;
}
