"""Rare-name hotword check through the library's C interface.

Synthesises (espeak-ng, clean, one voice per sentence) sentences that carry a rare personal name,
transcribes each through a session of the "vad" + "orvane" pipeline without hotwords and with the
name as the session's hotword (orvane_session_set_hotwords), and counts the sentences whose name
comes out right only with the hotword. Then transcribes ordinary held-out audio (a manifest) with a
list of unrelated names as hotwords and counts the transcripts that change.

    /usr/bin/python3 hotwords_check.py --lib ../build/liborvane.so \
        --ordinary /work/data/eval/test_new.tsv --ordinary-limit 150
"""
import argparse
import ctypes
import os
import sys
import wave

import numpy as np

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import tts  # noqa: E402

# Names and carrier sentences written for this check (not from any corpus).
NAMES = ["khúc thừa dụ", "tôn thất thuyết", "mạc đĩnh chi", "bế văn đàn", "hứa vĩnh khuê",
         "giáp văn khương", "lục vân tiên", "kiều nguyệt nga", "thạch sanh", "ông ích khiêm",
         "quách tĩnh", "nghiêm xuân yêm", "ngụy như kon tum", "kha vạng cân", "ưng hoàng phúc",
         "lã văn cầu"]
CARRIERS = ["hôm qua tôi gặp {} ở chợ", "chị ấy vừa gọi điện cho {} xong", "ngày mai {} sẽ đến thăm lớp",
            "bạn có biết {} không", "mọi người đang chờ {} ở cổng trường", "tôi đã gửi thư cho {} rồi"]
UNRELATED = ["phạm ngũ lão", "trần khát chân", "lý thường kiệt", "đoàn thị điểm", "cao bá quát"]


def open_lib(path):
    lib = ctypes.CDLL(path)
    vp, cp = ctypes.c_void_p, ctypes.c_char_p
    for name, res, args in [("orvane_pipeline_new", vp, []), ("orvane_pipeline_add_module", ctypes.c_int, [vp, cp, cp]),
                            ("orvane_pipeline_build", ctypes.c_int, [vp]), ("orvane_session_new", vp, [vp, ctypes.c_float]),
                            ("orvane_session_free", None, [vp]), ("orvane_final_result", cp, [vp]),
                            ("orvane_accept_waveform_s16", ctypes.c_int, [vp, ctypes.POINTER(ctypes.c_int16), ctypes.c_int]),
                            ("orvane_session_set_hotwords", ctypes.c_int, [vp, cp, ctypes.c_float]),
                            ("orvane_last_error", cp, []), ("orvane_set_log_level", None, [ctypes.c_int])]:
        fn = getattr(lib, name)
        fn.restype, fn.argtypes = res, args
    lib.orvane_set_log_level(4)
    return lib


class Recogniser:
    def __init__(self, lib):
        import json
        self.json, self.lib = json, open_lib(lib)
        self.p = self.lib.orvane_pipeline_new()
        self.lib.orvane_pipeline_add_module(self.p, b"vad", b"{}")
        self.lib.orvane_pipeline_add_module(self.p, b"orvane", b"{}")
        if self.lib.orvane_pipeline_build(self.p) != 0:
            raise SystemExit(self.lib.orvane_last_error().decode())

    def __call__(self, samples, hotwords=None, score=3.0):
        s = self.lib.orvane_session_new(self.p, 16000.0)
        if hotwords is not None:
            if self.lib.orvane_session_set_hotwords(s, "\n".join(hotwords).encode(), score) != 0:
                raise SystemExit(self.lib.orvane_last_error().decode())
        self.lib.orvane_accept_waveform_s16(s, samples.ctypes.data_as(ctypes.POINTER(ctypes.c_int16)), len(samples))
        text = self.json.loads(self.lib.orvane_final_result(s).decode())["text"]
        self.lib.orvane_session_free(s)
        return " ".join(text.split())


def read_wav(path):
    with wave.open(path) as w:
        return np.frombuffer(w.readframes(w.getnframes()), dtype=np.int16).copy()


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--lib", default=os.path.join(HERE, "..", "build", "liborvane.so"))
    ap.add_argument("--out", default=os.path.join(HERE, "work", "hotwords"))
    ap.add_argument("--score", type=float, default=3.0)
    ap.add_argument("--ordinary", default="", help="manifest of ordinary held-out audio")
    ap.add_argument("--ordinary-limit", type=int, default=150)
    args = ap.parse_args()
    os.makedirs(args.out, exist_ok=True)
    rec = Recogniser(args.lib)

    wrong, fixed, broken = 0, 0, 0
    for i, name in enumerate(NAMES):
        text = CARRIERS[i % len(CARRIERS)].format(name)
        voice = tts.VOICES[i % 3]
        x = tts.synth(text, voice, "", 150, 50, ["rate", "16000"])
        x = np.concatenate([np.zeros(3200, np.float32), x, np.zeros(3200, np.float32)])
        samples = np.clip(np.round(x / (np.max(np.abs(x)) + 1e-9) * 0.5 * 32767), -32768, 32767).astype(np.int16)
        plain = rec(samples)
        boosted = rec(samples, [name], args.score)
        ok_plain, ok_boosted = name in plain, name in boosted
        wrong += not ok_plain
        fixed += (not ok_plain) and ok_boosted
        broken += ok_plain and not ok_boosted
        print("%-16s %-3s %s\n%-16s %-3s %s" % (voice, "ok" if ok_plain else "--", plain, "  + " + name[:12],
                                              "ok" if ok_boosted else "--", boosted))
    print("names wrong without the hotword: %d of %d; right with it: %d of those %d; broken by it: %d"
          % (wrong, len(NAMES), fixed, wrong, broken))

    if args.ordinary:
        rows = [l.rstrip("\n").split("\t") for l in open(args.ordinary, encoding="utf-8") if l.strip()]
        rows = rows[:args.ordinary_limit]
        changed = 0
        for row in rows:
            samples = read_wav(row[1])
            a, b = rec(samples), rec(samples, UNRELATED, args.score)
            if a != b:
                changed += 1
                print("CHANGED %s\n   from %s\n     to %s" % (row[0], a, b))
        print("ordinary utterances changed by %d unrelated hotwords: %d of %d" % (len(UNRELATED), changed, len(rows)))


if __name__ == "__main__":
    main()
