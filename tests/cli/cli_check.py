#!/usr/bin/env python3
"""End-to-end checks of the orvane command-line tool and the README examples.

Usage: cli_check.py --case NAME --tool PATH --example-c PATH --example-cpp PATH --work DIR

Transcripts depend on the embedded model, so the checks look at the shape of the output (valid
JSON, one line per file or change, final flags, exit statuses, one-line errors), not at words.
"""
import argparse
import json
import math
import os
import pty
import shutil
import signal
import struct
import subprocess
import sys
import wave

TIMEOUT = 120


def fail(message):
    print("FAIL: " + message)
    sys.exit(1)


def check(condition, message):
    if not condition:
        fail(message)


def tool_lines(err):
    """The tool's own stderr output, without the library's "[orvane][LEVEL][tag]" diagnostics
    (which depend on whether a model is embedded)."""
    if isinstance(err, bytes):
        return b"".join(l for l in err.splitlines(True) if not l.startswith(b"[orvane]["))
    return "".join(l for l in err.splitlines(True) if not l.startswith("[orvane]["))


def run(cmd, stdin=None, stdout=subprocess.PIPE):
    proc = subprocess.run(cmd, input=stdin, stdout=stdout, stderr=subprocess.PIPE, timeout=TIMEOUT)
    check(proc.returncode >= 0, "%s killed by signal %d" % (cmd, -proc.returncode))
    out = proc.stdout.decode("utf-8") if proc.stdout is not None else ""
    return proc.returncode, out, tool_lines(proc.stderr.decode("utf-8", "replace"))


def tone(rate, seconds, channels=1):
    frames = []
    for i in range(int(rate * seconds)):
        v = int(8000 * math.sin(2 * math.pi * 440 * i / rate))
        frames.append(struct.pack("<" + "h" * channels, *([v] * channels)))
    return b"".join(frames)


def write_wav(path, rate, seconds, channels=1, sampwidth=2):
    with wave.open(path, "wb") as w:
        w.setnchannels(channels)
        w.setsampwidth(sampwidth)
        w.setframerate(rate)
        if sampwidth == 2:
            w.writeframes(tone(rate, seconds, channels))
        else:
            w.writeframes(bytes([128]) * int(rate * seconds) * channels * sampwidth)
    return path


def write_wav24(path, pcm16_path):
    """The 16-bit file's samples widened to 24 bits (value * 256): the same audio, read the same."""
    with wave.open(pcm16_path, "rb") as r:
        params, frames = r.getparams(), r.readframes(r.getnframes())
    wide = b"".join(b"\x00" + frames[i:i + 2] for i in range(0, len(frames), 2))
    with wave.open(path, "wb") as w:
        w.setnchannels(params.nchannels)
        w.setsampwidth(3)
        w.setframerate(params.framerate)
        w.writeframes(wide)
    return path


def parse_document(line, final):
    try:
        doc = json.loads(line)
    except ValueError:
        fail("not a JSON line: %r" % line)
    check(isinstance(doc, dict), "not a JSON object: %r" % line)
    check(doc.get("is_final") is final, "is_final is not %s in %r" % (final, line))
    for key in ("text", "partial", "error"):
        check(key not in doc or isinstance(doc[key], str), "%s is not a string: %r" % (key, line))
    return doc


def one_error_line(err, what):
    lines = err.splitlines()
    check(len(lines) == 1, "%s: expected one stderr line, got %r" % (what, err))
    check(lines[0].startswith("orvane: "), "%s: error line without prefix: %r" % (what, err))
    return lines[0]


def case_version(a):
    rc, out, _ = run([a.tool, "version"])
    check(rc == 0 and out.startswith("orvane ") and out.count("\n") == 1, "version: %r" % out)
    check(out.split()[1][0].isdigit(), "version number: %r" % out)
    rc, out2, _ = run([a.tool, "--version"])
    check(rc == 0 and out2 == out, "--version differs: %r" % out2)


def case_list(a):
    for command, must in (("list-modules", {"vad", "orvane", "punctuation"}),
                          ("list-presets", {"transcribe", "transcribe-rich", "meeting", "analytics"})):
        rc, out, _ = run([a.tool, command])
        names = out.split("\n")[:-1]
        check(rc == 0 and must <= set(names), "%s: %r" % (command, out))
        check(names == sorted(names), "%s not sorted: %r" % (command, out))
        rc, out, _ = run([a.tool, command, "--json"])
        check(rc == 0 and set(json.loads(out)) == set(names), "%s --json: %r" % (command, out))


def case_help(a):
    for command in ("transcribe", "stream", "list-modules", "list-presets", "version"):
        rc, out, _ = run([a.tool, command, "--help"])
        check(rc == 0 and out.startswith("usage: orvane " + command), "%s --help: %r" % (command, out))
    rc, out, _ = run([a.tool, "--help"])
    check(rc == 0 and "transcribe" in out and "stream" in out, "--help: %r" % out)
    rc, out, err = run([a.tool])
    check(rc == 2 and out == "" and "usage" in err, "no command: %d %r" % (rc, err))
    for bad in (["frobnicate"], ["transcribe"], ["transcribe", "--bogus", "x.wav"],
                ["version", "extra"], ["transcribe", "--log-level", "9", "x.wav"],
                ["transcribe", "--preset", "transcribe", "--modules", "vad", "x.wav"],
                ["list-modules", "--text"], ["transcribe", "--preset"]):
        rc, out, err = run([a.tool] + bad)
        check(rc == 2 and out == "", "%s: exit %d, out %r" % (bad, rc, out))
        one_error_line(err, " ".join(bad))


def case_transcribe(a):
    mono = write_wav(os.path.join(a.work, "tone16k.wav"), 16000, 2.0)
    stereo = write_wav(os.path.join(a.work, "tone44k_stereo.wav"), 44100, 1.5, channels=2)
    rc, out, err = run([a.tool, "transcribe", mono, stereo])
    check(rc == 0, "transcribe exit %d, stderr %r" % (rc, err))
    lines = out.splitlines()
    check(len(lines) == 2, "expected one line per file: %r" % out)
    for line in lines:
        check("error" not in parse_document(line, True), "error document: %r" % line)
    rc, text_out, err = run([a.tool, "transcribe", "--text", mono, stereo])
    check(rc == 0 and len(text_out.splitlines()) == 2, "--text lines: %r" % text_out)
    check(text_out.splitlines()[0] == json.loads(lines[0]).get("text", ""), "--text differs")
    wide = write_wav24(os.path.join(a.work, "tone44k_stereo_24bit.wav"), stereo)
    rc, out, err = run([a.tool, "transcribe", wide])
    check(rc == 0 and out.splitlines() == lines[1:], "24-bit file: exit %d, %r" % (rc, out))
    # A hand-built pipeline and another preset give final documents too.
    for extra in (["--modules", "vad,orvane"], ["--preset", "analytics"]):
        rc, out, err = run([a.tool, "transcribe"] + extra + [mono])
        check(rc == 0, "%s: exit %d %r" % (extra, rc, err))
        parse_document(out.strip(), True)
    # Failures to build the pipeline are one line and exit 1.
    for extra in (["--modules", "vad,nosuch"], ["--preset", "nosuch"]):
        rc, out, err = run([a.tool, "transcribe", "--log-level", "5"] + extra + [mono])
        check(rc == 1 and out == "", "%s: exit %d" % (extra, rc))
        one_error_line(err, " ".join(extra))


def case_missing_file(a):
    mono = write_wav(os.path.join(a.work, "tone16k.wav"), 16000, 1.0)
    missing = os.path.join(a.work, "does-not-exist.wav")
    rc, out, err = run([a.tool, "transcribe", missing])
    check(rc == 1, "missing file: exit %d" % rc)
    line = one_error_line(err, "missing file")
    check(missing in line, "error line does not name the file: %r" % line)
    check("error" in parse_document(out.strip(), True), "no error document: %r" % out)
    # The other files are still transcribed, one line per file in order.
    rc, out, err = run([a.tool, "transcribe", mono, missing, mono])
    lines = out.splitlines()
    check(rc == 1 and len(lines) == 3, "mixed files: exit %d, %r" % (rc, out))
    check("error" in parse_document(lines[1], True) and "error" not in parse_document(lines[2], True),
          "mixed files: wrong order %r" % out)
    one_error_line(err, "mixed files")
    rc, out, err = run([a.tool, "transcribe", "--text", missing])
    check(rc == 1 and out == "", "--text missing file: %d %r" % (rc, out))
    one_error_line(err, "--text missing file")


def case_unsupported_wav(a):
    eight_bit = write_wav(os.path.join(a.work, "eight_bit.wav"), 16000, 0.5, sampwidth=1)
    garbage = os.path.join(a.work, "garbage.wav")
    with open(garbage, "wb") as f:
        f.write(b"RIFF\xff\xff\xff\xffWAVEfmt \x10\x00\x00\x00" + os.urandom(200))
    empty = os.path.join(a.work, "empty.wav")
    open(empty, "wb").close()
    for path in (eight_bit, garbage, empty, a.work):
        rc, out, err = run([a.tool, "transcribe", path])
        check(rc == 1, "%s: exit %d" % (path, rc))
        one_error_line(err, path)
        check("error" in parse_document(out.strip(), True), "%s: %r" % (path, out))


def case_bad_rate(a):
    for rate in (["--rate", "abc"], ["--rate", "0"], ["--rate", "-16000"], ["--rate", "nan"],
                 ["--rate", "inf"], ["--rate", "16000x"], ["--rate", "1e12"], ["--rate", ""],
                 ["--rate", "2147483647"],
                 [], ["--rate", "16000", "--format", "u8"]):
        rc, out, err = run([a.tool, "stream"] + rate, stdin=b"\0" * 3200)
        check(rc == 2 and out == "", "%s: exit %d out %r" % (rate, rc, out))
        one_error_line(err, " ".join(rate))


def stream_lines(out):
    lines = out.splitlines()
    check(len(lines) >= 1, "stream printed nothing")
    docs = [parse_document(line, False) for line in lines[:-1]]
    final = parse_document(lines[-1], True)
    seen = None
    for doc in docs:
        key = (doc.get("partial"), doc.get("text"))
        check(key != seen, "partial printed twice without a change: %r" % (doc,))
        seen = key
    return docs, final


def case_stream(a):
    pcm = tone(16000, 3.0)
    rc, out, err = run([a.tool, "stream", "--rate", "16000"], stdin=pcm)
    check(rc == 0, "stream exit %d %r" % (rc, err))
    docs, _ = stream_lines(out)
    check(len(docs) <= 30, "spammy partials: %d lines for 30 blocks" % len(docs))
    # 44.1 kHz float input with an odd byte count at the end (the partial sample is dropped).
    floats = b"".join(struct.pack("<f", 0.3 * math.sin(i / 7.0)) for i in range(44100 * 2))
    floats += struct.pack("<f", float("nan")) * 10 + b"\x01\x02"
    rc, out, err = run([a.tool, "stream", "--rate", "44100", "--format", "f32le"], stdin=floats)
    check(rc == 0, "f32 stream exit %d %r" % (rc, err))
    stream_lines(out)
    # Empty input: just the final document. --text off a terminal: plain lines.
    rc, out, _ = run([a.tool, "stream", "--rate", "8000"], stdin=b"")
    check(rc == 0 and len(out.splitlines()) == 1, "empty input: %r" % out)
    parse_document(out, True)
    rc, out, _ = run([a.tool, "stream", "--rate", "16000", "--text"], stdin=pcm)
    check(rc == 0 and out.endswith("\n"), "--text: exit %d %r" % (rc, out))
    check(not any(line.startswith("{") for line in out.splitlines()), "--text printed JSON: %r" % out)
    # The same audio from a real pipe of a separate writer, in small pieces.
    writer = subprocess.Popen([sys.executable, "-c",
                               "import sys,time\n"
                               "d=sys.stdin.buffer.read()\n"
                               "for i in range(0,len(d),999):\n"
                               "  sys.stdout.buffer.write(d[i:i+999]); sys.stdout.buffer.flush()\n"],
                              stdin=subprocess.PIPE, stdout=subprocess.PIPE)
    reader = subprocess.Popen([a.tool, "stream", "--rate", "16000"], stdin=writer.stdout,
                              stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    writer.stdout.close()
    writer.stdin.write(pcm)
    writer.stdin.close()
    out, err = reader.communicate(timeout=TIMEOUT)
    writer.wait(timeout=TIMEOUT)
    check(reader.returncode == 0, "piped stream exit %d %r" % (reader.returncode, err))
    stream_lines(out.decode("utf-8"))


def case_closed_pipe(a):
    read_end, write_end = os.pipe()
    os.close(read_end)
    proc = subprocess.Popen([a.tool, "stream", "--rate", "16000"], stdin=subprocess.PIPE,
                            stdout=write_end, stderr=subprocess.PIPE)
    os.close(write_end)
    try:
        _, err = proc.communicate(tone(16000, 2.0), timeout=TIMEOUT)
    except BrokenPipeError:
        _, err = proc.communicate(timeout=TIMEOUT)
    check(proc.returncode == 1, "closed pipe: exit %d (negative: killed by a signal)" % proc.returncode)
    check(tool_lines(err) == b"", "closed pipe is not quiet: %r" % err)
    # transcribe behaves the same way.
    mono = write_wav(os.path.join(a.work, "tone16k.wav"), 16000, 1.0)
    read_end, write_end = os.pipe()
    os.close(read_end)
    proc = subprocess.run([a.tool, "transcribe", mono], stdout=write_end, stderr=subprocess.PIPE,
                          timeout=TIMEOUT)
    os.close(write_end)
    check(proc.returncode == 1 and tool_lines(proc.stderr) == b"", "transcribe closed pipe: %d %r"
          % (proc.returncode, proc.stderr))


def read_pty(master):
    chunks = []
    while True:
        try:
            data = os.read(master, 4096)
        except OSError:  # EIO once the child side is closed
            break
        if not data:
            break
        chunks.append(data)
    os.close(master)
    return b"".join(chunks)


def case_terminal(a):
    # Progress on a terminal stderr for a long file; stdout keeps its single JSON line.
    path = os.path.join(a.work, "long.wav")
    with wave.open(path, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(16000)
        w.writeframes(tone(16000, 1.0) * 40)
    master, slave = pty.openpty()
    proc = subprocess.Popen([a.tool, "transcribe", path], stdout=subprocess.PIPE, stderr=slave)
    os.close(slave)
    err = read_pty(master)
    out = proc.stdout.read().decode("utf-8")
    proc.wait(timeout=TIMEOUT)
    check(proc.returncode == 0, "terminal transcribe exit %d" % proc.returncode)
    parse_document(out.strip(), True)
    check(len(out.splitlines()) == 1, "progress leaked into stdout: %r" % out)
    check(b"100%" in err and err.endswith(b"\r\x1b[K"), "no cleared progress line: %r" % err[-80:])
    # A short file shows no progress.
    master, slave = pty.openpty()
    short = write_wav(os.path.join(a.work, "short.wav"), 16000, 1.0)
    proc = subprocess.Popen([a.tool, "transcribe", short], stdout=subprocess.DEVNULL, stderr=slave)
    os.close(slave)
    err = tool_lines(read_pty(master))
    proc.wait(timeout=TIMEOUT)
    check(err == b"", "progress for a short file: %r" % err)
    # stream --text on a terminal: the live line is cleared and the final text ends the output.
    master, slave = pty.openpty()
    proc = subprocess.Popen([a.tool, "stream", "--rate", "16000", "--text"], stdin=subprocess.PIPE,
                            stdout=slave, stderr=subprocess.DEVNULL)
    os.close(slave)
    proc.stdin.write(tone(16000, 2.0))
    proc.stdin.close()
    shown = read_pty(master).decode("utf-8")
    proc.wait(timeout=TIMEOUT)
    check(proc.returncode == 0, "terminal stream exit %d" % proc.returncode)
    final_line = shown.split("\x1b[K")[-1]
    check(shown.startswith("\r\x1b[K") and final_line.endswith("\r\n") and "{" not in final_line,
          "live line: %r" % shown)


def case_sample(a):
    # The README's first command: the committed sample, as JSON and as text.
    rc, out, err = run([a.tool, "transcribe", a.sample])
    check(rc == 0, "sample: exit %d %r" % (rc, err))
    doc = parse_document(out.strip(), True)
    check("error" not in doc and isinstance(doc.get("text", ""), str), "sample: %r" % out)
    rc, out, _ = run([a.tool, "transcribe", "--text", a.sample])
    check(rc == 0 and out == doc.get("text", "") + "\n", "sample --text: %r" % out)


def case_hotwords(a):
    # --hotwords FILE: phrases that the units can write are taken (an unrelated name leaves the
    # sample's text as it was); unwritable ones are named; a missing file or a bad score is usage.
    os.makedirs(a.work, exist_ok=True)
    good, bad = os.path.join(a.work, "hotwords_good.txt"), os.path.join(a.work, "hotwords_bad.txt")
    with open(good, "w", encoding="utf-8") as f:
        f.write("Khúc Thừa Dụ\n\nmạc đĩnh chi\n")
    with open(bad, "w", encoding="utf-8") as f:
        f.write("hà nội\nqxq\n")
    rc, plain, _ = run([a.tool, "transcribe", "--text", a.sample])
    check(rc == 0, "hotwords: plain run exit %d" % rc)
    rc, out, err = run([a.tool, "transcribe", "--text", "--hotwords", good, a.sample])
    check(rc == 0 and out == plain, "hotwords: unrelated names changed %r into %r (%r)" % (plain, out, err))
    rc, out, err = run([a.tool, "transcribe", "--hotwords", bad, a.sample])
    check(rc == 1 and 'cannot be written with the units: "qxq"' in err and "hà nội" not in err,
          "hotwords: unwritable phrase: exit %d %r" % (rc, err))
    rc, _, err = run([a.tool, "transcribe", "--hotwords", os.path.join(a.work, "none.txt"), a.sample])
    check(rc == 2 and "cannot read the hotwords file" in one_error_line(err, "hotwords"),
          "hotwords: missing file: exit %d %r" % (rc, err))
    rc, _, err = run([a.tool, "transcribe", "--hotwords", good, "--hotwords-score", "11", a.sample])
    check(rc == 2 and "--hotwords-score" in one_error_line(err, "hotwords"),
          "hotwords: bad score: exit %d %r" % (rc, err))


def model_folder(a, name, model=None, units=None):
    """A model folder under the work folder; model/units are bytes, or None for the embedded
    model's files, or False for no file."""
    folder = os.path.join(a.work, name)
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    for file_name, content, asset in (("model.onnx", model, "asr_model.onnx"),
                                      ("units.txt", units, "asr_vocab.txt")):
        path = os.path.join(folder, file_name)
        if content is False:
            continue
        if content is None:
            with open(os.path.join(a.assets, asset), "rb") as f:
                content = f.read()
        with open(path, "wb") as f:
            f.write(content)
    return folder


def case_model(a):
    # The embedded model's files as a model folder give the embedded model's transcripts.
    folder = model_folder(a, "embedded_copy")
    samples = [a.sample] + [os.path.join(a.samples, n) for n in ("cuoc_hop.wav", "troi_sap_mua.wav")]
    rc, built_in, err = run([a.tool, "transcribe", "--text"] + samples)
    check(rc == 0, "embedded: exit %d %r" % (rc, err))
    rc, loaded, err = run([a.tool, "transcribe", "--text", "--model", folder] + samples)
    check(rc == 0, "--model: exit %d %r" % (rc, err))
    check(loaded == built_in and any(loaded.splitlines()), "--model transcripts differ: %r vs %r" % (
        loaded, built_in))
    with wave.open(samples[1], "rb") as w:
        rate, pcm = w.getframerate(), w.readframes(w.getnframes())
    outs = [run([a.tool, "stream", "--rate", str(rate), "--text"] + extra, stdin=pcm)
            for extra in ([], ["--model", folder])]
    check(outs[0][0] == 0 and outs[0] == outs[1], "stream --model differs: %r" % (outs,))
    rc, _, err = run([a.tool, "transcribe", "--modules", "vad,orvane", "--model", folder, a.sample])
    check(rc == 0, "--modules with --model: exit %d %r" % (rc, err))

    # Every bad folder stops the tool before any audio, with one line naming the file.
    with open(os.path.join(a.assets, "asr_vocab.txt"), "rb") as f:
        units = f.read()
    missing = os.path.join(a.work, "no-such-folder")
    bad = [(missing, missing),
           (model_folder(a, "no_model", model=False), "model.onnx"),
           (model_folder(a, "no_units", units=False), "units.txt"),
           (model_folder(a, "not_onnx", model=b"this is not a model\n"), "model.onnx"),
           (model_folder(a, "short_units", units=units[:units.rindex(b"\n", 0, -1) + 1]),
            "model.onnx"),
           (model_folder(a, "empty_units", units=b""), "units.txt")]
    unreadable = model_folder(a, "model_is_folder", model=False)
    os.makedirs(os.path.join(unreadable, "model.onnx"), exist_ok=True)
    bad.append((unreadable, "model.onnx"))
    for folder, named in bad:
        for command, stdin in ((["transcribe", a.sample], None), (["stream", "--rate", "16000"], b"")):
            rc, out, err = run([a.tool] + command + ["--log-level", "5", "--model", folder],
                               stdin=stdin)
            check(rc == 1 and out == "", "%s %s: exit %d, %r" % (command[0], folder, rc, out))
            line = one_error_line(err, folder)
            check(named in line, "%s: error does not name %s: %r" % (folder, named, line))


def case_example_c(a):
    mono = write_wav(os.path.join(a.work, "tone16k.wav"), 16000, 1.0)
    rc, out, err = run([a.example_c, mono])
    check(rc == 0, "example_c exit %d %r" % (rc, err))
    check("error" not in parse_document(out.strip(), True), "example_c: %r" % out)
    rc, out, _ = run([a.example_c, os.path.join(a.work, "missing.wav")])
    check(rc == 1 and "error" in parse_document(out.strip(), True), "example_c missing: %r" % out)


def case_example_cpp(a):
    rc, out, err = run([a.example_cpp, "16000"], stdin=tone(16000, 2.0))
    check(rc == 0, "example_cpp exit %d %r" % (rc, err))
    stream_lines(out)


CASES = {name[5:]: fn for name, fn in globals().items() if name.startswith("case_")}


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--case", required=True, choices=sorted(CASES))
    parser.add_argument("--tool", default="")
    parser.add_argument("--example-c", default="")
    parser.add_argument("--example-cpp", default="")
    parser.add_argument("--sample", default="")
    parser.add_argument("--samples", default="", help="folder of the committed samples")
    parser.add_argument("--assets", default="", help="folder of the embedded model's files")
    parser.add_argument("--work", required=True)
    a = parser.parse_args()
    a.work = os.path.join(a.work, a.case)
    os.makedirs(a.work, exist_ok=True)
    if not a.case.startswith("example") and not a.tool:
        fail("no --tool given for case " + a.case)
    CASES[a.case](a)
    print("PASS: " + a.case)
    return 0


if __name__ == "__main__":
    sys.exit(main())
