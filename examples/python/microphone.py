"""Live transcription of raw 16-bit mono PCM from standard input, for example a microphone:

    arecord -f S16_LE -r 16000 -c 1 -t raw | python3 examples/python/microphone.py --rate 16000
    (from a checkout without installing the package: PYTHONPATH=python python3 ...)

On a terminal the line being spoken is rewritten in place and each finished line stays; into a
pipe or file every change of the transcript is one line. At the end of the input (or Ctrl-C) the
final segments are printed with their times.
"""
import argparse
import sys

import orvane


def main() -> int:
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--rate", type=int, default=16000, help="input sample rate in Hz")
    args = ap.parse_args()
    live = sys.stdout.isatty()
    block_bytes = args.rate // 10 * 2  # 100 ms of 16-bit samples
    with orvane.Recognizer() as recognizer, recognizer.stream(args.rate) as stream:
        shown = ""
        try:
            for block in orvane.read_blocks(sys.stdin.buffer, block_bytes):
                stream.accept(block)
                text = stream.partial.text
                if text == shown:
                    continue
                if live:
                    # The transcript holds the last finished lines and the current one.
                    old, new = shown.split("\n"), text.split("\n")
                    if len(new) > len(old) or new[:-1] != old[:-1]:
                        sys.stdout.write("\r\033[K%s\n" % new[-2])
                    sys.stdout.write("\r\033[K%s" % new[-1])
                else:
                    sys.stdout.write("partial: %s\n" % text.replace("\n", " / "))
                sys.stdout.flush()
                shown = text
        except KeyboardInterrupt:
            pass
        final = stream.final()
    if live:
        sys.stdout.write("\r\033[K")
    for segment in final.segments:
        print("final: %7.2f-%7.2f s  %s" % (segment.start, segment.end, segment.text))
    return 0


if __name__ == "__main__":
    sys.exit(main())
