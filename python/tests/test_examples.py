"""The examples in examples/python, the console entry point and installing with pip."""
import os
import shutil
import subprocess
import sys

import pytest

from conftest import ROOT, SAMPLES, read_wav

ENV = dict(os.environ, PYTHONPATH=str(ROOT / "python"))


def run(args, **kw):
    return subprocess.run(args, env=kw.pop("env", ENV), capture_output=True, text=True, **kw)


def test_transcribe_example(tool_documents):
    done = run([sys.executable, str(ROOT / "examples/python/transcribe.py")] + [str(p) for p in SAMPLES])
    assert done.returncode == 0, done.stderr
    for path in SAMPLES:
        assert "%s: %s\n" % (path, tool_documents[path]["text"]) in done.stdout


def test_microphone_example_on_a_pipe(tool_documents):
    # The arecord format: raw signed 16-bit little-endian mono PCM on standard input.
    samples, rate = read_wav(SAMPLES[0])
    done = subprocess.run([sys.executable, str(ROOT / "examples/python/microphone.py"),
                           "--rate", str(rate)], input=samples.tobytes(), env=ENV,
                          capture_output=True)
    assert done.returncode == 0, done.stderr
    lines = done.stdout.decode("utf-8").splitlines()
    partials = [l for l in lines if l.startswith("partial: ")]
    finals = [l.split(" s  ", 1)[1] for l in lines if l.startswith("final: ")]
    assert len(partials) >= 2
    assert finals == [s["text"] for s in tool_documents[SAMPLES[0]]["segments"]]


def test_console_command(tool_documents):
    done = run([sys.executable, "-m", "orvane", "transcribe", str(SAMPLES[1]), "missing.wav"])
    assert done.returncode == 1
    assert done.stdout == tool_documents[SAMPLES[1]]["text"] + "\n"
    assert "missing.wav" in done.stderr


def test_pip_installs_offline(tmp_path, tool_documents):
    """python3 -m pip install ./python into a virtual environment, with no index and no build
    isolation, as on a machine without network; the installed command runs."""
    venv = tmp_path / "env"
    made = run(["/usr/bin/python3", "-m", "venv", "--system-site-packages", str(venv)],
               env=dict(os.environ))
    if made.returncode != 0:
        pytest.skip("python3 -m venv is not available: " + made.stderr.strip()[-200:])
    build = tmp_path / "src"
    shutil.copytree(ROOT / "python", build, ignore=shutil.ignore_patterns("tests", "__pycache__"))
    env = {k: v for k, v in os.environ.items() if k != "PYTHONPATH"}
    env["ORVANE_LIBRARY"] = str(ROOT / "build" / "liborvane.so.0")
    done = run([str(venv / "bin/python"), "-m", "pip", "install", "--no-index",
                "--no-build-isolation", "--no-cache-dir", str(build)], env=env)
    assert done.returncode == 0, done.stdout + done.stderr
    done = run([str(venv / "bin/orvane-py"), "transcribe", str(SAMPLES[1])], env=env, cwd=tmp_path)
    assert done.returncode == 0, done.stderr
    assert done.stdout == tool_documents[SAMPLES[1]]["text"] + "\n"


def test_package_is_fully_typed():
    done = run(["/usr/bin/python3", "-m", "mypy", "--strict", "--cache-dir=/dev/null",
                str(ROOT / "python" / "orvane")])
    if "No module named mypy" in done.stderr:
        pytest.skip("mypy is not installed (scripts/bootstrap installs python3-mypy)")
    assert done.returncode == 0, done.stdout + done.stderr
