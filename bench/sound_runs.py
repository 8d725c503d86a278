#!/usr/bin/env python3
"""Sound and silence in a recording of a sound server's monitor, for bench/song_gaps.sh.

  sound_runs.py record RAW STAMPS     reads raw s16le mono at 48 kHz from stdin into RAW and
                                      writes one "BYTES_SO_FAR WALL_TIME" line per read to STAMPS
  sound_runs.py runs RAW STAMPS FROM TO
                                      the tones between the wall times FROM and TO, one
                                      "START END HZ" line each (wall times in seconds, the tone's
                                      frequency from its zero crossings); a tone that follows
                                      another without silence starts where the pitch changes,
                                      to one cycle
  sound_runs.py first RAW STAMPS AT   the wall time of the first tone that starts after AT (a
                                      start that replaces the song sounding at AT)

A sample is silent below 100 of 32767; a stretch of at least 1 ms of silent samples is silence.
The wall time of a sample comes from the reads: each read's arrival, less the samples in it
and after it, bounds the capture time from above; the earliest such bound is taken.
"""
import array
import sys
import time

RATE = 48000
QUIET = 100
SILENCE = RATE // 1000  # 1 ms


def record(raw_path, stamps_path):
    total = 0
    with open(raw_path, "wb") as raw, open(stamps_path, "w") as stamps:
        while True:
            chunk = sys.stdin.buffer.read1(4096)
            now = time.time()
            if not chunk:
                break
            raw.write(chunk)
            total += len(chunk)
            stamps.write(f"{total} {now:.6f}\n")


def load(raw_path, stamps_path):
    samples = array.array("h")
    with open(raw_path, "rb") as raw:
        data = raw.read()
    samples.frombytes(data[: len(data) // 2 * 2])
    origin = None
    with open(stamps_path) as stamps:
        for line in stamps:
            total, wall = line.split()
            start = float(wall) - int(total) / 2 / RATE
            origin = start if origin is None else min(origin, start)
    return samples, origin


def runs(samples, first, last):
    """(start, end) sample indexes of the sounding stretches in [first, last)."""
    found = []
    start = None
    quiet = 0
    for i in range(first, last):
        if -QUIET < samples[i] < QUIET:
            quiet += 1
            if quiet == SILENCE and start is not None:
                found.append((start, i - SILENCE + 1))
                start = None
        else:
            if start is None:
                start = i
            quiet = 0
    if start is not None:
        found.append((start, last))
    return found


def tones(samples, start, end):
    """Splits a run of sound where its pitch changes: (start, end) per tone, to one cycle.

    The pitch of each cycle comes from its upward zero crossings, placed between samples; a tone
    ends where three cycles in a row leave its pitch by more than 15 Hz."""
    crossings = []
    for i in range(start + 1, end):
        a, b = samples[i - 1], samples[i]
        if a < 0 <= b:
            crossings.append(i - 1 + (-a) / (b - a))
    found = []
    first = start
    pitch = []
    odd = 0
    for k in range(1, len(crossings)):
        hz = RATE / (crossings[k] - crossings[k - 1])
        current = sorted(pitch)[len(pitch) // 2] if pitch else None
        if current is not None and abs(hz - current) > 15:
            odd += 1
            if odd == 3:
                cut = int(crossings[k - 3])
                found.append((first, cut))
                first = cut
                pitch = []
                odd = 0
            continue
        odd = 0
        pitch = (pitch + [hz])[-8:]
    found.append((first, end))
    return found


def frequency(samples, start, end):
    crossings = sum(
        1 for i in range(start + 1, end) if (samples[i - 1] < 0) != (samples[i] < 0)
    )
    return crossings / 2 / ((end - start) / RATE)


def index(origin, wall, count):
    return max(0, min(count, int((wall - origin) * RATE)))


def main():
    if sys.argv[1] == "record":
        record(sys.argv[2], sys.argv[3])
        return
    samples, origin = load(sys.argv[2], sys.argv[3])
    if sys.argv[1] == "runs":
        first = index(origin, float(sys.argv[4]), len(samples))
        last = index(origin, float(sys.argv[5]), len(samples))
        for run_start, run_end in runs(samples, first, last):
            for start, end in tones(samples, run_start, run_end):
                if end - start >= 10 * SILENCE:
                    hz = frequency(samples, start, end)
                    print(f"{origin + start / RATE:.6f} {origin + end / RATE:.6f} {hz:.0f}")
    elif sys.argv[1] == "first":
        at = index(origin, float(sys.argv[4]), len(samples))
        found = []
        for run_start, run_end in runs(samples, at, min(len(samples), at + 5 * RATE)):
            found += tones(samples, run_start, run_end)
        # The song that sounded at the press ends first, unless it had stopped already.
        if found and found[0][0] == at:
            found = found[1:]
        if found:
            print(f"{origin + found[0][0] / RATE:.6f}")


if __name__ == "__main__":
    main()
