// The seven placeholder modules, reached through the registry: identity, exact field values,
// stateless clones and rendering order in a document.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "orvane/module_registry.h"
#include "orvane/result_builder.h"

namespace orvane {
namespace {

struct Expected {
  const char* name;
  const char* key;
  const char* value;
};

const Expected kPlaceholders[] = {
    {"punctuation", "punctuation", R"({"applied":false})"},
    {"itn", "itn", R"({"applied":false})"},
    {"diarization", "speakers", "[]"},
    {"gender", "gender", R"({"value":"U","score":0.0})"},
    {"emotion", "emotion", R"({"value":"neutral","score":0.0})"},
    {"dialect", "dialect", R"({"value":"unknown","score":0.0})"},
    {"noise", "noise", R"({"db":0.0,"type":"unknown"})"},
};

std::unique_ptr<Module> Make(const std::string& name) {
  return ModuleRegistry::Instance().Create(name);
}

TEST(PlaceholderModulesTest, IdentityAndCapabilities) {
  for (const Expected& e : kPlaceholders) {
    std::unique_ptr<Module> m = Make(e.name);
    ASSERT_NE(m, nullptr) << e.name;
    EXPECT_STREQ(m->name(), e.name);
    EXPECT_STREQ(m->version(), "0") << e.name;
    EXPECT_FALSE(m->produces_features() || m->produces_logits() || m->produces_text() ||
                 m->consumes_features() || m->consumes_logits() || m->consumes_text())
        << e.name;
  }
}

TEST(PlaceholderModulesTest, InitAcceptsAnyConfiguration) {
  for (const Expected& e : kPlaceholders) {
    std::unique_ptr<Module> m = Make(e.name);
    ASSERT_NE(m, nullptr);
    const Status s = m->Init(ModuleConfig{"{not json", 8000.0f}, nullptr, nullptr);
    EXPECT_EQ(s.code, 0) << e.name;
    EXPECT_EQ(s.message, "") << e.name;
  }
}

TEST(PlaceholderModulesTest, FinalizeWritesExactlyOneFixedField) {
  for (const Expected& e : kPlaceholders) {
    std::unique_ptr<Module> m = Make(e.name);
    ASSERT_NE(m, nullptr);
    ResultBuilder doc;
    std::vector<float> audio(320, 0.3f);
    AudioFrame frame;
    frame.samples = audio.data();
    frame.num_samples = audio.size();
    m->OnFrame(frame, &doc);
    EXPECT_EQ(doc.SnapshotJson(), "{\"is_final\":false}") << e.name;
    m->OnFinalize(&doc);
    m->OnFinalize(&doc);  // repeatable, same single field
    EXPECT_EQ(doc.SnapshotJson(),
              std::string("{\"is_final\":false,\"") + e.key + "\":" + e.value + "}")
        << e.name;
  }
}

TEST(PlaceholderModulesTest, ClonesBehaveLikeTheOriginal) {
  for (const Expected& e : kPlaceholders) {
    std::unique_ptr<Module> m = Make(e.name);
    ASSERT_NE(m, nullptr);
    std::unique_ptr<Module> c = m->Clone();
    ASSERT_NE(c, nullptr) << e.name;
    EXPECT_NE(c.get(), m.get());
    EXPECT_STREQ(c->name(), e.name);
    ResultBuilder doc;
    c->Reset();
    c->OnFinalize(&doc);
    EXPECT_EQ(doc.SnapshotJson(),
              std::string("{\"is_final\":false,\"") + e.key + "\":" + e.value + "}");
  }
}

TEST(PlaceholderModulesTest, NullDocumentIsIgnored) {
  for (const Expected& e : kPlaceholders) EXPECT_NO_FATAL_FAILURE(Make(e.name)->OnFinalize(nullptr));
}

TEST(PlaceholderModulesTest, AnalyticsFieldsRenderInKeyOrder) {
  ResultBuilder doc;
  for (const char* name : {"vad", "orvane", "gender", "emotion", "dialect", "noise"}) {
    std::unique_ptr<Module> m = Make(name);
    ASSERT_NE(m, nullptr) << name;
    m->OnFinalize(&doc);
  }
  EXPECT_EQ(doc.FinalJson(),
            "{\"text\":\"[orvane: model not loaded]\",\"is_final\":true,"
            "\"dialect\":{\"value\":\"unknown\",\"score\":0.0},"
            "\"emotion\":{\"value\":\"neutral\",\"score\":0.0},"
            "\"gender\":{\"value\":\"U\",\"score\":0.0},"
            "\"noise\":{\"db\":0.0,\"type\":\"unknown\"}}");
}

TEST(PlaceholderModulesTest, ItnBeforePunctuationAndSpeakersOnce) {
  ResultBuilder doc;
  for (const char* name : {"punctuation", "diarization", "itn", "diarization"}) {
    Make(name)->OnFinalize(&doc);
  }
  EXPECT_EQ(doc.SnapshotJson(),
            "{\"is_final\":false,\"itn\":{\"applied\":false},"
            "\"punctuation\":{\"applied\":false},\"speakers\":[]}");
  doc.Reset();
  Make("itn")->OnFinalize(&doc);
  EXPECT_EQ(doc.SnapshotJson(), "{\"is_final\":false,\"itn\":{\"applied\":false}}");
}

}  // namespace
}  // namespace orvane
