#!/usr/bin/python3
"""lumora-server over a hostile library, against another build of it on the same files, same run.

usage: bench/hostile_library.py SERVER BASELINE_SERVER [--files DIR] [--title-mib N] [--only WHAT]

Makes (once, in DIR, default /tmp/lumora-hostile-library) one small library per costly file and
one of malformed files, and runs each server over each library with a data folder of its own:

  title    a 571 KB MP3 whose zlib-compressed title frame inflates to N MiB (default 512)
  picture  an MP3 with a 200 MB embedded picture
  lyric    an MP3 with a 100 MB lyric frame
  sparse   a sparse 64 MB MP3 (a header, then nothing)
  broken   3 135 malformed files of the six formats: cut short, bytes flipped, sizes past the
           file, compressed titles of 4 MiB, long Vorbis and MP4 titles, pictures of 10 MB

For each: the first scan's time, the peak resident memory of the server and its children, the
index's size; then per request: /song/detail, /lyric (one, then eight at once while an honest
client asks for the playlists every 0.2 s) and four album covers at once, each with its time, its
answer's size and the memory it added. A file a server leaves out is "not listed".
Needs python3-mutagen and GStreamer's encoders (the test library's tools).
"""
import argparse
import base64
import concurrent.futures
import json
import os
import random
import shutil
import subprocess
import sys
import tempfile
import threading
import time
import urllib.request
import zlib

from mutagen.flac import FLAC, Picture
from mutagen.id3 import APIC, ID3, TALB, TIT2, TPE1, USLT
from mutagen.mp4 import MP4
from mutagen.oggopus import OggOpus
from mutagen.oggvorbis import OggVorbis
from mutagen.wave import WAVE

ENCODERS = {"mp3": "lamemp3enc target=bitrate cbr=true bitrate=64", "flac": "flacenc",
            "ogg": "vorbisenc ! oggmux", "opus": "audioresample ! opusenc ! oggmux",
            "m4a": "avenc_aac ! mp4mux", "wav": "wavenc"}


def syncsafe(n):
    return bytes([(n >> 21) & 0x7F, (n >> 14) & 0x7F, (n >> 7) & 0x7F, n & 0x7F])


def frame(fid, payload, flags=b"\0\0"):
    return fid + syncsafe(len(payload)) + flags + payload


def id3(frames):
    return b"ID3\x04\0\0" + syncsafe(len(frames)) + frames


def compressed_title(size):
    text = b"\x03" + b"T" * size
    return frame(b"TIT2", syncsafe(len(text)) + zlib.compress(text, 9), b"\0\x09")


def png(width, height, size):
    ihdr = width.to_bytes(4, "big") + height.to_bytes(4, "big") + b"\x08\x02\0\0\0"
    return b"\x89PNG\r\n\x1a\n" + (13).to_bytes(4, "big") + b"IHDR" + ihdr + b"\0" * (size - 29)


def tone(fmt, seconds, work):
    path = os.path.join(work, f"tone{seconds}.{fmt}")
    if not os.path.exists(path):
        subprocess.run(["gst-launch-1.0", "-q", "-e", "audiotestsrc",
                        f"num-buffers={int(seconds * 44100 / 1024) + 1}", "samplesperbuffer=1024",
                        "!", "audio/x-raw,rate=44100,channels=2", "!"] + ENCODERS[fmt].split() +
                       ["!", "filesink", f"location={path}"], check=True, capture_output=True)
    return open(path, "rb").read()


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


def tagged(fmt, src, dst, title, picture=None):
    """src retagged in its format's own fields as dst."""
    shutil.copy(src, dst)
    if fmt in ("mp3", "wav"):
        wave = WAVE(dst) if fmt == "wav" else None
        if wave is not None and wave.tags is None:
            wave.add_tags()
        tags = wave.tags if wave is not None else ID3()
        tags.add(TIT2(encoding=3, text=title))
        tags.add(TPE1(encoding=3, text="Band"))
        tags.add(TALB(encoding=3, text="Broken"))
        if picture:
            tags.add(APIC(encoding=0, mime="image/png", type=3, desc="", data=picture))
        wave.save() if wave is not None else tags.save(dst)
    elif fmt == "flac":
        f = FLAC(dst)
        f["TITLE"] = title
        if picture:
            p = Picture()
            p.type, p.mime, p.data = 3, "image/png", picture
            f.add_picture(p)
        f.save()
    elif fmt in ("ogg", "opus"):
        f = (OggVorbis if fmt == "ogg" else OggOpus)(dst)
        f["TITLE"] = title
        if picture:
            p = Picture()
            p.type, p.mime, p.data = 3, "image/png", picture
            f["METADATA_BLOCK_PICTURE"] = [base64.b64encode(p.write()).decode()]
        f.save()
    else:
        f = MP4(dst)
        f["\xa9nam"] = [title]
        f.save()


def make_broken(lib, work):
    """522 malformed files of each format, and three that are no audio at all: 3 135."""
    rnd = random.Random(51)
    for fmt in ENCODERS:
        clean = os.path.join(work, f"clean.{fmt}")
        tagged(fmt, os.path.join(work, f"tone1.{fmt}"), clean, "Clean")
        base = open(clean, "rb").read()
        for i in range(522):
            path = os.path.join(lib, fmt, f"{i:03}.{fmt}")
            data = bytearray(base)
            if i < 300:  # bytes flipped
                for _ in range(rnd.randint(1, 20)):
                    data[rnd.randrange(len(data))] = rnd.randrange(256)
            elif i < 400:  # cut short
                data = data[:rnd.randrange(len(data))]
            elif i < 460:  # a size past the file in a header
                at = rnd.randrange(min(len(data), 512) - 4)
                data[at:at + 4] = b"\x7f\xff\xff\xf0"
            elif i < 500:  # a title of 4 MiB, compressed where the format allows it
                if fmt == "mp3":
                    data = id3(compressed_title(4 << 20)) + bytes(tone("mp3", 1, work))
                else:
                    tagged(fmt, clean, path, "T" * (4 << 20))
                    continue
            else:  # a picture of 10 MB
                tagged(fmt, clean, path, "Pictured", png(3000, 3000, 10 << 20))
                continue
            write(path, bytes(data))
    write(os.path.join(lib, "empty.mp3"), b"")
    write(os.path.join(lib, "notes.flac"), b"not audio\n" * 10)
    write(os.path.join(lib, "page.m4a"), b"<html><body>404</body></html>")


def make(files, title_mib):
    work = os.path.join(files, "work")
    os.makedirs(work, exist_ok=True)
    for fmt in ENCODERS:
        tone(fmt, 1, work)
    audio = tone("mp3", 1, work)
    libs = {
        "title": lambda d: write(f"{d}/title.mp3", id3(compressed_title(title_mib << 20)) + audio),
        "picture": lambda d: write(f"{d}/picture.mp3",
                                   id3(frame(b"APIC", b"\0image/png\0\x03\0" +
                                             png(3000, 3000, 200 << 20))) + audio),
        "lyric": lambda d: write(f"{d}/lyric.mp3",
                                 id3(frame(b"USLT", b"\x03eng\0" + b"l" * (100 << 20))) + audio),
        "sparse": lambda d: sparse(f"{d}/sparse.mp3", audio[:4096]),
        "broken": lambda d: make_broken(d, work),
    }
    for name, fill in libs.items():
        lib = os.path.join(files, f"{name}-{title_mib}" if name == "title" else name)
        if not os.path.exists(os.path.join(lib, ".complete")):
            shutil.rmtree(lib, ignore_errors=True)
            os.makedirs(lib)
            fill(lib)
            write(os.path.join(lib, ".complete"), b"")
    return {name: os.path.join(files, f"{name}-{title_mib}" if name == "title" else name)
            for name in libs}


def sparse(path, head):
    write(path, head)
    os.truncate(path, 64 << 20)


def tree_rss_mib(pid):
    """The resident memory of pid and its children."""
    total, todo = 0, [pid]
    while todo:
        p = todo.pop()
        try:
            with open(f"/proc/{p}/status") as f:
                total += next(int(l.split()[1]) for l in f if l.startswith("VmRSS"))
            for task in os.listdir(f"/proc/{p}/task"):
                with open(f"/proc/{p}/task/{task}/children") as f:
                    todo += [int(c) for c in f.read().split()]
        except (OSError, StopIteration):
            pass
    return total / 1024


class Peak(threading.Thread):
    """The highest resident memory of a process tree while it runs."""

    def __init__(self, pid):
        super().__init__(daemon=True)
        self.pid, self.peak, self.done = pid, 0.0, False
        self.start()

    def run(self):
        while not self.done:
            self.peak = max(self.peak, tree_rss_mib(self.pid))
            time.sleep(0.02)

    def stop(self):
        self.done = True
        self.join()
        return self.peak


def ask(port, target, timeout=120):
    start = time.monotonic()
    try:
        with urllib.request.urlopen(f"http://127.0.0.1:{port}{target}", timeout=timeout) as r:
            body = r.read()
    except Exception as e:  # a refused or broken answer is a figure too
        return time.monotonic() - start, -1, str(e).encode()
    return time.monotonic() - start, len(body), body


class Server:
    def __init__(self, program, lib):
        self.data = tempfile.mkdtemp(prefix="lumora-hostile-")
        self.err = open(os.path.join(self.data, "stderr"), "w+")
        start = time.monotonic()
        self.proc = subprocess.Popen([program, "--port", "0", "--data", self.data, "--library", lib],
                                     stdout=subprocess.PIPE, stderr=self.err, text=True)
        peak = Peak(self.proc.pid)
        self.port = None
        for line in self.proc.stdout:
            if "listening on" in line:
                self.port = int(line.rsplit(":", 1)[1])
                break
        # A server may listen before its first scan ends: the scan ends at its line on stderr.
        while self.proc.poll() is None:
            self.err.seek(0)
            if "library scanned in" in self.err.read():
                break
            time.sleep(0.01)
        self.scan = time.monotonic() - start
        self.peak = peak.stop()
        threading.Thread(target=lambda: [None for _ in self.proc.stdout], daemon=True).start()
        index = os.path.join(self.data, "library-index.db")
        self.index_mib = sum(os.path.getsize(index + s) for s in ("", "-wal")
                             if os.path.exists(index + s)) / (1 << 20)

    def song(self):
        """The first listed song's id and album id; None when nothing is listed."""
        _, _, top = ask(self.port, "/top/playlist?limit=50&offset=0&order=hot&cat=%E5%85%A8%E9%83%A8")
        for p in json.loads(top).get("playlists", []):
            _, _, detail = ask(self.port, f"/playlist/detail?id={p['id']}")
            for t in json.loads(detail)["playlist"]["trackIds"]:
                _, _, songs = ask(self.port, f"/song/detail?ids={t['id']}")
                return t["id"], json.loads(songs)["songs"][0]["al"]["id"]
        return None

    def parallel(self, target, n, honest=False):
        """n requests at once: the slowest, the largest answer, the memory added, and the slowest
        answer an honest client got meanwhile."""
        before = tree_rss_mib(self.proc.pid)
        peak = Peak(self.proc.pid)
        waits, stop = [], threading.Event()

        def client():
            while not stop.is_set():
                waits.append(ask(self.port, "/top/playlist?limit=50&offset=0&order=hot&cat=%E5%85%A8%E9%83%A8", 30)[0])
                time.sleep(0.2)
        watcher = threading.Thread(target=client) if honest else None
        if watcher:
            watcher.start()
        with concurrent.futures.ThreadPoolExecutor(n) as pool:
            answers = list(pool.map(lambda _: ask(self.port, target), range(n)))
        stop.set()
        if watcher:
            watcher.join()
        return (max(a[0] for a in answers), max(a[1] for a in answers),
                peak.stop() - before, max(waits, default=0.0))

    def stop(self):
        """Stops it; how many files it left out with a reader's end."""
        self.proc.terminate()
        self.proc.wait()
        self.err.seek(0)
        ended = sum("left out /" in line for line in self.err)
        shutil.rmtree(self.data, ignore_errors=True)
        return ended


def measure(name, program, lib):
    s = Server(program, lib)
    row = {"scan s": f"{s.scan:.2f}", "peak MiB": f"{s.peak:.0f}", "index MiB": f"{s.index_mib:.1f}"}
    if name != "broken":
        song = s.song()
        if song is None:
            row["requests"] = "not listed"
        else:
            sid, album = song
            t, size, _, _ = s.parallel(f"/song/detail?ids={sid}", 1)
            row["/song/detail"] = f"{t * 1000:.0f} ms {size / 1024:.0f} KiB"
            t, size, _, _ = s.parallel(f"/lyric?id={sid}", 1)
            row["/lyric"] = f"{t * 1000:.0f} ms {size / 1024:.0f} KiB"
            t, _, _, honest = s.parallel(f"/lyric?id={sid}", 8, honest=True)
            row["8 x /lyric"] = f"{t * 1000:.0f} ms, honest client {honest * 1000:.0f} ms"
            t, size, added, _ = s.parallel(f"/cover/album/{album}.jpg", 4)
            row["4 x cover"] = f"{t * 1000:.0f} ms {size / 1024:.0f} KiB +{added:.0f} MiB"
    row["readers ended"] = str(s.stop())
    return row


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("server")
    ap.add_argument("baseline")
    ap.add_argument("--files", default="/tmp/lumora-hostile-library")
    ap.add_argument("--title-mib", type=int, default=512)
    ap.add_argument("--only", nargs="*")
    a = ap.parse_args()
    libs = make(a.files, a.title_mib)
    print(f"load average {os.getloadavg()[0]:.2f}; title bomb {a.title_mib} MiB")
    for name, lib in libs.items():
        if a.only and name not in a.only:
            continue
        for label, program in (("baseline", a.baseline), ("this", a.server)):
            row = measure(name, program, lib)
            print(f"{name:8} {label:9} " + "  ".join(f"{k}: {v}" for k, v in row.items()),
                  flush=True)
    print(f"load average {os.getloadavg()[0]:.2f}")


if __name__ == "__main__":
    sys.exit(main())
