// Links liborvane.so (not the internal archive): the built-in modules must be registered by the
// shared library's own static initialisers and be reachable through its exported classes.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "orvane/module_registry.h"
#include "orvane/result_builder.h"

namespace orvane {
namespace {

TEST(ModuleCatalogueSharedTest, NineBuiltInModulesAfterLoad) {
  std::vector<std::string> names = ModuleRegistry::Instance().List();
  names.erase(std::remove(names.begin(), names.end(), "host"), names.end());  // added by a test
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"dialect", "diarization", "emotion", "gender", "itn",
                                             "noise", "orvane", "punctuation", "vad"}));
  for (const std::string& name : names) {
    std::unique_ptr<Module> m = ModuleRegistry::Instance().Create(name);
    ASSERT_NE(m, nullptr) << name;
    EXPECT_EQ(std::string(m->name()), name);
  }
}

// A host module derived from the exported base class: linking it needs the base's type
// information and virtual table from the shared library.
class HostModule : public Module {
 public:
  const char* name() const override { return "host"; }
  const char* version() const override { return "7"; }
  Status Init(const ModuleConfig&, ModelManager*, Engine*) override { return Status(); }
  void OnFinalize(ResultBuilder* result) override { result->SetField("host", "true"); }
};

TEST(ModuleCatalogueSharedTest, HostModuleRegistersAndRuns) {
  ModuleRegistry::Instance().Register("host", [] { return std::unique_ptr<Module>(new HostModule); });
  std::unique_ptr<Module> m = ModuleRegistry::Instance().Create("host");
  ASSERT_NE(m, nullptr);
  EXPECT_NE(dynamic_cast<HostModule*>(m.get()), nullptr);
  EXPECT_EQ(m->Clone(), nullptr);  // base behaviour from the library
  EXPECT_FALSE(m->produces_text());
  ResultBuilder doc;
  m->OnFinalize(&doc);
  EXPECT_EQ(doc.SnapshotJson(), "{\"is_final\":false,\"host\":true}");
}

TEST(ModuleCatalogueSharedTest, ModulesWriteIntoADocument) {
  ResultBuilder doc;
  ModuleRegistry::Instance().Create("orvane")->OnFinalize(&doc);
  ModuleRegistry::Instance().Create("noise")->OnFinalize(&doc);
  EXPECT_EQ(doc.FinalJson(),
            "{\"text\":\"[orvane: model not loaded]\",\"is_final\":true,"
            "\"noise\":{\"db\":0.0,\"type\":\"unknown\"}}");
}

}  // namespace
}  // namespace orvane
