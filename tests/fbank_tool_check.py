#!/usr/bin/python3
"""Checks orvane-fbank: usage: fbank_tool_check.py PATH/TO/orvane-fbank WORK_DIR."""
import os
import subprocess
import sys
import wave

import numpy as np

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import fbank_reference  # noqa: E402

failures = []


def check(cond, what):
    if not cond:
        failures.append(what)
        print('FAIL: ' + what)


def write_wav(path, pcm, rate=16000, channels=1, width=2):
    with wave.open(path, 'wb') as w:
        w.setnchannels(channels)
        w.setsampwidth(width)
        w.setframerate(rate)
        w.writeframes(pcm.tobytes())


def run(*args):
    return subprocess.run([tool, *args], capture_output=True, text=True)


tool, work = sys.argv[1], sys.argv[2]
os.makedirs(work, exist_ok=True)
rng = np.random.default_rng(5)
clips = {}
for name, n in [('a', 16000), ('b', 7777), ('tiny', 300)]:
    t = np.arange(n) / 16000.0
    x = 4000 * np.sin(2 * np.pi * 300 * t) + 1500 * rng.standard_normal(n)
    clips[name] = np.clip(np.round(x), -32768, 32767).astype('<i2')
    write_wav(os.path.join(work, name + '.wav'), clips[name])


def check_npy(path, pcm):
    got = np.load(path)
    want = fbank_reference.features(pcm)
    check(got.dtype == np.float32, path + ': dtype float32')
    check(got.shape == want.shape, '%s: shape %s, expected %s' % (path, got.shape, want.shape))
    if got.shape == want.shape and got.size:
        diff = float(np.max(np.abs(got - want)))
        check(diff <= 1e-3, '%s: max difference %g to the reference' % (path, diff))


out = os.path.join(work, 'a.npy')
r = run(os.path.join(work, 'a.wav'), out)
check(r.returncode == 0, 'single file exits 0 (%s)' % r.stderr.strip())
check_npy(out, clips['a'])
check(np.load(out).shape == (98, 80), 'one second gives 98 frames of 80')

lst = os.path.join(work, 'list.txt')
with open(lst, 'w') as f:
    f.write('# comment\n\n')
    for name in clips:
        f.write('%s %s\n' % (os.path.join(work, name + '.wav'), os.path.join(work, 'batch_' + name + '.npy')))
r = run('--batch', lst)
check(r.returncode == 0, 'batch exits 0 (%s)' % r.stderr.strip())
for name in clips:
    check_npy(os.path.join(work, 'batch_' + name + '.npy'), clips[name])
check(np.array_equal(np.load(out), np.load(os.path.join(work, 'batch_a.npy'))),
      'batch and single-file features are identical')

# Refusals: one line on stderr, non-zero exit, no output file.
pcm = clips['a']
write_wav(os.path.join(work, 'stereo.wav'), pcm, channels=2)
write_wav(os.path.join(work, 'rate8k.wav'), pcm, rate=8000)
write_wav(os.path.join(work, 'eight_bit.wav'), np.zeros(1000, dtype=np.uint8), width=1)
with open(os.path.join(work, 'garbage.wav'), 'wb') as f:
    f.write(b'not a wav file at all')
for name in ['stereo', 'rate8k', 'eight_bit', 'garbage', 'missing']:
    target = os.path.join(work, 'refused_' + name + '.npy')
    r = run(os.path.join(work, name + '.wav'), target)
    lines = r.stderr.strip().splitlines()
    check(r.returncode != 0, name + ': non-zero exit')
    check(len(lines) == 1 and name in lines[0], name + ': one error line naming the file: %r' % r.stderr)
    check(not os.path.exists(target), name + ': no output written')

# A batch with one bad entry still writes the good ones and reports failure.
with open(lst, 'w') as f:
    f.write('%s %s\n' % (os.path.join(work, 'stereo.wav'), os.path.join(work, 'bad.npy')))
    f.write('%s %s\n' % (os.path.join(work, 'b.wav'), os.path.join(work, 'good_b.npy')))
r = run('--batch', lst)
check(r.returncode != 0, 'batch with a bad entry exits non-zero')
check(os.path.exists(os.path.join(work, 'good_b.npy')), 'batch goes on after a bad entry')

check(run().returncode == 2, 'no arguments is a usage error')

print('orvane-fbank: %d check(s) failed' % len(failures) if failures else 'orvane-fbank: all checks passed')
sys.exit(1 if failures else 0)
