"""What the Python package costs on top of liborvane's C interface, and whether streams leak.

    /usr/bin/python3 bench/python_overhead.py [--repeats 7] [--cycles 10000]

1. Time: one minute of speech (the repository's sample recordings, repeated with pauses, 16 kHz)
   recognised three ways, each by the package and by the same C calls made directly through ctypes
   with nothing else around them: one-shot from a WAV file; one-shot from an int16 array; streamed
   in 100 ms blocks with the partial transcript read after each block. Runs alternate between the
   two sides and are timed in CPU time of the process (time.process_time), which other programs
   on a busy machine inflate less than wall-clock time; the figure is the package's extra time
   relative to the direct calls, from the fastest run of each (median in brackets; wall-clock
   time of the fastest runs after the slash). The cost of a bare ctypes call is printed as well
   (the direct side pays it too, C code would not). Because those differences drown in the
   recogniser's run-to-run noise, the package's own time is also measured apart: the streamed
   minute through a pipeline of only the voice-activity module, package against direct calls,
   plus parsing the recogniser's real partial documents of the minute.
2. Threads: the streamed minute on one thread, then on two threads at once (one stream each);
   throughput ratio = 2 x (time of one) / (wall time of two), 2.0 when the two run fully in
   parallel (ctypes releases the GIL during each C call), 1.0 when they take turns; and the cores
   the process used at once (CPU time / wall time), near 2 only if both threads ran inside the
   library at the same time. Best of 3 runs; it needs two idle cores.
3. Memory: resident set size (VmRSS) of the process over `--cycles` stream open/accept 100 ms/
   partial/close cycles, after the first tenth of them and at the end.
"""
import argparse
import os
import statistics
import sys
import tempfile
import threading
import time
import wave

import numpy

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "python"))

import orvane  # noqa: E402
from orvane._library import library  # noqa: E402

RATE = 16000
BLOCK = RATE // 10


def one_minute():
    """60 s of int16 speech at 16 kHz: the samples in turn, each followed by 0.5 s of silence."""
    clips = []
    for name in ("samples/cuoc_hop.wav", "samples/troi_sap_mua.wav", "examples/data/sample.wav"):
        with wave.open(os.path.join(ROOT, name)) as w:
            assert w.getframerate() == RATE and w.getsampwidth() == 2
            clips.append(numpy.frombuffer(w.readframes(w.getnframes()), numpy.int16))
    pause = numpy.zeros(RATE // 2, numpy.int16)
    out, total, k = [], 0, 0
    while total < 60 * RATE:
        out += [clips[k % len(clips)], pause]
        total += len(clips[k % len(clips)]) + len(pause)
        k += 1
    return numpy.concatenate(out)[:60 * RATE]


def rss_kib():
    with open("/proc/self/status") as f:
        for line in f:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    return 0


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--repeats", type=int, default=7)
    ap.add_argument("--cycles", type=int, default=10000)
    args = ap.parse_args()

    audio = one_minute()
    fd, wav_path = tempfile.mkstemp(suffix=".wav")
    with os.fdopen(fd, "wb") as f, wave.open(f, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(RATE)
        w.writeframes(audio.tobytes())

    recognizer = orvane.Recognizer()
    c = library().lib
    pipeline = recognizer._handle  # the same built pipeline for both sides
    address = audio.__array_interface__["data"][0]

    def direct_file():
        c.orvane_transcribe_file(pipeline, wav_path.encode())

    def direct_array():
        c.orvane_transcribe_buffer(pipeline, address, len(audio), float(RATE))

    def direct_stream_on(handle, documents=None):
        s = c.orvane_session_new(handle, float(RATE))
        for i in range(0, len(audio), BLOCK):
            c.orvane_accept_waveform_s16(s, address + 2 * i, min(BLOCK, len(audio) - i))
            document = c.orvane_partial_result(s)
            if documents is not None:
                documents.append(document)
        c.orvane_final_result(s)
        c.orvane_session_free(s)

    def direct_stream():
        direct_stream_on(pipeline)

    def package_file():
        return recognizer.transcribe(wav_path).text

    def package_array():
        return recognizer.transcribe(audio, RATE).text

    def package_stream_on(on):
        with on.stream(RATE) as stream:
            for i in range(0, len(audio), BLOCK):
                stream.accept(audio[i:i + BLOCK])
                stream.partial.text
            return stream.final().text

    def package_stream():
        return package_stream_on(recognizer)

    # Both sides must do the same work.
    assert package_file() == package_array() == package_stream()

    print("one minute of speech at 16 kHz, %d runs of each, alternating" % args.repeats)
    for name, direct, package in (("one-shot, WAV file", direct_file, package_file),
                                  ("one-shot, int16 array", direct_array, package_array),
                                  ("stream, 100 ms blocks + partial", direct_stream,
                                   package_stream)):
        times = {"direct": [], "package": []}
        walls = {"direct": [], "package": []}
        for _ in range(args.repeats):
            for side, fn in (("direct", direct), ("package", package)):
                start, wall = time.process_time(), time.perf_counter()
                fn()
                times[side].append(time.process_time() - start)
                walls[side].append(time.perf_counter() - wall)
        best = {k: min(v) for k, v in times.items()}
        stream_c = best["direct"]
        median = {k: statistics.median(v) for k, v in times.items()}
        wall = {k: min(v) for k, v in walls.items()}
        print("  %-32s C calls %6.0f ms  package %6.0f ms  overhead %+5.1f %% (median %+5.1f %%)"
              " / wall %+5.1f %%"
              % (name, 1000 * best["direct"], 1000 * best["package"],
                 100 * (best["package"] / best["direct"] - 1),
                 100 * (median["package"] / median["direct"] - 1),
                 100 * (wall["package"] / wall["direct"] - 1)))

    calls = 100000
    start = time.perf_counter()
    for _ in range(calls):
        c.orvane_partial_result(None)
    per_call = (time.perf_counter() - start) / calls
    blocks = len(audio) // BLOCK
    print("  a bare ctypes call: %.2f us; the streamed minute makes %d of them (%.1f ms)"
          % (1e6 * per_call, 2 * blocks + 3, 1000 * per_call * (2 * blocks + 3)))
    os.unlink(wav_path)

    # The package's own time, free of the recogniser's noise: the streamed minute through a
    # pipeline of only the voice-activity module (the same cheap C work on both sides), plus
    # parsing the recogniser's real partial documents of the minute.
    documents = []
    direct_stream_on(pipeline, documents)
    light = orvane.Recognizer(modules=["vad"])
    runs = {"direct": [], "package": [], "parse": []}
    for _ in range(20):
        for side, fn in (("direct", lambda: direct_stream_on(light._handle)),
                         ("package", lambda: package_stream_on(light)),
                         ("parse", lambda: [orvane.Result(d.decode()).text for d in documents])):
            start = time.process_time()
            fn()
            runs[side].append(time.process_time() - start)
    light.close()
    wrapper = min(runs["package"]) - min(runs["direct"])
    own = wrapper + min(runs["parse"])
    print("  the package's own time for the streamed minute: %.1f ms (calls %.1f ms, parsing the"
          " partials %.1f ms) = %.1f %% of the recognition's %.0f ms"
          % (1000 * own, 1000 * wrapper, 1000 * min(runs["parse"]), 100 * own / stream_c,
             1000 * stream_c))

    single = []
    for _ in range(2):
        start = time.perf_counter()
        package_stream()
        single.append(time.perf_counter() - start)
    ratios = []
    for _ in range(3):
        workers = [threading.Thread(target=package_stream) for _ in range(2)]
        start, cpu = time.perf_counter(), time.process_time()
        for w in workers:
            w.start()
        for w in workers:
            w.join()
        both, cpu = time.perf_counter() - start, time.process_time() - cpu
        ratios.append((2 * min(single) / both, cpu / both))
    best = max(ratios)
    print("two streams on two threads, best of 3: throughput ratio %.2f; the process used %.2f"
          " cores at once (CPU time / wall time)" % best)

    block = audio[RATE * 2:RATE * 2 + BLOCK]
    tenth = max(1, args.cycles // 10)
    before = rss_kib()
    marks = []
    for k in range(1, args.cycles + 1):
        with recognizer.stream(RATE) as stream:
            stream.accept(block)
            stream.partial.text
        if k == tenth or k == args.cycles:
            marks.append((k, rss_kib()))
    print("stream open/accept/partial/close cycles: RSS before %d KiB, %s"
          % (before, ", ".join("after %d %d KiB" % m for m in marks)))
    print("  growth from cycle %d to %d: %d KiB (%.2f bytes per cycle)"
          % (marks[0][0], marks[-1][0], marks[-1][1] - marks[0][1],
             1024.0 * (marks[-1][1] - marks[0][1]) / max(1, marks[-1][0] - marks[0][0])))
    recognizer.close()


if __name__ == "__main__":
    main()
