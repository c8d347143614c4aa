// CtcBeamSearch: CTC prefix beam search with reusable per-frame buffers.
//
// Prefixes live in a small vector of beams rather than an ordered map keyed by prefix. Candidates of
// a frame are named by (source beam, appended token or none) and are only turned into prefix vectors
// when they survive the cut to beam_size. Each candidate field receives at most two contributions
// (the parent's extension and the prefix's own repeat), and LogSumExp is symmetric, so the scores do
// not depend on the order in which beams are visited.
//
// Language model and hotwords: each beam carries their states for its prefix. A candidate's states
// are derived from its source beam and appended token once, when the candidate is created; since
// they depend only on the prefix, a candidate that is also a live beam simply keeps that beam's.
// Candidates are ranked by acoustic total + context score; the beams keep acoustic scores only.
#include "orvane/ctc_beam_search.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>
#include <utility>

#include "asr/hotword_trie.h"
#include "asr/syllable_scorer.h"

namespace orvane {

namespace {

constexpr double kNegInf = -std::numeric_limits<double>::infinity();

// Only rank ordering is needed: NaN ranks below everything so the orderings stay strict weak orders.
inline double RankKey(double v) { return std::isnan(v) ? kNegInf : v; }

// Incremental hash of a prefix, used to find a beam's parent among the beams; matches are verified.
inline uint64_t ExtendHash(uint64_t h, int token) {
  uint64_t x = h + 0x9e3779b97f4a7c15ULL + static_cast<uint32_t>(token);
  x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9ULL;
  x = (x ^ (x >> 27)) * 0x94d049bb133111ebULL;
  return x ^ (x >> 31);
}

constexpr uint64_t kEmptyHash = 0x6a09e667f3bcc909ULL;

}  // namespace

struct CtcBeamSearch::Impl {
  // Language-model and hotword states of a prefix and the score they add to its acoustic total.
  struct Context {
    SyllableScorer::State lm{};
    HotwordTrie::State hot{};
    double score = 0.0;
  };
  struct Beam {
    std::vector<int> prefix;
    uint64_t hash = kEmptyHash;         // of prefix
    uint64_t parent_hash = kEmptyHash;  // of prefix without its last token
    Score score{kNegInf, kNegInf};
    Context context;
  };
  // A prefix of the next frame: beams[beam].prefix, followed by `token` when token >= 0.
  struct Candidate {
    int beam;
    int token;
    Score score;
    double total;
    Context context;
  };

  CtcBeamSearchConfig config;
  std::shared_ptr<const SyllableScorer> lm;
  std::shared_ptr<const HotwordTrie> hotwords;
  int beam_limit = 0;  // config.beam_size clamped at zero

  std::vector<Beam> beams;  // first num_beams are live; the rest keep their capacity
  int num_beams = 0;
  std::vector<Beam> spare;  // next frame's beams are built here, then swapped in

  // Per-frame scratch, reused.
  std::vector<int> top_ids;        // selected tokens, best first
  std::vector<float> top_keys;     // their scores while selecting, NaN as -inf
  std::vector<double> top_lp;      // their log posteriors
  std::vector<int> sort_ids;       // index array for large selections
  std::vector<Candidate> cands;
  std::vector<int> self_cand;      // per beam: candidate for the unchanged prefix, or -1
  std::vector<int> child_head;     // per beam: first beam whose parent it is, or -1
  std::vector<int> child_next;     // per beam: next sibling, or -1
  std::vector<int> order;          // candidate indices for the cut

  int best_token = -1;
  double best_lp = kNegInf;
  double log_normaliser = kNegInf;

  // Lexicographic comparison of candidate prefixes (only needed on exact score ties).
  bool CandidateLess(const Candidate& a, const Candidate& b) const {
    const std::vector<int>& pa = beams[a.beam].prefix;
    const std::vector<int>& pb = beams[b.beam].prefix;
    const size_t na = pa.size() + (a.token >= 0 ? 1 : 0);
    const size_t nb = pb.size() + (b.token >= 0 ? 1 : 0);
    const size_t n = std::min(na, nb);
    for (size_t i = 0; i < n; ++i) {
      const int x = i < pa.size() ? pa[i] : a.token;
      const int y = i < pb.size() ? pb[i] : b.token;
      if (x != y) return x < y;
    }
    return na < nb;
  }

  void StartContext(Context* c) const {
    *c = Context();
    if (lm) lm->Start(&c->lm);
    if (hotwords) HotwordTrie::Start(&c->hot);
  }
  void ExtendContext(const Context& from, int token, Context* to) const {
    to->score = 0.0;
    if (lm) {
      lm->Advance(from.lm, token, &to->lm);
      to->score += SyllableScorer::Score(to->lm);
    }
    if (hotwords) {
      hotwords->Advance(from.hot, token, &to->hot);
      to->score += hotwords->Score(to->hot);
    }
  }
  // What the context adds when a prefix is reported: an unfinished hotword match earns nothing.
  double FinalContextScore(const Context& c) const {
    double score = 0.0;
    if (lm) score += SyllableScorer::Score(c.lm);
    if (hotwords) score += HotwordTrie::FinalScore(c.hot);
    return score;
  }
  int BestBeam() const;

  void SelectTokens(const float* logits, int n, int k);
  void LinkParents();
  int TouchSelf(int beam);
  void Cut();
};

void CtcBeamSearch::Impl::SelectTokens(const float* logits, int n, int k) {
  top_ids.clear();
  if (k <= 0) return;
  // Higher score first; equal scores by lower id.
  auto better = [logits](int a, int b) {
    const double ka = RankKey(logits[a]);
    const double kb = RankKey(logits[b]);
    return ka > kb || (ka == kb && a < b);
  };
  if (k <= 64) {
    // Insertion into a short list sorted by score. Tokens arrive in id order, so a token displaces
    // a kept one only with a strictly higher score (equal scores keep the lower id); NaN ranks as
    // -inf. Once the list is full most tokens cost one comparison with the worst kept score.
    constexpr float kLowest = -std::numeric_limits<float>::infinity();
    top_keys.clear();
    for (int i = 0; i < n; ++i) {
      const float v = std::isnan(logits[i]) ? kLowest : logits[i];
      int pos = static_cast<int>(top_keys.size());
      if (pos == k) {
        if (!(v > top_keys[k - 1])) continue;
        --pos;
      } else {
        top_keys.push_back(v);
        top_ids.push_back(i);
      }
      while (pos > 0 && v > top_keys[pos - 1]) {
        top_keys[pos] = top_keys[pos - 1];
        top_ids[pos] = top_ids[pos - 1];
        --pos;
      }
      top_keys[pos] = v;
      top_ids[pos] = i;
    }
  } else {
    sort_ids.resize(n);
    for (int i = 0; i < n; ++i) sort_ids[i] = i;
    std::partial_sort(sort_ids.begin(), sort_ids.begin() + k, sort_ids.end(), better);
    top_ids.assign(sort_ids.begin(), sort_ids.begin() + k);
  }
}

// child_head/child_next: for every live beam, the live beams that extend it by exactly one token.
void CtcBeamSearch::Impl::LinkParents() {
  child_head.assign(num_beams, -1);
  child_next.assign(num_beams, -1);
  for (int j = 0; j < num_beams; ++j) {
    const std::vector<int>& pj = beams[j].prefix;
    if (pj.empty()) continue;
    for (int i = 0; i < num_beams; ++i) {
      const std::vector<int>& pi = beams[i].prefix;
      if (beams[i].hash != beams[j].parent_hash || pi.size() + 1 != pj.size()) continue;
      if (!std::equal(pi.begin(), pi.end(), pj.begin())) continue;
      child_next[j] = child_head[i];
      child_head[i] = j;
      break;  // prefixes of live beams are distinct
    }
  }
}

int CtcBeamSearch::Impl::TouchSelf(int beam) {
  int& c = self_cand[beam];
  if (c < 0) {
    c = static_cast<int>(cands.size());
    cands.push_back(Candidate{beam, -1, Score{kNegInf, kNegInf}, kNegInf, beams[beam].context});
  }
  return c;
}

// Keeps the beam_limit candidates with the highest totals (ties: smaller prefix) as the new beams.
void CtcBeamSearch::Impl::Cut() {
  for (Candidate& c : cands) {
    c.total = LogSumExp(c.score.log_blank, c.score.log_non_blank) + c.context.score;
  }
  order.resize(cands.size());
  for (size_t i = 0; i < cands.size(); ++i) order[i] = static_cast<int>(i);
  auto better = [this](int a, int b) {
    const Candidate& ca = cands[a];
    const Candidate& cb = cands[b];
    const double ka = RankKey(ca.total);
    const double kb = RankKey(cb.total);
    if (ka != kb) return ka > kb;
    return CandidateLess(ca, cb);
  };
  const int kept = std::min<int>(beam_limit, static_cast<int>(order.size()));
  if (kept < static_cast<int>(order.size())) {
    std::nth_element(order.begin(), order.begin() + kept, order.end(), better);
  }
  if (static_cast<int>(spare.size()) < kept) spare.resize(kept);
  // Extensions copy their source prefix first; unchanged prefixes are then moved, each source once.
  for (int s = 0; s < kept; ++s) {
    const Candidate& c = cands[order[s]];
    if (c.token < 0) continue;
    const Beam& src = beams[c.beam];
    Beam& dst = spare[s];
    dst.prefix.assign(src.prefix.begin(), src.prefix.end());
    dst.prefix.push_back(c.token);
    dst.parent_hash = src.hash;
    dst.hash = ExtendHash(src.hash, c.token);
    dst.score = c.score;
    dst.context = c.context;
  }
  for (int s = 0; s < kept; ++s) {
    const Candidate& c = cands[order[s]];
    if (c.token >= 0) continue;
    Beam& src = beams[c.beam];
    Beam& dst = spare[s];
    dst.prefix.swap(src.prefix);
    dst.parent_hash = src.parent_hash;
    dst.hash = src.hash;
    dst.score = c.score;
    dst.context = c.context;
  }
  beams.swap(spare);
  num_beams = kept;
}

CtcBeamSearch::CtcBeamSearch(const CtcBeamSearchConfig& config) : impl_(new Impl) {
  impl_->config = config;
  impl_->beam_limit = std::max<int32_t>(config.beam_size, 0);
  Reset();
}

CtcBeamSearch::~CtcBeamSearch() = default;
CtcBeamSearch::CtcBeamSearch(CtcBeamSearch&&) noexcept = default;
CtcBeamSearch& CtcBeamSearch::operator=(CtcBeamSearch&&) noexcept = default;

void CtcBeamSearch::Reset() {
  Impl& s = *impl_;
  if (s.beams.empty()) s.beams.resize(1);
  Impl::Beam& root = s.beams[0];
  root.prefix.clear();
  root.hash = kEmptyHash;
  root.parent_hash = kEmptyHash;
  root.score = Score{0.0, kNegInf};
  s.StartContext(&root.context);
  s.num_beams = 1;
  s.best_token = -1;
  s.best_lp = kNegInf;
  s.log_normaliser = kNegInf;
}

void CtcBeamSearch::Step(const float* logits, int num_tokens) {
  Impl& s = *impl_;
  if (logits == nullptr || num_tokens < 0) num_tokens = 0;
  const int k = static_cast<int>(
      std::min<int64_t>(2 * static_cast<int64_t>(s.beam_limit), static_cast<int64_t>(num_tokens)));

  s.SelectTokens(logits, num_tokens, k);
  const double denom = LogSoftmaxDenominator(logits, num_tokens);
  s.top_lp.resize(s.top_ids.size());
  for (size_t i = 0; i < s.top_ids.size(); ++i) {
    s.top_lp[i] = static_cast<double>(logits[s.top_ids[i]]) - denom;
  }
  s.best_token = s.top_ids.empty() ? -1 : s.top_ids[0];
  s.best_lp = s.top_ids.empty() ? kNegInf : s.top_lp[0];
  s.log_normaliser = s.top_ids.empty() ? kNegInf : denom;

  s.cands.clear();
  s.self_cand.assign(s.num_beams, -1);
  s.LinkParents();
  const int blank = s.config.blank_id;
  for (int b = 0; b < s.num_beams; ++b) {
    const Impl::Beam& beam = s.beams[b];
    const Score sc = beam.score;
    const double total = LogSumExp(sc.log_blank, sc.log_non_blank);
    const int last = beam.prefix.empty() ? -1 : beam.prefix.back();
    for (size_t i = 0; i < s.top_ids.size(); ++i) {
      const int t = s.top_ids[i];
      const double lp = s.top_lp[i];
      if (t == blank) {
        Score& ns = s.cands[s.TouchSelf(b)].score;
        ns.log_blank = LogSumExp(ns.log_blank, total + lp);
        continue;
      }
      // The extension may already be a live beam; then it is that beam's own candidate.
      int ext = -1;
      for (int c = s.child_head[b]; c >= 0; c = s.child_next[c]) {
        if (s.beams[c].prefix.back() == t) {
          ext = s.TouchSelf(c);
          break;
        }
      }
      if (ext < 0) {
        ext = static_cast<int>(s.cands.size());
        s.cands.push_back(Impl::Candidate{b, t, Score{kNegInf, kNegInf}, kNegInf, Impl::Context()});
        if (s.lm || s.hotwords) s.ExtendContext(beam.context, t, &s.cands.back().context);
      }
      if (t != last) {
        Score& es = s.cands[ext].score;
        es.log_non_blank = LogSumExp(es.log_non_blank, total + lp);
      } else {
        Score& es = s.cands[ext].score;
        es.log_non_blank = LogSumExp(es.log_non_blank, sc.log_blank + lp);
        Score& ps = s.cands[s.TouchSelf(b)].score;
        ps.log_non_blank = LogSumExp(ps.log_non_blank, sc.log_non_blank + lp);
      }
    }
  }
  s.Cut();
}

int CtcBeamSearch::Impl::BestBeam() const {
  int best = -1;
  double best_total = kNegInf;
  for (int b = 0; b < num_beams; ++b) {
    const Score& sc = beams[b].score;
    const double total = LogSumExp(sc.log_blank, sc.log_non_blank) + FinalContextScore(beams[b].context);
    if (total > best_total) {
      best = b;
      best_total = total;
    } else if (best >= 0 && total == best_total && beams[b].prefix < beams[best].prefix) {
      best = b;
    }
  }
  return best;
}

std::vector<int> CtcBeamSearch::Hypothesis() const {
  const int best = impl_->BestBeam();
  if (best < 0) return {};
  return impl_->beams[best].prefix;
}

double CtcBeamSearch::HypothesisContextScore() const {
  const int best = impl_->BestBeam();
  return best < 0 ? 0.0 : impl_->FinalContextScore(impl_->beams[best].context);
}

void CtcBeamSearch::SetContext(std::shared_ptr<const SyllableScorer> lm,
                               std::shared_ptr<const HotwordTrie> hotwords) {
  Impl& s = *impl_;
  s.lm = std::move(lm);
  s.hotwords = std::move(hotwords);
  for (int b = 0; b < s.num_beams; ++b) {
    Impl::Context& c = s.beams[b].context;
    s.StartContext(&c);
    for (int token : s.beams[b].prefix) {
      Impl::Context next;
      s.ExtendContext(c, token, &next);
      c = next;
    }
  }
}

std::vector<std::pair<std::vector<int>, CtcBeamSearch::Score>> CtcBeamSearch::Prefixes() const {
  const Impl& s = *impl_;
  std::vector<std::pair<std::vector<int>, Score>> out;
  out.reserve(s.num_beams);
  for (int b = 0; b < s.num_beams; ++b) out.emplace_back(s.beams[b].prefix, s.beams[b].score);
  std::sort(out.begin(), out.end(),
            [](const auto& a, const auto& b) { return a.first < b.first; });
  return out;
}

int CtcBeamSearch::num_prefixes() const { return impl_->num_beams; }
int CtcBeamSearch::frame_best_token() const { return impl_->best_token; }
double CtcBeamSearch::frame_best_log_prob() const { return impl_->best_lp; }
double CtcBeamSearch::frame_log_normaliser() const { return impl_->log_normaliser; }
const CtcBeamSearchConfig& CtcBeamSearch::config() const { return impl_->config; }

double CtcBeamSearch::LogSumExp(double a, double b) {
  if (a == kNegInf) return b;
  if (b == kNegInf) return a;
  const double m = std::max(a, b);
  return std::log(std::exp(a - m) + std::exp(b - m)) + m;
}

double CtcBeamSearch::LogSoftmaxDenominator(const float* logits, int n) {
  if (logits == nullptr || n <= 0) return kNegInf;
  float m = logits[0];
  for (int i = 1; i < n; ++i) {
    if (logits[i] > m) m = logits[i];
  }
  const double md = static_cast<double>(m);
  double sum = 0.0;
  for (int i = 0; i < n; ++i) sum += std::exp(static_cast<double>(logits[i]) - md);
  return std::log(sum) + md;
}

}  // namespace orvane
