// Default behaviour of the module contract: hooks do nothing, capabilities are all false.
#include "orvane/module.h"

namespace orvane {

Module::~Module() = default;

std::unique_ptr<Module> Module::Clone() const { return nullptr; }
void Module::Reset() {}

void Module::OnFrame(const AudioFrame&, ResultBuilder*) {}
void Module::OnFeature(const FeatureFrame&, ResultBuilder*) {}
void Module::OnLogits(const LogitsFrame&, ResultBuilder*) {}
void Module::OnSegment(const Segment&, ResultBuilder*) {}
void Module::OnText(const TextSegment&, ResultBuilder*) {}
void Module::OnFinalize(ResultBuilder*) {}

bool Module::produces_features() const { return false; }
bool Module::produces_logits() const { return false; }
bool Module::produces_text() const { return false; }
bool Module::consumes_features() const { return false; }
bool Module::consumes_logits() const { return false; }
bool Module::consumes_text() const { return false; }

}  // namespace orvane
