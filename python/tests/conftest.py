"""Shared fixtures: the checkout's paths, the C tool's results, one recogniser per test module."""
import json
import os
import subprocess
import sys
import wave
from pathlib import Path

import numpy
import pytest

ROOT = Path(__file__).resolve().parents[2]
sys.path.insert(0, str(ROOT / "python"))

import orvane  # noqa: E402  (the checkout's package, found through the line above)

SAMPLES = [ROOT / "samples" / "cuoc_hop.wav", ROOT / "samples" / "troi_sap_mua.wav",
           ROOT / "examples" / "data" / "sample.wav"]
TOOL = Path(os.environ.get("ORVANE_CLI", ROOT / "build" / "tools" / "orvane" / "orvane"))


def read_wav(path):
    """(int16 samples, rate) of a mono 16-bit WAV file."""
    with wave.open(str(path)) as w:
        assert w.getsampwidth() == 2 and w.getnchannels() == 1
        return numpy.frombuffer(w.readframes(w.getnframes()), numpy.int16), w.getframerate()


def recognised(result):
    """What must agree between two ways of recognising the same audio: the transcript and the
    segments (the "partial" member of a final document is the last streaming hypothesis, which
    depends on the block sizes)."""
    doc = result.data if isinstance(result, orvane.Result) else result
    return doc.get("text", ""), doc.get("segments", [])


@pytest.fixture(scope="session")
def tool_documents():
    """The C tool's final document of each sample, by path."""
    if not TOOL.is_file():
        pytest.skip("the orvane tool is not built (%s)" % TOOL)
    out = subprocess.run([str(TOOL), "transcribe"] + [str(p) for p in SAMPLES], check=True,
                         capture_output=True, text=True).stdout.splitlines()
    assert len(out) == len(SAMPLES)
    return {p: json.loads(line) for p, line in zip(SAMPLES, out)}


@pytest.fixture(scope="module")
def recognizer():
    with orvane.Recognizer() as r:
        yield r
