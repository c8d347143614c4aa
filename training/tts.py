"""Synthesises the corpus with espeak-ng and augments it.

Writes 16 kHz mono 16-bit WAV files and a manifest (TSV: id, wav, voice, variant,
rate, pitch, snr_db, text).  Train:  random voice, variant, rate, pitch, noise
(clean or 5..30 dB SNR), gain, silence, 8 kHz round trip, reverberation.
Test (--test):  every sentence in all three voices at fixed noise levels.

--augment adds speaker and channel variation to the training audio (each with its own probability,
AUGMENT_P): "speed" (sox speed 0.9-1.1: tempo and every frequency together), "warp" (sox pitch by a
factor 0.85-1.15: the whole spectrum, formants included, scaled like a longer or shorter vocal tract;
espeak-ng's own pitch setting varies F0 independently), "tilt" (random bass/treble shelves and one or
two peaking filters), "phone" (300-3400 Hz, 8 kHz, mu-law, A-law or GSM through sox, and back),
"clip" (hard clipping of 1-8 % of the samples), "rooms" (reverberation with every sox reverb
parameter drawn), "noises" (more noise types: band-limited, engine, clicks, tones and music-like
chords), "short" (a 1-3 syllable piece of the sentence: single words as people say them to a phone),
"lead" (up to 1.8 s of silence before speech). The tags of what was applied go into the manifest's
variant column ("m3,speed,phone-gsm").
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

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import festival_tts  # noqa: E402

AUGMENT_P = {"speed": 0.5, "warp": 0.5, "tilt": 0.5, "phone": 0.3, "clip": 0.08, "rooms": 0.3,
             "noises": 0.5, "short": 0.08, "lead": 0.2}
VOICES = ["vi", "vi-vn-x-central", "vi-vn-x-south"]
# Festival voices that training may use; "lj" (a Finnish woman) is kept out, to measure an unheard
# voice. Only kal's and ked's databases are under a permissive licence (festival_tts.VOICES), so they
# are the default: a model trained on the others inherits the GPL or the LGPL question.
FESTIVAL_TRAIN = ["kal", "ked", "pc", "lp", "dita", "machac", "mv"]
FESTIVAL_FREE = ["kal", "ked"]
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


def synth(text, voice, variant, rate, pitch, sox_effects, seed=0):
    if voice.startswith("fest-"):
        # espeak-ng's rate (words a minute, 115-195) and pitch (0-99) drawn as for its voices, turned into
        # a speaking-rate factor and an F0 factor
        try:
            return festival_tts.synth(text, voice[5:], seed, speed=rate / 165.0,
                                      f0_factor=0.85 + pitch / 330.0, sox_effects=sox_effects)
        except subprocess.CalledProcessError as e:
            # Festival crashes on a few utterances (a segmentation fault, about one in several thousand)
            print("festival failed on %r (%s), espeak-ng says it" % (text, e), file=sys.stderr)
        except ValueError:
            pass  # a word Festival's phones cannot say
        voice, variant = "vi", ""
    v = voice + ("+" + variant if variant else "")
    raw = subprocess.run(["espeak-ng", "-v", v, "-s", str(rate), "-p", str(pitch), "--stdout", text],
                         capture_output=True, check=True).stdout
    out = subprocess.run(["sox", "-t", "wav", "-", "-t", "wav", "-b", "16", "-"] + sox_effects,
                         input=raw, capture_output=True, check=True).stdout
    return read_wav(out)


def sox_filter(x, effects, out_args=()):
    """Runs 16 kHz float audio through sox (effects after an optional output format, out_args)."""
    buf = io.BytesIO()
    y = np.clip(np.round(x * 32767.0), -32768, 32767).astype(np.int16)
    with wave.open(buf, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(16000)
        w.writeframes(y.tobytes())
    out = subprocess.run(["sox", "-t", "wav", "-", *out_args, "-"] + effects, input=buf.getvalue(),
                         capture_output=True, check=True).stdout
    return out


def phone_channel(pr, x):
    """A telephone line: band 300-3400 Hz, 8 kHz, a codec, back to 16 kHz. Returns (audio, tag)."""
    codec = pr.choice(["ulaw", "alaw", "gsm", "pcm"])
    fmt = {"ulaw": ["-e", "mu-law", "-t", "wav"], "alaw": ["-e", "a-law", "-t", "wav"],
           "gsm": ["-t", "gsm"], "pcm": ["-t", "wav", "-b", "16"]}[codec]
    coded = sox_filter(x, ["sinc", "%d-%d" % (pr.randint(200, 400), pr.randint(3000, 3600)), "rate", "8000"],
                       ["-r", "8000", "-c", "1"] + fmt)
    back = subprocess.run(["sox", "-t", "gsm" if codec == "gsm" else "wav", "-r", "8000", "-c", "1", "-",
                           "-t", "wav", "-b", "16", "-e", "signed-integer", "-", "rate", "16000"],
                          input=coded, capture_output=True, check=True).stdout
    y = read_wav(back)
    return y[:len(x)] if len(y) >= len(x) else np.concatenate([y, np.zeros(len(x) - len(y), np.float32)]), \
        "phone-" + codec


def more_noise(r, pr, n):
    """Noise types beyond white/pink/brown/hum, unit variance: band-limited, engine, clicks, tones, chords."""
    kind = pr.choice(["band", "engine", "clicks", "tones", "chords"])
    t = np.arange(n) / 16000.0
    if kind == "band":
        f = np.fft.rfft(r.standard_normal(n))
        fr = np.fft.rfftfreq(n, 1 / 16000.0)
        lo = pr.uniform(100, 3000)
        f[(fr < lo) | (fr > lo * pr.uniform(1.5, 4))] = 0
        y = np.fft.irfft(f, n)
    elif kind == "engine":
        f0 = pr.uniform(20, 90)
        y = sum(np.sin(2 * np.pi * f0 * h * t + pr.uniform(0, 6)) / h for h in range(1, 8))
        y = y * (1 + 0.5 * np.sin(2 * np.pi * pr.uniform(0.5, 4) * t)) + 0.5 * colored_noise(r, n, "brown")
    elif kind == "clicks":
        y = 0.2 * colored_noise(r, n, "pink")
        for i in r.integers(0, n, size=max(1, int(n / 16000 * pr.uniform(2, 20)))):
            y[i:i + 40] += r.standard_normal(len(y[i:i + 40])) * pr.uniform(3, 10)
    else:
        y = np.zeros(n)
        pos = 0
        while pos < n:  # notes or beeps one after another
            ln = int(16000 * pr.uniform(0.1, 0.6))
            seg = t[:min(ln, n - pos)]
            freqs = [pr.uniform(300, 2500)] if kind == "tones" else \
                [220 * 2 ** (pr.randint(0, 24) / 12.0) for _ in range(3)]
            env = np.exp(-seg * pr.uniform(1, 8))
            y[pos:pos + len(seg)] = env * sum(np.sin(2 * np.pi * f * seg) for f in freqs)
            pos += ln + int(16000 * pr.uniform(0, 0.3))
    y = np.asarray(y, np.float32)
    return y / (np.std(y) + 1e-9), kind


def colored_noise(r, n, kind):
    w = r.standard_normal(n).astype(np.float32)
    if kind == "white":
        return w
    f = np.fft.rfft(w)
    k = np.arange(len(f), dtype=np.float32) + 1.0
    f = f / (np.sqrt(k) if kind == "pink" else k)
    y = np.fft.irfft(f, n).astype(np.float32)
    return y / (np.std(y) + 1e-9)


def add_noise(r, x, snr_db, babble=None, pr=None):
    """Noise at snr_db; with pr (a random.Random), drawn from more_noise's types instead."""
    kinds = ["white", "pink", "brown", "hum"] + (["babble"] if babble is not None else [])
    kind = r.choice(kinds)
    n = len(x)
    if pr is not None:
        noise, kind = more_noise(r, pr, n)
    elif kind == "babble":
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
    uid, path, text, voice, variant, rate, pitch, snr, seed, train, aug = job
    r = np.random.default_rng(seed)
    pr = random.Random(seed)
    # each augmentation draws from its own generator, so that switching one on or off leaves the others'
    # choices (and the rest of the utterance) as they were
    ar = {a: random.Random("%d-%s" % (seed, a)) for a in AUGMENT_P}
    on = {a for a in aug if ar[a].random() < AUGMENT_P[a]}
    tags = []
    if "short" in on:
        words = text.split()
        k = ar["short"].randint(1, min(3, len(words)))
        i = ar["short"].randint(0, len(words) - k)
        text = " ".join(words[i:i + k])
        tags.append("short")
    eff = []
    if "speed" in on:
        eff += ["speed", "%.3f" % ar["speed"].uniform(0.9, 1.1)]
        tags.append("speed")
    if "warp" in on:
        eff += ["pitch", "%.0f" % (1200 * np.log2(ar["warp"].uniform(0.85, 1.15)))]
        tags.append("warp")
    eff += ["rate", "16000"]
    if "tilt" in on:
        a = ar["tilt"]
        eff += ["bass", "%.1f" % a.uniform(-10, 6), "treble", "%.1f" % a.uniform(-10, 6)]
        for _ in range(a.randint(1, 2)):
            eff += ["equalizer", "%.0f" % (200 * 20 ** a.random()), "1q", "%.1f" % a.uniform(-12, 8)]
        tags.append("tilt")
    if train:
        if pr.random() < 0.2 and "phone" not in on:
            eff += ["rate", "8000", "rate", "16000"]
        if "rooms" in on:
            a = ar["rooms"]
            eff += ["reverb", str(a.randint(10, 95)), str(a.randint(0, 100)), str(a.randint(10, 100)), "100",
                    str(a.randint(0, 60)), "%.1f" % a.uniform(-6, 0)]
            tags.append("rooms")
        elif pr.random() < 0.25:
            eff += ["reverb", str(pr.randint(10, 60)), "50", str(pr.randint(10, 80))]
    if "tilt" in on:
        eff += ["gain", "-n", "-3"]  # the filters' boosts must not clip here
    try:
        x = synth(text, voice, variant, rate, pitch, eff, seed)
    except subprocess.CalledProcessError:
        # espeak-ng occasionally crashes on a voice variant; the plain voice does not
        variant = None
        x = synth(text, voice, variant, rate, pitch, eff)
    if train:
        lead, trail = pr.uniform(0.0, 0.6), pr.uniform(0.0, 0.6)
        if "lead" in on:
            lead = ar["lead"].uniform(0.6, 1.8)
            tags.append("lead")
        x = np.concatenate([np.zeros(int(lead * 16000), np.float32), x, np.zeros(int(trail * 16000), np.float32)])
        x = x * (10 ** (pr.uniform(-12, 3) / 20.0)) / (np.max(np.abs(x)) + 1e-9) * 0.7
    else:
        x = np.concatenate([np.zeros(3200, np.float32), x, np.zeros(3200, np.float32)])
        x = x / (np.max(np.abs(x)) + 1e-9) * 0.5
    if snr is not None:
        babble = None
        if train and pr.random() < 0.3:
            babble = babble_signal(pr)
        more = "noises" in on and babble is None
        x = add_noise(r, x, snr, babble, ar["noises"] if more else None)
        if more:
            tags.append("noises")
    if "clip" in on:
        level = np.quantile(np.abs(x), 1 - ar["clip"].uniform(0.01, 0.08))
        x = np.clip(x, -level, level) * (0.7 / (level + 1e-9))
        tags.append("clip")
    if "phone" in on:
        x, tag = phone_channel(ar["phone"], x)
        tags.append(tag)
    peak = np.max(np.abs(x))
    if peak > 0.99:
        x = x * (0.99 / peak)
    write_wav(path, x)
    return "%s\t%s\t%s\t%s\t%d\t%d\t%s\t%s" % (uid, path, voice, ",".join([variant or "-"] + tags), rate, pitch,
                                              "clean" if snr is None else "%d" % round(snr), text)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--text", required=True, help="source<TAB>sentence lines")
    ap.add_argument("--out", required=True, help="folder for the WAV files")
    ap.add_argument("--manifest", required=True)
    ap.add_argument("--num", type=int, default=6000, help="train: number of utterances")
    ap.add_argument("--test", action="store_true")
    ap.add_argument("--test-sentences", type=int, default=150,
                    help="test: sentences drawn (a fixed share per older source); 0: every sentence of --text")
    ap.add_argument("--prefix", default="t", help="test: utterance ids start with this")
    ap.add_argument("--augment", default="",
                    help="train: comma-separated augmentations (speed,warp,tilt,phone,clip,rooms,noises,short,lead), "
                         "or 'all'")
    ap.add_argument("--festival", type=float, default=0.0,
                    help="train: share of utterances said by a Festival voice of another language")
    ap.add_argument("--festival-voices", default=",".join(FESTIVAL_FREE),
                    help="train: the Festival voices --festival draws from (%s; default: the permissively "
                         "licensed ones)" % ",".join(FESTIVAL_TRAIN))
    ap.add_argument("--test-voices", default=",".join(VOICES),
                    help="test: voices, espeak-ng's or fest-NAME (%s)" % ",".join(sorted(festival_tts.VOICES)))
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
        picked = [t for _, t in rows] if args.test_sentences == 0 else []
        for s, frac in (share.items() if args.test_sentences else ()):
            lst = sorted(by_src.get(s, []))
            r.shuffle(lst)
            picked += lst[:int(round(args.test_sentences * frac))]
        for i, text in enumerate(picked):
            for voice in args.test_voices.split(","):
                variant = r.choice(VARIANTS)
                rate, pitch = r.randint(130, 180), r.randint(30, 70)
                for snr in (None, 20, 10):
                    uid = "%s%04d_%s_%s" % (args.prefix, i, voice, "clean" if snr is None else snr)
                    jobs.append((uid, os.path.join(args.out, uid + ".wav"), text, voice, variant, rate, pitch,
                                 snr, r.randrange(1 << 30), False, ()))
    else:
        aug = tuple(AUGMENT_P) if args.augment == "all" else tuple(a for a in args.augment.split(",") if a)
        for a in aug:
            if a not in AUGMENT_P:
                raise SystemExit("unknown augmentation %s" % a)
        weights = {k: float(v) for k, v in (kv.split("=") for kv in args.weights.split(","))}
        festival_voices = args.festival_voices.split(",")
        for v in festival_voices:
            if v not in festival_tts.VOICES:
                raise SystemExit("unknown Festival voice %s" % v)
        srcs, w = zip(*[(s, x) for s, x in weights.items() if s in by_src])
        for i in range(args.num):
            text = r.choice(by_src[r.choices(srcs, w)[0]])
            snr = None if r.random() < 0.2 else r.uniform(5, 30)
            uid = "u%06d" % i
            voice, variant = r.choice(VOICES), r.choice(VARIANTS)
            if args.festival and r.random() < args.festival:
                voice, variant = "fest-" + r.choice(festival_voices), ""
            jobs.append((uid, os.path.join(args.out, uid + ".wav"), text, voice, variant,
                         r.randint(115, 195), r.randint(20, 80), snr, r.randrange(1 << 30), True, aug))
    with Pool(args.jobs) as pool, open(args.manifest, "w", encoding="utf-8") as f:
        for k, line in enumerate(pool.imap(make_one, jobs, chunksize=16)):
            f.write(line + "\n")
            if k % 500 == 0:
                print(k, file=sys.stderr, flush=True)


if __name__ == "__main__":
    main()
