#!/usr/bin/env python3
"""An independent reference for the two files tonesmith writes.

Given the answers a user gives to tonesmith's questions, this computes the
sweep parameter file and the sweep WAV file from first principles, with
Python's own doubles and libm, and compares them byte for byte with what the
program wrote. It shares no code with the program.
"""
import math
import os
import struct
import subprocess
import sys
import tempfile

TWO_PI = 6.283185307179586
PI = 3.141592653589793
N_MIN = 10


def trunc(x):
    return int(x)  # toward zero


def round_half_away(x):
    if x > 0:
        return float(math.floor(x + 0.5))
    if x < 0:
        return float(math.ceil(x - 0.5))
    return x


def fractional_cycle(x):
    r = math.fmod(x, 1.0)
    return 1 - r if r > 1 - r else r


def percent_to_amplitude(p):
    v = trunc(p * 0.01 * 32767)
    return max(-32767, min(32767, v))


class Plan:
    def __init__(self, **kw):
        self.__dict__.update(kw)

    def frequency_of_tone(self, i):
        if self.octave:
            return self.start * math.pow(2.0, i / self.step)
        return self.start + i * self.step

    def tone_length_for(self, f):
        r = float(self.rate)
        a = 2 * f
        if not (0.5 * r >= a):
            a = r - a
        if a == 0:
            return r * self.min_duration
        b = 0.5 * a
        c = float(math.ceil(self.min_duration * b))
        if c < N_MIN:
            c = float(N_MIN)
        best = c / b * r
        best_error = 1.0
        k = 0
        while True:
            length = (c + k) / b * r
            m = round_half_away(length)
            e = fractional_cycle(m / r * b)
            if e < best_error:
                best_error = e
                best = length
            if best_error <= self.max_fraction:
                break
            k += 1
            if not (self.max_extra > k / b * r):
                break
        return round_half_away(best)

    def settling(self, f):
        return trunc(math.ceil(self.settling_time * f) / f * self.rate)

    def drift(self, f, n):
        p = n / self.rate * f
        q = self.max_drift * f + p
        return trunc(math.ceil(q) / f * self.rate) - n

    def phase_at(self, n, f):
        period = self.rate / f
        return math.fmod(n, period) / period * 2 * PI

    def tones(self):
        i = 0
        while True:
            f = self.frequency_of_tone(i)
            if i > 0 and f > self.end:
                return
            yield i, f, trunc(self.tone_length_for(f))
            i += 1


def tone_samples(f, phase, count, rate):
    step = TWO_PI * f / rate
    out = []
    for i in range(count):
        v = 32767.0 * math.sin(i * step + phase)
        out.append(trunc(v + 0.5) if v > 0 else trunc(v - 0.5) if v < 0 else 0)
    return struct.pack('<%dh' % len(out), *out)


def sweep_data(plan):
    r = plan.rate
    parts = [b'\0\0' * trunc(trunc(r * plan.lead_in) + r * 3.0)]
    for index, f, n in plan.tones():
        sync = index == 0 if plan.tones_per_sync == 0 else index % plan.tones_per_sync == 0
        if sync:
            parts.append(b'\0\0' * trunc(r * plan.settling_time))
            parts.append(b'\0\0' * trunc(r * plan.max_drift))
            parts.append(struct.pack('<h', percent_to_amplitude(plan.pulse_level)) * trunc(r * 0.0002))
        s = plan.settling(f)
        parts.append(tone_samples(f, plan.phase_at(-s, f), s + n + plan.drift(f, n), r))
    return b''.join(parts)


def wave_file(plan):
    data = sweep_data(plan)
    r = plan.rate
    header = b'RIFF' + struct.pack('<I', len(data) + 36) + b'WAVEfmt ' + struct.pack(
        '<IHHIIHH', 16, 1, 1, r, 2 * r, 2, 16) + b'data' + struct.pack('<I', len(data))
    return header + data


def parameter_file(plan):
    # The run-time fields are those of the rewind made when the step was stored:
    # tone 0 with the constructor's minimum duration (0), extra samples (0) and
    # error bound (1.0) still in place.
    early = Plan(**dict(plan.__dict__, min_duration=0.0, max_extra=0, max_fraction=1.0))
    length0 = trunc(early.tone_length_for(plan.start))
    record = struct.pack('<?7x8d2Id', True, plan.start, plan.end, plan.step, plan.min_duration, 0.0002,
                         plan.settling_time, plan.max_drift, 0.5, plan.rate, plan.max_extra, plan.max_fraction)
    record += struct.pack('<d3Ii2dI4x', plan.start, plan.tones_per_sync, 0, length0, 1 if plan.octave else 0,
                          plan.pulse_level, 15.0, plan.min_cycles)
    assert len(record) == 136
    return b'SWEEPPARAMS' + record


def answers_for(plan, advanced):
    lines = ['sweep.wav', 'sweep.swp', str(plan.rate), '1' if plan.octave else '2', repr(plan.start),
             repr(plan.end), repr(plan.step), repr(plan.min_duration), repr(plan.settling_time),
             str(plan.tones_per_sync)]
    if advanced:
        # The yes/no answer is one character; from a pipe the rest of its line
        # is the next answer, so the first advanced value follows the "y" directly.
        lines += ['y' + repr(plan.pulse_level), str(plan.min_cycles), repr(plan.max_fraction),
                  str(plan.max_extra), repr(plan.max_drift)]
    else:
        lines += ['n']
    return '\n'.join(lines) + '\n'


CASES = {
    'octave-48k': (dict(rate=48000, octave=True, start=20.0, end=20000.0, step=3.0), False),
    'linear-44k': (dict(rate=44100, octave=False, start=1000.0, end=1500.0, step=100.0), False),
    'linear-8k': (dict(rate=8000, octave=False, start=125.0, end=4000.0, step=625.0, settling_time=0.025), False),
    'octave-96k': (dict(rate=96000, octave=True, start=100.0, end=48000.0, step=1.5, tones_per_sync=2), False),
    'advanced': (dict(rate=22050, octave=False, start=9975.0, end=11025.0, step=350.0, min_duration=0.0,
                      max_fraction=0.0, max_extra=3000, pulse_level=55.0, min_cycles=30, max_drift=0.0,
                      settling_time=0.0, tones_per_sync=1), True),
    'tail-minus-one': (dict(rate=22050, octave=False, start=61.25, end=183.75, step=61.25, max_drift=0.0,
                            max_fraction=1.0, max_extra=400, min_cycles=10, pulse_level=90.0), True),
    'fractional': (dict(rate=44100, octave=False, start=10000.5, end=10100.5, step=20.0, max_fraction=0.01,
                        max_extra=400, min_cycles=10, pulse_level=90.0, max_drift=0.0002), True),
}

DEFAULTS = dict(min_duration=0.02, settling_time=0.04, tones_per_sync=0, max_extra=400, pulse_level=90.0,
                max_drift=0.0002, min_cycles=10, max_fraction=1.0, lead_in=0.5)


def first_difference(a, b):
    for i, (x, y) in enumerate(zip(a, b)):
        if x != y:
            return i
    return min(len(a), len(b))


def check(tonesmith, name):
    values, advanced = CASES[name]
    plan = Plan(**dict(DEFAULTS, **values))
    with tempfile.TemporaryDirectory() as folder:
        run = subprocess.run([tonesmith], input=answers_for(plan, advanced).encode(), cwd=folder,
                             capture_output=True, timeout=600)
        if run.returncode != 0:
            print('%s: tonesmith exited with %d: %s' % (name, run.returncode, run.stderr.decode()))
            return False
        ok = True
        for file_name, expected in (('sweep.swp', parameter_file(plan)), ('sweep.wav', wave_file(plan))):
            with open(os.path.join(folder, file_name), 'rb') as f:
                actual = f.read()
            if actual != expected:
                at = first_difference(actual, expected)
                print('%s: %s differs at byte %d (sizes %d, expected %d)' % (name, file_name, at, len(actual),
                                                                             len(expected)))
                ok = False
        return ok


def main():
    tonesmith = sys.argv[1]
    names = sys.argv[2:] or sorted(CASES)
    failures = [name for name in names if not check(tonesmith, name)]
    print('%d passed, %d failed' % (len(names) - len(failures), len(failures)))
    return 1 if failures else 0


if __name__ == '__main__':
    sys.exit(main())
