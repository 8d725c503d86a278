#!/usr/bin/python3
"""Reads an MP3 file's ID3 tag with mutagen and with eyeD3 and prints what each found as JSON.

Both readers run with their defaults: the text is what any other program on the desktop shows.
"""
import json
import logging
import sys

import eyed3
from mutagen.id3 import ID3

FIELDS = {"title": "TIT2", "artist": "TPE1", "album": "TALB"}


def with_mutagen(path):
    tag = ID3(path, translate=False)
    found = {"version": "%d.%d" % tag.version[:2]}
    for name, frame_id in FIELDS.items():
        frames = tag.getall(frame_id)
        if frames:
            found[name] = str(frames[0].text[0])
            found[name + "Encoding"] = int(frames[0].encoding)
    pictures = tag.getall("APIC")
    if pictures:
        found["picture"] = pictures[0].data.hex()
        found["pictureMime"] = pictures[0].mime
        found["pictureType"] = int(pictures[0].type)
    return found


def with_eyed3(path):
    logging.getLogger("eyed3").setLevel(logging.ERROR)
    audio = eyed3.load(path)
    tag = audio.tag
    found = {"version": "%d.%d" % tag.version[:2], "seconds": audio.info.time_secs}
    for name, frame_id in FIELDS.items():
        frames = tag.frame_set.get(frame_id.encode())
        if frames:
            encoding = frames[0].encoding[0]
            found[name] = frames[0].text
            found[name + "Encoding"] = encoding
    if len(tag.images):
        found["picture"] = tag.images[0].image_data.hex()
        found["pictureMime"] = tag.images[0].mime_type
        found["pictureType"] = tag.images[0].picture_type
    return found


print(json.dumps({"mutagen": with_mutagen(sys.argv[1]), "eyed3": with_eyed3(sys.argv[1])},
                 ensure_ascii=False))
