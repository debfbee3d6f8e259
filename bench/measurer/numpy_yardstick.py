#!/usr/bin/env python3
"""The yardstick for echoprobe's speed: what a user would write instead.

numpy walks the same recording along the same tone schedule, finds the sync
pulses and runs the same two correlation passes per tone (measurement and
reference), vectorised per tone. Run through compare(), it times the real
echoprobe program and this walk on the same long recording, one after the
other on one core, and checks that both measured the same.

    numpy_yardstick.py --bench BUILD/bin/measurer_bench --echoprobe BUILD/bin/echoprobe
"""
import argparse
import math
import os
import struct
import subprocess
import sys
import tempfile

os.environ.setdefault('OPENBLAS_NUM_THREADS', '1')
os.environ.setdefault('OMP_NUM_THREADS', '1')
import numpy as np  # noqa: E402  (after the thread limits)

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'support'))
from yardstick_timing import best_time  # noqa: E402

TWO_PI = 6.283185307179586
N_MIN = 10.0


def read_parameters(path):
    with open(path, 'rb') as f:
        data = f.read()
    if data[:11] != b'SWEEPPARAMS' or len(data) < 147:
        raise ValueError('%s is not a sweep parameter file' % path)
    r = data[11:147]
    names = ('start', 'end', 'step', 'min_duration', 'pulse_duration', 'settling', 'drift', 'lead_in')
    p = dict(zip(names, struct.unpack_from('<8d', r, 8)))
    p['rate'], p['max_extra'] = struct.unpack_from('<2I', r, 72)
    p['max_fraction'], = struct.unpack_from('<d', r, 80)
    p['tones_per_sync'], = struct.unpack_from('<I', r, 96)
    p['octave'], = struct.unpack_from('<i', r, 108)
    p['pulse_level'], p['threshold'] = struct.unpack_from('<2d', r, 112)
    return p


def read_samples(path):
    with open(path, 'rb') as f:
        data = f.read()
    pos = 12
    while pos + 8 <= len(data):
        chunk, size = data[pos:pos + 4], struct.unpack_from('<I', data, pos + 4)[0]
        if chunk == b'data':
            return np.frombuffer(data, dtype='<i2', offset=pos + 8)
        pos += 8 + size + (size & 1)
    raise ValueError('%s has no data chunk' % path)


def round_half_away(x):
    return math.floor(x + 0.5) if x > 0 else math.ceil(x - 0.5) if x < 0 else x


def fractional_cycle(x):
    r = math.fmod(x, 1.0)
    return 1 - r if r > 1 - r else r


def tone_length(p, f):
    rate = float(p['rate'])
    a = 2 * f
    if not (0.5 * rate >= a):
        a = rate - a
    if a == 0:
        return int(rate * p['min_duration'])
    b = 0.5 * a
    c = max(float(math.ceil(p['min_duration'] * b)), N_MIN)
    best, best_error, k = c / b * rate, 1.0, 0.0
    while True:
        length = (c + k) / b * rate
        e = fractional_cycle(round_half_away(length) / rate * b)
        if e < best_error:
            best_error, best = e, length
        if best_error <= p['max_fraction']:
            break
        k += 1
        if not (p['max_extra'] > abs(k / b * rate)):
            break
    return int(round_half_away(best))


def tones(p):
    i = 0
    while True:
        f = p['start'] * math.pow(2.0, i / p['step']) if p['octave'] else p['start'] + i * p['step']
        if i > 0 and f > p['end']:
            return
        yield i, f, tone_length(p, f)
        i += 1


def find_pulse(x, pos, threshold, chunk=1 << 14):
    while pos < len(x):
        hits = np.flatnonzero(np.abs(x[pos:pos + chunk].astype(np.int32)) >= threshold)
        if hits.size:
            return pos + int(hits[0])
        pos += chunk
    return None


def measure(wav_path, swp_path):
    p = read_parameters(swp_path)
    x = read_samples(wav_path)
    rate = p['rate']
    threshold = max(-32767, min(32767, int(p['threshold'] * 0.01 * 32767)))
    pulse = int(rate * p['pulse_duration'])
    pos = int(rate * p['lead_in'])
    results = []
    for index, f, n in tones(p):
        sync = index == 0 if p['tones_per_sync'] == 0 else index % p['tones_per_sync'] == 0
        if sync:
            pos = find_pulse(x, pos + int(rate * p['settling']), threshold)
            if pos is None:
                raise ValueError('no sync pulse')
            pos += max(pulse, 1)
        pos += int(math.ceil(p['settling'] * f) / f * rate)
        block = x[pos:pos + n].astype(np.float64)
        if block.size < n:
            raise ValueError('recording ended inside a tone')
        theta = (TWO_PI * f / rate) * np.arange(n)
        s, c = np.sin(theta), np.cos(theta)
        S, C = block @ s, block @ c
        phase = math.atan2(C, S) if (S or C) else 0.0
        unit = np.sin(theta + phase)
        reference = 2 * math.hypot(s @ unit, c @ unit) / n
        results.append((f, 2 * math.hypot(S, C) / n / reference, phase))
        span = int(math.ceil(p['drift'] * f + n / rate * f) / f * rate)
        pos += span
    return results, len(x)


def report_rows(path):
    with open(path) as f:
        lines = f.read().splitlines()
    start = lines.index('Frequency, Amplitude, Norm. Amp., Norm. Amp. (dB), Phase (deg)') + 1
    return [[float(v) for v in line.split(',')[:2]] for line in lines[start:]]


def compare(bench, echoprobe, runs):
    with tempfile.TemporaryDirectory() as folder:
        subprocess.run([bench, '--write-long-sweep', folder], check=True, stdout=subprocess.DEVNULL)
        wav, swp = os.path.join(folder, 'rec.wav'), os.path.join(folder, 'sweep.swp')
        pin = ['taskset', '-c', '0'] if subprocess.run(['which', 'taskset'], capture_output=True).returncode == 0 \
            else []

        def run_echoprobe():
            subprocess.run(pin + [echoprobe], input=b'rec.wav\nsweep.swp\nout\n\n', cwd=folder, check=True,
                           stdout=subprocess.DEVNULL)

        if pin:
            os.sched_setaffinity(0, {0})
        program_seconds = best_time(runs, run_echoprobe)
        results, samples = measure(wav, swp)
        numpy_seconds = best_time(runs, lambda: measure(wav, swp))

        rows = report_rows(os.path.join(folder, 'out.txt'))
        if len(rows) != len(results):
            sys.exit('echoprobe measured %d tones, numpy %d' % (len(rows), len(results)))
        worst = max(abs(row[1] - r[1]) for row, r in zip(rows, results))
        print('recording: %d samples, %d tones' % (samples, len(results)))
        print('echoprobe (whole program):  %.3f s  %6.1f million samples/s' %
              (program_seconds, samples / program_seconds / 1e6))
        print('numpy yardstick (in-process): %.3f s  %6.1f million samples/s' %
              (numpy_seconds, samples / numpy_seconds / 1e6))
        print('speed ratio echoprobe/numpy: %.2f' % (numpy_seconds / program_seconds))
        print('largest amplitude difference between the two: %.2f sample units' % worst)


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument('--bench', required=True, help='the measurer_bench program')
    parser.add_argument('--echoprobe', required=True, help='the echoprobe program')
    parser.add_argument('--runs', type=int, default=3, help='timed runs of each; the best counts')
    args = parser.parse_args()
    compare(os.path.abspath(args.bench), os.path.abspath(args.echoprobe), args.runs)


if __name__ == '__main__':
    main()
