#!/usr/bin/python3
"""lumora-server over a big library, against another build of it on the same files, same run.

usage: bench/big_library.py SERVER BASELINE_SERVER [--songs N] [--files DIR] [--changes N] [--mpd]

Makes (once, in DIR, default /tmp/lumora-big-library-N) a library of N songs (default 100 000):
copies of one half-second MP3, each under an ID3v2.3 tag of its own (title, artist, album, track),
ten songs to an album folder, ten albums to an artist folder. Then, for each server, with a data
folder of its own:

  first scan     from no index: when it listens, when it serves its first songs, when the scan
                 ends; the peak resident memory of the server (without its tag readers)
  stopped scan   a first scan stopped after 6 s: the files the next start reads
  restart        with the whole index: when it listens and serves, the files it reads
  missing root   started with the library's folder absent: the songs served (and their ids the
                 same), then the time until it serves the files again once the folder is back
  one change     a song retagged, CHANGES times (default 20): the CPU per change of the thread
                 that follows the library (mean: the kernel counts in 10 ms ticks) and of the
                 whole server (the loudness survey goes on meanwhile), the time until it is seen,
                 the resident memory before, after 10 changes and after all
  churn          40 changes a second apart (an album moved in, then one deleted): those not seen
                 within 2 s, the slowest
  search         /search of a word at 1 client, 50 times: the median

With --mpd, mpd from Debian's first scan of the same files too (its time and memory).

Needs GStreamer's lamemp3enc (the test library's tools) and curl; --mpd needs mpd and mpc.
"""
import argparse
import os
import re
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import time
import urllib.parse
import urllib.request
import json

TICKS = os.sysconf("SC_CLK_TCK")


def frame(fid, text):
    payload = b"\x03" + text.encode()  # UTF-8
    return fid.encode() + len(payload).to_bytes(4, "big") + b"\0\0" + payload


def tag(title, artist, album, track, album_artist=""):
    frames = (frame("TIT2", title) + frame("TPE1", artist) + frame("TALB", album) +
              (frame("TRCK", str(track)) if track else b"") +
              (frame("TPE2", album_artist) if album_artist else b""))
    size = len(frames)
    syncsafe = bytes([(size >> 21) & 0x7F, (size >> 14) & 0x7F, (size >> 7) & 0x7F, size & 0x7F])
    return b"ID3\x03\x00\x00" + syncsafe + frames


def clip(where):
    """A half-second MP3 without a tag, made in where."""
    path = os.path.join(where, ".clip.mp3")
    subprocess.run(["gst-launch-1.0", "-q", "audiotestsrc", "num-buffers=11",
                    "samplesperbuffer=1024", "!", "audio/x-raw,rate=22050,channels=1", "!",
                    "audioconvert", "!", "lamemp3enc", "bitrate=32", "!", "filesink",
                    f"location={path}"], check=True)
    return open(path, "rb").read()


def make_library(where, songs):
    if os.path.exists(os.path.join(where, ".complete")):
        return
    print(f"library: making {songs} songs in {where} (once)", flush=True)
    shutil.rmtree(where, ignore_errors=True)
    os.makedirs(where)
    audio = clip(where)
    for n in range(songs):
        artist, album, track = n // 100, n // 10, n % 10 + 1
        folder = os.path.join(where, f"Artist {artist:05d}", f"Album {album:06d}")
        if track == 1:
            os.makedirs(folder, exist_ok=True)
        with open(os.path.join(folder, f"{track:02d}.mp3"), "wb") as f:
            f.write(tag(f"Song {n:06d} tune", f"Artist {artist:05d}", f"Album {album:06d}", track))
            f.write(audio)
    open(os.path.join(where, ".complete"), "w").close()


def rss_mib(pid, field="VmRSS"):
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith(field + ":"):
                return int(line.split()[1]) / 1024
    return 0.0


def cpu_seconds(pid):
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / TICKS  # utime + stime


def thread_seconds(pid):
    """{thread id: (name, CPU seconds)} of each of the process's threads."""
    threads = {}
    for tid in os.listdir(f"/proc/{pid}/task"):
        try:
            with open(f"/proc/{pid}/task/{tid}/stat") as f:
                text = f.read()
        except OSError:
            continue
        fields = text.rsplit(")", 1)[1].split()
        threads[tid] = (text[text.index("(") + 1:text.rindex(")")],
                        (int(fields[11]) + int(fields[12])) / TICKS)
    return threads


def library_thread_seconds(before, after):
    """CPU seconds of the thread that follows the library between two thread_seconds: the one
    named "library", else (a build whose threads have no names) the busiest, which rebuilds."""
    spent = {tid: (name, s - before.get(tid, (name, 0.0))[1]) for tid, (name, s) in after.items()}
    named = [s for name, s in spent.values() if name == "library"]
    return named[0] if named else max(s for name, s in spent.values())


class Server:
    def __init__(self, program, library, data):
        self.program, self.library, self.data = program, library, data
        self.proc = None

    def start(self, wait=True):
        self.err = open(os.path.join(self.data, "stderr"), "ab")
        self.out_path = os.path.join(self.data, "stdout")
        self.started = time.monotonic()
        self.proc = subprocess.Popen(
            [self.program, "--port", "0", "--data", self.data, "--library", self.library],
            stdout=open(self.out_path, "wb"), stderr=self.err)
        while wait:
            text = open(self.out_path).read()
            m = re.search(r"listening on (http://\S+)", text)
            if m:
                self.base = m.group(1)
                return time.monotonic() - self.started
            if self.proc.poll() is not None:
                sys.exit(f"{self.program} ended: {open(os.path.join(self.data, 'stderr')).read()}")
            time.sleep(0.005)

    def stop(self):
        self.proc.send_signal(signal.SIGTERM)
        self.proc.wait(timeout=120)
        self.err.close()

    def get(self, target):
        with urllib.request.urlopen(self.base + target, timeout=60) as r:
            return json.loads(r.read())

    def found(self, text):
        try:
            doc = self.get("/search?type=1&limit=100&offset=0&keywords=" + urllib.parse.quote(text))
            return [s["id"] for s in doc["result"]["songs"]], doc["result"]["songCount"]
        except OSError:
            return [], 0

    def scans(self):
        """(songs, files read) of each whole-library scan that ended, oldest first."""
        text = open(os.path.join(self.data, "stderr"), errors="replace").read()
        return [(int(a), int(b)) for a, b in
                re.findall(r"library scanned in [0-9.]+ s: (\d+) songs, (\d+) files read", text)]

    def started_and_scanned(self):
        """Starts the server and waits for the end of its whole-library scan."""
        before = len(self.scans()) if os.path.exists(os.path.join(self.data, "stderr")) else 0
        self.start()
        self.wait(lambda: len(self.scans()) > before)

    def wait(self, done, limit=600.0, every=0.02):
        end = time.monotonic() + limit
        while time.monotonic() < end:
            if done():
                return True
            time.sleep(every)
        return done()


def first_scan(program, lib, data):
    s = Server(program, lib, data)
    listen = s.start()
    first = None
    peak = 0.0
    while not s.scans():  # a fresh data folder
        peak = max(peak, rss_mib(s.proc.pid))
        if first is None and s.found("tune")[1] > 0:
            first = time.monotonic() - s.started
        time.sleep(0.05)
    done = time.monotonic() - s.started
    peak = max(peak, rss_mib(s.proc.pid, "VmHWM"))
    settled = rss_mib(s.proc.pid)
    s.stop()
    return {"listening s": listen, "first songs s": first if first is not None else done,
            "scan s": done, "peak MiB": peak, "settled MiB": settled, "songs": s.scans()[-1][0]}


def stopped_scan(program, lib, data, songs):
    s = Server(program, lib, data)
    s.start(wait=False)  # a server that scans before it listens is stopped all the same
    time.sleep(6)
    s.stop()
    s.started_and_scanned()
    read = s.scans()[-1][1]
    s.stop()
    return {"read after a stop at 6 s": read, "of": songs}


def restart(program, lib, data):
    s = Server(program, lib, data)
    before = len(s.scans())
    listen = s.start()
    s.wait(lambda: s.found("Song 000001 tune")[1] > 0)
    served = time.monotonic() - s.started
    s.wait(lambda: len(s.scans()) > before)
    done = time.monotonic() - s.started
    read = s.scans()[-1][1]
    s.stop()
    return {"listening s": listen, "serving s": served, "scan s": done, "files read": read}


def missing_root(program, lib, data):
    ids = None
    s = Server(program, lib, data)
    s.started_and_scanned()
    ids = s.found("Song 00000")[0]
    s.stop()
    aside = lib + ".aside"
    os.rename(lib, aside)
    try:
        s.start()
        s.wait(lambda: s.found("Song 00000")[1] > 0, 15)  # the index is read after listening
        kept, total = s.found("Song 00000")
        back = time.monotonic()
    finally:
        os.rename(aside, lib)
    served_again = None

    def playable():
        try:
            d = s.get(f"/song/url?id={ids[0]}&br=320000")
            return d["data"][0]["code"] == 200
        except OSError:
            return False
    if s.wait(playable, 60):
        served_again = time.monotonic() - back
    s.stop()
    return {"songs served while absent": total, "ids kept": kept == ids,
            "served again after s": served_again}


def one_change(program, lib, data, changes):
    s = Server(program, lib, data)
    s.started_and_scanned()
    time.sleep(1)
    rss_before = rss_mib(s.proc.pid)
    cpu, seen, rss_ten = [], [], 0.0
    song = s.found("Song 000000 tune")[0][0]

    def named(title):  # a look at one song: costs the server next to nothing
        try:
            return s.get(f"/song/detail?ids={song}")["songs"][0]["name"] == title
        except (OSError, IndexError, KeyError):
            return False
    path = os.path.join(lib, "Artist 00000", "Album 000000", "01.mp3")
    threads = []
    for n in range(changes):
        audio = open(path, "rb").read()
        audio = audio[audio.index(b"\xff"):]  # past the tag: the audio
        title = f"Changed {n} {os.getpid()}"
        c0, h0, t0 = cpu_seconds(s.proc.pid), thread_seconds(s.proc.pid), time.monotonic()
        with open(path + ".tmp", "wb") as f:
            f.write(tag(title, "Artist 00000", "Album 000000", 1) + audio)
        os.rename(path + ".tmp", path)
        s.wait(lambda: named(title), 30, 0.01)
        seen.append(time.monotonic() - t0)
        time.sleep(0.5)  # the search polls above cost CPU too; this lets the change settle
        cpu.append(cpu_seconds(s.proc.pid) - c0)
        threads.append(library_thread_seconds(h0, thread_seconds(s.proc.pid)))
        if n == 9:
            rss_ten = rss_mib(s.proc.pid)
    with open(path + ".tmp", "wb") as f:
        f.write(tag("Song 000000 tune", "Artist 00000", "Album 000000", 1) + audio)
    os.rename(path + ".tmp", path)
    rss_after = rss_mib(s.proc.pid)
    s.stop()
    # The process's CPU holds the loudness survey's too, which goes on measuring meanwhile.
    return {"library thread CPU ms per change (mean)": 1000 * statistics.mean(threads),
            "process CPU ms (median)": 1000 * statistics.median(cpu),
            "seen s (median)": statistics.median(seen), "seen s (worst)": max(seen),
            "RSS MiB before": rss_before, "after 10": rss_ten, "after all": rss_after}


def churn(program, lib, data, outside):
    s = Server(program, lib, data)
    s.started_and_scanned()
    os.makedirs(outside, exist_ok=True)
    # Albums to move in: copies of one album under titles of their own.
    src = os.path.join(lib, "Artist 00001", "Album 000010")
    missed, slowest, moved = 0, 0.0, []
    for n in range(40):
        t0 = time.monotonic()
        if n % 2 == 0:
            name = f"Churn {os.getpid()} {n}"
            staged = os.path.join(outside, name)
            os.makedirs(staged)
            for f in os.listdir(src):
                audio = open(os.path.join(src, f), "rb").read()
                audio = audio[audio.index(b"\xff"):]
                open(os.path.join(staged, f), "wb").write(
                    tag(f"{name} {f}", "Churner", name, 1) + audio)
            os.rename(staged, os.path.join(lib, name))
            moved.append(name)
            check = lambda: s.found(name + " ")[1] == 10
        else:
            name = moved.pop(0)
            shutil.rmtree(os.path.join(lib, name))
            check = lambda: s.found(name + " ")[1] == 0
        ok = s.wait(check, 2.0, 0.02)
        took = time.monotonic() - t0
        if not ok:
            missed += 1
        slowest = max(slowest, took)
        time.sleep(max(0.0, 1.0 - took))
    for name in moved:
        shutil.rmtree(os.path.join(lib, name))
    late = s.wait(lambda: s.found("Churn")[1] == 0, 60)
    s.stop()
    return {"not seen within 2 s": missed, "of": 40, "slowest s": slowest,
            "all gone at the end": late}


def mpd_first_scan(lib, data):
    """mpd from Debian over the same files: its first scan and its resident memory."""
    port = 40000 + os.getpid() % 20000
    conf = os.path.join(data, "mpd.conf")
    with open(conf, "w") as f:
        f.write(f'music_directory "{lib}"\ndb_file "{data}/database"\nlog_file "{data}/log"\n'
                f'bind_to_address "127.0.0.1"\nport "{port}"\n'
                'audio_output {\n  type "null"\n  name "none"\n}\n')
    mpc = ["mpc", "-h", "127.0.0.1", "-p", str(port)]

    def status(what):
        r = subprocess.run(mpc + [what], capture_output=True, text=True)
        return r.stdout if r.returncode == 0 else None
    t0 = time.monotonic()
    proc = subprocess.Popen(["mpd", "--no-daemon", conf], stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL)
    peak = 0.0
    while status("stats") is None:
        time.sleep(0.02)
    subprocess.run(mpc + ["-q", "update"])
    while "Updating" in (status("status") or "Updating"):
        peak = max(peak, rss_mib(proc.pid))
        time.sleep(0.05)
    done = time.monotonic() - t0
    peak = max(peak, rss_mib(proc.pid, "VmHWM"))
    time.sleep(2)
    settled = rss_mib(proc.pid)
    songs = int(re.search(r"Songs:\s+(\d+)", status("stats")).group(1))
    proc.terminate()
    proc.wait(timeout=60)
    return {"scan s": done, "peak MiB": peak, "settled MiB": settled, "songs": songs}


def search(program, lib, data):
    s = Server(program, lib, data)
    s.started_and_scanned()
    times = []
    for n in range(50):
        t0 = time.monotonic()
        s.found(f"{n % 10}5 tune")
        times.append(1000 * (time.monotonic() - t0))
    s.stop()
    return {"search ms (median)": statistics.median(times)}


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("server")
    ap.add_argument("baseline")
    ap.add_argument("--songs", type=int, default=100000)
    ap.add_argument("--files")
    ap.add_argument("--changes", type=int, default=20)
    ap.add_argument("--mpd", action="store_true", help="mpd's first scan on the same files too")
    a = ap.parse_args()
    lib = a.files or f"/tmp/lumora-big-library-{a.songs}"
    make_library(lib, a.songs)
    print(f"load average at start: {os.getloadavg()}", flush=True)
    work = tempfile.mkdtemp()
    try:
        steps = [
            ("first scan", lambda p, d: first_scan(p, lib, d)),
            ("restart", lambda p, d: restart(p, lib, d)),
            ("one change", lambda p, d: one_change(p, lib, d, a.changes)),
            ("search", lambda p, d: search(p, lib, d)),
            ("churn", lambda p, d: churn(p, lib, d, os.path.join(work, "outside"))),
            ("missing root", lambda p, d: missing_root(p, lib, d)),
        ]
        if a.mpd:
            data = os.path.join(work, "mpd")
            os.makedirs(data)
            print(f"{'mpd':10} {'first scan':14} {fmt(mpd_first_scan(lib, data))}", flush=True)
        for who, program in (("baseline", a.baseline), ("this build", a.server)):
            data = os.path.join(work, who.replace(" ", "-"))
            os.makedirs(data)
            for name, step in steps:
                print(f"{who:10} {name:14} {fmt(step(program, data))}", flush=True)
            fresh = os.path.join(work, who.replace(" ", "-") + "-stopped")
            os.makedirs(fresh)
            print(f"{who:10} {'stopped scan':14} {fmt(stopped_scan(program, lib, fresh, a.songs))}",
                  flush=True)
    finally:
        shutil.rmtree(work, ignore_errors=True)
    print(f"load average at end: {os.getloadavg()}")


def fmt(d):
    return ", ".join(f"{k} {v:.2f}" if isinstance(v, float) else f"{k} {v}" for k, v in d.items())


if __name__ == "__main__":
    main()
