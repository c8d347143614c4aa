"""Bad input and misuse raise clear Python errors, never crash the process."""
import os
import subprocess
import sys
import threading

import numpy
import pytest

import orvane
from conftest import ROOT, SAMPLES, read_wav


def test_unreadable_sources_raise_the_library_message(recognizer, tmp_path):
    with pytest.raises(orvane.Error, match="cannot open WAV: .*missing.wav"):
        recognizer.transcribe(tmp_path / "missing.wav")
    with pytest.raises(orvane.Error, match="RIFF"):
        recognizer.transcribe(b"not a wav file at all")
    # A message that names the file names the bytes, not the package's private temporary file.
    with pytest.raises(orvane.Error) as truncated:
        recognizer.transcribe(SAMPLES[0].read_bytes()[:30])
    assert "orvane-" not in str(truncated.value)


def test_wav_bytes_leave_no_temporary_file(recognizer, tmp_path, monkeypatch):
    monkeypatch.setenv("TMPDIR", str(tmp_path))
    import tempfile
    monkeypatch.setattr(tempfile, "tempdir", None)
    recognizer.transcribe(SAMPLES[1].read_bytes())
    with pytest.raises(orvane.Error):
        recognizer.transcribe(b"RIFF....WAVEjunk")
    assert list(tmp_path.iterdir()) == []


def test_bad_arrays_and_rates(recognizer):
    with pytest.raises(ValueError, match="1-D"):
        recognizer.transcribe(numpy.zeros((2, 1600), numpy.int16), 16000)
    with pytest.raises(TypeError, match="int16 or float32.*float64"):
        recognizer.transcribe(numpy.zeros(1600), 16000)
    with pytest.raises(TypeError, match="int32"):
        recognizer.transcribe(numpy.zeros(1600, numpy.int32), 16000)
    with pytest.raises(TypeError, match="int16 or float32"):
        recognizer.transcribe(numpy.zeros(1600, ">i2"), 16000)
    with pytest.raises(TypeError):
        recognizer.transcribe(12345, 16000)
    with pytest.raises(ValueError, match="sample_rate is required"):
        recognizer.transcribe(numpy.zeros(1600, numpy.int16))
    with pytest.raises(ValueError, match="sample_rate is for arrays"):
        recognizer.transcribe(SAMPLES[0], 16000)
    for rate in (0, -8000, float("nan"), float("inf")):
        with pytest.raises(ValueError, match="at least 1 Hz"):
            recognizer.stream(rate)
    with pytest.raises(TypeError):
        recognizer.stream("16000")
    with recognizer.stream(16000) as stream:
        with pytest.raises(ValueError, match="1-D"):
            stream.accept(numpy.zeros((1600, 2), numpy.float32))
        with pytest.raises(TypeError, match="float64"):
            stream.accept(numpy.zeros(1600))
        with pytest.raises(TypeError):
            stream.accept("text")
        # The stream is still usable after refused input.
        stream.accept(numpy.zeros(1600, numpy.int16))
        assert stream.final().is_final


def test_closed_objects_raise(tmp_path):
    samples, rate = read_wav(SAMPLES[1])
    recognizer = orvane.Recognizer()
    stream = recognizer.stream(rate)
    stream.accept(samples[:1600])
    stream.final()
    with pytest.raises(orvane.Error, match="finalised"):
        stream.accept(samples)
    other = recognizer.stream(rate)
    stream.close()
    stream.close()
    for use in (lambda: stream.accept(samples), lambda: stream.partial, stream.final, stream.reset):
        with pytest.raises(orvane.Error, match="stream is closed"):
            use()
    # Closing the recogniser closes its open streams first.
    recognizer.close()
    recognizer.close()
    assert other.closed and recognizer.closed
    with pytest.raises(orvane.Error, match="stream is closed"):
        other.accept(samples)
    with pytest.raises(orvane.Error, match="recognizer is closed"):
        recognizer.transcribe(SAMPLES[1])
    with pytest.raises(orvane.Error, match="recognizer is closed"):
        recognizer.stream(rate)


def test_close_while_another_thread_streams():
    samples, rate = read_wav(SAMPLES[0])
    recognizer = orvane.Recognizer()
    stream = recognizer.stream(rate)
    errors, started = [], threading.Event()

    def feed():
        try:
            for _ in range(200):
                for i in range(0, len(samples), 800):
                    stream.accept(samples[i:i + 800])
                    started.set()
        except orvane.Error as e:
            errors.append(str(e))

    worker = threading.Thread(target=feed)
    worker.start()
    started.wait()
    recognizer.close()
    worker.join()
    assert errors == ["the stream is closed"]


def test_unknown_names_and_ignored_settings():
    with pytest.raises(orvane.Error, match="preset not found or build failed: nope"):
        orvane.Recognizer("nope")
    with pytest.raises(orvane.Error, match="unknown module: bogus") as e:
        orvane.Recognizer(modules="vad,bogus")
    assert e.value.code == -2
    with pytest.raises(ValueError, match="module"):
        orvane.Recognizer(modules=[])
    with pytest.raises(ValueError, match="'orvane' module"):
        orvane.Recognizer(modules=["vad"], config={"x": 1})
    with pytest.raises(ValueError, match="list the modules"):
        orvane.Recognizer(preset="custom", config={"x": 1})
    # A model folder is either loaded or refused: a missing one always fails (with the library's
    # message, or because this library cannot load model folders at all).
    with pytest.raises(orvane.Error, match="model_dir|no-such-folder"):
        orvane.Recognizer(model_dir=ROOT / "no-such-folder")
    with pytest.raises(TypeError):
        orvane.Recognizer(hotwords=[1, 2])


def _run_isolated(code, **env):
    """`code` in a fresh interpreter with the checkout's package and the given environment."""
    environment = {k: v for k, v in os.environ.items() if k != "ORVANE_LIBRARY"}
    environment.update(PYTHONPATH=str(ROOT / "python"), **env)
    return subprocess.run([sys.executable, "-c", code], env=environment, capture_output=True,
                          text=True)


def test_library_lookup_failure_names_the_places(tmp_path):
    missing = str(tmp_path / "liborvane.so")
    done = _run_isolated("import orvane\ntry:\n    orvane.Recognizer()\n"
                         "except orvane.Error as e:\n    print(e)", ORVANE_LIBRARY=missing)
    assert done.returncode == 0 and "ORVANE_LIBRARY" in done.stdout and missing in done.stdout
    # Without ORVANE_LIBRARY the checkout's own build is found.
    done = _run_isolated("import orvane; print(orvane.library_path())")
    assert done.stdout.strip() == str(ROOT / "build" / "liborvane.so.0"), done.stderr
    # The package imports without any library; the error comes at first use.
    done = _run_isolated("import orvane; print(orvane.__all__[0])", ORVANE_LIBRARY=missing)
    assert done.stdout.strip() == "Error"
