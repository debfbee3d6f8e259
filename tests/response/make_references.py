#!/usr/bin/env python3
"""Responses of known systems, and the exact values the response library must
reproduce from them, computed here independently with numpy.

Usage: make_references.py OUTDIR. Writes CSV/JSON files in auralyn analyze's
layout; the reference values ride along as extra columns (ref_*), which the
reader carries through untouched.
"""
import json
import os
import sys

import numpy as np

RATE = 48000.0


def log_tones(per_octave, low=20.0, high=20000.0):
    k = np.arange(np.ceil(per_octave * np.log2(low / 1000.0)), np.floor(per_octave * np.log2(high / 1000.0)) + 1)
    return 1000.0 * 2.0 ** (k / per_octave)


def write_csv(path, f, h, extra):
    names = ["frequency_hz", "amplitude", "magnitude_db", "phase_deg"] + list(extra)
    phase = np.degrees(np.unwrap(np.angle(h)))
    with open(path, "w") as out:
        out.write(",".join(names) + "\n")
        for i in range(len(f)):
            row = [f[i], 32767.0 * abs(h[i]), 20.0 * np.log10(abs(h[i])), phase[i]] + [extra[n][i] for n in extra]
            out.write(",".join("%.17g" % v for v in row) + "\n")


def write_json(path, f, h, extra, summary):
    phase = np.degrees(np.unwrap(np.angle(h)))
    tones = []
    for i in range(len(f)):
        tone = {"frequency_hz": f[i], "amplitude": 32767.0 * abs(h[i]), "magnitude_db": 20.0 * np.log10(abs(h[i])),
                "phase_deg": phase[i]}
        for name in extra:
            tone[name] = float(extra[name][i])
        tones.append(tone)
    document = dict(summary)
    document["tones"] = tones
    with open(path, "w") as out:
        json.dump(document, out)


# --- comb filters and the direct definition of fractional-octave smoothing ---

def comb(f, gain, delay):
    return 1.0 + gain * np.exp(-2j * np.pi * f * delay)


def window_means(f, width, gain, delay, points=4001):
    """Means over [f·2^(-w/2), f·2^(w/2)] on the log2-frequency axis, by
    Simpson's rule on a fine grid: of |H|², of dB, and of H."""
    power, db, cplx = [], [], []
    weights = np.ones(points)
    weights[1:-1:2] = 4.0
    weights[2:-1:2] = 2.0
    weights /= weights.sum()
    for centre in f:
        l = np.log2(centre) + np.linspace(-width / 2.0, width / 2.0, points)
        h = comb(2.0 ** l, gain, delay)
        power.append(np.sum(weights * abs(h) ** 2))
        db.append(np.sum(weights * 20.0 * np.log10(abs(h))))
        cplx.append(np.sum(weights * h))
    return np.array(power), np.array(db), np.array(cplx)


def smoothing_case(path, f, width, gain, delay):
    power, db, cplx = window_means(f, width, gain, delay)
    extra = {"ref_power_db": 10.0 * np.log10(power), "ref_db_db": db, "ref_complex_db": 20.0 * np.log10(abs(cplx)),
             "ref_complex_deg": np.degrees(np.angle(cplx))}
    write_csv(path, f, comb(f, gain, delay), extra)


# --- digital biquads (audio cookbook forms): minimum phase and all-passes ---

def biquad(kind, f0, q, gain_db=0.0):
    w = 2.0 * np.pi * f0 / RATE
    alpha = np.sin(w) / (2.0 * q)
    c = np.cos(w)
    a = 10.0 ** (gain_db / 40.0)
    if kind == "lowpass":
        b, den = [(1 - c) / 2, 1 - c, (1 - c) / 2], [1 + alpha, -2 * c, 1 - alpha]
    elif kind == "highpass":
        b, den = [(1 + c) / 2, -(1 + c), (1 + c) / 2], [1 + alpha, -2 * c, 1 - alpha]
    elif kind == "peaking":
        b, den = [1 + alpha * a, -2 * c, 1 - alpha * a], [1 + alpha / a, -2 * c, 1 - alpha / a]
    elif kind == "allpass":
        b, den = [1 - alpha, -2 * c, 1 + alpha], [1 + alpha, -2 * c, 1 - alpha]
    else:
        raise ValueError(kind)
    return np.array(b) / den[0], np.array(den) / den[0]


def response_of(filters, f):
    z1 = np.exp(-2j * np.pi * f / RATE)
    h = np.ones_like(f, dtype=complex)
    for b, a in filters:
        h *= (b[0] + b[1] * z1 + b[2] * z1 ** 2) / (a[0] + a[1] * z1 + a[2] * z1 ** 2)
    return h


# --- the same sections as analogue systems (the cookbook's prototypes in s) ---

def analog_section(kind, f0, q, gain_db=0.0):
    a = 10.0 ** (gain_db / 40.0)
    if kind == "lowpass":
        return [1.0], [1.0, 1.0 / q, 1.0], f0
    if kind == "highpass":
        return [0.0, 0.0, 1.0], [1.0, 1.0 / q, 1.0], f0
    if kind == "peaking":
        return [1.0, a / q, 1.0], [1.0, 1.0 / (a * q), 1.0], f0
    raise ValueError(kind)


def analog_response_of(sections, f):
    """Each section's numerator over denominator, polynomials in s = j f / f0
    given from the constant term up."""
    h = np.ones_like(f, dtype=complex)
    for num, den, f0 in sections:
        s = 1j * f / f0
        h *= np.polyval(num[::-1], s) / np.polyval(den[::-1], s)
    return h


def polynomial_delay(c, f):
    """Group delay in seconds of the polynomial Σ c_k z^-k on the unit circle."""
    z1 = np.exp(-2j * np.pi * f / RATE)
    k = np.arange(len(c))
    num = sum(k[i] * c[i] * z1 ** i for i in range(len(c)))
    den = sum(c[i] * z1 ** i for i in range(len(c)))
    return np.real(num / den) / RATE


def group_delay_of(filters, f):
    return sum(polynomial_delay(b, f) - polynomial_delay(a, f) for b, a in filters)


MINIMUM_PHASE_CASES = {
    "lowpass_2k": [biquad("lowpass", 2000.0, 0.707)],
    "highpass_80": [biquad("highpass", 80.0, 0.9)],
    "peak_1k": [biquad("peaking", 1000.0, 2.0, 6.0)],
    "dip_3k": [biquad("peaking", 3000.0, 4.0, -10.0)],
    "speaker": [biquad("highpass", 50.0, 0.8), biquad("lowpass", 8000.0, 0.6), biquad("peaking", 400.0, 1.5, 4.0)],
}

ANALOG_CASES = {
    "analog_lowpass_2k": [analog_section("lowpass", 2000.0, 0.707)],
    "analog_highpass_80": [analog_section("highpass", 80.0, 0.9)],
    "analog_peak_1k": [analog_section("peaking", 1000.0, 2.0, 6.0)],
    "analog_dip_3k": [analog_section("peaking", 3000.0, 4.0, -10.0)],
    "analog_speaker": [analog_section("highpass", 50.0, 0.8), analog_section("lowpass", 8000.0, 0.6),
                       analog_section("peaking", 400.0, 1.5, 4.0)],
}


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    # Linear spacing: uneven on the log axis, the case the span weighting is for.
    smoothing_case(os.path.join(out, "comb_linear.csv"), np.arange(20.0, 20000.0 + 1, 5.0), 1.0 / 3.0, 0.7, 1.1e-3)
    smoothing_case(os.path.join(out, "comb_log.csv"), log_tones(96), 1.0 / 6.0, 0.5, 0.25e-3)

    f = log_tones(48)
    for name, filters in MINIMUM_PHASE_CASES.items():
        h = response_of(filters, f)
        write_json(os.path.join(out, name + ".json"), f, h, {"ref_phase_deg": np.degrees(np.unwrap(np.angle(h)))},
                   {"sample_rate": RATE})

    # The speaker behind 57.3 samples of flight (a fractional delay is exact in frequency).
    delay = 57.3 / RATE
    speaker = MINIMUM_PHASE_CASES["speaker"]
    h = response_of(speaker, f) * np.exp(-2j * np.pi * f * delay)
    write_json(os.path.join(out, "speaker_delayed.json"), f, h, {}, {"sample_rate": RATE, "ref_delay_s": delay})

    f = log_tones(48)
    for name, sections in ANALOG_CASES.items():
        h = analog_response_of(sections, f)
        write_json(os.path.join(out, name + ".json"), f, h, {"ref_phase_deg": np.degrees(np.unwrap(np.angle(h)))}, {})
    h = analog_response_of(ANALOG_CASES["analog_speaker"], f) * np.exp(-2j * np.pi * f * delay)
    write_json(os.path.join(out, "analog_speaker_delayed.json"), f, h, {}, {"ref_delay_s": delay})

    # All-passes on a linear tone list with a gap: group delay against the exact one.
    f = np.concatenate([np.arange(20.0, 2000.0, 10.0), np.arange(2500.0, 20000.0, 37.0)])
    filters = [biquad("allpass", 700.0, 0.7), biquad("allpass", 3000.0, 2.5)]
    h = response_of(filters, f)
    write_json(os.path.join(out, "allpass.json"), f, h, {"ref_group_delay_ms": 1000.0 * group_delay_of(filters, f)},
               {"sample_rate": RATE})


if __name__ == "__main__":
    main()
