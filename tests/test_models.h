// Paths and constants of the generated test models (tests/models/make_test_models.py, which
// documents each model's function). The models are written to $ORVANE_TEST_DATA/models at build time.
#ifndef ORVANE_TESTS_TEST_MODELS_H_
#define ORVANE_TESTS_TEST_MODELS_H_

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>

namespace orvane {
namespace test_models {

// recognition.onnx: the recogniser's model contract.
constexpr int kChunkFrames = 43;
constexpr int kFeatureBins = 80;
constexpr int kOutputFrames = 10;       // output frame t looks at feature frames 4t..4t+3
constexpr int kVocabSize = 8;           // width of "output"; recognition_vocab.txt has 8 units
constexpr int kBlankId = 0;             // chosen when the frames' mean is at most kModerateThreshold
constexpr int kModerateId = 2;          // mean above kModerateThreshold ("\u2581xin")
constexpr int kLoudId = 3;              // mean above kLoudThreshold ("\u2581chao")
constexpr float kModerateThreshold = 12.0f;
constexpr float kLoudThreshold = 18.0f;
constexpr float kChosenScore = 0.0f;    // score of the chosen id in a row
constexpr float kOtherScore = -20.0f;   // score of every other id
constexpr int64_t kAttCacheSize = 12 * 4 * 40 * 224;  // r_att_cache = att_cache + 1
constexpr int64_t kCnnCacheSize = 12 * 448 * 30;      // r_cnn_cache = cnn_cache + offset

// Folder of the generated models, e.g. "<build>/tests/data/models".
inline std::string Dir() {
  const char* data = std::getenv("ORVANE_TEST_DATA");
  return std::string(data != nullptr ? data : "tests/data") + "/models";
}

// Full path of one generated file: "recognition.onnx", "recognition_vocab.txt", "int64_input.onnx",
// "scalar_output.onnx", "double_input.onnx", "int64_output.onnx", "string_output.onnx",
// "two_inputs.onnx", "stored_weights.onnx".
inline std::string Path(const std::string& name) { return Dir() + "/" + name; }

// False when the build could not generate the models (no Python onnx); tests then skip.
inline bool Available() {
  std::ifstream in(Path("recognition.onnx"), std::ios::binary);
  return in.good();
}

}  // namespace test_models
}  // namespace orvane

#endif  // ORVANE_TESTS_TEST_MODELS_H_
