#!/usr/bin/python3
"""Reference log-mel filterbank, written from the formulas with NumPy, for fbank_reference_test.

usage: fbank_reference.py IN.s16 OUT.f32
IN holds raw little-endian signed 16-bit mono samples at 16 kHz; OUT receives float32 features,
frame after frame, 80 values each. Everything but the integer filter edges is computed in double
precision with NumPy's own FFT, so it shares no code or rounding path with the library.
"""
import sys

import numpy as np

SAMPLE_RATE = 16000
NUM_BINS = 80
FRAME_LENGTH = 400  # 25 ms
FRAME_SHIFT = 160   # 10 ms
FFT_SIZE = 512
PREEMPH = 0.97
LOW_FREQ = 20.0
HIGH_FREQ = SAMPLE_RATE / 2 - 400.0


def hz_to_mel(f):
    return 1127.0 * np.log(f / 700.0 + 1.0)


def mel_to_hz(m):
    return 700.0 * (np.exp(m / 1127.0) - 1.0)


def mel_banks():
    # The edges are integers; single precision as in the library so that none lands one bin off.
    f32 = np.float32
    mel_lo = f32(1127) * np.log(f32(LOW_FREQ) / f32(700) + f32(1))
    mel_hi = f32(1127) * np.log(f32(HIGH_FREQ) / f32(700) + f32(1))
    edges = []
    for i in range(NUM_BINS + 2):
        mel = (f32(i) * (mel_hi - mel_lo)) / f32(NUM_BINS + 1) + mel_lo
        hz = f32(700) * (np.exp(mel / f32(1127)) - f32(1))
        b = int(np.floor(f32(FFT_SIZE + 1) * hz / f32(SAMPLE_RATE)))
        edges.append(min(max(b, 0), FFT_SIZE // 2))
    banks = np.zeros((NUM_BINS, FFT_SIZE // 2 + 1))
    for m in range(NUM_BINS):
        left, centre, right = edges[m], edges[m + 1], edges[m + 2]
        for j in range(left, centre):
            banks[m, j] = (j - left) / (centre - left)
        for j in range(centre, right):
            banks[m, j] = (right - j) / (right - centre)
    return banks


def features(pcm):
    wave = pcm.astype(np.float64)  # x / 32768 * 32768
    n = len(wave)
    if n < FRAME_LENGTH:
        return np.zeros((0, NUM_BINS), dtype=np.float32)
    frames = (n - FRAME_LENGTH) // FRAME_SHIFT + 1
    emph = wave.copy()
    emph[1:] = wave[1:] - PREEMPH * wave[:-1]
    i = np.arange(FRAME_LENGTH)
    window = (0.5 - 0.5 * np.cos(2.0 * np.pi * i / (FRAME_LENGTH - 1))) ** 0.85
    banks = mel_banks()
    out = np.empty((frames, NUM_BINS))
    for t in range(frames):
        x = emph[t * FRAME_SHIFT:t * FRAME_SHIFT + FRAME_LENGTH] * window
        spectrum = np.fft.rfft(x, FFT_SIZE)
        power = spectrum.real ** 2 + spectrum.imag ** 2
        energy = banks @ power
        out[t] = np.log(np.maximum(energy, float(np.float32(1e-10))))
    return out.astype(np.float32)


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    pcm = np.fromfile(sys.argv[1], dtype='<i2')
    features(pcm).astype('<f4').tofile(sys.argv[2])


if __name__ == '__main__':
    main()
