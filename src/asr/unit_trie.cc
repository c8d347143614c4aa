// UnitTrie: edges kept as one sorted array of (node, unit) keys, found by binary search.
#include "asr/unit_trie.h"

#include <algorithm>

namespace orvane {

UnitTrie::UnitTrie() : child_count_(1, 0) {}

int32_t UnitTrie::Insert(const std::vector<int>& units) {
  int32_t node = 0;
  for (int unit : units) {
    auto it = building_.find(Key(node, unit));
    if (it != building_.end()) {
      node = it->second;
      continue;
    }
    const int32_t child = static_cast<int32_t>(child_count_.size());
    child_count_.push_back(0);
    ++child_count_[node];
    building_.emplace(Key(node, unit), child);
    node = child;
  }
  return node;
}

void UnitTrie::Freeze() {
  edges_.assign(building_.begin(), building_.end());
  building_.clear();
}

int32_t UnitTrie::Child(int32_t node, int unit) const {
  if (node < 0) return -1;
  const uint64_t key = Key(node, unit);
  auto it = std::lower_bound(edges_.begin(), edges_.end(), key,
                             [](const std::pair<uint64_t, int32_t>& e, uint64_t k) { return e.first < k; });
  return it != edges_.end() && it->first == key ? it->second : -1;
}

bool UnitTrie::HasChildren(int32_t node) const {
  return node >= 0 && node < num_nodes() && child_count_[node] > 0;
}

size_t UnitTrie::memory_bytes() const {
  return edges_.capacity() * sizeof(edges_[0]) + child_count_.capacity() * sizeof(int32_t);
}

}  // namespace orvane
