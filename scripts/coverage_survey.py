#!/usr/bin/env python3
"""How often each tone's 95 % intervals of `auralyn analyze` hold the truth on
a plain chain (a gain of -1 dB and white noise), at a high SNR by default.

A sweep of 3 tones per octave written by `auralyn sweep`, recorded TRIALS
times with noise seeds 1, 2, ...: by numpy (the sweep's samples times the
gain, Gaussian noise added, rounded to 16 bits), or with `--simulate` by
`auralyn simulate --gain -1 --noise DBFS SEED`. Every tone measured without a
flag must read -1 dB and 0 degrees; the shares held should lie between 90 and
99.5 %.

    PATH=/usr/bin:$PATH python3 scripts/coverage_survey.py build/bin/auralyn [--simulate] [DBFS [TRIALS]]
"""
import json
import os
import subprocess
import sys
import tempfile

import numpy as np

from mono16 import read_mono16, write_mono16

GAIN_DB = -1.0




def record_with_numpy(sweep, recording, dbfs, seed):
    rate, played = read_mono16(sweep)
    noise_sd = 32767.0 / np.sqrt(2.0) * 10.0 ** (dbfs / 20.0)  # RMS against a full-scale sine
    noise = np.random.default_rng(seed).normal(0.0, noise_sd, played.size)
    write_mono16(recording, rate, played * 10.0 ** (GAIN_DB / 20.0) + noise)


def record_with_simulator(auralyn, sweep, recording, dbfs, seed):
    subprocess.run([auralyn, 'simulate', sweep, recording, '--gain', str(GAIN_DB), '--noise', str(dbfs), str(seed)],
                   check=True, capture_output=True)


def count(report, held):
    for tone in report['tones']:
        if tone['flag'] or tone['magnitude_db'] is None:
            continue
        held['tones'] += 1
        error = tone['magnitude_db'] - GAIN_DB
        held['magnitude'] += abs(error) <= tone['magnitude_u95_db']
        held['magnitude_z'] += (1.96 * error / tone['magnitude_u95_db']) ** 2
        phase = (tone['phase_deg'] + 180.0) % 360.0 - 180.0
        held['phase'] += abs(phase) <= tone['phase_u95_deg']
        held['phase_z'] += (1.96 * phase / tone['phase_u95_deg']) ** 2


def main():
    args = sys.argv[1:]
    simulate = '--simulate' in args
    args = [a for a in args if a != '--simulate']
    auralyn = os.path.abspath(args[0])
    dbfs = float(args[1]) if len(args) > 1 else -90.0
    trials = int(args[2]) if len(args) > 2 else 16
    held = {'tones': 0, 'magnitude': 0, 'phase': 0, 'magnitude_z': 0.0, 'phase_z': 0.0}
    with tempfile.TemporaryDirectory() as folder:
        sweep, recording, report = (os.path.join(folder, n) for n in ('sweep.wav', 'recording.wav', 'report.json'))
        subprocess.run([auralyn, 'sweep', '-q', '-o', sweep, '--step', '3'], check=True, capture_output=True)
        for seed in range(1, trials + 1):
            if simulate:
                record_with_simulator(auralyn, sweep, recording, dbfs, seed)
            else:
                record_with_numpy(sweep, recording, dbfs, seed)
            subprocess.run([auralyn, 'analyze', '-q', recording, sweep[:-4] + '.swp', '--json', report],
                           check=False, capture_output=True)
            with open(report) as f:
                count(json.load(f), held)
    n = max(held['tones'], 1)
    # The errors over their standard uncertainties (u95 / 1.96): an RMS of 1 when the intervals are honest.
    print('%s, noise %g dBFS, %d trials: %d tones, magnitude held %.1f %% (RMS z %.2f), phase %.1f %% (RMS z %.2f)' %
          ('auralyn simulate' if simulate else 'numpy', dbfs, trials, held['tones'], 100.0 * held['magnitude'] / n,
           (held['magnitude_z'] / n) ** 0.5, 100.0 * held['phase'] / n, (held['phase_z'] / n) ** 0.5))


if __name__ == '__main__':
    main()
