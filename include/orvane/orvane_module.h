// OrvaneModule ("orvane"): the speech recognition module. This version loads no model: it
// reports a fixed placeholder text when the stream ends.
#ifndef ORVANE_ORVANE_MODULE_H_
#define ORVANE_ORVANE_MODULE_H_

#include <memory>

#include "orvane/export.h"
#include "orvane/module.h"

namespace orvane {

class ORVANE_EXPORT OrvaneModule : public Module {
 public:
  OrvaneModule() = default;
  ~OrvaneModule() override;

  const char* name() const override;
  const char* version() const override;
  Status Init(const ModuleConfig& config, ModelManager* models, Engine* engine) override;
  std::unique_ptr<Module> Clone() const override;
  void OnSegment(const Segment& segment, ResultBuilder* result) override;
  // Sets the document's text to "[orvane: model not loaded]".
  void OnFinalize(ResultBuilder* result) override;
  bool produces_logits() const override;
  bool produces_text() const override;

 private:
  Engine* engine_ = nullptr;  // not owned; the pipeline's engine
};

}  // namespace orvane

#endif  // ORVANE_ORVANE_MODULE_H_
