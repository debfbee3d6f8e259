#!/usr/bin/env python3
"""A sweep as a sound card would record it, with numpy: at 80 % of its level,
white noise at -70 dBFS from a seeded generator, a second of silence after
it; written once as it is and once with samples taken out (a negative size)
or zeros put in at one place.

    make_jump_recording.py SWEEP.wav SEED SIZE AT CLEAN.wav CUT.wav
"""
import os
import sys

import numpy as np

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts"))
from mono16 import read_mono16, write_mono16  # noqa: E402




def main():
    sweep, seed, size, at, clean, cut = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), int(sys.argv[4]), sys.argv[5], sys.argv[6]
    rate, played = read_mono16(sweep)
    played = np.concatenate([played, np.zeros(rate)])
    rng = np.random.default_rng(seed)
    base = 0.8 * played + 32767 * 10 ** (-70 / 20) * rng.standard_normal(len(played))
    if size > 0:
        jumped = np.concatenate([base[:at], np.zeros(size), base[at:]])
    else:
        jumped = np.concatenate([base[:at], base[at - size:], np.zeros(-size)])
    write_mono16(clean, rate, base)
    write_mono16(cut, rate, jumped)
    return 0


if __name__ == "__main__":
    sys.exit(main())
