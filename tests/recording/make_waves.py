#!/usr/bin/env python3
"""Writes WAV files byte by byte, independently of the reader under test:
plain and WAVE_FORMAT_EXTENSIBLE headers, 16/24/32-bit integer and 32-bit
float samples, and broken files. Usage: make_waves.py FOLDER"""
import math
import struct
import sys
from pathlib import Path

PCM, FLOAT, EXTENSIBLE = 1, 3, 0xFFFE
GUID_TAIL = b"\x00\x00\x00\x00\x10\x00\x80\x00\x00\xAA\x00\x38\x9B\x71"


def chunk(tag, body):
    pad = b"\x00" if len(body) % 2 else b""
    return tag + struct.pack("<I", len(body)) + body + pad


def fmt_body(tag, channels, rate, bits):
    align = channels * bits // 8
    body = struct.pack("<HHIIHH", tag, channels, rate, rate * align, align, bits)
    if tag == EXTENSIBLE:
        return body
    return body if tag == PCM else body + struct.pack("<H", 0)


def extensible_fmt(sub_tag, channels, rate, bits):
    body = fmt_body(EXTENSIBLE, channels, rate, bits)
    mask = (1 << channels) - 1
    return body + struct.pack("<HHI", 22, bits, mask) + struct.pack("<H", sub_tag) + GUID_TAIL


def int_bytes(code, bits):
    return (code & ((1 << bits) - 1)).to_bytes(bits // 8, "little")


def frames_bytes(frames, encode):
    return b"".join(encode(value) for frame in frames for value in frame)


def wave(path, fmt, data, extra=b""):
    body = b"WAVE" + chunk(b"fmt ", fmt) + extra + chunk(b"data", data)
    Path(path).write_bytes(b"RIFF" + struct.pack("<I", len(body)) + body)


def main(folder):
    out = Path(folder)
    mono16 = [[0], [1], [-1], [32767], [-32768], [12345]]
    wave(out / "pcm16.wav", fmt_body(PCM, 1, 48000, 16), frames_bytes(mono16, lambda c: int_bytes(c, 16)))

    stereo24 = [[0, 5], [1, -5], [-1, 8388607], [8388607, -8388608], [-8388608, 0], [1234567, -7654321]]
    wave(out / "pcm24.wav", fmt_body(PCM, 2, 44100, 24), frames_bytes(stereo24, lambda c: int_bytes(c, 24)))

    mono32 = [[0], [1], [-1], [2**31 - 1], [-(2**31)], [123456789]]
    wave(out / "pcm32.wav", fmt_body(PCM, 1, 96000, 32), frames_bytes(mono32, lambda c: int_bytes(c, 32)))

    floats = [[0.0], [0.5], [-0.25], [1.5], [-1.0], [1e-7]]
    fact = chunk(b"fact", struct.pack("<I", len(floats)))
    wave(out / "float32.wav", fmt_body(FLOAT, 1, 48000, 32), frames_bytes(floats, lambda v: struct.pack("<f", v)), fact)

    three24 = [[1, 2, 3], [-1, -2, -3], [8388607, 0, -8388608]]
    wave(out / "ext24.wav", extensible_fmt(PCM, 3, 48000, 24), frames_bytes(three24, lambda c: int_bytes(c, 24)))

    stereo_float = [[0.125, -0.5], [0.75, 2.0]]
    wave(out / "extfloat.wav", extensible_fmt(FLOAT, 2, 192000, 32),
         frames_bytes(stereo_float, lambda v: struct.pack("<f", v)), chunk(b"fact", struct.pack("<I", 2)))

    wave(out / "nan.wav", fmt_body(FLOAT, 1, 48000, 32), frames_bytes([[0.0], [math.nan], [0.0]], lambda v: struct.pack("<f", v)),
         chunk(b"fact", struct.pack("<I", 3)))
    wave(out / "nochannels.wav", fmt_body(PCM, 0, 48000, 16), b"\x00\x00" * 4)
    good = (out / "pcm24.wav").read_bytes()
    (out / "cut.wav").write_bytes(good[:30])
    (out / "text.wav").write_bytes(b"frequency,dB\n20,0\n")
    (out / "empty.wav").write_bytes(b"")


if __name__ == "__main__":
    main(sys.argv[1])
