// The seven placeholder analysis modules. Each ignores its configuration and the audio and, when
// the stream ends, writes one field with a fixed neutral value into the result document.
#include <memory>

#include "orvane/module.h"
#include "orvane/module_registry.h"
#include "orvane/result_builder.h"

namespace orvane {
namespace {

// Defines a stateless placeholder class `Class` registered as `kName`, writing `kValue` (raw
// JSON) under `kKey` in OnFinalize, and its AutoRegister_ object.
#define ORVANE_PLACEHOLDER_MODULE(Class, kName, kKey, kValue)                              \
  class Class : public Module {                                                            \
   public:                                                                                 \
    ~Class() override = default;                                                           \
    const char* name() const override { return kName; }                                    \
    const char* version() const override { return "0"; }                                   \
    Status Init(const ModuleConfig&, ModelManager*, Engine*) override { return Status(); } \
    std::unique_ptr<Module> Clone() const override { return std::make_unique<Class>(); }   \
    void OnFinalize(ResultBuilder* result) override {                                      \
      if (result != nullptr) result->SetField(kKey, kValue);                               \
    }                                                                                      \
  };                                                                                       \
  struct AutoRegister_##Class {                                                            \
    AutoRegister_##Class() {                                                               \
      ModuleRegistry::Instance().Register(                                                 \
          kName, []() -> std::unique_ptr<Module> { return std::make_unique<Class>(); });   \
    }                                                                                      \
  };                                                                                       \
  const AutoRegister_##Class auto_register_##Class;

ORVANE_PLACEHOLDER_MODULE(PunctuationModule, "punctuation", "punctuation", R"({"applied":false})")
ORVANE_PLACEHOLDER_MODULE(ItnModule, "itn", "itn", R"({"applied":false})")
ORVANE_PLACEHOLDER_MODULE(DiarizationModule, "diarization", "speakers", "[]")
ORVANE_PLACEHOLDER_MODULE(GenderModule, "gender", "gender", R"({"value":"U","score":0.0})")
ORVANE_PLACEHOLDER_MODULE(EmotionModule, "emotion", "emotion",
                          R"({"value":"neutral","score":0.0})")
ORVANE_PLACEHOLDER_MODULE(DialectModule, "dialect", "dialect",
                          R"({"value":"unknown","score":0.0})")
ORVANE_PLACEHOLDER_MODULE(NoiseModule, "noise", "noise", R"({"db":0.0,"type":"unknown"})")

#undef ORVANE_PLACEHOLDER_MODULE

}  // namespace
}  // namespace orvane
