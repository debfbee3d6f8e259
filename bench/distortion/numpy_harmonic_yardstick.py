#!/usr/bin/env python3
"""The yardstick for the per-tone distortion measurement: what a user would write instead.

numpy measures every tone of the long benchmark recording the way the
measuring library does, vectorised per tone: the joint least-squares fit of DC,
the fundamental and its harmonics 2..10 below half the rate (design matrix of
sines and cosines, normal equations), the residual, THD+N, the noise floor from
up to 128 lead-in blocks (three-parameter fit of all blocks in one product) and
the fundamental's 95 % intervals from the covariance. Both take the tones'
blocks from the file that distortion_bench writes beside the recording.

It times distortion_bench's long-sweep benchmark and this walk in one run, one
after the other, on one core, and checks that both measured the same:

    numpy_harmonic_yardstick.py --bench BUILD/bin/distortion_bench
"""
import argparse
import json
import math
import os
import subprocess
import sys
import tempfile
import time

os.environ.setdefault('OPENBLAS_NUM_THREADS', '1')
os.environ.setdefault('OMP_NUM_THREADS', '1')
import numpy as np  # noqa: E402  (after the thread limits)

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'support'))
from yardstick_timing import best_time  # noqa: E402

TWO_PI = 6.283185307179586
MAX_HARMONIC = 10
MAX_NOISE_BLOCKS = 128
LONGEST_SHORT_NOISE_BLOCK = 512
QUANTIZATION_VARIANCE = 1.0 / 12.0
FULL_SCALE = 32767.0


def read_samples(path):
    with open(path, 'rb') as f:
        data = f.read()
    pos = 12
    while pos + 8 <= len(data):
        chunk, size = data[pos:pos + 4], int.from_bytes(data[pos + 4:pos + 8], 'little')
        if chunk == b'data':
            return np.frombuffer(data, dtype='<i2', count=size // 2, offset=pos + 8)
        pos += 8 + size + (size & 1)
    raise ValueError('%s has no data chunk' % path)


def read_tones(path):
    with open(path) as f:
        lines = f.read().splitlines()
    lead_in = int(lines[0].split()[1])
    tones = [(int(a), int(b), float(c)) for a, b, c in (line.split() for line in lines[1:])]
    return lead_in, tones


def harmonics_that_fit(cps, n):
    k = 0
    while k < MAX_HARMONIC:
        f = (k + 1) * cps
        if not (0 < f < 0.5 and (1 - 2 * f) * n >= 1):
            break
        k += 1
    return k


def design(n, cps, harmonics):
    angles = np.outer(np.arange(n, dtype=np.float64), TWO_PI * cps * np.arange(1, harmonics + 1))
    x = np.empty((n, 1 + 2 * harmonics))
    x[:, 0] = 1.0
    x[:, 1::2] = np.cos(angles)
    x[:, 2::2] = np.sin(angles)
    return x


def noise_block_length(lead_in, n, cps):
    if lead_in // n >= MAX_NOISE_BLOCKS:
        return n
    one_cycle = int(math.ceil(1.0 / cps))
    return min(n, max(min(lead_in // MAX_NOISE_BLOCKS, LONGEST_SHORT_NOISE_BLOCK), one_cycle))


def lead_in_variance(lead, n, cps):
    m = noise_block_length(len(lead), n, cps)
    blocks = min(len(lead) // m, MAX_NOISE_BLOCKS)
    if blocks == 0:
        return None
    y = lead[len(lead) - blocks * m:].astype(np.float64).reshape(blocks, m)
    x = design(m, cps, 1)
    gram = x.T @ x
    beta = np.linalg.solve(gram, x.T @ y.T)
    inverse = np.linalg.inv(gram)
    power = np.mean(beta[1] ** 2 + beta[2] ** 2)
    return max(power / (inverse[1, 1] + inverse[2, 2]), QUANTIZATION_VARIANCE), 2.0 * blocks


def student_t975(dof):
    table = [12.706204736174707, 4.302652729749464, 3.182446305284263, 2.776445105197799, 2.570581835636314,
             2.446911848791681, 2.364624251010299, 2.306004135204166, 2.262157162798205]
    if dof < 10:
        return table[max(int(dof), 1) - 1]
    z = 1.959963984540054
    g1 = (z ** 3 + z) / 4
    g2 = (5 * z ** 5 + 16 * z ** 3 + 3 * z) / 96
    g3 = (3 * z ** 7 + 19 * z ** 5 + 17 * z ** 3 - 15 * z) / 384
    return z + g1 / dof + g2 / dof ** 2 + g3 / dof ** 3


def measure_tone(x, start, n, cps, lead):
    y = x[start:start + n].astype(np.float64)
    harmonics = harmonics_that_fit(cps, n)
    design_matrix = design(n, cps, harmonics)
    gram = design_matrix.T @ design_matrix
    r = design_matrix.T @ y
    beta = np.linalg.solve(gram, r)
    inverse = np.linalg.inv(gram)
    squares = y @ y
    residual = max(squares - beta @ r, 0.0)
    left = y - design_matrix[:, :3] @ beta[:3]
    remainder = left @ left
    a, b = beta[1], beta[2]
    amplitude = math.hypot(a, b)
    phase = math.atan2(a, b)
    amps = np.hypot(beta[3::2], beta[4::2])
    thd = math.sqrt(amps @ amps) / amplitude if harmonics > 1 else None
    thdn = 20 * math.log10(max(math.sqrt(remainder / n) / (amplitude / math.sqrt(2)), 1e-20))

    dof = n - (1 + 2 * harmonics)
    variance = residual / dof
    noise = lead_in_variance(lead, n, cps)
    gain3 = np.linalg.inv(gram[:3, :3])
    floor = None
    if noise is not None:
        floor = 20 * math.log10(math.sqrt(noise[0] * (gain3[1, 1] + gain3[2, 2])) / FULL_SCALE)
        if noise[0] > variance:
            variance, dof = noise
    t = student_t975(dof)
    power = a * a + b * b
    magnitude_u95 = min(100.0, t * 8.685889638065037 * math.sqrt(
        variance * (a * a * inverse[1, 1] + 2 * a * b * inverse[1, 2] + b * b * inverse[2, 2])) / power)
    phase_u95 = min(180.0, t * math.degrees(math.sqrt(
        variance * (b * b * inverse[1, 1] - 2 * a * b * inverse[1, 2] + a * a * inverse[2, 2])) / power))
    return amplitude, phase, thdn, floor, thd, magnitude_u95, phase_u95


def measure(folder):
    x = read_samples(os.path.join(folder, 'rec.wav'))
    lead_in, tones = read_tones(os.path.join(folder, 'tones.txt'))
    lead = x[:lead_in]
    rate = 48000.0
    return [(f,) + measure_tone(x, start, n, f / rate, lead) for start, n, f in tones], len(x)


def bench_figures(bench, pin, runs):
    out = subprocess.run(pin + [bench, '--benchmark_filter=^BM_DistortionLongSweep', '--benchmark_format=json',
                                '--benchmark_repetitions=%d' % runs], check=True, capture_output=True, text=True)
    rows = [b for b in json.loads(out.stdout)['benchmarks'] if b.get('run_type') == 'iteration']
    cpu = min(b['cpu_time'] for b in rows) / 1e3  # milliseconds to seconds
    real = min(b['real_time'] for b in rows) / 1e3
    return cpu, real


def compare(bench, runs):
    with tempfile.TemporaryDirectory() as folder:
        subprocess.run([bench, '--write-long-sweep', folder], check=True, stdout=subprocess.DEVNULL)
        pin = ['taskset', '-c', '0'] if subprocess.run(['which', 'taskset'], capture_output=True).returncode == 0 \
            else []
        if pin:
            os.sched_setaffinity(0, {0})
        ours_cpu, ours_real = bench_figures(bench, pin, runs)
        results, samples = measure(folder)
        numpy_cpu = best_time(runs, lambda: measure(folder), clock=time.process_time)

        lines = subprocess.run([bench, '--measure', folder], check=True, capture_output=True,
                               text=True).stdout.splitlines()
        ours = [[float(v) for v in line.split()] for line in lines]
        if len(ours) != len(results):
            sys.exit('the library measured %d tones, numpy %d' % (len(ours), len(results)))
        worst_db = max(abs(20 * math.log10(o[1] / r[1])) for o, r in zip(ours, results))
        worst_deg = max(abs(math.degrees(math.remainder(o[2] - r[2], TWO_PI))) for o, r in zip(ours, results))
        # Where the block is all but an exact sine (12 kHz: four samples a cycle) nothing is left but the
        # arithmetic's own rounding, which the two compute differently.
        worst_thdn = max(abs(o[3] - r[3]) for o, r in zip(ours, results) if min(o[3], r[3]) > -140)
        worst_floor = max(abs(o[4] - r[4]) for o, r in zip(ours, results))
        print('recording: %d samples, %d tones' % (samples, len(results)))
        print('library (Google Benchmark): %.3f s CPU  %6.1f million samples/s  (wall %.3f s, %.1f M/s)' %
              (ours_cpu, samples / ours_cpu / 1e6, ours_real, samples / ours_real / 1e6))
        print('numpy yardstick:            %.3f s CPU  %6.1f million samples/s' %
              (numpy_cpu, samples / numpy_cpu / 1e6))
        print('speed ratio library/numpy (CPU time): %.2f' % (numpy_cpu / ours_cpu))
        print('largest differences: amplitude %.2e dB, phase %.2e deg, THD+N %.2e dB (where above -140 dB), noise floor %.2e dB' %
              (worst_db, worst_deg, worst_thdn, worst_floor))


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument('--bench', required=True, help='the distortion_bench program')
    parser.add_argument('--runs', type=int, default=3, help='timed runs of each; the best counts')
    args = parser.parse_args()
    compare(os.path.abspath(args.bench), args.runs)


if __name__ == '__main__':
    main()
