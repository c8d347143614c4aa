"""Transcribes WAV files with the orvane Python package: the transcript, then each segment with its
times and confidence (and its words, where the library times them).

    python3 examples/python/transcribe.py samples/troi_sap_mua.wav
    (from a checkout without installing the package: PYTHONPATH=python python3 ...)
"""
import argparse
import sys

import orvane


def main() -> int:
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("files", nargs="+", metavar="FILE.wav")
    ap.add_argument("--preset", default="transcribe")
    args = ap.parse_args()
    status = 0
    with orvane.Recognizer(preset=args.preset) as recognizer:
        for path in args.files:
            try:
                result = recognizer.transcribe(path)
            except orvane.Error as e:
                print("%s: %s" % (path, e), file=sys.stderr)
                status = 1
                continue
            print("%s: %s" % (path, result.text))
            for segment in result.segments:
                print("  %6.2f-%6.2f s  %.2f  %s" % (segment.start, segment.end,
                                                    segment.confidence, segment.text))
                for word in segment.words:
                    print("      %6.2f-%6.2f s  %s" % (word.start, word.end, word.text))
    return status


if __name__ == "__main__":
    sys.exit(main())
