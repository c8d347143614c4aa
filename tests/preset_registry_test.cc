// Preset registry: the built-in presets, unknown names, appending, and host-registered presets.
#include "orvane/preset_registry.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "orvane/pipeline.h"
#include "recording_module.h"

namespace orvane {
namespace {

using testing_support::CallLog;
using testing_support::RegisterRecorder;

std::vector<std::string> Sorted(std::vector<std::string> v) {
  std::sort(v.begin(), v.end());
  return v;
}

TEST(PresetRegistryTest, BuiltInPresetsAreListedOnce) {
  EXPECT_EQ(Sorted(PresetRegistry::Instance().List()),
            (std::vector<std::string>{"analytics", "meeting", "transcribe", "transcribe-rich"}));
}

TEST(PresetRegistryTest, UnknownNameIsReportedExactlyAsGiven) {
  Pipeline pipeline;
  Status status = PresetRegistry::Instance().Apply("Transcribe", &pipeline);
  EXPECT_EQ(status.code, -2);
  EXPECT_EQ(status.message, "unknown preset: Transcribe");
}

TEST(PresetRegistryTest, EveryBuiltInPresetBuildsAndCarriesItsFields) {
  struct Case {
    const char* preset;
    std::vector<std::string> present;
  };
  const std::vector<Case> cases = {
      {"transcribe", {}},
      {"transcribe-rich", {"\"punctuation\"", "\"itn\""}},
      {"meeting", {"\"speakers\":[]", "\"punctuation\""}},
      {"analytics", {"\"gender\"", "\"emotion\"", "\"dialect\"", "\"noise\""}},
  };
  for (const Case& c : cases) {
    auto pipeline = Pipeline::FromPreset(c.preset);
    ASSERT_TRUE(pipeline) << c.preset;
    auto session = pipeline->NewSession(16000.0f);
    const std::string doc = session->Final();
    for (const std::string& key : c.present) {
      EXPECT_NE(doc.find(key), std::string::npos) << c.preset << ": " << doc;
    }
  }
}

TEST(PresetRegistryTest, ApplyingTwiceAppendsTwice) {
  auto log = std::make_shared<CallLog>();
  RegisterRecorder("preset-recorder", log);
  PresetRegistry::Instance().Register("two-recorders", [](Pipeline* p) {
    return p->AddModule("preset-recorder", "{}");
  });
  Pipeline pipeline;
  ASSERT_TRUE(PresetRegistry::Instance().Apply("two-recorders", &pipeline).ok());
  ASSERT_TRUE(PresetRegistry::Instance().Apply("two-recorders", &pipeline).ok());
  ASSERT_TRUE(pipeline.Build().ok());
  EXPECT_EQ(log->inits, 2);
  EXPECT_EQ(log->last_config, "{}");
}

TEST(PresetRegistryTest, FailingStepStopsThePresetAndKeepsEarlierModules) {
  auto log = std::make_shared<CallLog>();
  RegisterRecorder("kept-recorder", log);
  PresetRegistry::Instance().Register("half-broken", [](Pipeline* p) {
    Status status = p->AddModule("kept-recorder", "{}");
    if (!status.ok()) return status;
    return p->AddModule("not-a-module", "{}");
  });
  Pipeline pipeline;
  Status status = PresetRegistry::Instance().Apply("half-broken", &pipeline);
  EXPECT_EQ(status.code, -2);
  EXPECT_EQ(status.message, "unknown module: not-a-module");
  ASSERT_TRUE(pipeline.Build().ok());
  EXPECT_EQ(log->inits, 1);
  auto names = PresetRegistry::Instance().List();
  EXPECT_NE(std::find(names.begin(), names.end(), "half-broken"), names.end());
}

TEST(PresetRegistryTest, EmptyFunctionFailsWithoutThrowing) {
  PresetRegistry::Instance().Register("empty", PresetFunction());
  Pipeline pipeline;
  Status status;
  EXPECT_NO_THROW(status = PresetRegistry::Instance().Apply("empty", &pipeline));
  EXPECT_NE(status.code, 0);
}

}  // namespace
}  // namespace orvane
