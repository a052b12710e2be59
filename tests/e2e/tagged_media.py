#!/usr/bin/python3
"""Makes the tagged media of the now-playing test in FOLDER (ffmpeg and mutagen): embedded.png; a/album.mp3 with ID3v2.4
title, two artists, album, album artist, track 3/12, disc 2/2, genre, a back cover then embedded.png as the front cover;
b/plain.flac with a title and no picture, beside it cover.jpg and Front.png."""
import os
import subprocess
import sys

from mutagen.flac import FLAC
from mutagen.id3 import APIC, ID3, TALB, TCON, TIT2, TPE1, TPE2, TPOS, TRCK

path = lambda name: os.path.join(sys.argv[1], name)
ffmpeg = lambda *args: subprocess.run(["ffmpeg", "-nostdin", "-v", "error", "-y", *args], check=True)
picture = lambda name: open(path(name), "rb").read()
for sub in ("a", "b"):
    os.makedirs(path(sub), exist_ok=True)
tone = ["-f", "lavfi", "-i", "sine=frequency=440:sample_rate=44100", "-t", "2"]
ffmpeg(*tone, "-c:a", "libmp3lame", "-write_xing", "0", path("a/album.mp3"))
ffmpeg(*tone, "-c:a", "flac", path("b/plain.flac"))
for name, colour in (("embedded.png", "red"), ("back.png", "blue"), ("b/Front.png", "green"),
                     ("b/cover.jpg", "yellow")):
    ffmpeg("-f", "lavfi", "-i", f"color={colour}:size=16x16", "-frames:v", "1", path(name))
tag = ID3()
for frame in (TIT2(text="Song"), TPE1(text=["piman", "jzig"]), TALB(text="アルバム"), TPE2(text="Various"),
              TRCK(text="3/12"), TPOS(text="2/2"), TCON(text="Ambient"),
              APIC(mime="image/png", type=4, desc="back", data=picture("back.png")),
              APIC(mime="image/png", type=3, desc="front", data=picture("embedded.png"))):
    frame.encoding = 3
    tag.add(frame)
tag.save(path("a/album.mp3"), v2_version=4)
plain = FLAC(path("b/plain.flac"))
plain["title"] = "Plain"
plain.save()
