#!/usr/bin/python3
"""Tags an MP3 file the way old Windows tools did: ID3v2.3 text frames whose encoding byte says
Latin-1 while the bytes are in another code page.

usage: legacy_tags.py FILE CODEC TITLE ARTIST ALBUM
CODEC is a Python codec for the raw bytes behind encoding 0 (gbk, latin-1), or utf-16 for a
frame that says UTF-16 itself.
"""
import sys

from mutagen.id3 import ID3, TALB, TIT2, TPE1

path, codec, title, artist, album = sys.argv[1:6]
tag = ID3()
for frame, value in ((TIT2, title), (TPE1, artist), (TALB, album)):
    if codec == "utf-16":
        tag.add(frame(encoding=1, text=value))
    else:
        # mutagen writes encoding 0 as Latin-1, so these bytes land in the file unchanged.
        tag.add(frame(encoding=0, text=value.encode(codec).decode("latin-1")))
tag.save(path, v2_version=3)
