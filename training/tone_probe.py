"""Can the model hear a tone without sentence context?

Every base of BASES takes all six tones. Each is said by espeak-ng's three voices alone (240
syllables a voice) and inside random strings of five such syllables (90 strings), synthesised
here, never in training, and transcribed through the library without the language model. For each
voice and context it counts the syllables that came out with the right letters and, of those, the
ones whose tone is right as well: with no sentence to guess from, one in six is chance.

    tone_probe.py [--model work/m12k] [--work /tmp/tone_probe] [--json out.json]

--features answers the other half of the question, whether the log-mel features carry the tones
at all: it trains a small classifier (two convolutions over time, the 80 mel bands as channels) on
the isolated syllables of three quarters of the bases, at three pitches and two rates, and reports
its accuracy on the other quarter, per voice. A model at chance where this classifier is not has
not learnt to hear tones that its input holds.

--layers CKPT asks where they are lost: it runs a checkpoint over the same isolated syllables and
fits a linear classifier of the tone to each stage's output (the subsampling, then layers 1, 4, 8
and the last), pooled over the syllable's output frames (their mean and how the last third differs
from the first), again trained on three quarters of the bases and measured on the rest.
"""
import argparse
import collections
import hashlib
import json
import os
import random
import subprocess
import sys

import numpy as np

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import tts  # noqa: E402
from vntext import place_tone, split_onset, strip_tone  # noqa: E402

VOICES = ["vi", "vi-vn-x-central", "vi-vn-x-south"]
TONE_NAMES = ["ngang", "huyền", "sắc", "hỏi", "ngã", "nặng"]  # strip_tone's order
# Common syllables whose rhyme takes all six tones (open, or closed by m, n, ng, nh).
BASES = ["ba", "ma", "la", "na", "ta", "ca", "da", "ha", "va", "xa", "me", "be", "le", "mi", "bi", "li",
         "mo", "bo", "lo", "mu", "bu", "lu", "tôi", "mai", "bao", "ai", "đi", "cô", "hai", "tay", "sao",
         "cho", "nha", "xe", "lan", "anh", "minh", "nam", "ban", "con"]
STRINGS = 90  # random strings of five syllables, 30 a voice
STRING_LEN = 5


def with_tone(base, tone):
    onset, rhyme = split_onset(base)
    return onset + place_tone(rhyme, tone)


def synth(work, voice, text, pitch=50, rate=175):
    """espeak-ng at 16 kHz, 16-bit mono, in `work` under a name made of what was said and how, so that
    a later run reuses it only for the same audio. Returns the file's path without ".wav"."""
    key = "\t".join((voice, text, str(pitch), str(rate))).encode("utf-8")
    stem = os.path.join(work, hashlib.sha1(key).hexdigest()[:16])
    path = stem + ".wav"
    if not os.path.exists(path):
        # the training audio's own synthesis, without a variant or any augmentation
        tts.write_wav(path, tts.synth(text, voice, "", rate, pitch, ["rate", "16000"]))
    return stem


def probe_items(work):
    """[(voice, context, reference syllables, wav)], isolated syllables first."""
    items = []
    for voice in VOICES:
        for base in BASES:
            for tone in range(6):
                syl = with_tone(base, tone)
                items.append((voice, "alone", [syl], synth(work, voice, syl) + ".wav"))
    r = random.Random(7)
    for k in range(STRINGS):
        voice = VOICES[k % len(VOICES)]
        ref = [with_tone(r.choice(BASES), r.randrange(6)) for _ in range(STRING_LEN)]
        items.append((voice, "strings", ref, synth(work, voice, " ".join(ref)) + ".wav"))
    return items


def score(items, hyps):
    """Per (voice, context): [syllables, letters right, tone right too] and the tone confusions
    {(reference tone, recognised tone): count} of the syllables with the right letters. A string
    counts syllable by syllable only when as many syllables came out as went in."""
    acc = collections.defaultdict(lambda: [0, 0, 0])
    conf = collections.Counter()
    for (voice, context, ref, _), hyp in zip(items, hyps):
        a = acc[(voice, context)]
        a[0] += len(ref)
        if len(hyp) != len(ref):
            continue
        for r, h in zip(ref, hyp):
            (rb, rt), (hb, ht) = strip_tone(r), strip_tone(h)
            if rb == hb:
                a[1] += 1
                a[2] += rt == ht
                conf[(rt, ht)] += 1
    return acc, conf


def feature_rows(work, fbank):
    """Isolated syllables at three pitches and two rates, with their features:
    [(feature stem, voice, base index, tone)]."""
    rows = []
    for voice in VOICES:
        for b, base in enumerate(BASES):
            for tone in range(6):
                for pitch in (30, 50, 70):
                    for rate in (140, 175):
                        stem = synth(work, voice, with_tone(base, tone), pitch, rate)
                        rows.append((stem, voice, b, tone))
    lst = os.path.join(work, "features.lst")
    with open(lst, "w") as f:
        f.writelines("%s.wav\t%s.npy\n" % (r[0], r[0]) for r in rows)
    subprocess.run([fbank, "--batch", lst], check=True, capture_output=True)
    return rows


def feature_check(rows):
    """Accuracy of a small tone classifier on the features of held-out bases, per voice."""
    import torch
    import torch.nn as nn

    torch.manual_seed(0)

    def prep(x, frames=24):
        # the louder frames of the syllable, resampled to a fixed length, each band's mean removed:
        # what remains is how the spectrum moves through the syllable
        e = x.mean(1)
        loud = np.where(e > e.max() - 4)[0]
        v = x[loud[0]:loud[-1] + 1]
        v = v[np.linspace(0, len(v) - 1, frames).round().astype(int)]
        return v - v.mean(0, keepdims=True)

    out = {}
    for voice in VOICES:
        sel = [r for r in rows if r[1] == voice]
        x = torch.tensor(np.array([prep(np.load(r[0] + ".npy")) for r in sel]), dtype=torch.float32).transpose(1, 2)
        y = torch.tensor([r[3] for r in sel])
        test = torch.tensor([r[2] % 4 == 0 for r in sel])
        net = nn.Sequential(nn.Conv1d(80, 64, 3, padding=1), nn.ReLU(), nn.Conv1d(64, 64, 3, padding=1), nn.ReLU(),
                            nn.AdaptiveAvgPool1d(4), nn.Flatten(), nn.Linear(256, 6))
        opt = torch.optim.Adam(net.parameters(), 1e-3, weight_decay=1e-4)
        xt, yt = x[~test], y[~test]
        for _ in range(150):
            perm = torch.randperm(len(xt))
            for i in range(0, len(xt), 64):
                j = perm[i:i + 64]
                opt.zero_grad()
                nn.functional.cross_entropy(net(xt[j]), yt[j]).backward()
                opt.step()
        with torch.no_grad():
            out[voice] = (net(x[test]).argmax(1) == y[test]).float().mean().item()
    return out


def pooled(frames):
    """[T, d] -> [2d]: the mean over the syllable and the change from its first third to its last."""
    k = max(1, len(frames) // 3)
    return np.concatenate([frames.mean(0), frames[-k:].mean(0) - frames[:k].mean(0)])


def layer_check(rows, ckpt):
    """Per stage of the model: tone accuracy of a linear classifier on held-out bases, per voice.
    `rows` are feature_rows' (feature stem, voice, base index, tone)."""
    import torch
    import torch.nn as nn
    from export import load
    from model import StreamingCtc

    torch.manual_seed(0)
    model, _ = load(ckpt, "fp32")
    model.eval()
    stages = {}
    model.sub.register_forward_hook(lambda mod, inp, out: stages.__setitem__("subsampling", out))
    last = len(model.layers) - 1
    for i in sorted({0, 3, 7, last}):
        model.layers[i].register_forward_hook(lambda mod, inp, out, i=i: stages.__setitem__("layer %d" % (i + 1), out))
    pools = collections.defaultdict(list)
    for stem, _, _, _ in rows:
        x = np.load(stem + ".npy")
        e = x.mean(1)
        loud = np.where(e > e.max() - 4)[0]
        with torch.no_grad():
            model(torch.from_numpy(x).unsqueeze(0))
        n = StreamingCtc.num_out_frames(len(x))
        lo = min(n - 1, StreamingCtc.num_out_frames(int(loud[0]) + 1) - 1)
        hi = max(lo + 1, min(n, StreamingCtc.num_out_frames(int(loud[-1]) + 1)))
        for name, out in stages.items():
            # the subsampling sees each chunk on its own: [chunks, 10, d] -> [frames, d]
            pools[name].append(pooled(out.reshape(-1, out.shape[-1])[lo:hi].numpy()))
    y = torch.tensor([r[3] for r in rows])
    test = torch.tensor([r[2] % 4 == 0 for r in rows])
    voices = np.array([r[1] for r in rows])
    res = {}
    for name, feats in pools.items():
        x = torch.tensor(np.array(feats))
        x = (x - x[~test].mean(0)) / (x[~test].std(0) + 1e-5)
        lin = nn.Linear(x.shape[1], 6)
        opt = torch.optim.Adam(lin.parameters(), 1e-2, weight_decay=1e-3)
        for _ in range(300):
            opt.zero_grad()
            nn.functional.cross_entropy(lin(x[~test]), y[~test]).backward()
            opt.step()
        with torch.no_grad():
            right = (lin(x).argmax(1) == y).numpy()
        res[name] = {v: float(right[test.numpy() & (voices == v)].mean()) for v in VOICES}
    return res


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("--lib", default=os.path.join(HERE, "..", "build", "liborvane.so"))
    ap.add_argument("--model", default="", help="a model folder (export.py --model-dir); default: the embedded model")
    ap.add_argument("--work", default=os.path.join(HERE, "work", "tone_probe"), help="folder for the audio")
    ap.add_argument("--json", default="")
    ap.add_argument("--features", action="store_true", help="also measure what the features carry (about 3 min)")
    ap.add_argument("--layers", default="", metavar="CKPT",
                    help="also measure how much of the tone each stage of this checkpoint keeps (about 3 min)")
    ap.add_argument("--fbank", default=os.path.join(HERE, "..", "build", "tools", "fbank", "orvane-fbank"))
    args = ap.parse_args()
    os.makedirs(args.work, exist_ok=True)

    from evaluate import LibBackend
    lib = LibBackend(args.lib, args.model, '{"lm": false}')
    items = probe_items(args.work)
    hyps = [lib(None, wav).split() for _, _, _, wav in items]
    acc, conf = score(items, hyps)

    res = {}
    print("%-18s %-8s %9s %13s %11s" % ("voice", "context", "syllables", "letters right", "tone right"))
    for (voice, context), (n, letters, tone) in sorted(acc.items(), key=lambda kv: (kv[0][1], kv[0][0])):
        res["%s %s" % (voice, context)] = {"syllables": n, "letters_right": letters,
                                           "tone_right": tone / max(1, letters)}
        print("%-18s %-8s %9d %13d %10.1f%%" % (voice, context, n, letters, 100.0 * tone / max(1, letters)))
    print("chance: %.1f%%; tone confusions of the syllables with the right letters (rows: said):" % (100 / 6))
    print("%8s " % "" + " ".join("%6s" % t for t in TONE_NAMES))
    for a in range(6):
        print("%8s " % TONE_NAMES[a] + " ".join("%6d" % conf[(a, b)] for b in range(6)))
    rows = feature_rows(args.work, args.fbank) if args.features or args.layers else []
    if args.features:
        res["features"] = feature_check(rows)
        print("tone classifier on the features, held-out bases: " +
              ", ".join("%s %.1f%%" % (v, 100.0 * a) for v, a in res["features"].items()))
    if args.layers:
        res["layers"] = layer_check(rows, args.layers)
        for name, acc in res["layers"].items():
            print("linear tone classifier on %-12s held-out bases: " % name +
                  ", ".join("%s %.1f%%" % (v, 100.0 * a) for v, a in acc.items()))
    if args.json:
        with open(args.json, "w") as f:
            json.dump(res, f, indent=1, ensure_ascii=False)


if __name__ == "__main__":
    main()
