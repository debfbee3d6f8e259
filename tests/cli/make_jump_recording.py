#!/usr/bin/env python3
"""A sweep as a sound card would record it, with numpy: at 80 % of its level,
white noise at -70 dBFS from a seeded generator, a second of silence after
it; written once as it is and once with samples taken out (a negative size)
or zeros put in at one place.

    make_jump_recording.py SWEEP.wav SEED SIZE AT CLEAN.wav CUT.wav
"""
import sys
import wave

import numpy as np


def read_wave(path):
    with wave.open(path) as w:
        return np.frombuffer(w.readframes(w.getnframes()), dtype="<i2").astype(float)


def write_wave(path, x, rate):
    with wave.open(path, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(rate)
        w.writeframes(np.clip(np.round(x), -32768, 32767).astype("<i2").tobytes())


def main():
    sweep, seed, size, at, clean, cut = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), int(sys.argv[4]), sys.argv[5], sys.argv[6]
    with wave.open(sweep) as w:
        rate = w.getframerate()
    played = np.concatenate([read_wave(sweep), np.zeros(rate)])
    rng = np.random.default_rng(seed)
    base = 0.8 * played + 32767 * 10 ** (-70 / 20) * rng.standard_normal(len(played))
    if size > 0:
        jumped = np.concatenate([base[:at], np.zeros(size), base[at:]])
    else:
        jumped = np.concatenate([base[:at], base[at - size:], np.zeros(-size)])
    write_wave(clean, base, rate)
    write_wave(cut, jumped, rate)
    return 0


if __name__ == "__main__":
    sys.exit(main())
