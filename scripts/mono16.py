"""Mono 16-bit WAV files as float arrays of sample codes, for the scripts that
make recordings with numpy (surveys and test recordings)."""
import wave

import numpy as np


def read_mono16(path):
    """The file's rate and its samples as floats (codes, not full scale)."""
    with wave.open(path) as w:
        return w.getframerate(), np.frombuffer(w.readframes(w.getnframes()), dtype="<i2").astype(np.float64)


def write_mono16(path, rate, samples):
    """Rounded to the nearest code and clipped to the 16-bit range."""
    with wave.open(path, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(rate)
        w.writeframes(np.clip(np.round(samples), -32768, 32767).astype("<i2").tobytes())
