"""Synthesises the corpus with espeak-ng and augments it.

Writes 16 kHz mono 16-bit WAV files and a manifest (TSV: id, wav, voice, variant,
rate, pitch, snr_db, text).  Train:  random voice, variant, rate, pitch, noise
(clean or 5..30 dB SNR), gain, silence, 8 kHz round trip, reverberation.
Test (--test):  every sentence in all three voices at fixed noise levels.
"""
import argparse
import io
import os
import random
import subprocess
import sys
import wave
from multiprocessing import Pool

import numpy as np

VOICES = ["vi", "vi-vn-x-central", "vi-vn-x-south"]
VARIANTS = ["", "m1", "m2", "m3", "m4", "m5", "m6", "m7", "m8", "f1", "f2", "f3", "f4", "f5",
            "klatt", "klatt2", "klatt3", "klatt4", "Nguyen", "adam", "david", "john", "max", "paul",
            "rob", "linda", "steph", "anika", "grandma", "grandpa", "aunty", "edward", "michel", "victor"]


def read_wav(data):
    with wave.open(io.BytesIO(data)) as w:
        assert w.getsampwidth() == 2 and w.getnchannels() == 1
        return np.frombuffer(w.readframes(w.getnframes()), dtype=np.int16).astype(np.float32) / 32768.0


def write_wav(path, x):
    y = np.clip(np.round(x * 32767.0), -32768, 32767).astype(np.int16)
    with wave.open(path, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(16000)
        w.writeframes(y.tobytes())


def synth(text, voice, variant, rate, pitch, sox_effects):
    v = voice + ("+" + variant if variant else "")
    raw = subprocess.run(["espeak-ng", "-v", v, "-s", str(rate), "-p", str(pitch), "--stdout", text],
                         capture_output=True, check=True).stdout
    out = subprocess.run(["sox", "-t", "wav", "-", "-t", "wav", "-b", "16", "-"] + sox_effects,
                         input=raw, capture_output=True, check=True).stdout
    return read_wav(out)


def colored_noise(r, n, kind):
    w = r.standard_normal(n).astype(np.float32)
    if kind == "white":
        return w
    f = np.fft.rfft(w)
    k = np.arange(len(f), dtype=np.float32) + 1.0
    f = f / (np.sqrt(k) if kind == "pink" else k)
    y = np.fft.irfft(f, n).astype(np.float32)
    return y / (np.std(y) + 1e-9)


def add_noise(r, x, snr_db, babble=None):
    kinds = ["white", "pink", "brown", "hum"] + (["babble"] if babble is not None else [])
    kind = r.choice(kinds)
    n = len(x)
    if kind == "babble":
        b = np.resize(babble, n)
        noise = b / (np.std(b) + 1e-9)
    elif kind == "hum":
        t = np.arange(n) / 16000.0
        f0 = r.choice([50.0, 60.0])
        noise = sum(np.sin(2 * np.pi * f0 * h * t + r.uniform(0, 6)) / h for h in (1, 2, 3, 5)).astype(np.float32)
        noise += 0.3 * colored_noise(r, n, "pink")
        noise /= np.std(noise) + 1e-9
    else:
        noise = colored_noise(r, n, kind)
    # speech power measured over the active part only, so silence padding does not bias the SNR
    act = x[np.abs(x) > 0.02 * (np.max(np.abs(x)) + 1e-9)]
    p = np.mean(act ** 2) if len(act) else np.mean(x ** 2)
    return x + noise * np.sqrt(p / (10 ** (snr_db / 10.0)))


_BABBLE = []


def babble_signal(pr):
    """Background talk: a few other synthetic utterances, made once per worker."""
    if len(_BABBLE) < 6:
        _BABBLE.append(synth(pr.choice(["một hai ba bốn năm sáu bảy tám chín mười xin chào các bạn",
                                        "hôm nay chúng ta nói chuyện về công việc và gia đình",
                                        "anh ơi cho em hỏi đường đến chợ bến thành đi thế nào"]),
                             pr.choice(VOICES), pr.choice(VARIANTS), pr.randint(140, 200), pr.randint(20, 80),
                             ["rate", "16000"]))
    return pr.choice(_BABBLE)


def make_one(job):
    uid, path, text, voice, variant, rate, pitch, snr, seed, train = job
    r = np.random.default_rng(seed)
    pr = random.Random(seed)
    eff = ["rate", "16000"]
    if train:
        if pr.random() < 0.2:
            eff += ["rate", "8000", "rate", "16000"]
        if pr.random() < 0.25:
            eff += ["reverb", str(pr.randint(10, 60)), "50", str(pr.randint(10, 80))]
    try:
        x = synth(text, voice, variant, rate, pitch, eff)
    except subprocess.CalledProcessError:
        # espeak-ng occasionally crashes on a voice variant; the plain voice does not
        variant = None
        x = synth(text, voice, variant, rate, pitch, eff)
    if train:
        lead, trail = pr.uniform(0.0, 0.6), pr.uniform(0.0, 0.6)
        x = np.concatenate([np.zeros(int(lead * 16000), np.float32), x, np.zeros(int(trail * 16000), np.float32)])
        x = x * (10 ** (pr.uniform(-12, 3) / 20.0)) / (np.max(np.abs(x)) + 1e-9) * 0.7
    else:
        x = np.concatenate([np.zeros(3200, np.float32), x, np.zeros(3200, np.float32)])
        x = x / (np.max(np.abs(x)) + 1e-9) * 0.5
    if snr is not None:
        babble = None
        if train and pr.random() < 0.3:
            babble = babble_signal(pr)
        x = add_noise(r, x, snr, babble)
    peak = np.max(np.abs(x))
    if peak > 0.99:
        x = x * (0.99 / peak)
    write_wav(path, x)
    return "%s\t%s\t%s\t%s\t%d\t%d\t%s\t%s" % (uid, path, voice, variant or "-", rate, pitch,
                                              "clean" if snr is None else "%d" % round(snr), text)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--text", required=True, help="source<TAB>sentence lines")
    ap.add_argument("--out", required=True, help="folder for the WAV files")
    ap.add_argument("--manifest", required=True)
    ap.add_argument("--num", type=int, default=6000, help="train: number of utterances")
    ap.add_argument("--test", action="store_true")
    ap.add_argument("--test-sentences", type=int, default=150)
    ap.add_argument("--seed", type=int, default=1)
    ap.add_argument("--jobs", type=int, default=2)
    ap.add_argument("--weights", default="everyday=0.5,gettext=0.25,manpages=0.08,maintguide=0.08,dict=0.09",
                    help="train: share of utterances per text source")
    args = ap.parse_args()
    os.makedirs(args.out, exist_ok=True)
    r = random.Random(args.seed)
    rows = [l.rstrip("\n").split("\t") for l in open(args.text, encoding="utf-8") if "\t" in l]
    by_src = {}
    for s, t in rows:
        by_src.setdefault(s, []).append(t)
    jobs = []
    if args.test:
        # a fixed share per source, every sentence in all voices and three noise levels
        share = {"everyday": 0.5, "gettext": 0.2, "manpages": 0.1, "maintguide": 0.1, "dict": 0.1}
        picked = []
        for s, frac in share.items():
            lst = sorted(by_src.get(s, []))
            r.shuffle(lst)
            picked += lst[:int(round(args.test_sentences * frac))]
        for i, text in enumerate(picked):
            for voice in VOICES:
                variant = r.choice(VARIANTS)
                rate, pitch = r.randint(130, 180), r.randint(30, 70)
                for snr in (None, 20, 10):
                    uid = "t%04d_%s_%s" % (i, voice, "clean" if snr is None else snr)
                    jobs.append((uid, os.path.join(args.out, uid + ".wav"), text, voice, variant, rate, pitch,
                                 snr, r.randrange(1 << 30), False))
    else:
        weights = {k: float(v) for k, v in (kv.split("=") for kv in args.weights.split(","))}
        srcs, w = zip(*[(s, x) for s, x in weights.items() if s in by_src])
        for i in range(args.num):
            text = r.choice(by_src[r.choices(srcs, w)[0]])
            snr = None if r.random() < 0.2 else r.uniform(5, 30)
            uid = "u%06d" % i
            jobs.append((uid, os.path.join(args.out, uid + ".wav"), text, r.choice(VOICES), r.choice(VARIANTS),
                         r.randint(115, 195), r.randint(20, 80), snr, r.randrange(1 << 30), True))
    with Pool(args.jobs) as pool, open(args.manifest, "w", encoding="utf-8") as f:
        for k, line in enumerate(pool.imap(make_one, jobs, chunksize=16)):
            f.write(line + "\n")
            if k % 500 == 0:
                print(k, file=sys.stderr, flush=True)


if __name__ == "__main__":
    main()
