"""Where the tone errors are: by the position within its chunk of the frame where a syllable is
emitted.

Decodes the held-out features greedily with PyTorch, aligns the decoded syllables to the reference
with tones ignored, and for each syllable found with the right letters counts whether its tone is
also right, by the output frame (0-9 within the chunk) at which its rhyme unit was emitted, and
for the last syllable of the utterance. A streaming model sees nothing after the end of the chunk
it is in: a tone that is decided late in its chunk has heard the least of its pitch contour.
It then prints the tone confusions of the random dictionary strings, where no sentence context
helps, next to those of the sentences: the difference is what the model takes from context.

    analyse_tones.py --ckpt checkpoint/final.pt
"""
import argparse
import collections
import difflib
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
from evaluate import TorchBackend, greedy, text_sources  # noqa: E402
from model import CHUNK_OUT  # noqa: E402
from vntext import strip_tone  # noqa: E402


def emitted_syllables(logits, units):
    """Greedy CTC decoding -> [[syllable, frame where its last unit starts]]."""
    out = []
    for k, f in greedy(logits):
        u = units[k]
        if u.startswith("\u2581"):
            out.append([u[1:], f])
        elif out:
            out[-1] = [out[-1][0] + u, f]
    return out


TONE_NAMES = ["ngang", "huyền", "sắc", "hỏi", "ngã", "nặng"]  # in the order of strip_tone's index


def matched_tones(hyp, ref_text):
    """Pairs the decoded syllables [[syllable, frame]] with the reference's where their letters agree
    (tones ignored) -> [(reference index, reference tone, decoded tone, frame)]."""
    ref = [strip_tone(s) for s in ref_text.split()]
    h = [strip_tone(s) for s, _ in hyp]
    match = difflib.SequenceMatcher(None, [s for s, _ in h], [s for s, _ in ref], autojunk=False)
    out = []
    for tag, i1, i2, j1, j2 in match.get_opcodes():
        if tag == "equal":
            out += [(j, ref[j][1], h[i][1], hyp[i][1]) for i, j in zip(range(i1, i2), range(j1, j2))]
    return out


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--ckpt", default=os.path.join(HERE, "checkpoint", "final.pt"))
    ap.add_argument("--vocab", default=os.path.join(HERE, "..", "assets", "asr_vocab.txt"))
    ap.add_argument("--manifest", default=os.path.join(HERE, "work", "test.tsv"))
    ap.add_argument("--feats", default=os.path.join(HERE, "work", "feats", "test"))
    ap.add_argument("--sources", default=os.path.join(HERE, "work", "text", "test.txt"),
                    help="source of each test sentence, for the tone confusions of the random dictionary "
                         "strings (no sentence context) against those of the sentences")
    args = ap.parse_args()
    dec = TorchBackend(args.ckpt, args.vocab, args.feats, "fp32")
    src = text_sources(args.sources)
    counts = collections.defaultdict(lambda: [0, 0])  # key -> [tone wrong, syllables]
    confusion = collections.defaultdict(collections.Counter)  # subset -> (reference tone, decoded tone) -> n
    for line in open(args.manifest, encoding="utf-8"):
        row = line.rstrip("\n").split("\t")
        n_ref = len(row[7].split())
        subset = "dictionary strings" if src.get(row[7]) == "dict" else "sentences"
        for j, ref_tone, tone, frame in matched_tones(emitted_syllables(dec.logits(row[0]), dec.units), row[7]):
            confusion[subset][ref_tone, tone] += 1
            keys = ["frame %d of its chunk" % (frame % CHUNK_OUT)]
            if j == n_ref - 1:
                keys.append("last syllable of the utterance")
            for k in keys:
                counts[k][0] += ref_tone != tone
                counts[k][1] += 1
    for k in sorted(counts):
        wrong, n = counts[k]
        print("%-32s %6d syllables, tone wrong %5.1f %%" % (k, n, 100.0 * wrong / n))
    for subset in sorted(confusion):
        c = confusion[subset]
        print("\n%s: reference tone (rows) heard as (columns), %% of the row" % subset)
        print("%-6s %6s " % ("", "n") + " ".join("%6s" % t for t in TONE_NAMES))
        for r, name in enumerate(TONE_NAMES):
            n = sum(c[r, x] for x in range(len(TONE_NAMES)))
            print("%-6s %6d " % (name, n) + " ".join("%6.1f" % (100.0 * c[r, x] / max(1, n))
                                                    for x in range(len(TONE_NAMES))))


if __name__ == "__main__":
    main()
