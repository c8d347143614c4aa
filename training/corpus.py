"""Builds the text corpus: train/test sentences from Debian-installed Vietnamese
text plus generated everyday sentences, and the unit vocabulary.

Outputs (in --out, default work/text): train.txt, test.txt ("source<TAB>sentence"),
units.txt (vocabulary, "unit id" per line).

With --real-text DIR (needs --vocab) the pool also takes the real text of DIR, and --out gets:
  train.tsv          "source<TAB>sentence", every training sentence once (what tts.py reads)
  train.txt          the weighted pool, one sentence a line (POOL_REPEAT, POOL_CAP: conversation and
                     stories repeated, templates capped, no random dictionary strings)
  test.tsv, test/<source>.txt   held-out sentences: never trained on, never tuned on
  dev.tsv, dev/<source>.txt     the tuning split
  report.txt         sizes per source and the syllable coverage
  SOURCES.md, tatoeba_attribution.tsv  copied from DIR: licences and attribution go with the text
"""
import argparse
import collections
import glob
import gzip
import html
import lzma
import os
import shutil
import random
import re
import subprocess

import everyday
from vntext import WB, normalise_runs, normalise_sentence, sentence_units, split_sentences

# The real text of --real-text (one sentence per line, as written): source name -> file.
REAL_TEXT = {"wiki": "wiki.txt.xz", "tatoeba": "tatoeba.txt", "commonvoice": "commonvoice.txt", "ud": "ud_vtb.txt"}
# Lines per source in the weighted pool train.txt (everyday and narrative text up, templates capped,
# random dictionary strings left out: they are for the acoustic model only).
POOL_REPEAT = {"tatoeba": 4, "commonvoice": 4, "ud": 2}
POOL_CAP = {"everyday": 20000, "dict": 0}


def from_mo():
    out = []
    for mo in sorted(glob.glob("/usr/share/locale/vi/LC_MESSAGES/*.mo")):
        try:
            po = subprocess.run(["msgunfmt", mo], capture_output=True, text=True, timeout=60).stdout
        except Exception:
            continue
        cur, in_str = [], False
        for line in po.split("\n"):
            if line.startswith("msgstr"):
                in_str = True
                cur = [line.split(" ", 1)[1] if " " in line else ""]
            elif line.startswith('"') and in_str:
                cur.append(line)
            else:
                if in_str and cur:
                    txt = "".join(re.sub(r'^"|"$', "", c) for c in cur)
                    txt = txt.replace("\\n", " . ").replace("\\t", " ").replace('\\"', '"')
                    txt = re.sub(r"%[-\d.]*[a-zA-Z]|\{[^}]*\}|&", " . ", txt)
                    out.append(txt)
                in_str, cur = False, []
    return out


def from_man():
    out = []
    for f in sorted(glob.glob("/usr/share/man/vi/*/*.gz")):
        try:
            t = gzip.open(f, "rt", encoding="utf-8", errors="ignore").read()
        except Exception:
            continue
        for line in t.split("\n"):
            if line.startswith((".\\\"", "'\\\"")):
                continue
            line = re.sub(r"^\.[A-Za-z]+\s*", " ", line)
            line = re.sub(r"\\f[BIRP]|\\f\(..|\\&|\\\(..|\\-|\\[a-z]", " ", line)
            out.append(line)
    return [" ".join(out)]


def from_html(pattern):
    out = []
    for f in sorted(glob.glob(pattern, recursive=True)):
        t = open(f, encoding="utf-8", errors="ignore").read()
        t = re.sub(r"(?s)<(script|style|pre)[^>]*>.*?</\1>", " . ", t)
        t = re.sub(r"<[^>]+>", " ", t)
        out.append(html.unescape(t))
    return out


def from_hunspell(r, n):
    """Random phrases of dictionary syllables: they cover rare rhymes and tones."""
    words = []
    for line in open("/usr/share/hunspell/vi_VN.dic", encoding="utf-8").read().split("\n")[1:]:
        w = line.split("/")[0].strip()
        if w and w.islower():
            words.append(w)
    return [" ".join(r.choice(words) for _ in range(r.randint(3, 8))) for _ in range(n)]


def real_sentences(path):
    """Whole normalised sentences of one real-text file, in file order, each once; a sentence with a
    word that cannot be read is dropped (vntext.normalise_sentence)."""
    f = lzma.open(path, "rt", encoding="utf-8") if path.endswith(".xz") else open(path, encoding="utf-8")
    seen, out = set(), []
    with f:
        for line in f:
            for sent in split_sentences(line):
                n = normalise_sentence(sent)
                if n and n not in seen:
                    seen.add(n)
                    out.append(n)
    return out


def near_copies(train, held, min_share=0.75):
    """Training sentences that are nearly a held-out one (Tatoeba gives one sentence with several
    pronouns or particles): same length within 2 syllables and at least min_share of the syllables
    shared."""
    idx = collections.defaultdict(list)
    for h in held:
        hs = set(h.split())
        for w in hs:
            idx[w].append((h, hs))
    out = set()
    for t in train:
        ts, n = set(t.split()), len(t.split())
        cand = {h: hs for w in ts for h, hs in idx.get(w, ())}
        for h, hs in cand.items():
            if abs(len(h.split()) - n) <= 2 and len(ts & hs) >= min_share * max(len(ts), len(hs)):
                out.add(t)
                break
    return out


def coverage(train, dict_syllables):
    """Lines of a report: how many of the attested syllables (the hunspell-vi list plus every syllable
    of the text) and of the rhyme-with-tone units the training text holds, and how often the rarest
    are seen."""
    syl, units = collections.Counter(), collections.Counter()
    for n, s in train:
        if n == "dict":
            continue
        syl.update(s.split())
        units.update(u for u in sentence_units(s) if not u.startswith(WB))
    attested = set(dict_syllables) | set(syl)
    seen = [syl[x] for x in attested if syl[x] > 0]
    lines = ["syllables: %d attested (hunspell-vi list and the text), %d in the training text without the "
             "random dictionary strings (%.1f %%)" % (len(attested), len(seen), 100.0 * len(seen) / len(attested))]
    for k in (1, 2, 5, 10, 100):
        lines.append("  seen at most %3d times: %d syllables" % (k, sum(1 for c in seen if c <= k)))
    lines.append("  rarest in the hunspell list and seen: %s" % ", ".join(
        "%s %d" % (x, syl[x]) for x in sorted((x for x in dict_syllables if syl[x] > 0), key=lambda x: syl[x])[:10]))
    missing = sorted(x for x in dict_syllables if syl[x] == 0)
    lines.append("  hunspell syllables never seen: %d (%s ...)" % (len(missing), " ".join(missing[:25])))
    ranked = sorted(units.items(), key=lambda kv: kv[1])
    lines.append("rhyme-with-tone units seen: %d, the rarest: %s" % (len(units), ", ".join("%s %d" % kv for kv in ranked[:10])))
    return lines


def hunspell_syllables():
    out = set()
    for line in open("/usr/share/hunspell/vi_VN.dic", encoding="utf-8").read().split("\n")[1:]:
        w = line.split("/")[0].strip().lower()
        if w and " " not in w and sentence_units(w) is not None:
            out.add(sentence_units(w)[0][1:] + sentence_units(w)[1])
    return out


def build_real(args, train, test, writable):
    """The pool with the real text of --real-text: each source's held-out (test) and tuning (dev)
    sentences are drawn first, seeded, then everything else is training text with every held-out and
    dev sentence removed; writes the folder layout described in the module docstring."""
    r = random.Random(args.seed)
    real_train, real_dev, real_test = [], [], []
    for name, fname in REAL_TEXT.items():
        sents = [x for x in real_sentences(os.path.join(args.real_text, fname)) if writable(x)]
        order = list(range(len(sents)))
        random.Random("%d-%s" % (args.seed, name)).shuffle(order)
        nt, nd = args.heldout.get(name, 150), args.dev_size
        # held-out: real sentences of 4 to 30 syllables (the shortest lines are fragments)
        pick = [i for i in order if 4 <= len(sents[i].split()) <= 30]
        t_idx, d_idx = set(pick[:nt]), set(pick[nt:nt + nd])
        real_test += [(name, sents[i]) for i in sorted(t_idx)]
        real_dev += [(name, sents[i]) for i in sorted(d_idx)]
        real_train += [(name, sents[i]) for i in order if i not in t_idx and i not in d_idx]
        print("%-11s %6d sentences, %d held out, %d dev" % (name, len(sents), len(t_idx), len(d_idx)))
    # a dev split of the recipe's older sources (not the random strings), from their training part
    old_dev = []
    for name in ("everyday", "gettext", "manpages", "maintguide", "officehelp"):
        lst = sorted(set(s for n, s in train if n == name))
        r.shuffle(lst)
        old_dev += [(name, s) for s in lst[:args.dev_size]]
    held = set(s for _, s in test + real_test + real_dev + old_dev)
    near = near_copies([s for n, s in real_train if n in ("tatoeba", "commonvoice")],
                       [s for n, s in real_test + real_dev if n in ("tatoeba", "commonvoice")])
    before = len(train) + len(real_train)
    train = [(n, s) for n, s in train + real_train if s not in held and s not in near]
    print("removed %d training sentences equal to a held-out or dev one, %d of them near copies"
          % (before - len(train), len(near)))
    test, dev = test + real_test, real_dev + old_dev
    out = args.out
    for sub, rows in (("test", test), ("dev", dev)):
        os.makedirs(os.path.join(out, sub), exist_ok=True)
        for name in sorted(set(n for n, _ in rows)):
            with open(os.path.join(out, sub, name + ".txt"), "w", encoding="utf-8") as f:
                f.writelines(s + "\n" for n, s in rows if n == name)
        with open(os.path.join(out, sub + ".tsv"), "w", encoding="utf-8") as f:
            f.writelines("%s\t%s\n" % x for x in rows)
    with open(os.path.join(out, "train.tsv"), "w", encoding="utf-8") as f:
        f.writelines("%s\t%s\n" % x for x in train)
    pool, by = [], collections.defaultdict(list)
    for n, s in train:
        by[n].append(s)
    for n, lst in sorted(by.items()):
        lst = sorted(set(lst))
        cap = POOL_CAP.get(n, len(lst))
        r.shuffle(lst)
        pool += lst[:cap] * POOL_REPEAT.get(n, 1)
    r.shuffle(pool)
    with open(os.path.join(out, "train.txt"), "w", encoding="utf-8") as f:
        f.writelines(s + "\n" for s in pool)
    report = ["%-11s train %7d, dev %4d, test %4d, lines in train.txt %7d" % (
        n, len(by[n]), sum(1 for m, _ in dev if m == n), sum(1 for m, _ in test if m == n),
        min(POOL_CAP.get(n, len(set(by[n]))), len(set(by[n]))) * POOL_REPEAT.get(n, 1))
        for n in sorted(set(by) | set(n for n, _ in test))]
    report += coverage(train, hunspell_syllables())
    print("\n".join(report))
    with open(os.path.join(out, "report.txt"), "w", encoding="utf-8") as f:
        f.write("\n".join(report) + "\n")
    for extra in ("SOURCES.md", "tatoeba_attribution.tsv"):  # licences and attribution travel with the text
        if os.path.exists(os.path.join(args.real_text, extra)):
            shutil.copy(os.path.join(args.real_text, extra), os.path.join(out, extra))


def to_sentences(texts, max_len=22):
    out = []
    for t in texts:
        for run in normalise_runs(t, min_len=3):
            words = run.split()
            while len(words) > max_len:  # cut very long runs into readable pieces
                k = random.Random(len(words)).randint(8, max_len)
                out.append(" ".join(words[:k]))
                words = words[k:]
            if len(words) >= 3:
                out.append(" ".join(words))
    return out


def write_outputs(out, vocab, train, test):
    with open(os.path.join(out, "units.txt"), "w", encoding="utf-8") as f:
        for i, u in enumerate(vocab):
            f.write("%s %d\n" % (u, i))
    with open(os.path.join(out, "train.txt"), "w", encoding="utf-8") as f:
        f.writelines("%s\t%s\n" % x for x in train)
    with open(os.path.join(out, "test.txt"), "w", encoding="utf-8") as f:
        f.writelines("%s\t%s\n" % x for x in test)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--out", default=os.path.join(os.path.dirname(__file__), "work", "text"))
    ap.add_argument("--seed", type=int, default=9)
    ap.add_argument("--everyday", type=int, default=40000)
    ap.add_argument("--dict", type=int, default=3000, help="random dictionary phrases")
    ap.add_argument("--vocab", default="",
                    help="keep this vocabulary (e.g. ../assets/asr_vocab.txt, to go on training a model) "
                         "instead of building one; sentences it cannot write are dropped")
    ap.add_argument("--keep-test", default="",
                    help="held-out set of an earlier run (its test.txt): kept as the test set and its sentences "
                         "dropped from train, so that a larger pool can be drawn without touching the test set")
    ap.add_argument("--real-text", default="",
                    help="folder of real text (wiki.txt.xz, tatoeba.txt, commonvoice.txt, ud_vtb.txt, one "
                         "sentence per line): held-out and dev sentences are drawn from each first, the rest "
                         "joins the pool; writes the layout of the module docstring")
    ap.add_argument("--heldout", default="wiki=200,tatoeba=200,commonvoice=150,ud=150",
                    help="held-out sentences per real-text source")
    ap.add_argument("--dev-size", type=int, default=100, help="dev sentences per source (with --real-text)")
    args = ap.parse_args()
    args.heldout = {k: int(v) for k, v in (kv.split("=") for kv in args.heldout.split(","))}
    os.makedirs(args.out, exist_ok=True)
    r = random.Random(args.seed)

    # Hand-written conversation: every fifth line is test only.
    conv_test = [s for i, s in enumerate(everyday.SENTENCES) if i % 5 == 2]
    conv_train = [s for i, s in enumerate(everyday.SENTENCES) if i % 5 != 2]
    sources = {
        "gettext": to_sentences(from_mo()),
        "manpages": to_sentences(from_man()),
        "maintguide": to_sentences(from_html("/usr/share/doc/maint-guide-vi/html/*.html")),
        "officehelp": to_sentences(from_html("/usr/share/libreoffice/help/vi/text/**/*.html")),
        "dict": to_sentences(from_hunspell(r, args.dict)),
    }
    train, test = [], []
    for name, sents in sources.items():
        sents = sorted(set(sents))
        r.shuffle(sents)
        nt = max(40, len(sents) // 40)
        test += [(name, s) for s in sents[:nt]]
        train += [(name, s) for s in sents[nt:]]
        print("%-11s %6d sentences, %d held out" % (name, len(sents), nt))
    gen_train = to_sentences(everyday.generate(args.everyday, args.seed, conv_train))
    gen_test = to_sentences(everyday.generate(400, args.seed + 1000, conv_test))
    gen_test += to_sentences(conv_test)
    train += [("everyday", s) for s in gen_train]
    test += [("everyday", s) for s in sorted(set(gen_test)) if s not in set(gen_train)]
    test_set = set(s for _, s in test)
    if args.keep_test:
        # this run's own split stays out of train as well: it only changes which sentences are drawn
        test = [tuple(l.rstrip("\n").split("\t", 1)) for l in open(args.keep_test, encoding="utf-8") if l.strip()]
        test_set |= set(s for _, s in test)
        print("kept the held-out set of %s (%d sentences)" % (args.keep_test, len(test)))
    train = [(n, s) for n, s in train if s not in test_set]
    print("everyday    %6d train, %d test" % (len(gen_train), sum(1 for n, _ in test if n == "everyday")))

    if args.vocab:
        vocab = [l.split(" ")[0] for l in open(args.vocab, encoding="utf-8") if l.strip()]
        known = set(vocab)

        def writable(s):
            u = sentence_units(s)
            return u is not None and all(x in known for x in u)
        dropped = sum(1 for _, s in train + test if not writable(s))
        train = [(n, s) for n, s in train if writable(s)]
        test = [(n, s) for n, s in test if writable(s)]
        print("kept vocabulary %s (%d units); dropped %d sentences it cannot write" % (args.vocab, len(vocab), dropped))
        if args.real_text:
            with open(os.path.join(args.out, "units.txt"), "w", encoding="utf-8") as f:
                f.writelines("%s %d\n" % (u, i) for i, u in enumerate(vocab))
            build_real(args, train, test, writable)
            return
        write_outputs(args.out, vocab, train, test)
        return

    units = collections.Counter()
    for _, s in train:
        units.update(sentence_units(s))
    # Every onset unit and every rhyme seen anywhere (train, test, dictionary) gets an id,
    # so that any Vietnamese syllable can be written.
    for _, s in test:
        for u in sentence_units(s):
            units.setdefault(u, 0)
    vocab = ["<blank>", "<unk>"] + sorted(units, key=lambda u: (not u.startswith(WB), u))
    write_outputs(args.out, vocab, train, test)
    print("train %d sentences, test %d, vocabulary %d units (%d unseen in train)"
          % (len(train), len(test), len(vocab), sum(1 for u in units if units[u] == 0)))


if __name__ == "__main__":
    main()
