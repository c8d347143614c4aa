// Pipeline: configuration, build and session creation.
#include "orvane/pipeline.h"

#include <utility>

#include "orvane/audio_resampler.h"
#include "orvane/engine_factory.h"
#include "orvane/logger.h"
#include "orvane/module_registry.h"
#include "orvane/preset_registry.h"
#include "orvane/session.h"
#include "pipeline/pipeline_impl.h"

namespace orvane {

Pipeline::Pipeline() : impl_(new Impl) {}

Pipeline::~Pipeline() = default;

Status Pipeline::AddModule(const std::string& name, const std::string& config) {
  std::unique_ptr<Module> module = ModuleRegistry::Instance().Create(name);
  if (!module) return Status(-2, "unknown module: " + name);
  impl_->entries.push_back(Impl::Entry{name, config, std::move(module)});
  return Status();
}

Status Pipeline::SetModuleConfig(const std::string& name, const std::string& config) {
  bool found = false;
  for (Impl::Entry& entry : impl_->entries) {
    if (entry.name != name) continue;
    entry.config = config;
    found = true;
  }
  if (!found) return Status(-2, "module not in pipeline: " + name);
  return Status();
}

Status Pipeline::SetBackend(int backend) {
  impl_->backend = backend;
  return Status();
}

Status Pipeline::SetModelDir(const std::string& dir) {
  impl_->model_dir = dir;
  impl_->model_manager->SetCacheDir(dir);
  return Status();
}

Status Pipeline::EnsureModels() {
  for (const Impl::Entry& entry : impl_->entries) {
    ModelBundle bundle;
    if (!impl_->model_manager->LookupBundle(entry.name, &bundle).ok()) continue;
    std::string path;
    Status status = impl_->model_manager->EnsureBundle(bundle, &path);
    if (!status.ok()) {
      Logger::Instance().Log(Warn, "pipeline",
                             "EnsureBundle failed for " + entry.name + ": " + status.message);
    }
  }
  return Status();
}

Status Pipeline::Build() {
  // The previous engine lives on in the sessions that still use it.
  impl_->engine = std::shared_ptr<Engine>(EngineFactory::Create(impl_->backend));
  EnsureModels();
  ModuleConfig config;
  config.sample_rate = 16000.0f;
  for (Impl::Entry& entry : impl_->entries) {
    config.json = entry.config;
    Status status = entry.module->Init(config, impl_->model_manager.get(), impl_->engine.get());
    if (!status.ok()) {
      return Status(status.code,
                    "module init failed [" + entry.name + "]: " + status.message);
    }
  }
  impl_->built = true;
  return Status();
}

bool Pipeline::built() const { return impl_->built; }

std::unique_ptr<Session> Pipeline::NewSession(float sample_rate) {
  if (!AudioResampler::IsSupportedRate(sample_rate)) return nullptr;
  if (!impl_->built && !Build().ok()) return nullptr;
  return std::unique_ptr<Session>(new Session(impl_.get(), sample_rate));
}

std::unique_ptr<Pipeline> Pipeline::FromPreset(const std::string& name) {
  std::unique_ptr<Pipeline> pipeline(new Pipeline);
  Status status = PresetRegistry::Instance().Apply(name, pipeline.get());
  if (!status.ok()) {
    Logger::Instance().Log(Error, "pipeline", "preset failed: " + status.message);
    return nullptr;
  }
  status = pipeline->Build();
  if (!status.ok()) {
    Logger::Instance().Log(Error, "pipeline", "preset build failed: " + status.message);
    return nullptr;
  }
  return pipeline;
}

}  // namespace orvane
