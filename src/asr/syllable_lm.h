// SyllableLm: a read-only n-gram language model over syllables in the library's binary format
// (written by training/lm.py; the layout is described there), used in place without parsing text.
#ifndef ORVANE_ASR_SYLLABLE_LM_H_
#define ORVANE_ASR_SYLLABLE_LM_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "orvane/status.h"

namespace orvane {

// Immutable after Open; any number of threads may query one instance. Log probabilities are natural
// logarithms.
class SyllableLm {
 public:
  static constexpr int kMaxOrder = 6;
  static constexpr int32_t kUnk = 0;
  static constexpr int32_t kBos = 1;
  static constexpr int32_t kEos = 2;

  // Checks the whole image (header, sizes, word list, every record's word id, child ranges, finite
  // values) before accepting it, so that no later query can read outside it. `bytes` must outlive
  // the model when `copy` is false (the embedded image); with `copy` true (or when `bytes` is not
  // 8-byte aligned) the image is copied. Failure: code -3, "language model: " + the first problem.
  static Status Open(const void* bytes, size_t size, bool copy, std::shared_ptr<const SyllableLm>* out);

  int order() const { return order_; }
  int32_t vocab_size() const { return vocab_size_; }
  const std::string& Word(int32_t id) const;  // empty for an id outside the vocabulary
  int32_t WordId(const std::string& word) const;  // kUnk when absent
  size_t image_bytes() const { return size_; }

  // log p(word | history), backing off through shorter histories. `history` holds `length` word ids,
  // oldest first; only the last order() - 1 are used. Ids outside the vocabulary count as kUnk.
  double LogProb(const int32_t* history, int length, int32_t word) const;

 private:
  SyllableLm() = default;
  Status Parse();
  // Record of `word` among order-`n` records [begin, end), or -1.
  int64_t Find(int n, uint64_t begin, uint64_t end, int32_t word) const;
  uint32_t RecordWord(int n, uint64_t i) const;
  float RecordLogProb(int n, uint64_t i) const;
  float RecordBackoff(int n, uint64_t i) const;
  uint32_t FirstChild(int n, uint64_t i) const;

  std::vector<uint64_t> owned_;  // the image when copied (8-byte aligned storage)
  const unsigned char* base_ = nullptr;
  size_t size_ = 0;
  int order_ = 0;
  int32_t vocab_size_ = 0;
  uint64_t counts_[kMaxOrder + 1] = {};
  const unsigned char* records_[kMaxOrder + 1] = {};
  std::vector<std::string> words_;
  std::vector<int32_t> sorted_ids_;  // word ids sorted by word text, for WordId
};

}  // namespace orvane

#endif  // ORVANE_ASR_SYLLABLE_LM_H_
