"""How far each augmentation moves synthetic speech towards recorded speech, without training a model:
the Frechet distance between the log-mel frames (orvane-fbank, speech frames only) of a set of
recordings (e.g. a real-words-dev folder) and of synthetic utterances made with one
augmentation switched on for every utterance. Lower is closer. A proxy only: it says whether the
audio looks more like the recordings, not whether a model trained on it hears them better.
"""
import argparse
import os
import subprocess
import sys
import tempfile

import numpy as np

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import tts  # noqa: E402

FBANK = os.path.join(HERE, "..", "build", "tools", "fbank", "orvane-fbank")


def fbank(pairs, tmp):
    lst = os.path.join(tmp, "batch.lst")
    with open(lst, "w") as f:
        f.writelines("%s\t%s\n" % p for p in pairs)
    subprocess.run([FBANK, "--batch", lst], check=True, capture_output=True)
    frames = [np.load(npy) for _, npy in pairs]
    x = np.concatenate(frames)
    # speech frames: the loudest half of each utterance's frames
    return np.concatenate([f[f.max(1) >= np.median(f.max(1))] for f in frames]) if len(x) else x


def frechet(a, b):
    ma, mb = a.mean(0), b.mean(0)
    ca, cb = np.cov(a, rowvar=False), np.cov(b, rowvar=False)
    # trace of the square root of ca cb through the eigenvalues of a symmetric form
    w, v = np.linalg.eigh(ca)
    sa = (v * np.sqrt(np.maximum(w, 0))) @ v.T
    e = np.linalg.eigvalsh(sa @ cb @ sa)
    return float(((ma - mb) ** 2).sum() + np.trace(ca) + np.trace(cb) - 2 * np.sqrt(np.maximum(e, 0)).sum())


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--real", required=True, help="folder with manifest.tsv and the recordings")
    ap.add_argument("--text", required=True, help="source<TAB>sentence lines to synthesise")
    ap.add_argument("--num", type=int, default=150)
    ap.add_argument("--seed", type=int, default=5)
    ap.add_argument("--jobs", type=int, default=2)
    args = ap.parse_args()
    tmp = tempfile.mkdtemp(prefix="augdist")
    real = []
    for i, l in enumerate(list(open(os.path.join(args.real, "manifest.tsv"), encoding="utf-8"))[1:]):
        wav16 = os.path.join(tmp, "r%04d.wav" % i)
        subprocess.run(["sox", os.path.join(args.real, l.split("\t")[0]), "-r", "16000", wav16], check=True)
        real.append((wav16, os.path.join(tmp, "r%04d.npy" % i)))
    ref = fbank(real, tmp)
    texts = [l.rstrip("\n").split("\t")[1] for l in open(args.text, encoding="utf-8") if "\t" in l]
    import random
    r = random.Random(args.seed)
    jobs = []
    for i in range(args.num):
        jobs.append([None, None, r.choice(texts), r.choice(tts.VOICES), r.choice(tts.VARIANTS), r.randint(115, 195),
                     r.randint(20, 80), 20.0, r.randrange(1 << 30), True])  # 20 dB SNR: the noise types differ
    print("%-8s %10s" % ("augment", "Frechet distance to the recordings"))
    for aug in ["none"] + list(tts.AUGMENT_P):
        p = dict(tts.AUGMENT_P)
        tts.AUGMENT_P.update({a: 1.0 for a in tts.AUGMENT_P})  # the one asked for on every utterance
        pairs, todo = [], []
        for i, j in enumerate(jobs):
            wav = os.path.join(tmp, "%s%04d.wav" % (aug, i))
            todo.append(tuple([aug + str(i), wav] + j[2:] + [() if aug == "none" else (aug,)]))
            pairs.append((wav, wav[:-4] + ".npy"))
        from multiprocessing import Pool
        with Pool(args.jobs) as pool:
            pool.map(tts.make_one, todo)
        tts.AUGMENT_P.update(p)
        print("%-8s %10.1f" % (aug, frechet(fbank(pairs, tmp), ref)), flush=True)
    subprocess.run(["rm", "-rf", tmp])


if __name__ == "__main__":
    main()
