// The four built-in presets, registered when the library loads.
#include <initializer_list>

#include "orvane/pipeline.h"
#include "orvane/preset_registry.h"

namespace orvane {
namespace {

// Appends each module with the configuration "{}", stopping at the first failure.
Status AddAll(Pipeline* pipeline, std::initializer_list<const char*> modules) {
  for (const char* name : modules) {
    Status status = pipeline->AddModule(name, "{}");
    if (!status.ok()) return status;
  }
  return Status();
}

Status Transcribe(Pipeline* p) { return AddAll(p, {"vad", "orvane"}); }
Status TranscribeRich(Pipeline* p) { return AddAll(p, {"vad", "orvane", "punctuation", "itn"}); }
Status Meeting(Pipeline* p) { return AddAll(p, {"vad", "diarization", "orvane", "punctuation"}); }
Status Analytics(Pipeline* p) {
  return AddAll(p, {"vad", "orvane", "gender", "emotion", "dialect", "noise"});
}

struct AutoRegister_BuiltinPresets {
  AutoRegister_BuiltinPresets() {
    PresetRegistry& registry = PresetRegistry::Instance();
    registry.Register("transcribe", &Transcribe);
    registry.Register("transcribe-rich", &TranscribeRich);
    registry.Register("meeting", &Meeting);
    registry.Register("analytics", &Analytics);
  }
};
const AutoRegister_BuiltinPresets kAutoRegisterBuiltinPresets;

}  // namespace
}  // namespace orvane
