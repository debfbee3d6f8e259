#!/usr/bin/env python3
"""same_numbers.py A B: the two text files agree but for the last bits of their numbers.

The tables of `auralyn analyze` print doubles at full precision, and the Windows
build takes its sines and cosines from another maths library than the Linux one,
so the two agree to about 1e-12 relative, not bit for bit; harmonics and noise
far below the tones (-100 dBc and lower, made of rounding) differ by a few 1e-6 dB.
Exit status 1 when any token differs in text, or any number by more than 1e-9
relative and 1e-4 absolute (a ten-thousandth of a dB, a degree or a sample unit)."""
import re
import sys

TOKEN = re.compile(r"-?\d+(?:\.\d+)?(?:[eE][-+]?\d+)?|[^\d\s-]+|-")


def tokens(path):
    with open(path, encoding="utf-8") as f:
        return TOKEN.findall(f.read().replace("\r\n", "\n"))


def same(a, b):
    if a == b:
        return True
    try:
        x, y = float(a), float(b)
    except ValueError:
        return False
    return abs(x - y) <= max(1e-9 * max(1.0, abs(x), abs(y)), 1e-4)


def main():
    a, b = tokens(sys.argv[1]), tokens(sys.argv[2])
    if len(a) != len(b):
        print(f"{sys.argv[2]}: {len(b)} tokens, {sys.argv[1]}: {len(a)}", file=sys.stderr)
        return 1
    for x, y in zip(a, b):
        if not same(x, y):
            print(f"{sys.argv[2]}: '{y}' where {sys.argv[1]} has '{x}'", file=sys.stderr)
            return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
