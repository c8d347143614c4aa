// Embedded assets: the accessors over the library's own symbols, and the assembler embedding itself,
// checked through a second copy built with the generated test model and vocabulary under the
// prefix orvane_test.
#include "orvane/embedded_assets.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "test_models.h"

extern "C" {
extern const unsigned char orvane_test_model_onnx[];
extern const uint64_t orvane_test_model_onnx_size;
extern const char orvane_test_vocab[];
extern const uint64_t orvane_test_vocab_size;
}

namespace orvane {
namespace {

bool Aligned16(const void* p) { return reinterpret_cast<uintptr_t>(p) % 16 == 0; }

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST(EmbeddedAssetsTest, AccessorsMirrorTheLibrarySymbols) {
  const auto model = EmbeddedAsrModel();
  const auto vocab = EmbeddedAsrVocab();
  EXPECT_EQ(model.second, orvane_asr_model_onnx_size);
  EXPECT_EQ(vocab.second, orvane_asr_vocab_size);
  // An absent asset reads as null and 0, a present one as its symbol.
  EXPECT_EQ(model.first == nullptr, model.second == 0);
  EXPECT_EQ(vocab.first == nullptr, vocab.second == 0);
  if (model.second != 0) EXPECT_EQ(model.first, static_cast<const void*>(orvane_asr_model_onnx));
  if (vocab.second != 0) EXPECT_EQ(vocab.first, orvane_asr_vocab);
}

TEST(EmbeddedAssetsTest, AccessorsAreStable) {
  EXPECT_EQ(EmbeddedAsrModel(), EmbeddedAsrModel());
  EXPECT_EQ(EmbeddedAsrVocab(), EmbeddedAsrVocab());
}

TEST(EmbeddedAssetsTest, LibrarySymbolsAreAlignedAndSizesFollowTheVocabulary) {
  EXPECT_TRUE(Aligned16(orvane_asr_model_onnx));
  EXPECT_TRUE(Aligned16(orvane_asr_vocab));
  EXPECT_TRUE(Aligned16(&orvane_asr_model_onnx_size));
  EXPECT_TRUE(Aligned16(&orvane_asr_vocab_size));
  const char* vocab_end = orvane_asr_vocab + orvane_asr_vocab_size;
  EXPECT_GE(reinterpret_cast<const char*>(&orvane_asr_model_onnx_size), vocab_end);
  EXPECT_LT(&orvane_asr_model_onnx_size, &orvane_asr_vocab_size);
}

TEST(EmbeddedAssetsTest, ShippedVocabularyWhenPresentIsUnitsText) {
  const auto vocab = EmbeddedAsrVocab();
  if (vocab.second == 0) GTEST_SKIP() << "this build embeds no vocabulary";
  const std::string text(vocab.first, vocab.second);
  EXPECT_EQ(text.compare(0, 10, "<blank> 0\n"), 0);
  EXPECT_EQ(text.back(), '\n');
}

TEST(EmbeddedAssetsTest, ShippedModelWhenPresentStartsWithTheIrVersionField) {
  const auto model = EmbeddedAsrModel();
  if (model.second == 0) GTEST_SKIP() << "this build embeds no model";
  const unsigned char* bytes = static_cast<const unsigned char*>(model.first);
  EXPECT_EQ(bytes[0], 0x08);  // field 1 (ir_version), varint
}

#if defined(ORVANE_TEST_ASSETS_EMBEDDED)
TEST(EmbeddedAssetsTest, IncbinCopiesTheFilesByteForByte) {
  const std::string model = ReadFile(test_models::Path("recognition.onnx"));
  const std::string vocab = ReadFile(test_models::Path("recognition_vocab.txt"));
  ASSERT_FALSE(model.empty());
  ASSERT_FALSE(vocab.empty());
  ASSERT_EQ(orvane_test_model_onnx_size, model.size());
  ASSERT_EQ(orvane_test_vocab_size, vocab.size());
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(orvane_test_model_onnx), model.size()), model);
  EXPECT_EQ(std::string(orvane_test_vocab, vocab.size()), vocab);
}
#endif

TEST(EmbeddedAssetsTest, IncbinSymbolsAreAlignedInOrder) {
  EXPECT_TRUE(Aligned16(orvane_test_model_onnx));
  EXPECT_TRUE(Aligned16(orvane_test_vocab));
  EXPECT_TRUE(Aligned16(&orvane_test_model_onnx_size));
  EXPECT_TRUE(Aligned16(&orvane_test_vocab_size));
  EXPECT_GE(static_cast<const void*>(orvane_test_vocab),
            static_cast<const void*>(orvane_test_model_onnx + orvane_test_model_onnx_size));
  EXPECT_GE(reinterpret_cast<const char*>(&orvane_test_model_onnx_size),
            orvane_test_vocab + orvane_test_vocab_size);
}

}  // namespace
}  // namespace orvane
