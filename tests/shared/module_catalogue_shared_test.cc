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
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"dialect", "diarization", "emotion", "gender", "itn",
                                             "noise", "orvane", "punctuation", "vad"}));
  for (const std::string& name : names) {
    std::unique_ptr<Module> m = ModuleRegistry::Instance().Create(name);
    ASSERT_NE(m, nullptr) << name;
    EXPECT_EQ(std::string(m->name()), name);
  }
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
