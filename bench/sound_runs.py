#!/usr/bin/env python3
"""Sound and silence in a recording of a sound server's monitor, for the sound benchmarks.

  sound_runs.py record RAW STAMPS     reads raw s16le mono at 48 kHz from stdin into RAW and
                                      writes one "BYTES_SO_FAR WALL_TIME" line per read to STAMPS
  sound_runs.py runs RAW STAMPS FROM TO
                                      the tones between the wall times FROM and TO, one
                                      "START END HZ" line each (wall times in seconds, the tone's
                                      frequency from its zero crossings); a tone that follows
                                      another without silence starts where the pitch changes,
                                      to one cycle
  sound_runs.py first RAW STAMPS AT   the wall time of the first tone that starts after AT with
                                      a pitch other than the song sounding at AT
  sound_runs.py first-pitch RAW STAMPS AT
                                      the same, then that tone's frequency: "WALL_TIME HZ"
  sound_runs.py joins RAW STAMPS FROM TO
                                      each change from one tone to the next between FROM and TO:
                                      "GAP_MS OVERLAP_MS HZ_BEFORE HZ_AFTER"; the overlap is the
                                      time both pitches sound at once (1 ms steps of a 5 ms
                                      window, each pitch at 45 % of its own level or more: a clean
                                      cut gives 0),
                                      "-" when the two pitches are too close to tell apart
  sound_runs.py dropouts RAW SKIP SECONDS
                                      silences of 1 ms or more inside the sound of a recording
                                      without stamps, from SKIP s after its first sound for
                                      SECONDS: "COUNT" then each length in ms

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


def level(samples, start, hz):
    """The amplitude of the pitch hz in a 5 ms window from start."""
    import math
    n = RATE // 200
    re = im = 0.0
    for i in range(n):
        x = samples[start + i]
        a = 2 * math.pi * hz * i / RATE
        re += x * math.cos(a)
        im -= x * math.sin(a)
    return 2 * math.hypot(re, im) / n


def joins(samples, origin, found):
    """(gap ms, overlap ms or None, hz before, hz after) for each pair of tones in a row."""
    out = []
    for (s1, e1, hz1), (s2, e2, hz2) in zip(found, found[1:]):
        gap = sum(1 for i in range(e1, s2) if -QUIET < samples[i] < QUIET) / RATE * 1000
        overlap = None
        if abs(hz1 - hz2) >= 400:
            mid1 = (s1 + e1) // 2
            mid2 = (s2 + e2) // 2
            own1 = level(samples, mid1, hz1)
            own2 = level(samples, mid2, hz2)
            both = 0
            for at in range(max(s1, e1 - RATE // 5), min(e2, s2 + RATE // 5) - RATE // 200, RATE // 1000):
                if level(samples, at, hz1) >= own1 * 0.45 and level(samples, at, hz2) >= own2 * 0.45:
                    both += 1
            overlap = both
        out.append((gap, overlap, hz1, hz2))
    return out


def dropouts(samples, skip, seconds):
    loud = next((i for i in range(len(samples)) if not -QUIET < samples[i] < QUIET), None)
    if loud is None:
        return None
    first = loud + int(skip * RATE)
    last = min(len(samples), first + int(seconds * RATE))
    quiet = 0
    found = []
    for i in range(first, last):
        if -QUIET < samples[i] < QUIET:
            quiet += 1
        else:
            if quiet >= SILENCE:
                found.append(quiet / RATE * 1000)
            quiet = 0
    return found, (last - first) / RATE


def index(origin, wall, count):
    return max(0, min(count, int((wall - origin) * RATE)))


def main():
    if sys.argv[1] == "record":
        record(sys.argv[2], sys.argv[3])
        return
    if sys.argv[1] == "dropouts":
        samples = array.array("h")
        with open(sys.argv[2], "rb") as raw:
            data = raw.read()
        samples.frombytes(data[: len(data) // 2 * 2])
        result = dropouts(samples, float(sys.argv[3]), float(sys.argv[4]))
        if result is None:
            print("silent")
            return
        found, span = result
        print(len(found), f"{span:.1f}", " ".join(f"{ms:.0f}" for ms in found))
        return
    samples, origin = load(sys.argv[2], sys.argv[3])
    if sys.argv[1] in ("runs", "joins"):
        first = index(origin, float(sys.argv[4]), len(samples))
        last = index(origin, float(sys.argv[5]), len(samples))
        found = []
        for run_start, run_end in runs(samples, first, last):
            for start, end in tones(samples, run_start, run_end):
                if end - start >= 10 * SILENCE:
                    found.append((start, end, frequency(samples, start, end)))
        if sys.argv[1] == "runs":
            for start, end, hz in found:
                print(f"{origin + start / RATE:.6f} {origin + end / RATE:.6f} {hz:.0f}")
        else:
            for gap, overlap, hz1, hz2 in joins(samples, origin, found):
                shown = "-" if overlap is None else str(overlap)
                print(f"{gap:.1f} {shown} {hz1:.0f} {hz2:.0f}")
    elif sys.argv[1] in ("first", "first-pitch"):
        at = index(origin, float(sys.argv[4]), len(samples))
        found = []
        for run_start, run_end in runs(samples, at, min(len(samples), at + 10 * RATE)):
            found += tones(samples, run_start, run_end)
        # The song that sounded at the press ends first, unless it had stopped already; a dropout
        # in it is not a new song.
        if found and found[0][0] == at:
            before = frequency(samples, found[0][0], found[0][1])
            found = [t for t in found if abs(frequency(samples, t[0], t[1]) - before) > 15]
        if found:
            start, end = found[0]
            shown = f"{origin + start / RATE:.6f}"
            if sys.argv[1] == "first-pitch":
                shown += f" {frequency(samples, start, min(end, start + RATE // 5)):.0f}"
            print(shown)


if __name__ == "__main__":
    main()
