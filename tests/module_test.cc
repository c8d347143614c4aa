// The module contract's base behaviour and the minimal recogniser module.
#include "orvane/module.h"

#include <gtest/gtest.h>

#include <vector>

#include "orvane/module_registry.h"
#include "orvane/orvane_module.h"
#include "orvane/result_builder.h"

namespace orvane {
namespace {

// Overrides only what the contract requires.
class BareModule : public Module {
 public:
  const char* name() const override { return "bare"; }
  const char* version() const override { return "3"; }
  Status Init(const ModuleConfig&, ModelManager*, Engine*) override { return Status(); }
};

class CountingModule : public BareModule {
 public:
  explicit CountingModule(int* destroyed) : destroyed_(destroyed) {}
  ~CountingModule() override { ++*destroyed_; }

 private:
  int* destroyed_;
};

TEST(ModuleTest, RecordDefaults) {
  const ModuleConfig config;
  EXPECT_EQ(config.json, "");
  EXPECT_EQ(config.sample_rate, 16000.0f);
  const AudioFrame frame;
  EXPECT_EQ(frame.samples, nullptr);
  EXPECT_EQ(frame.num_samples, 0u);
  EXPECT_EQ(frame.sample_rate, 16000.0f);
  EXPECT_EQ(frame.start_sample, 0u);
  const TextSegment seg;
  EXPECT_EQ(seg.confidence, 0.0f);
  EXPECT_TRUE(seg.text.empty() && seg.speaker.empty());
}

TEST(ModuleTest, BaseHooksDoNothingAndCapabilitiesAreFalse) {
  BareModule m;
  ResultBuilder doc;
  std::vector<float> audio(100, 0.5f);
  AudioFrame frame{audio.data(), audio.size(), 16000.0f, 0};
  m.Reset();
  m.OnFrame(frame, &doc);
  m.OnFeature(FeatureFrame{}, &doc);
  m.OnLogits(LogitsFrame{}, &doc);
  m.OnSegment(Segment{}, &doc);
  m.OnText(TextSegment{}, &doc);
  m.OnFinalize(&doc);
  EXPECT_EQ(doc.SnapshotJson(), "{\"is_final\":false}");
  EXPECT_FALSE(m.produces_features());
  EXPECT_FALSE(m.produces_logits());
  EXPECT_FALSE(m.produces_text());
  EXPECT_FALSE(m.consumes_features());
  EXPECT_FALSE(m.consumes_logits());
  EXPECT_FALSE(m.consumes_text());
}

TEST(ModuleTest, BaseCloneIsEmpty) {
  BareModule m;
  EXPECT_EQ(m.Clone(), nullptr);
}

TEST(ModuleTest, OwningBasePointerRunsTheDerivedDestructor) {
  int destroyed = 0;
  { std::unique_ptr<Module> m(new CountingModule(&destroyed)); }
  EXPECT_EQ(destroyed, 1);
}

TEST(OrvaneModuleTest, IdentityAndCapabilities) {
  std::unique_ptr<Module> m = ModuleRegistry::Instance().Create("orvane");
  ASSERT_NE(m, nullptr);
  EXPECT_STREQ(m->name(), "orvane");
  EXPECT_STREQ(m->version(), "1");
  EXPECT_TRUE(m->produces_logits());
  EXPECT_TRUE(m->produces_text());
  EXPECT_FALSE(m->produces_features());
  EXPECT_FALSE(m->consumes_features());
  EXPECT_FALSE(m->consumes_logits());
  EXPECT_FALSE(m->consumes_text());
}

TEST(OrvaneModuleTest, InitSucceedsAndFinalizeReportsTheMissingModel) {
  OrvaneModule m;
  const Status s = m.Init(ModuleConfig{"{}", 16000.0f}, nullptr, nullptr);
  EXPECT_TRUE(s.ok());
  EXPECT_EQ(s.message, "");
  std::unique_ptr<Module> clone = m.Clone();
  ASSERT_NE(clone, nullptr);
  EXPECT_NE(clone.get(), &m);
  ResultBuilder doc;
  std::vector<float> audio(1600, 0.1f);
  clone->OnFrame(AudioFrame{audio.data(), audio.size(), 16000.0f, 0}, &doc);
  clone->OnSegment(Segment{}, &doc);
  EXPECT_EQ(doc.SnapshotJson(), "{\"is_final\":false}");
  clone->OnFinalize(&doc);
  EXPECT_EQ(doc.FinalJson(), "{\"text\":\"[orvane: model not loaded]\",\"is_final\":true}");
}

}  // namespace
}  // namespace orvane
