#!/usr/bin/python3
"""Albums and search of lumora-server as a client sees them, against another build, same run.

usage: bench/album_search.py SERVER BASELINE_SERVER [--songs N] [--big N]

Makes (once, in /tmp/lumora-album-library-N, default 1 000 songs) a library of albums shaped as
people keep them: ten artists with accents in their names, each album ten songs with file names
that do not say the order; one album in five on two discs in CD1/CD2 folders without disc tags,
one with featuring guests and no album artist, one with the title and artist of another album in
a folder of its own, one a compilation of many artists tagged only in ID3v1. For each server it
crawls every playlist through the API and, among the playlists named as each album, counts
the albums shown as exactly one playlist in the right order, those split over playlists or
merged with another album, those whose songs are listed twice, and the playlists that are no
album; then it searches each artist's name as typed, in upper and lower case and without its
accents, and counts the searches whose first page holds a playlist of exactly that artist's
songs. Last, over bench/big_library.py's library of BIG songs (default 60 000), the median of 50
square searches (type=1000) of an artist, of a word every title holds, and of 50 song searches
(type=1).
"""
import argparse
import os
import shutil
import statistics
import tempfile
import time
import unicodedata
import urllib.parse

from big_library import Server, clip, fmt, make_library, tag

ARTISTS = ["Björk", "Beyoncé", "Sigur Rós", "Motörhead", "Zoë Keating", "Daniël Lohues",
           "Amélie Dufour", "Ólafur Arnalds", "Mañana Club", "Chloé"]


def unaccented(text):
    return "".join(c for c in unicodedata.normalize("NFKD", text)
                   if not unicodedata.combining(c))


def id3v1(title, artist, album):
    def field(text):
        return text.encode("latin-1")[:30].ljust(30, b"\0")
    return b"TAG" + field(title) + field(artist) + field(album) + b"\0" * 34 + b"\xff"


def make_albums(where, songs):
    """Makes the library once; returns its albums (title, song titles in play order) and each
    artist's songs."""
    albums, by_artist = [], {a: set() for a in ARTISTS}
    audio = None
    if not os.path.exists(os.path.join(where, ".complete")):
        shutil.rmtree(where, ignore_errors=True)
        os.makedirs(where)
        audio = clip(where)
        os.remove(os.path.join(where, ".clip.mp3"))  # not a song of the library
    n = 0
    for i in range(songs // 10):
        artist, kind = ARTISTS[i // 5 % len(ARTISTS)], i % 5
        title = f"Album {i:03d}" if kind != 3 else f"Album {i - 3:03d}"
        folder = os.path.join(where, artist, f"Album {i:03d}")
        order = []
        for t in range(10):
            name, credit, disc_folder, track = f"Song {n:04d}", artist, "", t + 1
            n += 1
            if kind == 1:  # two discs, the tracks counted on each
                disc_folder, track = f"CD{t // 5 + 1}", t % 5 + 1
            if kind == 2 and t in (3, 7):
                credit = f"{artist} feat. Guest {t}"
            file = os.path.join(folder, disc_folder, f"{'kdhgbjfcea'[track - 1]}{t}.mp3")
            if kind == 4:  # many artists, tagged only in ID3v1
                credit = f"Mixer {t}"
                file = os.path.join(where, "Compilations", f"Mix {i:03d}", f"{t:02d}.mp3")
                title = f"Mix {i:03d}"
            else:
                by_artist[artist].add(name)
            order.append(name)
            if audio is None:
                continue
            os.makedirs(os.path.dirname(file), exist_ok=True)
            with open(file, "wb") as f:
                if kind == 4:
                    f.write(audio + id3v1(name, credit, title))
                else:
                    f.write(tag(name, credit, title, track, artist if kind != 2 else "") + audio)
        albums.append((title, order))
    open(os.path.join(where, ".complete"), "w").close()
    return albums, by_artist


def crawl(s):
    """Every playlist the square lists, as (name, [song names])."""
    listed, offset = [], 0
    while True:
        page = s.get(f"/top/playlist?limit=100&offset={offset}&order=hot&cat=%E5%85%A8%E9%83%A8")
        listed += [(p["name"], p["id"]) for p in page["playlists"]]
        offset += 100
        if not page["more"]:
            break
    names = {}
    out = []
    for name, pid in listed:
        ids = [t["id"] for t in s.get(f"/playlist/detail?id={pid}")["playlist"]["trackIds"]]
        missing = [i for i in ids if i not in names]
        for at in range(0, len(missing), 500):
            for song in s.get("/song/detail?ids=" + ",".join(map(str, missing[at:at + 500])))[
                    "songs"]:
                names[song["id"]] = song["name"]
        out.append((name, [names[i] for i in ids]))
    return out


def tracks(s, pid):
    ids = [t["id"] for t in s.get(f"/playlist/detail?id={pid}")["playlist"]["trackIds"]]
    if not ids:
        return set()
    return {x["name"] for x in s.get("/song/detail?ids=" + ",".join(map(str, ids)))["songs"]}


def albums_and_search(program, lib, data, albums, by_artist):
    s = Server(program, lib, data)
    s.started_and_scanned()
    playlists = crawl(s)
    whole, wrong_order, split, merged, twice = 0, 0, 0, 0, 0
    for title, order in albums:
        # The playlists a person takes for this album: named so, holding some of its songs.
        named = [songs for name, songs in playlists if name == title and set(songs) & set(order)]
        whole += named == [order]
        wrong_order += len(named) == 1 and named[0] != order and set(named[0]) == set(order)
        split += any(not set(order) <= set(songs) for songs in named) or not named
        merged += any(not set(songs) <= set(order) for songs in named)
        twice += sum(set(songs) == set(order) for _, songs in playlists) > 1
    owner = {name: i for i, (_, order) in enumerate(albums) for name in order}
    no_album = sum(1 for _, songs in playlists
                   if songs[0] not in owner or set(songs) != set(albums[owner[songs[0]]][1]))
    found, asked = 0, 0
    for artist, songs in by_artist.items():
        for typed in {artist, artist.upper(), artist.lower(), unaccented(artist)}:
            asked += 1
            page = s.get("/search?keywords=" + urllib.parse.quote(typed) +
                         "&limit=8&offset=0&type=1000")["result"]["playlists"]
            found += any(tracks(s, p["id"]) == songs for p in page)
    s.stop()
    return {"albums": len(albums), "one playlist in order": whole, "order wrong": wrong_order,
            "split": split, "merged": merged, "listed twice": twice,
            "playlists": len(playlists),
            "playlists no album": no_album, "artist searches": asked,
            "giving all their songs": found}


def search_speed(program, lib, data):
    s = Server(program, lib, data)
    s.started_and_scanned()
    square, every, songs = [], [], []
    for n in range(50):
        for times, text in ((square, f"artist 000{n % 10}5"), (every, "tune")):
            t0 = time.monotonic()
            s.get("/search?limit=8&offset=0&type=1000&keywords=" + urllib.parse.quote(text))
            times.append(1000 * (time.monotonic() - t0))
        t0 = time.monotonic()
        s.found(f"{n % 10}5 tune")
        songs.append(1000 * (time.monotonic() - t0))
    s.stop()
    return {"square search ms (median)": statistics.median(square),
            "of a word in every title": statistics.median(every),
            "song search ms (median)": statistics.median(songs)}


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("server")
    ap.add_argument("baseline")
    ap.add_argument("--songs", type=int, default=1000)
    ap.add_argument("--big", type=int, default=60000)
    a = ap.parse_args()
    lib = f"/tmp/lumora-album-library-{a.songs}"
    albums, by_artist = make_albums(lib, a.songs)
    big = f"/tmp/lumora-big-library-{a.big}"
    make_library(big, a.big)
    print(f"load average at start: {os.getloadavg()}", flush=True)
    work = tempfile.mkdtemp()
    try:
        for who, program in (("baseline", a.baseline), ("this build", a.server)):
            for name, step in (
                    ("albums", lambda d: albums_and_search(program, lib, d, albums, by_artist)),
                    ("search speed", lambda d: search_speed(program, big, d))):
                data = os.path.join(work, f"{who}-{name}".replace(" ", "-"))
                os.makedirs(data)
                print(f"{who:10} {name:12} {fmt(step(data))}", flush=True)
    finally:
        shutil.rmtree(work, ignore_errors=True)
    print(f"load average at end: {os.getloadavg()}")


if __name__ == "__main__":
    main()
