#!/usr/bin/env python3
"""Load and latency of the streaming server (python -m orvane.server) on the loopback interface.

Starts the server, then:
  1. latency: one client streams at real-time pace in 100 ms blocks; for each partial document,
     the time from sending the block that completed it to receiving the document;
  2. load: N clients at once, each streaming ~20 s of speech at real-time pace (starts spread over
     the first second), for growing N. A level is real time when every partial arrives within 1 s
     of its block and every final within 1 s of {"eof": true}. Prints the largest such N;
  3. memory: the server's resident set size idle, at the peak of each level, and after the clients
     of each level have left.

Run from the checkout with Debian's Python (it has python3-websockets):
    PYTHONPATH=python ORVANE_LIBRARY=build/liborvane.so.0 /usr/bin/python3 bench/server_load.py
Options: --levels 8,16,32,48,64 --seconds 20 --block 0.1 --rate 16000 --stop-after-fail 1
"""

import argparse
import asyncio
import json
import os
import random
import re
import statistics
import subprocess
import sys
import threading
import time
import wave
from pathlib import Path

import websockets

ROOT = Path(__file__).resolve().parents[1]
REAL_TIME_LIMIT = 1.0  # s: the most a partial or final may trail its audio


def speech(seconds, rate):
    """16-bit mono PCM at `rate` Hz: the committed 16 kHz recordings end to end, repeated to
    `seconds`, linearly interpolated to `rate` (as a browser's 44.1 or 48 kHz capture)."""
    pieces = []
    for path in sorted((ROOT / "samples").glob("*.wav")) + [ROOT / "examples/data/sample.wav"]:
        with wave.open(str(path)) as wav:
            assert wav.getframerate() == 16000 and wav.getsampwidth() == 2
            pieces.append(wav.readframes(wav.getnframes()))
    one = b"".join(pieces)
    need = int(seconds * 16000) * 2
    pcm = (one * (need // len(one) + 1))[:need]
    if rate == 16000:
        return pcm
    import numpy
    samples = numpy.frombuffer(pcm, dtype="<i2").astype(numpy.float64)
    times = numpy.arange(int(len(samples) * rate / 16000)) * (16000 / rate)
    return numpy.interp(times, numpy.arange(len(samples)), samples).astype("<i2").tobytes()


class Server:
    def __init__(self, max_sessions):
        self.proc = subprocess.Popen(
            [sys.executable, "-m", "orvane.server", "--port", "0",
             "--max-sessions", str(max_sessions)],
            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True,
            # Its own session, as a service would run: with the kernel's autogroup scheduling, the
            # server does not then share one CPU share with these clients.
            start_new_session=True)
        self.errors = []
        for line in self.proc.stderr:
            match = re.search(r"listening on http://([\d.]+):(\d+)/", line)
            if match:
                self.url = f"ws://{match.group(1)}:{match.group(2)}/"
                break
        else:
            sys.exit("the server did not start")
        threading.Thread(target=self._drain, daemon=True).start()

    def _drain(self):
        for line in self.proc.stderr:
            if " WARNING " in line or " ERROR " in line:
                self.errors.append(line.rstrip())

    def rss_mib(self):
        status = Path(f"/proc/{self.proc.pid}/status").read_text()
        return int(re.search(r"VmRSS:\s+(\d+) kB", status).group(1)) / 1024

    def cpu_seconds(self):
        """User + system CPU time of the server process so far, in s."""
        fields = Path(f"/proc/{self.proc.pid}/stat").read_text().rsplit(")", 1)[1].split()
        return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")

    def stop(self):
        self.proc.terminate()
        self.proc.wait(timeout=30)


async def client(url, pcm, rate, block_seconds, delay):
    """Streams `pcm` at real-time pace after `delay` s. Returns (partial latencies in s, final
    delay in s, final text)."""
    await asyncio.sleep(delay)
    step = int(rate * block_seconds) * 2
    last_sent = [0.0]
    latencies = []
    async with websockets.connect(url, max_size=None) as ws:
        await ws.send(json.dumps({"sample_rate": rate}))

        async def receive():
            async for message in ws:
                now = time.monotonic()
                document = json.loads(message)
                if "error" in document:
                    raise RuntimeError(document["error"])
                if document.get("is_final"):
                    return now, document
                latencies.append(now - last_sent[0])

        receiver = asyncio.ensure_future(receive())
        start = time.monotonic()
        for i, offset in enumerate(range(0, len(pcm), step)):
            await asyncio.sleep(max(0.0, start + i * block_seconds - time.monotonic()))
            await ws.send(pcm[offset:offset + step])
            last_sent[0] = time.monotonic()
        eof_at = time.monotonic()
        await ws.send(json.dumps({"eof": True}))
        final_at, final = await receiver
    return latencies, final_at - eof_at, final["text"]


def percentile(values, share):
    values = sorted(values)
    return values[min(len(values) - 1, int(share * len(values)))] if values else float("nan")


async def level(url, clients, pcm, rate, block_seconds):
    runs = [client(url, pcm, rate, block_seconds, random.uniform(0, 1)) for _ in range(clients)]
    return await asyncio.gather(*runs, return_exceptions=True)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--levels", default="8,16,24,32,40,48,64",
                        help="client counts to try, ascending")
    parser.add_argument("--seconds", type=float, default=20.0, help="audio per client (s)")
    parser.add_argument("--block", type=float, default=0.1, help="block length (s)")
    parser.add_argument("--rate", type=int, default=16000, help="clients' sample rate (Hz)")
    parser.add_argument("--stop-after-fail", type=int, default=1,
                        help="levels to try after the first one that is not real time")
    args = parser.parse_args()
    levels = [int(n) for n in args.levels.split(",")]
    random.seed(1)
    pcm = speech(args.seconds, args.rate)
    server = Server(max(levels) + 1)
    try:
        load = os.getloadavg()
        print(f"machine: {os.cpu_count()} cores, load average {load[0]:.1f} at start")
        cpu = server.cpu_seconds()
        (latencies, final_delay, text), = asyncio.run(level(server.url, 1, pcm, args.rate, args.block))
        cost = (server.cpu_seconds() - cpu) / args.seconds
        idle = server.rss_mib()
        print(f"1 stream: {len(latencies)} partials, end of block -> partial "
              f"median {1000 * statistics.median(latencies):.0f} ms, "
              f"p90 {1000 * percentile(latencies, 0.9):.0f} ms, max {1000 * max(latencies):.0f} ms; "
              f"eof -> final {1000 * final_delay:.0f} ms; server CPU {100 * cost:.1f} % of a core")
        print(f"server RSS idle after one stream: {idle:.1f} MiB")
        best, failed = 0, 0
        for clients in levels:
            peak = [idle]
            done = threading.Event()

            def sample():
                while not done.wait(0.2):
                    peak[0] = max(peak[0], server.rss_mib())

            sampler = threading.Thread(target=sample)
            sampler.start()
            began = time.monotonic()
            cpu = server.cpu_seconds()
            results = asyncio.run(level(server.url, clients, pcm, args.rate, args.block))
            done.set()
            sampler.join()
            wall = time.monotonic() - began
            used = server.cpu_seconds() - cpu
            cost = used / (clients * args.seconds)
            time.sleep(1.0)  # the sessions' release, on the server's pool
            errors = [r for r in results if isinstance(r, BaseException)]
            good = [r for r in results if not isinstance(r, BaseException)]
            partial_lags = [lag for lats, _, _ in good for lag in lats]
            finals = [delay for _, delay, _ in good]
            texts_agree = all(t == good[0][2] for _, _, t in good) if good else False
            real_time = (not errors and texts_agree
                         and max(partial_lags + finals) <= REAL_TIME_LIMIT)
            print(f"{clients:3d} streams: partial lag median {1000 * statistics.median(partial_lags):.0f} ms, "
                  f"p99 {1000 * percentile(partial_lags, 0.99):.0f} ms, "
                  f"max {1000 * max(partial_lags):.0f} ms; eof -> final max {1000 * max(finals):.0f} ms; "
                  f"errors {len(errors)}; same text {texts_agree}; wall {wall:.1f} s; "
                  f"server CPU {100 * cost:.1f} % of a core per stream, "
                  f"{used / wall:.2f} cores on average; "
                  f"RSS peak {peak[0]:.1f} MiB, after {server.rss_mib():.1f} MiB; "
                  f"{'real time' if real_time else 'NOT real time'}"
                  if good else f"{clients:3d} streams: all failed: {errors[:3]}")
            if real_time:
                best = clients
            else:
                failed += 1
                if failed > args.stop_after_fail:
                    break
        print(f"largest real-time level: {best} streams "
              f"(load average {os.getloadavg()[0]:.1f} at the end)")
        if server.errors:
            print("server warnings:", *server.errors[:5], sep="\n  ")
    finally:
        server.stop()


if __name__ == "__main__":
    main()
