"""Builds the syllable language model that the library embeds (assets/asr_lm.bin).

An n-gram model over syllables (order 3 by default) with interpolated modified Kneser-Ney
smoothing, pruned by count to a size target and written in the library's binary format (below),
which the library reads in place without parsing text.

    /usr/bin/python3 lm.py --text /work/data/text_v2/train.txt --exclude DIR_OR_FILE ... \
        --out ../assets/asr_lm.bin

Input: one sentence per line, normalised syllables separated by spaces; a line "source<TAB>text"
(the recipe's train.txt) is read as its text. Sentences of the "dict" source (random dictionary
strings) are skipped. Every sentence of an --exclude file (held-out or dev text, same line formats)
is removed before counting.

Binary format (little-endian; every section starts at a multiple of 8 bytes from the start):

    header   8 bytes magic "ORVSYLM1"; u32 version (1); u32 order N (1..6); u32 vocabulary size V;
             u32 0; u64 count[n] for n = 1..N (count[1] == V); u64 vocabulary bytes B
    words    B bytes: the V words, each ended by a line feed; id = line number.
             Ids 0, 1, 2 are "<unk>", "<s>", "</s>". Padded with zeros to a multiple of 8.
    order n < N: count[n] + 1 records {u32 word, f32 log_prob, f32 backoff, u32 first_child};
             the children of record i (the n+1-grams extending it) are records first_child[i] ..
             first_child[i+1] - 1 of order n+1, sorted by word. The last record is a sentinel whose
             first_child is count[n+1]. Order 1 record i is word i.
    order N: count[N] records {u32 word, f32 log_prob}.

Probabilities are natural logarithms. An n-gram's context is always stored (pruning keeps the
prefixes of kept n-grams); log_prob of "<s>" and backoff of "</s>" are unused.
"""
import argparse
import collections
import math
import os
import struct
import sys

MAGIC = b"ORVSYLM1"
VERSION = 1
UNK, BOS, EOS = "<unk>", "<s>", "</s>"


def read_sentences(path):
    for line in open(path, encoding="utf-8"):
        line = line.rstrip("\n")
        if "\t" in line:
            source, line = line.split("\t", 1)
            if source == "dict":
                continue
        line = " ".join(line.split())
        if line:
            yield line


def excluded(paths):
    out = set()
    for p in paths:
        files = [os.path.join(p, f) for f in sorted(os.listdir(p))] if os.path.isdir(p) else [p]
        for f in files:
            for line in open(f, encoding="utf-8"):
                line = line.rstrip("\n").split("\t")[-1]
                line = " ".join(line.split())
                if line:
                    out.add(line)
    return out


def count_ngrams(sentences, order):
    """Raw counts of every n-gram of orders 1..order, sentences padded with <s> and </s>."""
    counts = [collections.Counter() for _ in range(order + 1)]
    for s in sentences:
        w = [BOS] + s.split() + [EOS]
        for n in range(1, order + 1):
            c = counts[n]
            for i in range(len(w) - n + 1):
                c[tuple(w[i:i + n])] += 1
    return counts


def kn_counts(raw, order):
    """Modified Kneser-Ney counts: raw counts at the highest order and for n-grams starting with <s>;
    otherwise the number of distinct words seen to the left (continuation counts)."""
    adj = [None] * (order + 1)
    adj[order] = raw[order]
    for n in range(order - 1, 0, -1):
        cont = collections.Counter()
        for g in raw[n + 1]:
            cont[g[1:]] += 1
        c = collections.Counter()
        for g, v in raw[n].items():
            if g == (BOS,):
                c[g] = 0  # never predicted; kept only as a context
            else:
                c[g] = v if g[0] == BOS else cont.get(g, 0)
        adj[n] = c
    return adj


def discounts(counts):
    nk = collections.Counter(v for v in counts.values() if v <= 4)
    n1, n2, n3, n4 = (max(nk[k], 1) for k in (1, 2, 3, 4))
    y = n1 / (n1 + 2.0 * n2)
    d = [0.0, 1 - 2 * y * n2 / n1, 2 - 3 * y * n3 / n2, 3 - 4 * y * n4 / n3]
    return [min(max(x, 0.05), k) for k, x in enumerate(d)]  # keep each 0 < D_k <= k


def estimate(adj, order, vocab):
    """Interpolated modified Kneser-Ney: {ngram: prob} per order and {context: gamma}."""
    prob = [dict() for _ in range(order + 1)]
    gamma = [dict() for _ in range(order + 1)]
    for n in range(1, order + 1):
        c = adj[n]
        d = discounts(c)
        ctx_total = collections.Counter()
        ctx_nk = collections.defaultdict(lambda: [0, 0, 0])
        for g, v in c.items():
            if v <= 0:
                continue
            ctx_total[g[:-1]] += v
            ctx_nk[g[:-1]][min(v, 3) - 1] += 1
        for h, tot in ctx_total.items():
            k = ctx_nk[h]
            gamma[n][h] = (d[1] * k[0] + d[2] * k[1] + d[3] * k[2]) / tot
        for g, v in c.items():
            if v <= 0:
                continue
            h = g[:-1]
            lower = 1.0 / len(vocab) if n == 1 else lower_prob(prob, gamma, g[1:], vocab)
            prob[n][g] = (v - d[min(v, 3)]) / ctx_total[h] + gamma[n][h] * lower
    # <unk> takes the uniform share that every word gets at order 1.
    prob[1][(UNK,)] = gamma[1][()] / len(vocab)
    return prob, gamma


def lower_prob(prob, gamma, g, vocab):
    """p(g[-1] | g[:-1]) from the estimated orders below, backing off through the gammas."""
    p = prob[len(g)].get(g)
    if p is not None:
        return p
    if len(g) == 1:
        return prob[1].get((UNK,), 1.0 / len(vocab))
    return gamma[len(g)].get(g[:-1], 1.0) * lower_prob(prob, gamma, g[1:], vocab)


def prune(prob, raw, order, cutoffs):
    """Drops n-grams of order >= 2 whose raw count is below the cutoff of their order, keeping the
    prefixes of everything kept."""
    for n in range(order, 1, -1):
        needed = {g[:-1] for g in prob[n + 1]} if n < order else set()
        prob[n] = {g: p for g, p in prob[n].items() if raw[n].get(g, 0) >= cutoffs[n] or g in needed}


def backoffs(prob, order, vocab):
    """Backoff weights that make every context's distribution sum to one after pruning."""
    bo = [dict() for _ in range(order + 1)]

    def p_back(g):  # p(g[-1] | g[:-1]) in the pruned backoff model, g of length >= 1
        p = prob[len(g)].get(g)
        if p is not None:
            return p
        return bo[len(g) - 1].get(g[:-1], 1.0) * p_back(g[1:])

    for n in range(1, order):
        seen = collections.defaultdict(lambda: [0.0, 0.0])
        for g, p in prob[n + 1].items():
            s = seen[g[:-1]]
            s[0] += p
            s[1] += p_back(g[1:])
        for h in prob[n]:
            num, den = seen.get(h, (0.0, 0.0))
            bo[n][h] = max(1.0 - num, 1e-9) / max(1.0 - den, 1e-9)
    return bo


def write_binary(path, prob, bo, order, vocab):
    ids = {w: i for i, w in enumerate(vocab)}
    sortkey = lambda g: tuple(ids[w] for w in g)
    grams = [None] + [sorted(prob[n], key=sortkey) for n in range(1, order + 1)]
    assert [g[0] for g in grams[1]] == vocab
    index = [None] + [{g: i for i, g in enumerate(grams[n])} for n in range(1, order + 1)]
    words = "".join(w + "\n" for w in vocab).encode("utf-8")
    out = bytearray()
    out += MAGIC + struct.pack("<IIII", VERSION, order, len(vocab), 0)
    out += struct.pack("<%dQ" % order, *[len(grams[n]) for n in range(1, order + 1)])
    out += struct.pack("<Q", len(words))
    out += words + b"\0" * (-len(out + words) % 8)
    for n in range(1, order + 1):
        if n < order:
            first = [0] * (len(grams[n]) + 1)
            for g in grams[n + 1]:  # children are contiguous: grams[n+1] is sorted by prefix
                first[index[n][g[:-1]] + 1] += 1
            for i in range(len(grams[n])):
                first[i + 1] += first[i]
            rec = bytearray()
            for i, g in enumerate(grams[n]):
                lp = math.log(prob[n][g]) if g != (BOS,) else 0.0
                rec += struct.pack("<IffI", ids[g[-1]], lp, math.log(bo[n].get(g, 1.0)), first[i])
            rec += struct.pack("<IffI", 0, 0.0, 0.0, first[-1])
        else:
            rec = bytearray()
            for g in grams[n]:
                rec += struct.pack("<If", ids[g[-1]], math.log(prob[n][g]))
        out += rec + b"\0" * (-len(rec) % 8)
    with open(path, "wb") as f:
        f.write(out)
    return len(out), [len(grams[n]) for n in range(1, order + 1)]


def perplexity(prob, bo, order, vocab, sentences):
    known = set(vocab)
    logp, n, oov = 0.0, 0, 0

    def lp(g):
        p = prob[len(g)].get(g)
        if p is not None:
            return math.log(p)
        return math.log(bo[len(g) - 1].get(g[:-1], 1.0)) + lp(g[1:])

    for s in sentences:
        w = [BOS] + [x if x in known else UNK for x in s.split()] + [EOS]
        for i in range(1, len(w)):
            oov += w[i] == UNK
            logp += lp(tuple(w[max(0, i - order + 1):i + 1]))
            n += 1
    return math.exp(-logp / max(n, 1)), oov


def main():
    ap = argparse.ArgumentParser()
    here = os.path.dirname(os.path.abspath(__file__))
    ap.add_argument("--text", default=os.path.join(here, "work", "text", "train.txt"))
    ap.add_argument("--exclude", nargs="*", default=[], help="files or folders of sentences kept out of the LM")
    ap.add_argument("--dev", nargs="*", default=[], help="files or folders of sentences to report perplexity on")
    ap.add_argument("--order", type=int, default=3)
    ap.add_argument("--cutoffs", default="1,1,2,2,2", help="least raw count kept at orders 2, 3, ...")
    ap.add_argument("--min-count", type=int, default=1, help="least count for a syllable to enter the vocabulary")
    ap.add_argument("--out", default=os.path.join(here, "..", "assets", "asr_lm.bin"))
    args = ap.parse_args()
    if not 1 <= args.order <= 6:
        sys.exit("--order must be 1..6")

    drop = excluded(args.exclude)
    sents = [s for s in read_sentences(args.text) if s not in drop]
    wc = collections.Counter(w for s in sents for w in s.split())
    vocab = [UNK, BOS, EOS] + sorted(w for w, c in wc.items() if c >= args.min_count)
    known = set(vocab)
    sents = [" ".join(x if x in known else UNK for x in s.split()) for s in sents]
    print("%d sentences (%d excluded sentences known), %d syllables, vocabulary %d"
          % (len(sents), len(drop), sum(wc.values()), len(vocab)))

    raw = count_ngrams(sents, args.order)
    adj = kn_counts(raw, args.order)
    prob, _ = estimate(adj, args.order, vocab)
    for w in vocab:  # words only seen after <s> (none in practice) still get a unigram
        prob[1].setdefault((w,), prob[1][(UNK,)])
    prob[1][(BOS,)] = prob[1].get((BOS,), 1e-9)
    cut = [0, 0] + [int(x) for x in args.cutoffs.split(",")] + [2] * 6
    prune(prob, raw, args.order, cut)
    bo = backoffs(prob, args.order, vocab)
    size, counts = write_binary(args.out, prob, bo, args.order, vocab)
    print("wrote %s: %d bytes, n-grams per order %s" % (args.out, size, counts))
    if args.dev:
        dev = list(excluded(args.dev))
        ppl, oov = perplexity(prob, bo, args.order, vocab, dev)
        print("dev: %d sentences, perplexity %.1f, %d out-of-vocabulary syllables" % (len(dev), ppl, oov))


if __name__ == "__main__":
    main()
