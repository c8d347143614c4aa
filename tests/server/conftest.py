"""Fixtures of the server tests: a `python -m orvane.server` process on a free loopback port, its
log, and WebSocket client helpers. Needs PYTHONPATH to reach python/ and ORVANE_LIBRARY (set by
tests/cmake/server.cmake)."""

import asyncio
import json
import os
import re
import subprocess
import sys
import threading
import time
import wave
from pathlib import Path

import pytest

websockets = pytest.importorskip("websockets", reason="python3-websockets is not installed")

SOURCE_DIR = Path(os.environ.get("ORVANE_SOURCE_DIR", Path(__file__).resolve().parents[2]))
SAMPLES = sorted((SOURCE_DIR / "samples").glob("*.wav"))
MAX_SESSIONS = 3


class ServerProcess:
    """A running server; `lines` is its log so far, filled by a reader thread."""

    def __init__(self, *args: str) -> None:
        self.proc = subprocess.Popen(
            [sys.executable, "-m", "orvane.server", "--port", "0", *args],
            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE,
            text=True, encoding="utf-8")
        self.lines = []
        self._changed = threading.Condition()
        threading.Thread(target=self._read, daemon=True).start()
        match = self.wait_for(r"listening on http://([\d.]+):(\d+)/", timeout=60)
        self.url = f"ws://{match.group(1)}:{match.group(2)}/"
        self.http_url = f"http://{match.group(1)}:{match.group(2)}/"

    def _read(self) -> None:
        for line in self.proc.stderr:
            with self._changed:
                self.lines.append(line.rstrip("\n"))
                self._changed.notify_all()

    def wait_for(self, pattern: str, start: int = 0, timeout: float = 20):
        """The first log line from index `start` on matching `pattern`; fails after `timeout` s."""
        deadline = time.monotonic() + timeout
        with self._changed:
            while True:
                for line in self.lines[start:]:
                    match = re.search(pattern, line)
                    if match:
                        return match
                left = deadline - time.monotonic()
                if left <= 0 or self.proc.poll() is not None:
                    pytest.fail(f"no log line matching {pattern!r}; log:\n" + "\n".join(self.lines))
                self._changed.wait(left)

    def wait_idle(self, timeout: float = 20) -> None:
        """Waits until the log's last session count is 0: every session of earlier tests freed."""
        deadline = time.monotonic() + timeout
        with self._changed:
            while True:
                counts = [m.group(1) for m in map(re.compile(r"\((\d+) open\)").search,
                                                   self.lines) if m]
                if not counts or counts[-1] == "0":
                    return
                left = deadline - time.monotonic()
                if left <= 0:
                    pytest.fail("sessions still open; log:\n" + "\n".join(self.lines))
                self._changed.wait(left)

    def rss_kib(self) -> int:
        status = Path(f"/proc/{self.proc.pid}/status").read_text()
        return int(re.search(r"VmRSS:\s+(\d+) kB", status).group(1))

    def stop(self) -> int:
        self.proc.terminate()
        return self.proc.wait(timeout=30)


@pytest.fixture(scope="module")
def server():
    process = ServerProcess("--max-sessions", str(MAX_SESSIONS))
    yield process
    assert process.stop() == 0, "\n".join(process.lines)


@pytest.fixture(scope="module")
def one_shot():
    """The one-shot text of each sample, from the package in this process."""
    import orvane
    with orvane.Recognizer() as recognizer:
        return {path: recognizer.transcribe(str(path)).text for path in SAMPLES}


def pcm_of(path: Path):
    """(16-bit little-endian mono PCM bytes, rate) of a committed sample."""
    with wave.open(str(path)) as wav:
        assert wav.getsampwidth() == 2 and wav.getnchannels() == 1
        return wav.readframes(wav.getnframes()), wav.getframerate()


async def stream_file(url: str, path: Path, block_seconds: float = 0.1, pace: bool = False,
                      sent_at=None):
    """Streams a sample in blocks (at real-time pace if `pace`), then {"eof": true}.

    Returns (partial documents as (receive time, dict), final dict, close code). `sent_at`, a list,
    receives the send time of each block."""
    pcm, rate = pcm_of(path)
    step = int(rate * block_seconds) * 2
    partials = []
    async with websockets.connect(url, max_size=None) as ws:
        await ws.send(json.dumps({"sample_rate": rate}))

        async def receive():
            async for message in ws:
                document = json.loads(message)
                if document.get("is_final"):
                    return document
                partials.append((time.monotonic(), document))
            return None

        receiver = asyncio.ensure_future(receive())
        start = time.monotonic()
        for i, offset in enumerate(range(0, len(pcm), step)):
            if pace:
                await asyncio.sleep(max(0.0, start + i * block_seconds - time.monotonic()))
            await ws.send(pcm[offset:offset + step])
            if sent_at is not None:
                sent_at.append(time.monotonic())
        await ws.send(json.dumps({"eof": True}))
        final = await asyncio.wait_for(receiver, 60)
        await ws.wait_closed()
        return partials, final, ws.close_code


def run(coroutine):
    return asyncio.run(coroutine)
