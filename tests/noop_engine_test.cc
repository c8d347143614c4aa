// NoopEngine and the defaults of the Engine contract.
#include "orvane/noop_engine.h"

#include <gtest/gtest.h>

#include <memory>

namespace orvane {
namespace {

TEST(NoopEngineTest, NameIsNoop) {
  NoopEngine engine;
  EXPECT_STREQ(engine.backend_name(), "noop");
}

TEST(NoopEngineTest, LoadModelSucceedsWithoutLookingAtThePath) {
  NoopEngine engine;
  Status empty = engine.LoadModel("");
  EXPECT_EQ(empty.code, 0);
  EXPECT_EQ(empty.message, "");
  Status missing = engine.LoadModel("/no/such/dir/model.onnx");
  EXPECT_TRUE(missing.ok());
  EXPECT_EQ(missing.message, "");
}

TEST(NoopEngineTest, LoadModelFromBufferKeepsTheUnsupportedDefault) {
  NoopEngine engine;
  const char bytes[4] = {1, 2, 3, 4};
  Status status = engine.LoadModelFromBuffer(bytes, sizeof(bytes));
  EXPECT_EQ(status.code, -6);
  EXPECT_EQ(status.message, "engine: LoadModelFromBuffer not supported by this backend");
  EXPECT_EQ(engine.LoadModelFromBuffer(nullptr, 0).code, -6);
  // Still usable afterwards.
  EXPECT_TRUE(engine.Run({}, nullptr).ok());
}

TEST(NoopEngineTest, RunEmptiesTheOutputsAndKeepsTheirCapacity) {
  NoopEngine engine;
  std::vector<Tensor> outputs(3, Tensor{{1.0f, 2.0f}, {2}});
  const size_t capacity = outputs.capacity();
  std::vector<Tensor> inputs = {Tensor{{5.0f}, {}}};
  Status status = engine.Run(inputs, &outputs);
  EXPECT_TRUE(status.ok());
  EXPECT_EQ(status.message, "");
  EXPECT_TRUE(outputs.empty());
  EXPECT_EQ(outputs.capacity(), capacity);
}

TEST(NoopEngineTest, RunWithNullOutputsSucceeds) {
  NoopEngine engine;
  EXPECT_TRUE(engine.Run({Tensor{{1.0f}, {1}}}, nullptr).ok());
}

TEST(NoopEngineTest, ResetThroughTheBaseChangesNothing) {
  std::unique_ptr<Engine> engine(new NoopEngine());
  engine->Reset();
  EXPECT_STREQ(engine->backend_name(), "noop");
  std::vector<Tensor> outputs(1);
  EXPECT_TRUE(engine->Run({}, &outputs).ok());
  EXPECT_TRUE(outputs.empty());
}

}  // namespace
}  // namespace orvane
