// Model folders given to the recogniser by "model_dir": a model of another geometry streams through
// a pipeline; every bad folder fails the build with a message naming the file, loading nothing.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "engine/onnx_engine.h"
#include "lm_test_support.h"
#include "models_test_support.h"
#include "orvane/json_writer.h"
#include "orvane/logger.h"
#include "orvane/orvane_module.h"
#include "orvane/pipeline.h"
#include "orvane/result_builder.h"
#include "test_models.h"

namespace orvane {
namespace {

namespace tm = test_models;
using testing_support::ReadText;
using testing_support::TempDir;
using testing_support::WriteText;

constexpr size_t kShift = 160;     // samples per feature frame shift
constexpr int kSmallChunk = 27;    // small_geometry: feature frames per chunk
constexpr int kSmallOutputs = 6;   // output frames per chunk

std::string FolderConfig(const std::string& dir) {
  return "{\"beam\":3,\"model_dir\":" + JsonEscape(dir) + "}";
}

// Noise loud enough for the test models' LOUD id (mean log-mel energy far above 18) for `loud`
// feature frames, then silence for `quiet` frames.
std::vector<float> LoudThenQuiet(size_t loud, size_t quiet) {
  std::vector<float> audio((loud + quiet) * kShift, 0.0f);
  uint32_t state = 7;
  for (size_t i = 0; i < loud * kShift; ++i) {
    state = state * 1664525u + 1013904223u;
    audio[i] = 0.5f * (static_cast<float>(state >> 8) / 8388608.0f - 1.0f);
  }
  return audio;
}

class ModelFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Logger::Instance().SetLevel(Error);
    engine_ = CreateOnnxEngine();
#if defined(ORVANE_TEST_EXPECT_ONNX)
    ASSERT_NE(engine_, nullptr);
#endif
    if (!engine_) GTEST_SKIP() << "built without ONNX Runtime";
    if (!tm::Available()) GTEST_SKIP() << "test models were not generated (no Python onnx)";
  }
  void TearDown() override { Logger::Instance().SetLevel(Info); }

  std::unique_ptr<Engine> engine_;
};

TEST_F(ModelFolderTest, AnotherGeometryRunsWithoutOffsetOrMetadata) {
  OrvaneModule m;
  ModuleConfig config;
  config.json = FolderConfig(tm::Path("small_geometry"));
  const Status s = m.Init(config, nullptr, engine_.get());
  ASSERT_TRUE(s.ok()) << s.message;
  EXPECT_EQ(m.geometry().chunk_frames, kSmallChunk);
  EXPECT_EQ(m.geometry().output_frames, kSmallOutputs);
  EXPECT_FALSE(m.geometry().has_offset);

  // Two chunks of speech, three of silence; the states come back as state + 1 and state + 2.
  const std::vector<float> audio = LoudThenQuiet(2 * kSmallChunk, 3 * kSmallChunk + 20);
  ResultBuilder doc;
  m.OnFrame(AudioFrame{audio.data(), 2 * kSmallChunk * kShift, 16000.0f, 0}, &doc);
  EXPECT_NE(doc.SnapshotJson().find("\"partial\":\"chao\""), std::string::npos)
      << doc.SnapshotJson();
  m.OnFrame(AudioFrame{audio.data() + 2 * kSmallChunk * kShift,
                       audio.size() - 2 * kSmallChunk * kShift, 16000.0f, 0},
            &doc);
  EXPECT_EQ(m.chunk_offset(), 5 * kSmallOutputs);
  ASSERT_EQ(m.states().size(), 2u);
  EXPECT_EQ(m.states()[0], std::vector<float>(3, 5.0f));
  EXPECT_EQ(m.states()[1], std::vector<float>(20, 10.0f));
  m.OnFinalize(&doc);
  const std::string final_doc = doc.FinalJson();
  EXPECT_EQ(final_doc.rfind("{\"text\":\"chao\",\"partial\":\"chao\",\"is_final\":true", 0), 0u)
      << final_doc;
  // Segment times follow the geometry: speech in output frames 0..5 of both chunks.
  EXPECT_NE(final_doc.find("\"start\":0,\"end\":0.51"), std::string::npos) << final_doc;
}

TEST_F(ModelFolderTest, AnotherGeometryStreamsThroughAPipeline) {
  Pipeline p;
  ASSERT_TRUE(p.AddModule("vad", "{}").ok());
  ASSERT_TRUE(p.AddModule("orvane", FolderConfig(tm::Path("small_geometry"))).ok());
  const Status built = p.Build();
  ASSERT_TRUE(built.ok()) << built.message;
  std::unique_ptr<Session> session = p.NewSession(16000.0f);
  ASSERT_NE(session, nullptr);
  const std::vector<float> audio = LoudThenQuiet(3 * kSmallChunk, 2 * kSmallChunk);
  session->AcceptWaveformF32(audio.data(), static_cast<int>(audio.size() / 2));
  EXPECT_NE(session->Partial().find("\"partial\":\"chao\""), std::string::npos);
  session->AcceptWaveformF32(audio.data() + audio.size() / 2,
                             static_cast<int>(audio.size() - audio.size() / 2));
  EXPECT_EQ(session->Final().rfind("{\"text\":\"chao\",", 0), 0u) << session->Final();
}

TEST_F(ModelFolderTest, EveryBadFolderFailsTheBuildNamingTheFile) {
  TempDir tmp;
  const std::string good = tm::Path("small_geometry");
  const std::string model = ReadText(good + "/model.onnx");
  const std::string units = ReadText(good + "/units.txt");
  struct Case {
    const char* name;
    std::string model;  // "-" for no file
    std::string units;
    const char* named;  // file the message must name
    const char* problem;
  };
  const Case cases[] = {
      {"no_model", "-", units, "no_model/model.onnx", "no such file"},
      {"no_units", model, "-", "no_units/units.txt", "no such file"},
      {"empty_model", "", units, "empty_model/model.onnx", "file is empty"},
      {"not_onnx", "not a model at all", units, "not_onnx/model.onnx", "not a model the engine"},
      {"truncated", model.substr(0, model.size() / 2), units, "truncated/model.onnx",
       "not a model the engine"},
      {"seven_units", model, units.substr(0, units.rfind('\n', units.size() - 2) + 1),
       "seven_units/model.onnx", "model output 'output' gives 8 scores per frame but the "
       "vocabulary has 7 units"},
      {"blank_units", model, "\n\n", "blank_units/units.txt", "units text is empty"},
  };
  std::vector<std::pair<std::string, std::string>> folders;  // folder, expected text
  for (const Case& c : cases) {
    const std::string dir = tmp.Sub(c.name);
    std::filesystem::create_directories(dir);
    if (c.model != "-") WriteText(dir + "/model.onnx", c.model);
    if (c.units != "-") WriteText(dir + "/units.txt", c.units);
    folders.emplace_back(dir, std::string(c.named) + ": " + c.problem);
  }
  const std::string dir_model = tmp.Sub("model_is_a_folder");
  std::filesystem::create_directories(dir_model + "/model.onnx");
  WriteText(dir_model + "/units.txt", units);
  folders.emplace_back(dir_model, "model_is_a_folder/model.onnx: not a regular file");
  folders.emplace_back(tmp.Sub("missing"), "model folder " + tmp.Sub("missing") + ": no such folder");
  WriteText(tmp.Sub("plain_file"), "x");
  folders.emplace_back(tmp.Sub("plain_file"), "plain_file: not a folder");

  for (const auto& [dir, expected] : folders) {
    SCOPED_TRACE(dir);
    // A module that held a model before: a failed folder leaves nothing of either behind.
    OrvaneModule m;
    ModuleConfig config;
    config.json = FolderConfig(good);
    ASSERT_TRUE(m.Init(config, nullptr, engine_.get()).ok());
    config.json = FolderConfig(dir);
    const Status s = m.Init(config, nullptr, engine_.get());
    EXPECT_NE(s.code, 0);
    EXPECT_NE(s.message.find(expected), std::string::npos) << s.message;
    EXPECT_FALSE(m.model_loaded());
    EXPECT_EQ(m.units().size(), 0u);

    Pipeline p;
    ASSERT_TRUE(p.AddModule("orvane", FolderConfig(dir)).ok());
    const Status built = p.Build();
    EXPECT_NE(built.code, 0);
    EXPECT_EQ(built.message.rfind("module init failed [orvane]: ", 0), 0u) << built.message;
    EXPECT_NE(built.message.find(expected), std::string::npos) << built.message;
    EXPECT_FALSE(p.built());
    EXPECT_EQ(p.NewSession(16000.0f), nullptr);
  }
  Pipeline p;
  ASSERT_TRUE(p.AddModule("orvane", "{\"model_dir\":7}").ok());
  EXPECT_EQ(p.Build().message,
            "module init failed [orvane]: orvane configuration: \"model_dir\" must be a string");
}

// A folder's own language model: a good one loads with the folder; a truncated one fails the build
// naming the file.
TEST_F(ModelFolderTest, FolderLanguageModelIsCheckedAndUsed) {
  TempDir tmp;
  const std::string good = tm::Path("small_geometry");
  const std::string lm = testing_support::BuildLm(2, {"ba"}, {{{"ba"}, -0.1f, 0.0f}});
  for (const auto& [name, bytes] : {std::make_pair(std::string("with_lm"), lm),
                                    std::make_pair(std::string("bad_lm"), lm.substr(0, 40))}) {
    const std::string dir = tmp.Sub(name);
    std::filesystem::create_directories(dir);
    WriteText(dir + "/model.onnx", ReadText(good + "/model.onnx"));
    WriteText(dir + "/units.txt", ReadText(good + "/units.txt"));
    WriteText(dir + "/lm.bin", bytes);
    Pipeline p;
    ASSERT_TRUE(p.AddModule("orvane", FolderConfig(dir)).ok());
    const Status built = p.Build();
    if (name == "with_lm") {
      EXPECT_TRUE(built.ok()) << built.message;
    } else {
      EXPECT_EQ(built.code, -3);
      EXPECT_NE(built.message.find("bad_lm/lm.bin: language model: truncated"), std::string::npos)
          << built.message;
    }
  }
}

}  // namespace
}  // namespace orvane
