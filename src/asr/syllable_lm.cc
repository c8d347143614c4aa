// SyllableLm: validation of the binary image and back-off queries over its sorted record arrays.
#include "asr/syllable_lm.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace orvane {
namespace {

constexpr char kMagic[8] = {'O', 'R', 'V', 'S', 'Y', 'L', 'M', '1'};
constexpr uint32_t kVersion = 1;
constexpr size_t kInnerRecord = 16;  // u32 word, f32 log_prob, f32 backoff, u32 first_child
constexpr size_t kLastRecord = 8;    // u32 word, f32 log_prob
// Far above any syllable inventory; keeps the size arithmetic below free of overflow.
constexpr uint64_t kMaxCount = uint64_t{1} << 32;

uint32_t ReadU32(const unsigned char* p) {
  uint32_t v;
  std::memcpy(&v, p, sizeof v);
  return v;
}
uint64_t ReadU64(const unsigned char* p) {
  uint64_t v;
  std::memcpy(&v, p, sizeof v);
  return v;
}
float ReadF32(const unsigned char* p) {
  float v;
  std::memcpy(&v, p, sizeof v);
  return v;
}
uint64_t Pad8(uint64_t n) { return (n + 7) & ~uint64_t{7}; }

Status Bad(const std::string& what) { return Status(-3, "language model: " + what); }

}  // namespace

Status SyllableLm::Open(const void* bytes, size_t size, bool copy,
                        std::shared_ptr<const SyllableLm>* out) {
  out->reset();
  if (bytes == nullptr || size == 0) return Bad("empty");
  std::shared_ptr<SyllableLm> lm(new SyllableLm);
  if (copy || reinterpret_cast<uintptr_t>(bytes) % 8 != 0) {
    lm->owned_.resize((size + 7) / 8);
    std::memcpy(lm->owned_.data(), bytes, size);
    lm->base_ = reinterpret_cast<const unsigned char*>(lm->owned_.data());
  } else {
    lm->base_ = static_cast<const unsigned char*>(bytes);
  }
  lm->size_ = size;
  Status status = lm->Parse();
  if (!status.ok()) return status;
  *out = std::move(lm);
  return Status();
}

Status SyllableLm::Parse() {
  if (size_ < 32 || std::memcmp(base_, kMagic, sizeof kMagic) != 0) return Bad("not a syllable model");
  if (ReadU32(base_ + 8) != kVersion) return Bad("unsupported version " + std::to_string(ReadU32(base_ + 8)));
  const uint32_t order = ReadU32(base_ + 12);
  if (order < 1 || order > kMaxOrder) return Bad("order " + std::to_string(order) + " outside 1..6");
  order_ = static_cast<int>(order);
  uint64_t pos = 24;
  if (size_ < pos + 8 * (order + 1)) return Bad("truncated header");
  for (int n = 1; n <= order_; ++n) {
    counts_[n] = ReadU64(base_ + pos);
    pos += 8;
    if (counts_[n] >= kMaxCount) return Bad("implausible n-gram count");
  }
  const uint64_t word_bytes = ReadU64(base_ + pos);
  pos += 8;
  const uint32_t vocab = ReadU32(base_ + 16);
  if (vocab < 3 || counts_[1] != vocab) return Bad("vocabulary size does not match the unigrams");
  vocab_size_ = static_cast<int32_t>(vocab);
  if (word_bytes > size_ - pos) return Bad("truncated word list");
  // Every word takes at least its line feed: bounds the vocabulary by the image before allocating.
  if (vocab > word_bytes) return Bad("word list does not hold the vocabulary");

  // Words: exactly `vocab` lines.
  words_.clear();
  words_.reserve(vocab);
  const char* text = reinterpret_cast<const char*>(base_ + pos);
  size_t start = 0;
  for (size_t i = 0; i < word_bytes; ++i) {
    if (text[i] != '\n') continue;
    if (words_.size() == vocab) return Bad("more words than the vocabulary size");
    words_.emplace_back(text + start, i - start);
    start = i + 1;
  }
  if (start != word_bytes || words_.size() != vocab) return Bad("word list does not hold the vocabulary");
  pos = Pad8(pos + word_bytes);

  for (int n = 1; n <= order_; ++n) {
    const uint64_t bytes =
        n < order_ ? (counts_[n] + 1) * kInnerRecord : counts_[n] * kLastRecord;
    if (pos > size_ || bytes > size_ - pos) return Bad("truncated at order " + std::to_string(n));
    records_[n] = base_ + pos;
    pos = Pad8(pos + bytes);
  }
  if (pos != Pad8(size_)) return Bad("size does not match the n-gram counts");

  // Every record: word in range, finite values, children ranges ascending and in bounds, children
  // sorted by word (binary search relies on it), order-1 record i is word i.
  for (int n = 1; n <= order_; ++n) {
    for (uint64_t i = 0; i < counts_[n]; ++i) {
      const uint32_t w = RecordWord(n, i);
      if (w >= vocab) return Bad("word id out of range at order " + std::to_string(n));
      if (n == 1 && w != i) return Bad("unigrams out of order");
      if (!std::isfinite(RecordLogProb(n, i)) || RecordLogProb(n, i) > 1e-3f) {
        return Bad("bad probability at order " + std::to_string(n));
      }
      if (n < order_ && !std::isfinite(RecordBackoff(n, i))) {
        return Bad("bad backoff at order " + std::to_string(n));
      }
    }
    if (n == order_) continue;
    if (FirstChild(n, 0) != 0 || FirstChild(n, counts_[n]) != counts_[n + 1]) {
      return Bad("child ranges do not cover order " + std::to_string(n + 1));
    }
    // All ranges ascending (so within the next order's records) before any child is read.
    for (uint64_t i = 0; i < counts_[n]; ++i) {
      if (FirstChild(n, i + 1) < FirstChild(n, i)) {
        return Bad("child ranges out of order at order " + std::to_string(n));
      }
    }
    for (uint64_t i = 0; i < counts_[n]; ++i) {
      const uint64_t b = FirstChild(n, i);
      const uint64_t e = FirstChild(n, i + 1);
      for (uint64_t c = b + 1; c < e; ++c) {
        if (RecordWord(n + 1, c - 1) >= RecordWord(n + 1, c)) {
          return Bad("children not sorted at order " + std::to_string(n + 1));
        }
      }
    }
  }
  sorted_ids_.resize(vocab);
  for (uint32_t i = 0; i < vocab; ++i) sorted_ids_[i] = static_cast<int32_t>(i);
  std::sort(sorted_ids_.begin(), sorted_ids_.end(),
            [this](int32_t a, int32_t b) { return words_[a] < words_[b]; });
  return Status();
}

uint32_t SyllableLm::RecordWord(int n, uint64_t i) const {
  return ReadU32(records_[n] + i * (n < order_ ? kInnerRecord : kLastRecord));
}
float SyllableLm::RecordLogProb(int n, uint64_t i) const {
  return ReadF32(records_[n] + i * (n < order_ ? kInnerRecord : kLastRecord) + 4);
}
float SyllableLm::RecordBackoff(int n, uint64_t i) const {
  return ReadF32(records_[n] + i * kInnerRecord + 8);
}
uint32_t SyllableLm::FirstChild(int n, uint64_t i) const {
  return ReadU32(records_[n] + i * kInnerRecord + 12);
}

const std::string& SyllableLm::Word(int32_t id) const {
  static const std::string kNone;
  return id >= 0 && id < vocab_size_ ? words_[id] : kNone;
}

int32_t SyllableLm::WordId(const std::string& word) const {
  auto it = std::lower_bound(sorted_ids_.begin(), sorted_ids_.end(), word,
                             [this](int32_t id, const std::string& w) { return words_[id] < w; });
  return it != sorted_ids_.end() && words_[*it] == word ? *it : kUnk;
}

int64_t SyllableLm::Find(int n, uint64_t begin, uint64_t end, int32_t word) const {
  const uint32_t w = static_cast<uint32_t>(word);
  while (begin < end) {
    const uint64_t mid = begin + (end - begin) / 2;
    const uint32_t m = RecordWord(n, mid);
    if (m == w) return static_cast<int64_t>(mid);
    if (m < w) {
      begin = mid + 1;
    } else {
      end = mid;
    }
  }
  return -1;
}

double SyllableLm::LogProb(const int32_t* history, int length, int32_t word) const {
  auto valid = [this](int32_t id) { return id >= 0 && id < vocab_size_ ? id : kUnk; };
  word = valid(word);
  double result = RecordLogProb(1, static_cast<uint64_t>(word));
  double backoff = 0.0;
  const int usable = std::min(length, order_ - 1);
  // For each longer context (last k history words), walk down from its oldest word.
  for (int k = 1; k <= usable; ++k) {
    int64_t node = valid(history[length - k]);
    for (int j = k - 1; j >= 1 && node >= 0; --j) {
      const int level = k - j;  // order of `node`
      node = Find(level + 1, FirstChild(level, node), FirstChild(level, node + 1),
                  valid(history[length - j]));
    }
    if (node < 0) continue;  // this context is not stored: its backoff weight is 1
    const int64_t hit = Find(k + 1, FirstChild(k, node), FirstChild(k, node + 1), word);
    if (hit >= 0) {
      result = RecordLogProb(k + 1, hit);
      backoff = 0.0;
    } else {
      backoff += RecordBackoff(k, node);
    }
  }
  return result + backoff;
}

}  // namespace orvane
