#!/usr/bin/env python3
"""The loudness of stretches of a recording of a sound server's monitor, for loudness_levels.sh.

  loudness_of.py RAW STAMPS SEGMENTS

RAW and STAMPS come from sound_runs.py record (s16le mono at 48 kHz, heard from both speakers);
SEGMENTS has one "FROM TO NAME" line per stretch (wall times in seconds). Prints one
"NAME LUFS TRUE_PEAK_DBFS" line per stretch, measured with libebur128 (integrated loudness, true
peak), the first second and the last half second of each left out: the joins.
"""
import array
import ctypes
import ctypes.util
import math
import sys

RATE = 48000
MODE_I, MODE_TRUE_PEAK = 5, 49  # ebur128.h
DUAL_MONO = 6

lib = ctypes.CDLL(ctypes.util.find_library("ebur128") or "libebur128.so.1")
lib.ebur128_init.restype = ctypes.c_void_p
lib.ebur128_init.argtypes = [ctypes.c_uint, ctypes.c_ulong, ctypes.c_int]
lib.ebur128_set_channel.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_int]
lib.ebur128_add_frames_short.argtypes = [ctypes.c_void_p, ctypes.POINTER(ctypes.c_short),
                                         ctypes.c_size_t]
lib.ebur128_loudness_global.argtypes = [ctypes.c_void_p, ctypes.POINTER(ctypes.c_double)]
lib.ebur128_true_peak.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.POINTER(ctypes.c_double)]
lib.ebur128_destroy.argtypes = [ctypes.POINTER(ctypes.c_void_p)]


def sample_at(stamps, wall):
    """The sample captured at a wall time: the earliest bound from the reads after it."""
    best = None
    for done, at in reversed(stamps):
        if at < wall:
            break
        best = done // 2 - int((at - wall) * RATE)
    return max(best or 0, 0)


def measure(samples):
    state = ctypes.c_void_p(lib.ebur128_init(1, RATE, MODE_I | MODE_TRUE_PEAK))
    lib.ebur128_set_channel(state, 0, DUAL_MONO)
    buffer = (ctypes.c_short * len(samples)).from_buffer(samples)
    lib.ebur128_add_frames_short(state, buffer, len(samples))
    lufs, peak = ctypes.c_double(), ctypes.c_double()
    lib.ebur128_loudness_global(state, ctypes.byref(lufs))
    lib.ebur128_true_peak(state, 0, ctypes.byref(peak))
    lib.ebur128_destroy(ctypes.byref(state))
    return lufs.value, 20 * math.log10(peak.value) if peak.value > 0 else -math.inf


def main(raw_path, stamps_path, segments_path):
    audio = array.array("h")
    with open(raw_path, "rb") as f:
        audio.frombytes(f.read())
    with open(stamps_path) as f:
        stamps = [(int(a), float(b)) for a, b in (line.split() for line in f if line.strip())]
    with open(segments_path) as f:
        for line in f:
            start, end, name = line.split(maxsplit=2)
            first = sample_at(stamps, float(start) + 1.0)
            last = sample_at(stamps, float(end) - 0.5)
            if last - first < RATE:
                print(name.strip(), "nan", "nan")
                continue
            lufs, peak = measure(audio[first:last])
            print(name.strip(), "%.2f" % lufs, "%.2f" % peak)


if __name__ == "__main__":
    main(*sys.argv[1:4])
