#!/usr/bin/env python3
"""How often `auralyn analyze` names a jump on recordings that hold none, and
what it makes of recordings that hold one.

Sweeps written by `auralyn sweep` are spoilt here with numpy (not by the kit's
simulator): white and pink noise, clicks, bursts of noise, a DC offset, noise
that rises along the recording, a gain that sags and recovers, a first-order
low-pass and high-pass (direct recursion), and a start that falls between two
samples (a half-sample delay by a windowed-sinc filter). Every run that names a
jump, or leaves a tone not measured with flag `jump`, is a false alarm.

    PATH=/usr/bin:$PATH python3 scripts/false_jump_survey.py build/bin/auralyn [RUNS]

With `--jumps`, stalls (zeros put in) and losses (samples taken out) of 20 to
9600 samples at random places of each sweep instead, with white noise at -70
dBFS: each must be named with its sign (to the sample where the later tones are
measured, within 2 % and 12 samples where they are not), and every tone still
measured must read the phase the same recording without the jump reads, within
the two intervals: a tone measured at the old place is a confident wrong number.

    PATH=/usr/bin:$PATH python3 scripts/false_jump_survey.py build/bin/auralyn --jumps [RUNS]
"""
import json
import os
import subprocess
import sys
import tempfile

import numpy as np

from mono16 import read_mono16, write_mono16

SWEEPS = {
    "third-octave": ["--start", "100", "--end", "15000", "--step", "3"],
    "sixth-octave": ["--start", "50", "--end", "18000", "--step", "6"],
    "pulses every 4": ["--start", "100", "--end", "15000", "--step", "6", "--tones-per-sync", "4"],
}


def read_wave(path):
    return read_mono16(path)[1]


def write_wave(path, x):
    write_mono16(path, 48000, x)


def pink(n, rng):
    # Voss-McCartney: the sum of white sources held over doubling lengths.
    out = np.zeros(n)
    for k in range(12):
        hold = 2 ** k
        values = rng.standard_normal(n // hold + 1)
        out += np.repeat(values, hold)[:n]
    return out / np.std(out)


def one_pole(x, a, high=False):
    y = np.empty_like(x)
    state = 0.0
    for i, v in enumerate(x):
        state = a * state + (1.0 - a) * v
        y[i] = state
    return x - y if high else y


def half_sample(x):
    taps = np.arange(-32, 32) + 0.5
    h = np.sinc(taps) * np.hanning(64)
    return np.convolve(x, h / h.sum(), mode="same")


def spoil(x, kind, rng):
    n = len(x)
    if kind == "white -60 dBFS":
        return 0.8 * x + 32767 * 10 ** (-60 / 20) * rng.standard_normal(n)
    if kind == "pink -50 dBFS":
        return 0.8 * x + 32767 * 10 ** (-50 / 20) * pink(n, rng)
    if kind == "clicks":
        y = 0.7 * x + rng.standard_normal(n) * 3
        at = rng.integers(0, n, 60)
        y[at] += rng.choice([-1, 1], 60) * 9000
        return y
    if kind == "bursts":
        y = 0.7 * x + rng.standard_normal(n) * 3
        for start in rng.integers(0, n - 960, 10):
            y[start:start + 960] += 1500 * rng.standard_normal(960)
        return y
    if kind == "dc and rising noise":
        ramp = np.linspace(0, 1, n)
        return 0.7 * x + 1200 + 300 * ramp * rng.standard_normal(n)
    if kind == "sagging gain":
        t = np.linspace(0, 1, n)
        return x * (0.6 + 0.2 * np.cos(2 * np.pi * 3 * t)) + 3 * rng.standard_normal(n)
    if kind == "low-pass 2 kHz":
        return 0.9 * one_pole(x, np.exp(-2 * np.pi * 2000 / 48000)) + 3 * rng.standard_normal(n)
    if kind == "high-pass 500 Hz":
        return 0.9 * one_pole(x, np.exp(-2 * np.pi * 500 / 48000), high=True) + 3 * rng.standard_normal(n)
    if kind == "half-sample start":
        return 0.8 * half_sample(x) + 3 * rng.standard_normal(n)
    raise ValueError(kind)


KINDS = ["white -60 dBFS", "pink -50 dBFS", "clicks", "bursts", "dc and rising noise", "sagging gain",
         "low-pass 2 kHz", "high-pass 500 Hz", "half-sample start"]


def analyze(auralyn, d, samples):
    write_wave(os.path.join(d, "r.wav"), samples)
    run = subprocess.run([auralyn, "analyze", "r.wav", "s.swp", "--json", "r.json", "-o", "r.txt"],
                         cwd=d, capture_output=True, text=True)
    doc = {}
    if os.path.exists(os.path.join(d, "r.json")):
        with open(os.path.join(d, "r.json")) as f:
            doc = json.load(f)
        os.remove(os.path.join(d, "r.json"))
    return run, doc


def wrong_phases(clean, jumped):
    """Tones measured in both whose phases differ by more than both intervals allow."""
    wrong = 0
    for a, b in zip(clean.get("tones", []), jumped.get("tones", [])):
        if a.get("phase_deg") is None or b.get("phase_deg") is None or not b.get("steady") or not a.get("steady"):
            continue
        limit = (a.get("phase_u95_deg") or 0) + (b.get("phase_u95_deg") or 0) + 0.05
        error = (b["phase_deg"] - a["phase_deg"] + 180.0) % 360.0 - 180.0
        wrong += abs(error) > limit
    return wrong


def jump_survey(auralyn, seeds):
    runs = named = sized = confident_wrong = 0
    with tempfile.TemporaryDirectory() as d:
        for name, options in SWEEPS.items():
            subprocess.run([auralyn, "sweep", "-q", "-o", "s.wav"] + options, cwd=d, check=True)
            played = np.concatenate([read_wave(os.path.join(d, "s.wav")), np.zeros(48000)])
            for seed in range(seeds):
                rng = np.random.default_rng(77 + seed)
                base = 0.8 * played + 32767 * 10 ** (-70 / 20) * rng.standard_normal(len(played))
                _, clean = analyze(auralyn, d, base)
                for size in (20, -20, 100, -100, 500, -500, 2400, -2400, 9600, -9600):
                    at = int(rng.integers(168000 + 20000, len(played) - 96000))
                    if size > 0:
                        y = np.concatenate([base[:at], np.zeros(size), base[at:]])
                    else:
                        y = np.concatenate([base[:at], base[at - size:], np.zeros(-size)])
                    run, doc = analyze(auralyn, d, y)
                    runs += 1
                    jumps = doc.get("jumps") or []
                    ok_name = len(jumps) >= 1 and all(j["size_samples"] * size > 0 for j in jumps)
                    found = sum(j["size_samples"] for j in jumps) if ok_name else 0
                    exact = ok_name and all(j["exact"] for j in jumps)
                    ok_size = ok_name and (found == size if exact else abs(found - size) <= 12 + 0.02 * abs(size))
                    wrong = wrong_phases(clean, doc)
                    named += ok_name
                    sized += ok_size
                    confident_wrong += wrong > 0
                    if not ok_size or wrong:
                        print(f"{name}, seed {seed}, {size:+d} samples at {at}: exit {run.returncode}, "
                              f"jumps {[(j['tone'], j['size_samples'], j['exact']) for j in jumps]}, "
                              f"{wrong} tones with a wrong phase")
    print(f"{runs} recordings with a jump: {named} named with their sign, {sized} with their size, "
          f"{confident_wrong} with a tone measured at a wrong place")
    return 1 if confident_wrong else 0


def main():
    auralyn = os.path.abspath(sys.argv[1])
    if len(sys.argv) > 2 and sys.argv[2] == "--jumps":
        return jump_survey(auralyn, int(sys.argv[3]) if len(sys.argv) > 3 else 1)
    seeds = int(sys.argv[2]) if len(sys.argv) > 2 else 2
    runs = alarms = 0
    with tempfile.TemporaryDirectory() as d:
        for name, options in SWEEPS.items():
            subprocess.run([auralyn, "sweep", "-q", "-o", "s.wav"] + options, cwd=d, check=True)
            clean = read_wave(os.path.join(d, "s.wav"))
            clean = np.concatenate([clean, np.zeros(9600)])
            for kind in KINDS:
                for seed in range(seeds):
                    rng = np.random.default_rng(1000 * seed + len(kind))
                    write_wave(os.path.join(d, "r.wav"), spoil(clean, kind, rng))
                    run = subprocess.run([auralyn, "analyze", "r.wav", "s.swp", "--json", "r.json", "-o", "r.txt"],
                                         cwd=d, capture_output=True, text=True)
                    named = "jumps" in run.stderr
                    unplaced = 0
                    if os.path.exists(os.path.join(d, "r.json")):
                        with open(os.path.join(d, "r.json")) as f:
                            doc = json.load(f)
                        named = named or len(doc.get("jumps") or []) > 0
                        unplaced = sum(1 for t in doc.get("tones", []) if t.get("flag") == "jump")
                        os.remove(os.path.join(d, "r.json"))
                    runs += 1
                    if named or unplaced:
                        alarms += 1
                        print(f"FALSE JUMP: {name}, {kind}, seed {seed}: exit {run.returncode}")
                        print("   " + run.stderr.strip().replace("\n", "\n   "))
    print(f"{alarms} false jumps in {runs} recordings without a jump")
    return 1 if alarms else 0


if __name__ == "__main__":
    sys.exit(main())
