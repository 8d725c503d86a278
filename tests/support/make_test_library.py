#!/usr/bin/python3
"""Makes a small music library shaped like a real one, for the server's tests.

usage: make_test_library.py DIR [AUDIO_CACHE]

Tens of one-second files in all six formats (MP3, FLAC, Ogg Vorbis, Opus, M4A, WAV; some with
upper-case extensions), tagged with mutagen the way common tools tag them: album artist,
compilation flag, disc and track numbers ("2/3" forms), several artists where the tag itself
holds several values, front and back covers in the order that catches a reader taking the first,
embedded lyrics, loudness (ReplayGain in each format's own fields, Opus R128 gains, a figure
that is no number), .lrc files in every encoding people have, folder pictures, Latin-1 and GBK tag
text, file and folder names that are not UTF-8, and files that are not audio at all.

DIR/library.json lists every file with what a reader should find in it (see SONGS below);
"playable": false marks the files that must be left out; "cover" names the picture (in
DIR/library-pictures) the song's album should show, empty for the generated one. AUDIO_CACHE keeps the six encoded
tones between runs.
"""
import base64
import json
import os
import shutil
import subprocess
import sys
import tempfile

from mutagen.flac import FLAC, Picture
from mutagen.id3 import (APIC, ID3, TALB, TCMP, TCON, TIT2, TPE1, TPE2, TPOS, TRCK, TXXX, USLT)
from mutagen.mp4 import MP4, MP4Cover, MP4FreeForm
from mutagen.oggopus import OggOpus
from mutagen.oggvorbis import OggVorbis
from mutagen.wave import WAVE

ENCODERS = {
    "mp3": "lamemp3enc target=bitrate cbr=true bitrate=64",
    "flac": "flacenc",
    "ogg": "vorbisenc ! oggmux",
    "opus": "audioresample ! opusenc ! oggmux",
    "m4a": "avenc_aac ! mp4mux",
    "wav": "wavenc",
}

# Pictures: a name, the colour that tells them apart, their format.
PICTURES = {
    "front": ("0xffd02020", "png"),
    "back": ("0xff2020d0", "png"),
    "green": ("0xff20d020", "jpeg"),
    "folder": ("0xffd0d020", "jpeg"),
    "upper": ("0xff20d0d0", "jpeg"),
    "frontpng": ("0xffd020d0", "png"),
}

FORMATS = "Six Formats"
HITS = "Hits Collection"
FEAT = "Singer's Album"


def song(path, title, artists, album, **more):
    """One audio file: its tags as written and, for the reader, as they should come out."""
    entry = {"path": path, "title": title, "artists": artists, "album": album,
             "albumArtist": "", "compilation": False, "disc": 0, "track": 0, "genre": "",
             "lyric": "", "pictures": [], "cover": "", "playable": True, "encoding": "utf-8",
             "discText": "", "trackText": "", "codec": "gbk", "audio": "tone",
             "gain": {}}
    entry.update(more)
    return entry


SONGS = [
    # One album in every format, tagged in each format's own fields. The MP3's back cover comes
    # first, the Opus file has only a back cover.
    song("Formats/mp3 song.mp3", "MP3 Song", ["Format Band"], FORMATS, albumArtist="Format Band",
         track=1, trackText="1/6", disc=1, discText="1/1", genre="Rock",
         pictures=["back", "front"], cover="front", lyric="[00:00.50]mp3 USLT 歌词",
         gain={"REPLAYGAIN_TRACK_GAIN": "-6.50 dB", "REPLAYGAIN_TRACK_PEAK": "0.988547",
               "REPLAYGAIN_ALBUM_GAIN": "-7.25 dB", "REPLAYGAIN_ALBUM_PEAK": "1.000000"}),
    song("Formats/flac song.FLAC", "FLAC Song", ["Format Band", "Guest One"], FORMATS,
         albumArtist="Format Band", track=2, trackText="2", genre="Rock",
         pictures=["back", "green"], cover="green", lyric="[00:00.50]flac LYRICS 歌词",
         gain={"REPLAYGAIN_TRACK_GAIN": "+2.10 dB", "REPLAYGAIN_TRACK_PEAK": "0.5"}),
    song("Formats/ogg song.ogg", "Ogg Song", ["Format Band"], FORMATS, albumArtist="Format Band",
         track=3, trackText="3/6", pictures=["front"], cover="front",
         lyric="[00:00.50]ogg UNSYNCEDLYRICS 歌词",
         gain={"REPLAYGAIN_TRACK_GAIN": "loud", "REPLAYGAIN_TRACK_PEAK": "0.7"}),
    song("Formats/opus song.opus", "Opus Song", ["Format Band"], FORMATS,
         albumArtist="Format Band", track=4, trackText="4", pictures=["back"], cover="back",
         gain={"R128_TRACK_GAIN": "-1792", "R128_ALBUM_GAIN": "256"}),
    song("Formats/m4a song.M4A", "M4A Song", ["Format Band", "Guest Two"], FORMATS,
         albumArtist="Format Band", track=5, disc=1, discText="1/1", pictures=["front"],
         cover="front", lyric="[00:00.50]m4a ©lyr 歌词",
         gain={"replaygain_track_gain": "-3.00 dB", "replaygain_track_peak": "0.9"}),
    song("Formats/wav song.wav", "WAV Song", ["Format Band"], FORMATS, albumArtist="Format Band",
         track=6, trackText="6/6", gain={"replaygain_track_gain": "-1.00 dB"}),
    song("Formats/LOUD.MP3", "Loud", ["Format Band"], FORMATS, albumArtist="Format Band",
         track=7, trackText="7"),

    # A compilation on two discs, across formats; the file names do not say the order.
    song("Hits/b.mp3", "Hit Two", ["Artist B"], HITS, albumArtist="Various Artists",
         compilation=True, disc=1, discText="1/2", track=2, trackText="2/2"),
    song("Hits/d.flac", "Hit One", ["Artist A"], HITS, albumArtist="Various Artists",
         compilation=True, disc=1, discText="1/2", track=1, trackText="1/2"),
    song("Hits/a.m4a", "Hit Four", ["Artist D"], HITS, compilation=True, disc=2, track=2),
    song("Hits/c.ogg", "Hit Three", ["Artist C"], HITS, albumArtist="Various Artists",
         compilation=True, disc=2, discText="2/2", track=1, trackText="1"),

    # One artist's album with a featuring track; names in the wrong order again.
    song("Singer/zeta.mp3", "Opening", ["Singer"], FEAT, albumArtist="Singer", track=1),
    song("Singer/alpha.mp3", "Duet", ["Singer feat. Guest"], FEAT, albumArtist="Singer", track=2),
    song("Singer/mid.opus", "Closing", ["Singer"], FEAT, albumArtist="Singer", track=3),

    # Separators inside one value are part of the name; several values are several artists.
    song("Texts/separators.mp3", "Separators", ["Salt/Pepper"], "Names", encoding="id3v2.3"),
    song("Texts/two artists.mp3", "Two Artists", ["Salt/Pepper", "Wind, Fire & Rain"], "Names"),
    song("Texts/vorbis artists.ogg", "Vorbis Artists", ["Wind, Fire & Rain", "Ann & Bob"],
         "Names"),

    # Text behind ID3's Latin-1 encoding byte: Western names stay Latin-1, GBK reads as GBK.
    song("Texts/latin1 a.mp3", "Hélène", ["Motörband"], "Canção Latina", encoding="latin-1"),
    song("Texts/latin1 b.mp3", "Björkman Åsa", ["Sørli"], "Noël à Paris", encoding="latin-1"),
    song("Texts/gbk.mp3", "绿皮火车", ["歌手甲"], "老歌专辑", encoding="gbk"),
    song("Texts/gbk mixed.mp3", "Love 晴天", ["歌手乙"], "老歌专辑", encoding="gbk"),
    song("Texts/id3v1.mp3", "晴天", ["歌手丙"], "叶惠美", encoding="id3v1"),
    # Big5 and Shift-JIS in the same places; the Big5 album's bytes are GB2312's too.
    song("Texts/big5.mp3", "說謊的愛情", ["陳美玲"], "夜空精選", encoding="cp950"),
    song("Texts/sjis.mp3", "夏祭り", ["佐藤花子"], "ベスト", encoding="cp932"),
    song("Texts/id3v1 big5.mp3", "聽海", ["林志豪"], "國語經典", encoding="id3v1", codec="cp950"),
    song("Texts/id3v1 sjis.mp3", "さよなら", ["鈴木一郎"], "東京", encoding="id3v1",
         codec="cp932"),
    # A title longer than ID3v1's 30 bytes, cut there inside a character.
    song("Texts/id3v1 cut.mp3", "A一个人的夜晚在城市的海边听见", ["歌手戊"], "长标题",
         encoding="id3v1", written="A一个人的夜晚在城市的海边听见你的声音"),
    # No tags under an artist's folder and a "year - album" one: the names are in the path.
    song("Named/Chloé Vance/2010 - Wild Harbor/03 - Quiet River.mp3", "Quiet River",
         ["Chloé Vance"], "Wild Harbor", encoding="none", track=3),
    song("Named/Chloé Vance/2010 - Wild Harbor/04. Low Tide.mp3", "Low Tide", ["Chloé Vance"],
         "Wild Harbor", encoding="none", track=4),
    song("Named/Chloé Vance/2010 - Wild Harbor/05 Salt Air.mp3", "Salt Air", ["Chloé Vance"],
         "Wild Harbor", encoding="none", track=5),
    song("Named/Loose Ends/1999 Nights.mp3", "1999 Nights", [], "Loose Ends", encoding="none"),
    # Lengths: a varying bit rate without a header that counts the frames, and files cut short
    # under the header that gives their length; "seconds" is what a decoder plays of each.
    song("Lengths/vbr.mp3", "Varying Rate", ["Timer"], "Lengths", audio="vbr"),
    song("Lengths/cut.mp3", "Cut Short", ["Timer"], "Lengths", audio="cut"),
    song("Lengths/cut.flac", "Cut Short FLAC", ["Timer"], "Lengths", audio="cut flac"),
    # No tags: the names come from the file and its folder, which are not UTF-8.
    song(b"Texts/" + "老歌.mp3".encode("gbk"), "老歌", [], "Texts", encoding="none"),
    song(b"Caf\xe9/\xe9t\xe9.mp3", "été", [], "Café", encoding="none"),

    # Lyrics in a .lrc beside the song, in each encoding; an embedded one wins over the file.
    song("Lyrics/utf8.mp3", "LRC UTF-8", ["Lyricist"], "Lyrics", lrc="utf-8",
         lyric="[00:00.50]UTF-8 歌词\n[00:01.00]second line\n"),
    song("Lyrics/utf8 bom.mp3", "LRC UTF-8 BOM", ["Lyricist"], "Lyrics", lrc="utf-8-sig",
         lyric="[00:00.50]BOM 歌词\n"),
    song("Lyrics/utf16le.mp3", "LRC UTF-16LE", ["Lyricist"], "Lyrics", lrc="utf-16-le",
         lyric="[00:00.50]UTF-16LE 歌词\n"),
    song("Lyrics/utf16be.mp3", "LRC UTF-16BE", ["Lyricist"], "Lyrics", lrc="utf-16-be",
         lyric="[00:00.50]UTF-16BE 歌词\n"),
    song("Lyrics/gbk.mp3", "LRC GBK", ["Lyricist"], "Lyrics", lrc="gbk",
         lyric="[00:00.50]GBK 的歌词\n"),
    song("Lyrics/both.flac", "LRC Both", ["Lyricist"], "Lyrics", lrc="utf-8",
         lyric="[00:00.50]embedded wins"),
    song("Lyrics/big5.mp3", "LRC Big5", ["Lyricist"], "Lyrics", lrc="cp950",
         lyric="[00:00.50]聽見你的聲音\n[00:01.00]說再見\n"),
    song("Lyrics/sjis.mp3", "LRC Shift-JIS", ["Lyricist"], "Lyrics", lrc="cp932",
         lyric="[00:00.50]君の名前を\n[00:01.00]呼んだ\n"),
    # Line ends of other systems: CR LF, and a lone CR.
    song("Lyrics/crlf.mp3", "LRC CRLF", ["Lyricist"], "Lyrics", lrc="utf-8", lineEnd="\r\n",
         lyric="[00:00.50]CRLF 歌词\n[00:01.00]second line\n"),
    song("Lyrics/cr.mp3", "LRC CR", ["Lyricist"], "Lyrics", lrc="gbk", lineEnd="\r",
         lyric="[00:00.50]CR 歌词\n[00:01.00]second line\n"),

    # One album per picture case: the front cover wins wherever it comes in the file, any
    # picture beats none, a picture in the file beats the folder's.
    song("Pictures/Embedded/mp3.mp3", "Picture MP3", ["Painter"], "Picture MP3",
         pictures=["back", "front"], cover="front"),
    song("Pictures/Embedded/flac.flac", "Picture FLAC", ["Painter"], "Picture FLAC",
         pictures=["back", "green"], cover="green"),
    song("Pictures/Embedded/ogg.ogg", "Picture Ogg", ["Painter"], "Picture Ogg",
         pictures=["back", "front"], cover="front"),
    song("Pictures/Embedded/opus.opus", "Picture Opus", ["Painter"], "Picture Opus",
         pictures=["back"], cover="back"),
    song("Pictures/Embedded/m4a.m4a", "Picture M4A", ["Painter"], "Picture M4A",
         pictures=["green"], cover="green"),
    song("Pictures/Embedded/wav.wav", "Picture WAV", ["Painter"], "Picture WAV",
         pictures=["back", "front"], cover="front"),
    song("Pictures/Cover/plain.mp3", "Folder Cover", ["Painter"], "Cover Album", cover="folder"),
    song("Pictures/Cover/own.flac", "Own Cover", ["Painter"], "Own Cover Album",
         pictures=["frontpng"], cover="frontpng"),
    song("Pictures/Upper/plain.ogg", "Upper Folder", ["Painter"], "Upper Album", cover="upper"),
    song("Pictures/Front/plain.m4a", "Front Png", ["Painter"], "Front Album", cover="frontpng"),
    song("Pictures/None/plain.wav", "No Cover", ["Painter"], "Bare Album"),
]

# Albums as a person sees them: one title and artist in two folders is two albums; a featuring
# guest without an album artist, discs in folders without disc tags (the cover above them) and
# a compilation tagged only in ID3v1 are one album each. One artist is spelt three ways.
SONGS += [
    song("Albums/Twin One/a.mp3", "Twin Song One", ["Twin Band"], "Twins",
         albumArtist="Twin Band", track=1),
    song("Albums/Twin Two/a.mp3", "Twin Song Two", ["Twin Band"], "Twins",
         albumArtist="Twin Band", track=1),
    song("Albums/Guests/b.mp3", "Guest Song", ["Björk feat. Guest Star"], "Guest Album", track=2),
    song("Albums/Guests/a.ogg", "Own Song", ["Björk"], "Guest Album", track=1),
    song("Albums/Live/live.mp3", "Live Song", ["BJÖRK"], "Live Set"),
    song("Albums/Double/CD2/01.mp3", "Disc Two One", ["Doubler"], "Double", track=1,
         cover="upper"),
    song("Albums/Double/CD1/02.mp3", "Disc One Two", ["Doubler"], "Double", track=2,
         cover="upper"),
    song("Albums/Double/CD1/01.flac", "Disc One One", ["Doubler"], "Double", track=1,
         cover="upper"),
    song("Albums/Double/cd 2/02.mp3", "Disc Two Two", ["Doubler"], "Double", track=2,
         cover="upper"),
    song("Albums/Oldies/1.mp3", "Oldie One", ["Old Singer"], "Oldies Mix", encoding="id3v1"),
    song("Albums/Oldies/2.mp3", "Oldie Two", ["Other Singer"], "Oldies Mix", encoding="id3v1"),
]

FOLDER_PICTURES = {
    "Pictures/Cover/cover.jpg": "folder",
    "Pictures/Upper/Folder.JPG": "upper",
    "Pictures/Front/front.png": "frontpng",
    "Pictures/Embedded/cover.jpg": "folder",  # the files' own pictures come first
    "Pictures/None/back.jpg": "back",  # not a name a folder picture has
    "Albums/Double/cover.jpg": "upper",  # above its disc folders
}

# Files with an audio extension that are not audio.
BROKEN = {
    "Broken/empty.mp3": b"",
    "Broken/notes.mp3": b"These are my notes, not a song.\n" * 20,
    "Broken/page.flac": b"<!DOCTYPE html><html><body>404 Not Found</body></html>\n" * 10,
    "Broken/fake.ogg": b"OggS" + b"\0" * 200,
}


def picture_bytes(name, work):
    colour, kind = PICTURES[name]
    out = os.path.join(work, name + "." + kind)
    if not os.path.exists(out):
        encoder = "pngenc" if kind == "png" else "jpegenc"
        run(["gst-launch-1.0", "-q", "videotestsrc", "num-buffers=1", "pattern=solid-color",
             "foreground-color=" + colour, "!", "video/x-raw,width=16,height=16", "!",
             "videoconvert", "!", encoder, "!", "filesink", "location=" + out])
    with open(out, "rb") as f:
        return f.read()


def run(command):
    subprocess.run(command, check=True, stdout=subprocess.DEVNULL)


def tone(fmt, cache):
    path = os.path.join(cache, "tone." + fmt)
    if not os.path.exists(path):
        fd, part = tempfile.mkstemp(dir=cache, suffix="." + fmt)
        os.close(fd)
        run(["gst-launch-1.0", "-q", "-e", "audiotestsrc", "num-buffers=44", "samplesperbuffer=1024",
             "!", "audio/x-raw,rate=44100,channels=2", "!", "audioconvert", "!"]
            + ENCODERS[fmt].split() + ["!", "filesink", "location=" + part])
        os.replace(part, path)  # another maker may be filling the same cache
    return path


# Five seconds of audio: (its format, its encoder, the part of it kept).
LONG_AUDIO = {
    # A varying bit rate without a Xing header.
    "vbr": ("mp3", "lamemp3enc target=quality quality=2", 1),
    # A constant rate under a Xing header, as most encoders write, cut to two seconds.
    "cut": ("mp3", "lamemp3enc target=bitrate cbr=true bitrate=128 ! xingmux", 0.4),
    "cut flac": ("flac", "flacenc", 0.4),
}


def long_audio(kind, cache):
    fmt, encoder, kept = LONG_AUDIO[kind]
    path = os.path.join(cache, kind.replace(" ", "-") + "." + fmt)
    if not os.path.exists(path):
        fd, part = tempfile.mkstemp(dir=cache, suffix="." + fmt)
        os.close(fd)
        encoder = encoder.split()
        # Ticks over silence: the bit rate of each frame follows them.
        run(["gst-launch-1.0", "-q", "-e", "audiotestsrc", "wave=ticks", "num-buffers=216",
             "tick-interval=100000000", "sine-periods-per-tick=20",
             "samplesperbuffer=1024", "!", "audio/x-raw,rate=44100,channels=2", "!",
             "audioconvert", "!"] + encoder +
            ["!", "filesink", "location=" + part])
        with open(part, "rb") as f:
            data = f.read()
        data = data[:int(len(data) * kept)]
        with open(part, "wb") as f:
            f.write(data)
        os.replace(part, path)
    with open(path, "rb") as f:
        return f.read()


def decoded_seconds(path, cache):
    """How long a decoder plays the file: its samples decoded to WAV."""
    fd, wav = tempfile.mkstemp(dir=cache, suffix=".wav")
    os.close(fd)
    try:
        run(["gst-launch-1.0", "-q", "filesrc", "location=" + path.decode(), "!", "decodebin",
             "!", "audioconvert", "!", "audio/x-raw,format=S16LE,channels=2", "!", "wavenc", "!",
             "filesink", "location=" + wav])
        with open(wav, "rb") as f:
            data = f.read()
        return (len(data) - data.index(b"data") - 8) / (44100 * 4)
    finally:
        os.remove(wav)


def fmt_of(path):
    return os.path.splitext(path)[1][1:].lower()


def number(value, text):
    return text or (str(value) if value else "")


def flac_picture(name, work):
    data = picture_bytes(name, work)
    pic = Picture()
    pic.type = 3 if name != "back" else 4
    pic.mime = "image/png" if PICTURES[name][1] == "png" else "image/jpeg"
    pic.width, pic.height, pic.depth = 16, 16, 24
    pic.data = data
    return pic


def tag_id3(tag, s, work, text_encoding):
    for frame, value in ((TIT2, s["title"]), (TALB, s["album"]), (TPE2, s["albumArtist"]),
                         (TCON, s["genre"]), (TPOS, number(s["disc"], s["discText"])),
                         (TRCK, number(s["track"], s["trackText"]))):
        if value:
            tag.add(frame(encoding=text_encoding, text=[value]))
    if s["artists"]:
        tag.add(TPE1(encoding=text_encoding, text=s["artists"]))
    if s["compilation"]:
        tag.add(TCMP(encoding=3, text=["1"]))
    if s["lyric"] and "lrc" not in s:
        tag.add(USLT(encoding=3, lang="eng", desc="", text=s["lyric"]))
    for name, value in s["gain"].items():
        tag.add(TXXX(encoding=3, desc=name, text=[value]))
    for name in s["pictures"]:
        data = picture_bytes(name, work)
        tag.add(APIC(encoding=3, mime="image/" + PICTURES[name][1], type=4 if name == "back" else 3,
                     desc=name, data=data))


def legacy(text, codec):
    # mutagen writes encoding 0 as Latin-1, so these bytes land in the file unchanged.
    return text.encode(codec).decode("latin-1")


def id3v1_block(s):
    def field(text, width):
        return text.encode(s["codec"])[:width].ljust(width, b"\0")
    return (b"TAG" + field(s.get("written", s["title"]), 30) + field(s["artists"][0], 30) + field(s["album"], 30)
            + b"\0" * 4 + b"\0" * 30 + b"\xff")


def tag_mp3(path, s, work):
    enc = s["encoding"]
    if enc == "none":
        return
    if enc == "id3v1":
        with open(path, "ab") as f:
            f.write(id3v1_block(s))
        return
    tag = ID3()
    if enc in ("latin-1", "gbk", "cp950", "cp932"):
        legacy_song = dict(s, title=legacy(s["title"], enc), album=legacy(s["album"], enc),
                           artists=[legacy(a, enc) for a in s["artists"]])
        tag_id3(tag, legacy_song, work, 0)
        tag.save(path, v2_version=3)
    else:
        tag_id3(tag, s, work, 3)
        tag.save(path, v2_version=3 if enc == "id3v2.3" else 4)


def tag_xiph(f, s, work):
    for key, value in (("TITLE", s["title"]), ("ALBUM", s["album"]),
                       ("ALBUMARTIST", s["albumArtist"]), ("GENRE", s["genre"]),
                       ("DISCNUMBER", number(s["disc"], s["discText"])),
                       ("TRACKNUMBER", number(s["track"], s["trackText"]))):
        if value:
            f[key] = [value]
    if s["artists"]:
        f["ARTIST"] = s["artists"]  # repeated fields
    if s["compilation"]:
        f["COMPILATION"] = ["1"]
    for name, value in s["gain"].items():
        f[name] = [value]
    if s["lyric"] and ("lrc" not in s or s["path"].endswith(".flac")):
        f["LYRICS" if isinstance(f, FLAC) else "UNSYNCEDLYRICS"] = [s["lyric"]]


def tag_file(path, s, work):
    fmt = fmt_of(s["path"] if isinstance(s["path"], str) else s["path"].decode("latin-1"))
    if fmt == "mp3":
        tag_mp3(path, s, work)
    elif fmt == "flac":
        f = FLAC(path)
        tag_xiph(f, s, work)
        for name in s["pictures"]:
            f.add_picture(flac_picture(name, work))
        f.save()
    elif fmt in ("ogg", "opus"):
        f = OggVorbis(path) if fmt == "ogg" else OggOpus(path)
        tag_xiph(f, s, work)
        if s["pictures"]:
            f["METADATA_BLOCK_PICTURE"] = [
                base64.b64encode(flac_picture(n, work).write()).decode() for n in s["pictures"]]
        f.save()
    elif fmt == "m4a":
        f = MP4(path)
        for key, value in (("\xa9nam", s["title"]), ("\xa9alb", s["album"]),
                           ("aART", s["albumArtist"]), ("\xa9gen", s["genre"]),
                           ("\xa9lyr", s["lyric"])):
            if value:
                f[key] = [value]
        if s["artists"]:
            f["\xa9ART"] = s["artists"]
        for name, value in s["gain"].items():
            f["----:com.apple.iTunes:" + name] = [MP4FreeForm(value.encode())]
        if s["compilation"]:
            f["cpil"] = True
        if s["disc"]:
            f["disk"] = [(s["disc"], 2 if s["compilation"] else 1)]
        if s["track"]:
            f["trkn"] = [(s["track"], 7)]
        if s["pictures"]:
            f["covr"] = [MP4Cover(picture_bytes(n, work), imageformat=MP4Cover.FORMAT_PNG
                                  if PICTURES[n][1] == "png" else MP4Cover.FORMAT_JPEG)
                         for n in s["pictures"]]
        f.save()
    elif fmt == "wav":
        f = WAVE(path)
        f.add_tags()
        tag_id3(f.tags, s, work, 3)
        f.save()


def write(root, rel, data):
    path = os.path.join(os.fsencode(root), rel if isinstance(rel, bytes) else rel.encode())
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)
    return path


def make(root, cache):
    os.makedirs(cache, exist_ok=True)
    work = tempfile.mkdtemp(prefix="pictures", dir=cache)
    try:
        manifest = []
        for s in SONGS:
            rel = s["path"] if isinstance(s["path"], bytes) else s["path"].encode()
            if s["audio"] == "tone":
                with open(tone(fmt_of(rel.decode("latin-1")), cache), "rb") as f:
                    path = write(root, rel, f.read())
            else:
                path = write(root, rel, long_audio(s["audio"], cache))
                s = dict(s, seconds=decoded_seconds(path, cache))
            tag_file(path, s, work)
            if "lrc" in s:
                lrc = os.path.splitext(path)[0] + b".lrc"
                text = s["lyric"] if not s["path"].endswith(".flac") else "[00:00.50]the file"
                bom = {"utf-16-le": b"\xff\xfe", "utf-16-be": b"\xfe\xff"}.get(s["lrc"], b"")
                with open(lrc, "wb") as f:
                    f.write(bom + text.replace("\n", s.get("lineEnd", "\n")).encode(s["lrc"]))
            # Names that are not UTF-8 are listed with escapes, and by their bytes.
            entry = dict(s, path=rel.decode("utf-8", "backslashreplace"), pathHex=rel.hex())
            if s["cover"]:
                entry["cover"] = "library-pictures/%s.%s" % (s["cover"], PICTURES[s["cover"]][1])
            manifest.append(entry)
        for rel, name in FOLDER_PICTURES.items():
            write(root, rel, picture_bytes(name, work))
        for name, (_, kind) in PICTURES.items():
            write(root, "library-pictures/%s.%s" % (name, kind), picture_bytes(name, work))
        for rel, data in BROKEN.items():
            write(root, rel, data)
            manifest.append(song(rel, "", [], "", playable=False))
        with open(tone("mp3", cache), "rb") as f:
            mp3 = f.read()
        # Cut inside its tag: a picture's worth of ID3 and no audio frame.
        tagged = write(root, "Broken/cut.mp3", mp3)
        tag = ID3()
        tag.add(APIC(encoding=3, mime="image/png", type=3, desc="", data=b"\x89PNG" * 4000))
        tag.save(tagged.decode())
        with open(tagged, "r+b") as f:
            f.truncate(4000)
        with open(tone("m4a", cache), "rb") as f:
            write(root, "Broken/cut.m4a", f.read()[:64])
        with open(tone("flac", cache), "rb") as f:
            write(root, "Broken/cut.flac", f.read()[:42])  # the stream header alone
        # A resource fork a Mac leaves beside a song on a shared drive: its header, then bytes
        # that even look like audio.
        write(root, "Broken/._song.mp3", b"\x00\x05\x16\x07\x00\x02\x00\x00" + b"\0" * 82 + mp3)
        for rel in ("Broken/cut.mp3", "Broken/cut.m4a", "Broken/cut.flac", "Broken/._song.mp3"):
            manifest.append(song(rel, "", [], "", playable=False))
        with open(os.path.join(root, "library.json"), "w", encoding="utf-8") as f:
            json.dump(manifest, f, ensure_ascii=False, indent=1)
    finally:
        shutil.rmtree(work)


if __name__ == "__main__":
    if len(sys.argv) > 2:
        make(sys.argv[1], sys.argv[2])
    else:
        with tempfile.TemporaryDirectory() as scratch:
            make(sys.argv[1], scratch)
