#!/usr/bin/python3
"""Text, names and lengths of a library as years of other tools left it, read by lumora-server and
by another build of it, same files, same run.

usage: bench/legacy_library.py SERVER BASELINE_SERVER [--songs N] [--scan-songs M] [--scans K]

Makes (once, in /tmp/lumora-legacy-library-N) N songs (default 1 000), a song to a folder, in turns:
titles and albums in GBK, Big5 or Shift-JIS behind ID3v2's Latin-1 byte or in an ID3v1 tag,
Western names in Latin-1, UTF-8, and files without tags named "Artist/YYYY - Album/NN - Title";
every third song with a .lrc beside it in the same code page, its lines ended in LF, CR LF or CR.
The audio is one of six clips: constant and varying bit rate, with and without the header that
counts the frames, and both cut short under that header. Each clip is decoded once with GStreamer
to know how long it plays.

Then, for each server, from no index: the texts that read as written, the names taken from paths,
the lyrics that read as written without a CR, and the lengths within 2 % of the decoded audio;
and the first scan of a library of M songs (default 20 000, made by big_library.py) and of 20
five-minute songs of varying rate without a header, K times each (default 3) in turns: the median
of each and their ratio.

Needs python3-mutagen, GStreamer's lamemp3enc and xingmux.
"""
import argparse
import json
import os
import random
import shutil
import statistics
import subprocess
import sys
import tempfile
import time
import urllib.parse

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import big_library  # noqa: E402
from mutagen.id3 import ID3, TALB, TIT2, TPE1, TRCK  # noqa: E402

SIMPLIFIED = ("爱情 回忆 夜空 时间 离开 再见 朋友 阳光 雨天 梦想 城市 海边 星星 月亮 风筝 秘密 勇气 温柔 寂寞 "
              "幸福 听见 说谎 后来 我们 青春 记得 远方 彩虹 晴天 歌手 乐队 专辑 精选 现场 演唱会 国语 经典 永远 "
              "天空 眼泪 微笑 花开 不会 等待 传说 世界 情歌 黄昏 孤单 拥抱 亲爱的 小时候 第一次 红豆 一个人 你好 "
              "夜曲 稻香 东风 对不起 最后 心跳 飞翔 下雨 声音 灯火 故乡 北京 上海 走过 练习 简单 听海").split()
TRADITIONAL = ("愛情 回憶 夜空 時間 離開 再見 朋友 陽光 雨天 夢想 城市 海邊 星星 月亮 風箏 秘密 勇氣 溫柔 寂寞 "
               "幸福 聽見 說謊 後來 我們 青春 記得 遠方 彩虹 晴天 歌手 樂團 專輯 精選 現場 演唱會 國語 經典 永遠 "
               "天空 眼淚 微笑 花開 不會 等待 傳說 世界 情歌 黃昏 孤單 擁抱 親愛的 小時候 第一次 紅豆 一個人 你好 "
               "夜曲 稻香 東風 對不起 最後 心跳 飛翔 下雨 聲音 燈火 故鄉 台北 香港 走過 練習 簡單 聽海").split()
JAPANESE = ("さくら 夜明け ありがとう 君の名前 青い空 東京 夏祭り 雪の華 星に願いを 約束 未来 風の歌 海へ 花火 "
            "恋人 旅立ち 春よ来い 涙 光 帰り道 カーテン メロディー ラブソング ベスト ライブ 第二章 さよなら "
            "桜坂 もう一度 君と僕 ひまわり 夢の中へ 時の流れ 大阪 少年 少女 森の小道 赤い糸 白い雪 やさしさ").split()
WESTERN = ("Café Hélène Ségara Canção Noël Paris Sørli Björkman Åsa Señor Niño Façade Zoë Ångström "
           "Müller Straße Déjà Vu Crème Brûlée Garçon Élodie Renée Chloé José Mañana Corazón").split()

# (kind, Python codec of the text, where it is written)
KINDS = [("GBK v2", "gbk", "id3v2"), ("Big5 v2", "cp950", "id3v2"), ("Shift-JIS v2", "cp932", "id3v2"),
         ("GBK v1", "gbk", "id3v1"), ("Big5 v1", "cp950", "id3v1"), ("Shift-JIS v1", "cp932", "id3v1"),
         ("Latin-1 v2", "latin-1", "id3v2"), ("UTF-8 v2", "utf-8", "id3v2"),
         ("untagged", "utf-8", "path")]
WORDS = {"gbk": SIMPLIFIED, "cp950": TRADITIONAL, "cp932": JAPANESE, "latin-1": WESTERN,
         "utf-8": SIMPLIFIED + WESTERN}

# Clips: (name, encoder, seconds of ticks, part kept)
CLIPS = [("cbr", "lamemp3enc target=bitrate cbr=true bitrate=128", 3.0, 1.0),
         ("cbr-xing", "lamemp3enc target=bitrate cbr=true bitrate=128 ! xingmux", 3.0, 1.0),
         ("vbr", "lamemp3enc target=quality quality=2", 4.8, 1.0),
         ("vbr-xing", "lamemp3enc target=quality quality=2 ! xingmux", 4.8, 1.0),
         ("cbr-xing-cut", "lamemp3enc target=bitrate cbr=true bitrate=128 ! xingmux", 5.0, 0.4),
         ("vbr-xing-cut", "lamemp3enc target=quality quality=2 ! xingmux", 5.0, 0.35)]


def run(command):
    subprocess.run(command, check=True, stdout=subprocess.DEVNULL)


def make_clip(where, name, encoder, seconds, kept):
    path = os.path.join(where, name + ".mp3")
    # Ticks of a tone over silence: the bit rate of a varying-rate encoder follows them.
    run(["gst-launch-1.0", "-q", "-e", "audiotestsrc", "wave=ticks", "tick-interval=100000000",
         "sine-periods-per-tick=20", f"num-buffers={int(seconds * 44100 / 1024)}",
         "samplesperbuffer=1024", "!", "audio/x-raw,rate=44100,channels=2", "!", "audioconvert",
         "!"] + encoder.split() + ["!", "filesink", f"location={path}"])
    data = open(path, "rb").read()
    open(path, "wb").write(data[:int(len(data) * kept)])
    wav = path + ".wav"
    run(["gst-launch-1.0", "-q", "filesrc", f"location={path}", "!", "decodebin", "!",
         "audioconvert", "!", "audio/x-raw,format=S16LE,channels=2", "!", "wavenc", "!",
         "filesink", f"location={wav}"])
    decoded = open(wav, "rb").read()
    os.remove(wav)
    return data[:int(len(data) * kept)], (len(decoded) - decoded.index(b"data") - 8) / 176400


LONG = "20 five-minute songs of varying rate without a header"


def long_library():
    """LONG: what counting frames costs where a whole file is read for it."""
    where = "/tmp/lumora-long-vbr-library"
    if not os.path.exists(os.path.join(where, ".complete")):
        shutil.rmtree(where, ignore_errors=True)
        os.makedirs(where)
        audio, seconds = make_clip(where, ".clip", "lamemp3enc target=quality quality=4", 300, 1)
        print(f"library: {LONG}, each {seconds:.2f} s decoded", flush=True)
        for n in range(20):
            os.makedirs(os.path.join(where, f"{n:02d}"))
            open(os.path.join(where, f"{n:02d}", "song.mp3"), "wb").write(audio)
        open(os.path.join(where, ".complete"), "w").close()
    return where


def text(rnd, codec, limit):
    """Words of the code page's script whose bytes fit in limit (an ID3v1 field: 30)."""
    while True:
        t = rnd.choice(["", " "]).join(rnd.choice(WORDS[codec]) for _ in range(rnd.choice([1, 2, 3])))
        if len(t.encode(codec)) <= limit:
            return t


def id3v1(title, artist, album, codec):
    def field(value, width):
        return value.encode(codec).ljust(width, b"\0")
    return b"TAG" + field(title, 30) + field(artist, 30) + field(album, 30) + b"\0" * 34 + b"\xff"


def make_library(where, songs):
    if os.path.exists(os.path.join(where, "manifest.json")):
        return json.load(open(os.path.join(where, "manifest.json"), encoding="utf-8"))
    print(f"library: making {songs} songs in {where} (once)", flush=True)
    shutil.rmtree(where, ignore_errors=True)
    os.makedirs(where)
    clips = {name: make_clip(where, name, *rest) for name, *rest in CLIPS}
    rnd = random.Random(47)
    manifest = []
    for n in range(songs):
        kind, codec, place = KINDS[n % len(KINDS)]
        clip = CLIPS[n // len(KINDS) % len(CLIPS)][0]
        key = f"Artist {n:05d}"  # ASCII: how the crawl finds the song again
        title, album = text(rnd, codec, 30), text(rnd, codec, 30)
        track = n % 20 + 1
        if place == "path":
            rel = os.path.join(key, f"2010 - {album}", f"{track:02d} - {title}.mp3")
        else:
            rel = os.path.join(key, f"{n:05d}.mp3")
        path = os.path.join(where, rel)
        os.makedirs(os.path.dirname(path))
        audio, seconds = clips[clip]
        with open(path, "wb") as f:
            f.write(audio)
        if place == "id3v1":
            with open(path, "ab") as f:
                f.write(id3v1(title, key, album, codec))
        elif place == "id3v2":
            tag = ID3()
            legacy = codec not in ("utf-8",)
            for frame, value in ((TIT2, title), (TPE1, key), (TALB, album), (TRCK, str(track))):
                # mutagen writes encoding 0 as Latin-1, so these bytes land in the file unchanged.
                tag.add(frame(encoding=0 if legacy else 3,
                              text=value.encode(codec).decode("latin-1") if legacy else value))
            tag.save(path, v2_version=3)
        lyric = ""
        if n % 3 == 0 and codec != "utf-8":
            lyric = "".join(f"[00:0{i}.00]{text(rnd, codec, 60)}\n" for i in range(3))
            end = ["\n", "\r\n", "\r"][n // 3 % 3]
            with open(os.path.splitext(path)[0] + ".lrc", "wb") as f:
                f.write(lyric.replace("\n", end).encode(codec))
        manifest.append({"key": key, "kind": kind, "title": title, "album": album,
                         "clip": clip, "seconds": seconds, "lyric": lyric})
    json.dump(manifest, open(os.path.join(where, "manifest.json"), "w", encoding="utf-8"),
              ensure_ascii=False)
    return manifest


def crawl(server):
    """Every song the server lists, by its artist."""
    ids = set()
    top = server.get("/top/playlist?limit=100000&offset=0&order=hot&cat=" +
                     urllib.parse.quote("全部"))
    for p in top["playlists"]:
        ids.update(t["id"] for t in server.get(f"/playlist/detail?id={p['id']}")["playlist"]["trackIds"])
    songs = {}
    ids = sorted(ids)
    for i in range(0, len(ids), 200):
        for s in server.get("/song/detail?ids=" + ",".join(map(str, ids[i:i + 200])))["songs"]:
            for a in s["ar"]:
                songs[a["name"]] = s
    return songs


def read_library(program, lib, data, manifest):
    server = big_library.Server(program, lib, data)
    server.started_and_scanned()
    songs = crawl(server)
    right, lengths, lyrics, carriage = {}, {}, [0, 0], 0
    for m in manifest:
        s = songs.get(m["key"])
        ok = s is not None and s["name"] == m["title"] and s["al"]["name"] == m["album"]
        right.setdefault(m["kind"], [0, 0])[0] += ok
        right[m["kind"]][1] += 1
        if s is None:
            continue  # a song this build does not find by its artist is counted above
        near = abs(s["dt"] / 1000 - m["seconds"]) <= 0.02 * m["seconds"]
        lengths.setdefault(m["clip"], [0, 0])[0] += near
        lengths[m["clip"]][1] += 1
        if m["lyric"]:
            got = server.get(f"/lyric?id={s['id']}").get("lrc", {}).get("lyric", "")
            lyrics[0] += got == m["lyric"]
            lyrics[1] += 1
            carriage += "\r" in got
    server.stop()
    return right, lengths, lyrics, carriage


def fraction(pair):
    return f"{pair[0]}/{pair[1]}"


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("server")
    ap.add_argument("baseline")
    ap.add_argument("--songs", type=int, default=1000)
    ap.add_argument("--scan-songs", type=int, default=20000)
    ap.add_argument("--scans", type=int, default=3)
    a = ap.parse_args()
    lib = f"/tmp/lumora-legacy-library-{a.songs}"
    manifest = make_library(lib, a.songs)
    big = f"/tmp/lumora-big-library-{a.scan_songs}"
    big_library.make_library(big, a.scan_songs)
    print(f"load average at start: {os.getloadavg()}", flush=True)
    work = tempfile.mkdtemp()
    try:
        for who, program in (("baseline", a.baseline), ("this build", a.server)):
            data = os.path.join(work, who.replace(" ", "-"))
            os.makedirs(data)
            right, lengths, lyrics, carriage = read_library(program, lib, data, manifest)
            print(f"{who:10} texts as written: " +
                  ", ".join(f"{k} {fraction(v)}" for k, v in right.items()), flush=True)
            print(f"{who:10} lengths within 2 %: " +
                  ", ".join(f"{k} {fraction(v)}" for k, v in lengths.items()), flush=True)
            print(f"{who:10} lyrics as written: {fraction(lyrics)}, with a CR: {carriage}",
                  flush=True)
        # The scans in turns, so that both meet the same load.
        for library, what in ((big, f"{a.scan_songs} short songs"), (long_library(), LONG)):
            scans = {}
            for run_ in range(a.scans):
                for who, program in (("baseline", a.baseline), ("this build", a.server)):
                    fresh = tempfile.mkdtemp(dir=work)
                    scan = big_library.first_scan(program, library, fresh)
                    scans.setdefault(who, []).append(scan["scan s"])
                    print(f"{who:10} first scan of {what}: {big_library.fmt(scan)}", flush=True)
            mine, base = statistics.median(scans["this build"]), statistics.median(scans["baseline"])
            print(f"first scan of {what}, median s: baseline {base:.2f}, this build {mine:.2f}, "
                  f"ratio {mine / base:.2f}", flush=True)
    finally:
        shutil.rmtree(work, ignore_errors=True)
    print(f"load average at end: {os.getloadavg()}")


if __name__ == "__main__":
    main()
