"""Where the tone errors are: by the position within its chunk of the frame where a syllable is
emitted.

Decodes the held-out features greedily with PyTorch, aligns the decoded syllables to the reference
with tones ignored, and for each syllable found with the right letters counts whether its tone is
also right, by the output frame (0-9 within the chunk) at which its rhyme unit was emitted, and
for the last syllable of the utterance. A streaming model sees nothing after the end of the chunk
it is in: a tone that is decided late in its chunk has heard the least of its pitch contour.

    analyse_tones.py --ckpt checkpoint/final.pt
"""
import argparse
import collections
import difflib
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
from evaluate import TorchBackend, greedy  # noqa: E402
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


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--ckpt", default=os.path.join(HERE, "checkpoint", "final.pt"))
    ap.add_argument("--vocab", default=os.path.join(HERE, "..", "assets", "asr_vocab.txt"))
    ap.add_argument("--manifest", default=os.path.join(HERE, "work", "test.tsv"))
    ap.add_argument("--feats", default=os.path.join(HERE, "work", "feats", "test"))
    args = ap.parse_args()
    dec = TorchBackend(args.ckpt, args.vocab, args.feats, "fp32")
    counts = collections.defaultdict(lambda: [0, 0])  # key -> [tone wrong, syllables]
    for line in open(args.manifest, encoding="utf-8"):
        row = line.rstrip("\n").split("\t")
        hyp = emitted_syllables(dec.logits(row[0]), dec.units)
        ref = [strip_tone(s) for s in row[7].split()]
        h = [strip_tone(s) for s, _ in hyp]
        match = difflib.SequenceMatcher(None, [s for s, _ in h], [s for s, _ in ref], autojunk=False)
        for tag, i1, i2, j1, j2 in match.get_opcodes():
            if tag != "equal":
                continue
            for i, j in zip(range(i1, i2), range(j1, j2)):
                wrong = h[i][1] != ref[j][1]
                keys = ["frame %d of its chunk" % (hyp[i][1] % CHUNK_OUT)]
                if j == len(ref) - 1:
                    keys.append("last syllable of the utterance")
                for k in keys:
                    counts[k][0] += wrong
                    counts[k][1] += 1
    for k in sorted(counts):
        wrong, n = counts[k]
        print("%-32s %6d syllables, tone wrong %5.1f %%" % (k, n, 100.0 * wrong / n))


if __name__ == "__main__":
    main()
