// ModuleRegistry: the nine built-in registrations, exact look-up, replacement, empty factories
// and concurrent use.
#include "orvane/module_registry.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <set>
#include <stdexcept>
#include <thread>
#include <vector>

#include "orvane/vad_module.h"

namespace orvane {
namespace {

const std::set<std::string> kBuiltIn = {"orvane", "vad",     "punctuation", "itn",  "diarization",
                                        "gender", "emotion", "dialect",     "noise"};

class TaggedModule : public Module {
 public:
  explicit TaggedModule(int tag) : tag_(tag) {}
  const char* name() const override { return "tagged"; }
  const char* version() const override { return "9"; }
  Status Init(const ModuleConfig&, ModelManager*, Engine*) override { return Status(); }
  int tag() const { return tag_; }

 private:
  int tag_;
};

std::unique_ptr<Module> MakeVad() { return std::make_unique<VadModule>(); }

TEST(ModuleRegistryTest, BuiltInModulesAreRegisteredAtLoad) {
  const std::vector<std::string> names = ModuleRegistry::Instance().List();
  // This test runs first in the file order but must not depend on it: other tests add names.
  for (const std::string& name : kBuiltIn) {
    EXPECT_EQ(std::count(names.begin(), names.end(), name), 1) << name;
    std::unique_ptr<Module> m = ModuleRegistry::Instance().Create(name);
    ASSERT_NE(m, nullptr) << name;
    EXPECT_STREQ(m->name(), name.c_str());
  }
}

TEST(ModuleRegistryTest, FreshRegistryListsExactlyWhatWasRegistered) {
  ModuleRegistry registry;
  EXPECT_TRUE(registry.List().empty());
  registry.Register("b", MakeVad);
  registry.Register("a", MakeVad);
  registry.Register("b", MakeVad);
  std::vector<std::string> names = registry.List();
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"a", "b"}));
}

TEST(ModuleRegistryTest, NamesAreExactAndCaseSensitive) {
  const ModuleRegistry& registry = ModuleRegistry::Instance();
  EXPECT_EQ(registry.Create(""), nullptr);
  EXPECT_EQ(registry.Create("VAD"), nullptr);
  EXPECT_EQ(registry.Create("vad "), nullptr);
  EXPECT_EQ(registry.Create("no-such-module"), nullptr);
}

TEST(ModuleRegistryTest, EachCreateReturnsADistinctInstance) {
  std::unique_ptr<Module> a = ModuleRegistry::Instance().Create("vad");
  std::unique_ptr<Module> b = ModuleRegistry::Instance().Create("vad");
  ASSERT_NE(a, nullptr);
  ASSERT_NE(b, nullptr);
  EXPECT_NE(a.get(), b.get());
}

TEST(ModuleRegistryTest, LaterRegistrationReplacesTheFactory) {
  ModuleRegistry registry;
  registry.Register("vad", MakeVad);
  registry.Register("vad", [] { return std::unique_ptr<Module>(new TaggedModule(7)); });
  std::unique_ptr<Module> m = registry.Create("vad");
  ASSERT_NE(m, nullptr);
  EXPECT_STREQ(m->name(), "tagged");
  EXPECT_EQ(static_cast<TaggedModule*>(m.get())->tag(), 7);
  EXPECT_EQ(registry.List(), std::vector<std::string>{"vad"});
}

TEST(ModuleRegistryTest, ReplacingBuiltInVadInTheProcessRegistry) {
  ModuleRegistry& registry = ModuleRegistry::Instance();
  registry.Register("vad", [] { return std::unique_ptr<Module>(new TaggedModule(1)); });
  std::unique_ptr<Module> m = registry.Create("vad");
  EXPECT_STREQ(m->name(), "tagged");
  const std::vector<std::string> names = registry.List();
  EXPECT_EQ(std::count(names.begin(), names.end(), "vad"), 1);
  registry.Register("vad", MakeVad);  // restore for the other tests
  EXPECT_STREQ(registry.Create("vad")->name(), "vad");
}

TEST(ModuleRegistryTest, EmptyFactoryCreatesNothingInsteadOfThrowing) {
  ModuleRegistry registry;
  registry.Register("hollow", ModuleFactory());
  EXPECT_EQ(registry.List(), std::vector<std::string>{"hollow"});
  EXPECT_NO_THROW(EXPECT_EQ(registry.Create("hollow"), nullptr));
}

TEST(ModuleRegistryTest, FactoryExceptionPassesThroughAndReleasesTheLock) {
  ModuleRegistry registry;
  registry.Register("bad", []() -> std::unique_ptr<Module> { throw std::runtime_error("no"); });
  EXPECT_THROW(registry.Create("bad"), std::runtime_error);
  // A held lock would deadlock here.
  registry.Register("good", MakeVad);
  EXPECT_NE(registry.Create("good"), nullptr);
}

TEST(ModuleRegistryTest, ConcurrentRegisterCreateAndList) {
  ModuleRegistry& registry = ModuleRegistry::Instance();
  constexpr int kThreads = 6;
  constexpr int kPerThread = 100;
  std::atomic<int> created{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&registry, &created, t] {
      for (int i = 0; i < kPerThread; ++i) {
        const std::string name = "t" + std::to_string(t) + "_" + std::to_string(i);
        registry.Register(name, [t] { return std::unique_ptr<Module>(new TaggedModule(t)); });
        std::unique_ptr<Module> own = registry.Create(name);
        if (own && static_cast<TaggedModule*>(own.get())->tag() == t) ++created;
        if (registry.Create("gender") == nullptr) ADD_FAILURE() << "built-in vanished";
        const std::vector<std::string> names = registry.List();
        if (std::find(names.begin(), names.end(), name) == names.end()) {
          ADD_FAILURE() << "missing " << name;
        }
      }
    });
  }
  for (auto& th : threads) th.join();
  EXPECT_EQ(created.load(), kThreads * kPerThread);
  const std::vector<std::string> names = registry.List();
  const std::set<std::string> unique(names.begin(), names.end());
  EXPECT_EQ(unique.size(), names.size());
  for (int t = 0; t < kThreads; ++t) {
    for (int i = 0; i < kPerThread; ++i) {
      EXPECT_EQ(unique.count("t" + std::to_string(t) + "_" + std::to_string(i)), 1u);
    }
  }
  for (const std::string& name : kBuiltIn) EXPECT_EQ(unique.count(name), 1u) << name;
}

}  // namespace
}  // namespace orvane
