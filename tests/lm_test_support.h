// Builds small syllable language models in the library's binary format (the layout of
// training/lm.py) for tests: n-grams given explicitly with their log probabilities and backoffs.
#ifndef ORVANE_TESTS_LM_TEST_SUPPORT_H_
#define ORVANE_TESTS_LM_TEST_SUPPORT_H_

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace orvane {
namespace testing_support {

struct NGram {
  std::vector<std::string> words;
  float log_prob;
  float backoff;  // ignored at the highest order
};

// `words` after "<unk>", "<s>", "</s>"; every word needs a unigram, given or defaulted to `floor`.
// Contexts of higher n-grams must be given as n-grams themselves.
inline std::string BuildLm(int order, const std::vector<std::string>& words,
                           const std::vector<NGram>& grams, float floor = -5.0f) {
  std::vector<std::string> vocab = {"<unk>", "<s>", "</s>"};
  vocab.insert(vocab.end(), words.begin(), words.end());
  std::map<std::string, uint32_t> id;
  for (size_t i = 0; i < vocab.size(); ++i) id[vocab[i]] = static_cast<uint32_t>(i);
  // Per order: key (ids) -> (log_prob, backoff).
  std::vector<std::map<std::vector<uint32_t>, std::pair<float, float>>> by(order + 1);
  for (uint32_t i = 0; i < vocab.size(); ++i) by[1][{i}] = {floor, 0.0f};
  for (const NGram& g : grams) {
    std::vector<uint32_t> key;
    for (const std::string& w : g.words) key.push_back(id.at(w));
    by[key.size()][key] = {g.log_prob, g.backoff};
  }
  std::string out("ORVSYLM1", 8);
  auto u32 = [&out](uint32_t v) { out.append(reinterpret_cast<const char*>(&v), 4); };
  auto u64 = [&out](uint64_t v) { out.append(reinterpret_cast<const char*>(&v), 8); };
  auto f32 = [&out](float v) { out.append(reinterpret_cast<const char*>(&v), 4); };
  u32(1);
  u32(static_cast<uint32_t>(order));
  u32(static_cast<uint32_t>(vocab.size()));
  u32(0);
  for (int n = 1; n <= order; ++n) u64(by[n].size());
  std::string text;
  for (const std::string& w : vocab) text += w + "\n";
  u64(text.size());
  out += text;
  out.resize((out.size() + 7) / 8 * 8, '\0');
  for (int n = 1; n <= order; ++n) {
    std::vector<std::vector<uint32_t>> keys;
    for (const auto& kv : by[n]) keys.push_back(kv.first);  // map order: by prefix, then word
    if (n < order) {
      uint32_t child = 0;
      for (const auto& key : keys) {
        u32(key.back());
        f32(by[n][key].first);
        f32(by[n][key].second);
        u32(child);
        for (const auto& kv : by[n + 1]) {
          if (std::equal(key.begin(), key.end(), kv.first.begin())) ++child;
        }
      }
      u32(0);
      f32(0);
      f32(0);
      u32(child);
    } else {
      for (const auto& key : keys) {
        u32(key.back());
        f32(by[n][key].first);
      }
    }
    out.resize((out.size() + 7) / 8 * 8, '\0');
  }
  return out;
}

}  // namespace testing_support
}  // namespace orvane

#endif  // ORVANE_TESTS_LM_TEST_SUPPORT_H_
