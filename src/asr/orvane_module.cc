// OrvaneModule without a recogniser behind it yet: silent while streaming, placeholder text at
// the end.
#include "orvane/orvane_module.h"

#include "orvane/module_registry.h"
#include "orvane/result_builder.h"

namespace orvane {
namespace {

struct AutoRegister_OrvaneModule {
  AutoRegister_OrvaneModule() {
    ModuleRegistry::Instance().Register(
        "orvane", []() -> std::unique_ptr<Module> { return std::make_unique<OrvaneModule>(); });
  }
};
const AutoRegister_OrvaneModule auto_register_orvane_module;

}  // namespace

OrvaneModule::~OrvaneModule() = default;

const char* OrvaneModule::name() const { return "orvane"; }
const char* OrvaneModule::version() const { return "1"; }

Status OrvaneModule::Init(const ModuleConfig&, ModelManager*, Engine* engine) {
  engine_ = engine;
  return Status();
}

std::unique_ptr<Module> OrvaneModule::Clone() const {
  auto clone = std::make_unique<OrvaneModule>();
  clone->engine_ = engine_;
  return clone;
}

void OrvaneModule::OnSegment(const Segment&, ResultBuilder*) {}

void OrvaneModule::OnFinalize(ResultBuilder* result) {
  if (result != nullptr) result->SetText("orvane", "[orvane: model not loaded]");
}

bool OrvaneModule::produces_logits() const { return true; }
bool OrvaneModule::produces_text() const { return true; }

}  // namespace orvane
