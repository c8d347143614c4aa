"""Builds the text corpus: train/test sentences from Debian-installed Vietnamese
text plus generated everyday sentences, and the unit vocabulary.

Outputs (in --out, default work/text): train.txt, test.txt ("source<TAB>sentence"),
units.txt (vocabulary, "unit id" per line).
"""
import argparse
import collections
import glob
import gzip
import html
import os
import random
import re
import subprocess

import everyday
from vntext import WB, normalise_runs, sentence_units


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
    args = ap.parse_args()
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
