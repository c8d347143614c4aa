// Pipeline::Impl: the state a Pipeline owns and a Session is built from.
#ifndef ORVANE_SRC_PIPELINE_PIPELINE_IMPL_H_
#define ORVANE_SRC_PIPELINE_PIPELINE_IMPL_H_

#include <memory>
#include <string>
#include <vector>

#include "orvane/engine.h"
#include "orvane/model_manager.h"
#include "orvane/module.h"
#include "orvane/pipeline.h"

namespace orvane {

struct Pipeline::Impl {
  struct Entry {
    std::string name;    // registry name
    std::string config;  // configuration text handed to Init, unparsed
    std::unique_ptr<Module> module;
  };

  std::vector<Entry> entries;  // pipeline order
  // Shared with every session opened on the pipeline: module clones keep plain pointers to both, so
  // each session holds a reference that keeps them alive across a rebuild or an early free.
  std::shared_ptr<Engine> engine;
  std::shared_ptr<ModelManager> model_manager = std::make_shared<ModelManager>();
  int backend = 0;
  std::string model_dir;
  bool built = false;
};

}  // namespace orvane

#endif  // ORVANE_SRC_PIPELINE_PIPELINE_IMPL_H_
