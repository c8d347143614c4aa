"""Transcribes 16 kHz (or any rate) 16-bit WAV files through liborvane's C interface.

  python3 training/transcribe.py samples/troi_sap_mua.wav            # one-shot call
  python3 training/transcribe.py --stream samples/troi_sap_mua.wav   # session, partial results per 0.2 s

--lib picks the shared library (default build/liborvane.so of this checkout).
"""
import argparse
import ctypes
import json
import os
import wave

HERE = os.path.dirname(os.path.abspath(__file__))


def open_lib(path):
    lib = ctypes.CDLL(path)
    vp, cp = ctypes.c_void_p, ctypes.c_char_p
    sigs = {
        "orvane_pipeline_preset": (vp, [cp]),
        "orvane_pipeline_free": (None, [vp]),
        "orvane_transcribe_file": (cp, [vp, cp]),
        "orvane_session_new": (vp, [vp, ctypes.c_float]),
        "orvane_session_free": (None, [vp]),
        "orvane_accept_waveform_s16": (ctypes.c_int, [vp, ctypes.POINTER(ctypes.c_int16), ctypes.c_int]),
        "orvane_partial_result": (cp, [vp]),
        "orvane_final_result": (cp, [vp]),
        "orvane_set_log_level": (None, [ctypes.c_int]),
    }
    for name, (res, args) in sigs.items():
        fn = getattr(lib, name)
        fn.restype, fn.argtypes = res, args
    return lib


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("wav", nargs="+")
    ap.add_argument("--lib", default=os.path.join(HERE, "..", "build", "liborvane.so"))
    ap.add_argument("--stream", action="store_true")
    args = ap.parse_args()
    lib = open_lib(args.lib)
    lib.orvane_set_log_level(3)
    p = lib.orvane_pipeline_preset(b"transcribe")
    if not p:
        raise SystemExit("cannot build the transcribe pipeline")
    for path in args.wav:
        if not args.stream:
            doc = json.loads(lib.orvane_transcribe_file(p, path.encode()).decode("utf-8"))
            print(doc.get("text", doc))
            continue
        with wave.open(path) as w:
            rate, data = w.getframerate(), w.readframes(w.getnframes())
        samples = (ctypes.c_int16 * (len(data) // 2)).from_buffer_copy(data)
        s = lib.orvane_session_new(p, float(rate))
        step = rate // 5
        last = None
        for k in range(0, len(samples), step):
            n = min(step, len(samples) - k)
            lib.orvane_accept_waveform_s16(s, ctypes.cast(ctypes.byref(samples, 2 * k),
                                                          ctypes.POINTER(ctypes.c_int16)), n)
            part = json.loads(lib.orvane_partial_result(s).decode("utf-8")).get("partial", "")
            if part and part != last:
                print("%5.1f s  partial: %s" % ((k + n) / rate, part))
                last = part
        print("final: %s" % json.loads(lib.orvane_final_result(s).decode("utf-8")).get("text", ""))
        lib.orvane_session_free(s)
    lib.orvane_pipeline_free(p)


if __name__ == "__main__":
    main()
