// UnitTrie: a prefix tree over sequences of unit ids, shared by the syllable scorer (spellings of the
// language model's syllables) and the hotwords (spellings of the phrases).
#ifndef ORVANE_ASR_UNIT_TRIE_H_
#define ORVANE_ASR_UNIT_TRIE_H_

#include <cstddef>
#include <cstdint>
#include <map>
#include <utility>
#include <vector>

namespace orvane {

// Node 0 is the root. Insert while building, then Freeze once; Child is valid only after Freeze.
class UnitTrie {
 public:
  UnitTrie();

  // The node reached by `units` from the root, created as needed.
  int32_t Insert(const std::vector<int>& units);
  void Freeze();

  // The node reached from `node` by `unit`, or -1.
  int32_t Child(int32_t node, int unit) const;
  bool HasChildren(int32_t node) const;
  int32_t num_nodes() const { return static_cast<int32_t>(child_count_.size()); }
  size_t memory_bytes() const;

 private:
  static uint64_t Key(int32_t node, int unit) {
    return (static_cast<uint64_t>(static_cast<uint32_t>(node)) << 32) | static_cast<uint32_t>(unit);
  }
  std::map<uint64_t, int32_t> building_;
  std::vector<std::pair<uint64_t, int32_t>> edges_;  // sorted by key after Freeze
  std::vector<int32_t> child_count_;                  // per node
};

}  // namespace orvane

#endif  // ORVANE_ASR_UNIT_TRIE_H_
