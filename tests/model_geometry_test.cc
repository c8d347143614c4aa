// ModelGeometry from declared inputs/outputs and metadata: what is read, what defaults, and every
// mismatch refused with a message naming it.
#include "orvane/model_geometry.h"

#include <gtest/gtest.h>

#include <string>

namespace orvane {
namespace {

TensorInfo T(const std::string& name, std::vector<int64_t> shape, bool integer = false) {
  return TensorInfo{name, std::move(shape), integer};
}

// The embedded model as its file declares it: open sizes in the state outputs.
ModelDescription Embedded() {
  ModelDescription d;
  d.inputs = {T("chunk", {1, 43, 80}), T("offset", {1, 1}, true), T("att_cache", {1, 12, 4, 40, 224}),
              T("cnn_cache", {1, 12, 448, 30})};
  d.outputs = {T("output", {1, 10, 696}), T("r_att_cache", {-1, 12, -1, -1, -1}),
               T("r_cnn_cache", {-1, 12, -1, -1})};
  return d;
}

std::string Refusal(const ModelDescription& d, size_t units = 696) {
  ModelGeometry g;
  const Status s = ModelGeometry::FromDescription(d, units, &g);
  EXPECT_EQ(s.code, s.ok() ? 0 : -6);
  return s.message;
}

TEST(ModelGeometryTest, TheEmbeddedModelReadsAsTheDefaults) {
  ModelGeometry g;
  ASSERT_TRUE(ModelGeometry::FromDescription(Embedded(), 696, &g).ok());
  const ModelGeometry defaults;
  EXPECT_EQ(g.chunk_frames, defaults.chunk_frames);
  EXPECT_EQ(g.output_frames, defaults.output_frames);
  EXPECT_EQ(g.subsampling, defaults.subsampling);
  EXPECT_EQ(g.state_shapes, defaults.state_shapes);
  EXPECT_TRUE(g.has_offset);
  EXPECT_EQ(g.vocab_size, 696);
  EXPECT_EQ(g.frame_ms(), 40);
  EXPECT_EQ(g.state_size(0), 430080u);
  EXPECT_EQ(g.state_size(1), 161280u);
}

TEST(ModelGeometryTest, OtherShapesWithoutOffsetOrMetadata) {
  ModelDescription d;
  d.inputs = {T("x", {-1, 27, 40}), T("s", {-1, 3}), T("t", {2, 2, 5})};
  d.outputs = {T("y", {-1, 6, 8}), T("rs", {-1, 3}), T("rt", {2, -1, 5}), T("extra", {7})};
  ModelGeometry g;
  ASSERT_TRUE(ModelGeometry::FromDescription(d, 8, &g).ok());
  EXPECT_EQ(g.chunk_frames, 27);
  EXPECT_EQ(g.features.num_mel_bins, 40);
  EXPECT_EQ(g.output_frames, 6);
  EXPECT_FALSE(g.has_offset);
  EXPECT_EQ(g.state_shapes, (std::vector<std::vector<int64_t>>{{1, 3}, {2, 2, 5}}));
  EXPECT_EQ(g.vocab_size, 8);
}

TEST(ModelGeometryTest, MetadataFillsWhatShapesLeaveOpen) {
  ModelDescription d = Embedded();
  d.inputs[0].shape = {1, -1, 80};
  d.outputs[0].shape = {1, -1, 696};
  d.metadata = {{"chunk_frames", "67"}, {"output_frames", "16"}, {"frame_shift_ms", "20"},
                {"subsampling", "2"}, {"preemph_coeff", "0.5"}, {"sample_rate", "16000"}};
  ModelGeometry g;
  ASSERT_TRUE(ModelGeometry::FromDescription(d, 696, &g).ok());
  EXPECT_EQ(g.chunk_frames, 67);
  EXPECT_EQ(g.output_frames, 16);
  EXPECT_EQ(g.frame_ms(), 40);
  EXPECT_FLOAT_EQ(g.features.preemph_coeff, 0.5f);
  // Without output_frames, an open frame count is the chunk over the subsampling.
  d.metadata.erase("output_frames");
  ASSERT_TRUE(ModelGeometry::FromDescription(d, 696, &g).ok());
  EXPECT_EQ(g.output_frames, 33);
}

TEST(ModelGeometryTest, MismatchesAreRefusedByName) {
  EXPECT_EQ(Refusal(Embedded(), 700),
            "model output 'output' gives 696 scores per frame but the vocabulary has 700 units");

  ModelDescription d = Embedded();
  d.outputs[2].shape = {1, 12, 448};
  EXPECT_NE(Refusal(d).find("state output 'r_cnn_cache' [1, 12, 448] does not match its input "
                            "'cnn_cache' [1, 12, 448, 30]"), std::string::npos);
  d = Embedded();
  d.outputs[1].shape = {1, 12, 4, 41, 224};
  EXPECT_NE(Refusal(d).find("'r_att_cache'"), std::string::npos);
  d = Embedded();
  d.outputs.pop_back();
  EXPECT_NE(Refusal(d).find("2 state inputs but 2 outputs"), std::string::npos);
  d = Embedded();
  d.inputs[2].shape = {1, 12, -1, 40, 224};
  EXPECT_NE(Refusal(d).find("'att_cache' [1, 12, ?, 40, 224] has a dimension of open size"),
            std::string::npos);
  d = Embedded();
  d.inputs[3].is_integer = true;
  EXPECT_NE(Refusal(d).find("input 3 'cnn_cache' holds integers"), std::string::npos);
  d = Embedded();
  d.inputs[0].shape = {43, 80};
  EXPECT_NE(Refusal(d).find("not a float feature chunk"), std::string::npos);
  d = Embedded();
  d.outputs[0].shape = {10, 696};
  EXPECT_NE(Refusal(d).find("not float token scores"), std::string::npos);
  d = Embedded();
  d.inputs[0].shape = {1, 100000, 80};
  EXPECT_NE(Refusal(d).find("asks for a chunk of more than"), std::string::npos);
  EXPECT_EQ(Refusal(ModelDescription{}), "model has no inputs");
  d = Embedded();
  d.inputs[0].shape = {1, 0, 80};
  EXPECT_NE(Refusal(d).find("frames per chunk is 0"), std::string::npos);
  d = Embedded();
  d.outputs[0].shape = {1, 10, 0};
  EXPECT_NE(Refusal(d).find("gives 0 scores per frame"), std::string::npos);
  // An empty state is a state (found by the fuzzer as a division by zero).
  d = Embedded();
  d.inputs[3].shape = {1, 0, 448, 30};
  d.outputs[2].shape = {1, 0, 448, 30};
  ModelGeometry g;
  ASSERT_TRUE(ModelGeometry::FromDescription(d, 696, &g).ok());
  EXPECT_EQ(g.state_size(1), 0u);

  // Metadata that contradicts a declared size, or is not a number, or asks for another rate.
  d = Embedded();
  d.metadata = {{"chunk_frames", "40"}};
  EXPECT_NE(Refusal(d).find("frames per chunk is 43 but the model metadata says 40"),
            std::string::npos);
  d.metadata = {{"subsampling", "four"}};
  EXPECT_NE(Refusal(d).find("\"subsampling\" is \"four\""), std::string::npos);
  d.metadata = {{"sample_rate", "8000"}};
  EXPECT_NE(Refusal(d).find("8000 Hz"), std::string::npos);
  d.metadata = {{"frame_length_ms", "100000"}};
  EXPECT_NE(Refusal(d).find("out of range"), std::string::npos);
}

}  // namespace
}  // namespace orvane
