"""Character and syllable error rates on the held-out synthetic test set, per voice,
per noise level and per text source.

Backends:
  --backend lib    through the library itself: liborvane's C interface (ctypes),
                   pipeline preset "transcribe", orvane_transcribe_file on each WAV
                   (beam search, endpointing and detokenisation of the library).
  --backend torch  PyTorch greedy CTC decoding of the checkpoint on the features
                   written by orvane-fbank (same streaming computation, no beam).
"""
import argparse
import collections
import ctypes
import json
import os
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)

from vntext import strip_tone  # noqa: E402


def edit_distance(a, b):
    prev = list(range(len(b) + 1))
    for i, x in enumerate(a, 1):
        cur = [i] + [0] * len(b)
        for j, y in enumerate(b, 1):
            cur[j] = min(prev[j] + 1, cur[j - 1] + 1, prev[j - 1] + (x != y))
        prev = cur
    return prev[-1]


class Phonemiser:
    """Syllables as the espeak-ng voice pronounces them (`espeak-ng -q -x`), one call per
    distinct syllable and voice. Where the voice says two spellings alike (s/x, d/gi/r, tr/ch,
    final n/ng in the south) only context can tell them apart."""

    def __init__(self):
        self.cache = {}

    def __call__(self, voice, text):
        out = []
        for syl in text.split():
            key = (voice, syl)
            if key not in self.cache:
                p = subprocess.run(["espeak-ng", "-q", "-x", "-v", voice, syl], capture_output=True, text=True)
                self.cache[key] = p.stdout.strip().strip("_|") or syl
            out.append(self.cache[key])
        return out


def text_sources(path):
    """{sentence: its text source} from source<TAB>sentence lines (the first source where a sentence
    comes twice); empty when the file is missing."""
    src = {}
    if os.path.exists(path):
        for l in open(path, encoding="utf-8"):
            s, t = l.rstrip("\n").split("\t")
            src.setdefault(t, s)
    return src


NEW_SOURCES = ("wiki", "tatoeba", "commonvoice", "ud")


def real_rows(folder):
    """Manifest rows of recorded speech (its manifest.tsv: wav, transcript, duration_s)."""
    rows = []
    for l in list(open(os.path.join(folder, "manifest.tsv"), encoding="utf-8"))[1:]:
        wav, text = l.rstrip("\n").split("\t")[:2]
        uid = os.path.splitext(os.path.basename(wav))[0]
        rows.append([uid, os.path.join(folder, wav), "real", "-", "0", "0", "real", " ".join(text.split())])
    return rows


def detokenize(units):
    out = ""
    for u in units:
        if u.startswith("\u2581"):
            if out:
                out += " "
            out += u[1:]
        elif u not in ("<unk>", "<context>", "</context>"):
            out += u
    return out


def greedy(logits):
    """Greedy CTC decoding of scores [frames, units] -> [(unit id, frame where it starts)], repeats
    merged and blanks (id 0) dropped."""
    out, prev = [], 0
    for f, k in enumerate(logits.argmax(-1).tolist()):
        if k != prev and k != 0:
            out.append((k, f))
        prev = k
    return out


class TorchBackend:
    def __init__(self, ckpt, vocab, feat_dir, weights):
        import numpy as np
        import torch
        from export import load
        torch.set_num_threads(2)
        self.np, self.torch = np, torch
        self.m, _ = load(ckpt, weights)
        self.units = [l.split(" ")[0] for l in open(vocab, encoding="utf-8").read().split("\n") if l]
        self.feat_dir = feat_dir

    def logits(self, uid):
        """The utterance's scores [frames, units], as many frames as the library would produce."""
        from model import StreamingCtc
        x = self.torch.from_numpy(self.np.load(os.path.join(self.feat_dir, uid + ".npy")))
        with self.torch.no_grad():
            return self.m(x.unsqueeze(0))[0][:StreamingCtc.num_out_frames(x.shape[0])]

    def __call__(self, uid, wav):
        return detokenize([self.units[k] for k, _ in greedy(self.logits(uid))])


class LibBackend:
    def __init__(self, lib, model_dir="", config=""):
        self.lib = ctypes.CDLL(lib)
        vp, cp = ctypes.c_void_p, ctypes.c_char_p
        for name, res, args in (("orvane_pipeline_preset", vp, [cp]), ("orvane_pipeline_new", vp, []),
                                ("orvane_pipeline_add_module", ctypes.c_int, [vp, cp, cp]),
                                ("orvane_pipeline_build", ctypes.c_int, [vp]), ("orvane_pipeline_free", None, [vp]),
                                ("orvane_last_error", cp, []), ("orvane_transcribe_file", cp, [vp, cp]),
                                ("orvane_set_log_level", None, [ctypes.c_int])):
            fn = getattr(self.lib, name)
            fn.restype, fn.argtypes = res, args
        self.lib.orvane_set_log_level(3)
        if model_dir:
            # a library that ignores "model_dir" would quietly decode with its embedded model
            self.lib.orvane_set_log_level(5)  # the probe's failure is expected, not news
            probe = self.folder_pipeline(os.path.join(model_dir, "no such folder"))
            self.lib.orvane_set_log_level(3)
            if probe[1] == 0:
                self.lib.orvane_pipeline_free(probe[0])
                raise SystemExit("%s does not load model folders (\"model_dir\"): it ignored a missing one" % lib)
            self.lib.orvane_pipeline_free(probe[0])
            self.p, rc = self.folder_pipeline(model_dir, config)
            if rc != 0:
                raise SystemExit("cannot load %s: %s" % (model_dir, self.lib.orvane_last_error().decode()))
        elif config:
            # the "transcribe" preset's modules, the recogniser with this configuration text
            self.p = self.lib.orvane_pipeline_new()
            self.lib.orvane_pipeline_add_module(self.p, b"vad", b"{}")
            self.lib.orvane_pipeline_add_module(self.p, b"orvane", config.encode())
            if self.lib.orvane_pipeline_build(self.p) != 0:
                raise SystemExit("cannot build the pipeline: " + self.lib.orvane_last_error().decode())
        else:
            self.p = self.lib.orvane_pipeline_preset(b"transcribe")
        if not self.p:
            raise SystemExit("cannot build the transcribe pipeline")

    def folder_pipeline(self, model_dir, config=""):
        """The "transcribe" preset's modules with the recogniser's model from `model_dir`
        (model.onnx + units.txt) and the members of `config`. Returns (pipeline, build code)."""
        p = self.lib.orvane_pipeline_new()
        self.lib.orvane_pipeline_add_module(p, b"vad", b"{}")
        settings = json.loads(config) if config else {}
        settings["model_dir"] = os.path.abspath(model_dir)
        config = json.dumps(settings)
        self.lib.orvane_pipeline_add_module(p, b"orvane", config.encode())
        return p, self.lib.orvane_pipeline_build(p)

    def __call__(self, uid, wav):
        doc = json.loads(self.lib.orvane_transcribe_file(self.p, wav.encode()).decode("utf-8"))
        if "error" in doc:
            raise SystemExit("%s: %s" % (wav, doc["error"]))
        return " ".join(doc.get("text", "").split())


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--backend", choices=["lib", "torch"], default="lib")
    ap.add_argument("--lib", default=os.path.join(HERE, "..", "build", "liborvane.so"))
    ap.add_argument("--model", default="", help="lib backend: the model folder (model.onnx + units.txt) to load "
                                                "instead of the embedded model")
    ap.add_argument("--ckpt", default=os.path.join(HERE, "work", "ckpt", "last.pt"))
    ap.add_argument("--vocab", default=os.path.join(HERE, "..", "assets", "asr_vocab.txt"))
    ap.add_argument("--manifest", default=os.path.join(HERE, "work", "test.tsv"))
    ap.add_argument("--feats", default=os.path.join(HERE, "work", "feats", "test"))
    ap.add_argument("--sources", default=os.path.join(HERE, "work", "text", "test.txt"))
    ap.add_argument("--weights", choices=["fp32", "fp16", "int8"], default="fp32",
                    help="torch backend: round the weights as export.py --weights stores them")
    ap.add_argument("--config", default="",
                    help='lib backend: configuration text of the recogniser, e.g. \'{"lm": false}\'')
    ap.add_argument("--real-dev", default="",
                    help="score recorded speech instead: a folder with manifest.tsv (wav, transcript, duration_s), "
                         "e.g. a real-words-dev folder; the torch backend reads its features from --feats "
                         "(16 kHz copies through feats.py)")
    ap.add_argument("--limit", type=int, default=0)
    ap.add_argument("--json", default="", help="write the figures here")
    ap.add_argument("--show", type=int, default=5, help="print this many example errors")
    ap.add_argument("--homophones", action="store_true",
                    help="also count syllable errors over espeak-ng's phonemes of each syllable in the voice "
                         "that spoke it: a syllable the voice pronounces like the reference is not an error")
    ap.add_argument("--by-variant", action="store_true",
                    help="also break the figures down by voice variant and by pitch (in steps of 20)")
    args = ap.parse_args()

    if args.real_dev:
        rows = real_rows(args.real_dev)
        src = {r[7]: "real-words" for r in rows}
    else:
        src = text_sources(args.sources)
        rows = [l.rstrip("\n").split("\t") for l in open(args.manifest, encoding="utf-8") if l.endswith("\n")]
    if args.limit:
        rows = rows[:args.limit]
    dec = (TorchBackend(args.ckpt, args.vocab, args.feats, args.weights) if args.backend == "torch"
           else LibBackend(args.lib, args.model, args.config))
    t0, audio, decoded = time.time(), 0.0, []
    for uid, wav, voice, variant, rate, pitch, noise, ref in rows:
        decoded.append((voice, variant, int(pitch), noise, ref, dec(uid, wav)))
        audio += os.path.getsize(wav) / 32000.0
    el = time.time() - t0

    phon = Phonemiser() if args.homophones else None
    # char err, chars, syl err, syls, utts, syl err with tones ignored, syl err over espeak-ng phonemes,
    # utterances transcribed exactly
    acc = collections.defaultdict(lambda: [0] * 8)
    shown = 0
    for voice, variant, pitch, noise, ref, hyp in decoded:
        ce, cn = edit_distance(list(hyp), list(ref)), len(ref)
        we, wn = edit_distance(hyp.split(), ref.split()), len(ref.split())
        te = edit_distance([strip_tone(x)[0] for x in hyp.split()], [strip_tone(x)[0] for x in ref.split()])
        pe = edit_distance(phon(voice, hyp), phon(voice, ref)) if phon else 0
        keys = ["all", "voice=" + voice, "noise=" + noise]
        if src:  # a recorded corpus has no text sources
            keys.append("source=" + src.get(ref, "?"))
            if src.get(ref) != "dict":  # real text, without the random syllable strings
                keys.append("sentences")
        if src.get(ref) in NEW_SOURCES:
            keys += ["new sources", "new sources noise=" + noise, "new sources voice=" + voice,
                     "source=%s noise=%s" % (src[ref], noise), "source=%s voice=%s" % (src[ref], voice)]
        if src.get(ref) == "real-words":
            keys.append("phrase=" + ref)
        if args.by_variant:
            keys += ["variant=" + variant, "pitch=%02d-%02d" % (pitch // 20 * 20, pitch // 20 * 20 + 19)]
        for key in keys:
            a = acc[key]
            for i, v in enumerate((ce, cn, we, wn, 1, te, pe, int(hyp == ref))):
                a[i] += v
        if we and shown < args.show:
            print("REF %s\nHYP %s  [%s %s %s]" % (ref, hyp, voice, variant, noise))
            shown += 1
    res = {}
    print("%-24s %6s %6s %8s %8s %14s %14s" % ("subset", "utts", "right", "CER %", "SylER %", "toneless SylER",
                                                "phonemic SylER" if phon else ""))
    for key in sorted(acc, key=lambda k: (k != "all", k)):
        a = acc[key]
        res[key] = {"utts": a[4], "cer": 100.0 * a[0] / max(1, a[1]), "syl_er": 100.0 * a[2] / max(1, a[3]),
                    "toneless_syl_er": 100.0 * a[5] / max(1, a[3]), "right": a[7]}
        if phon:
            res[key]["phonemic_syl_er"] = 100.0 * a[6] / max(1, a[3])
        print("%-24s %6d %6d %8.2f %8.2f %14.2f %14s" % (key, a[4], a[7], res[key]["cer"], res[key]["syl_er"],
                                                     res[key]["toneless_syl_er"],
                                                     "%.2f" % res[key]["phonemic_syl_er"] if phon else ""))
    print("backend %s: %d utterances, %.0f s of audio in %.0f s (real-time factor %.3f)"
          % (args.backend, len(rows), audio, el, el / max(audio, 1e-9)))
    if args.json:
        with open(args.json, "w") as f:
            json.dump({"backend": args.backend, "results": res, "seconds": el, "audio_seconds": audio}, f, indent=1)


if __name__ == "__main__":
    main()
