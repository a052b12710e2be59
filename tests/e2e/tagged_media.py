#!/usr/bin/python3
"""Makes the tagged media of the now-playing test in FOLDER (ffmpeg and mutagen).

Usage: tagged_media.py FOLDER
  FOLDER/embedded.png  the picture embedded in the MP3
  FOLDER/a/album.mp3   ID3v2.4: title, two artists, album, album artist, track 3/12, disc 2/2,
                       genre, a back cover then that front cover (APIC types 4 and 3)
  FOLDER/b/plain.flac  Vorbis comment title, no picture; beside it cover.jpg and Front.png"""
import os
import subprocess
import sys

from mutagen.flac import FLAC
from mutagen.id3 import APIC, ID3, TALB, TCON, TIT2, TPE1, TPE2, TPOS, TRCK


def ffmpeg(*args):
    subprocess.run(["ffmpeg", "-nostdin", "-v", "error", "-y", *args], check=True)


def main():
    root = sys.argv[1]
    for sub in ("a", "b"):
        os.makedirs(os.path.join(root, sub), exist_ok=True)
    tone = ["-f", "lavfi", "-i", "sine=frequency=440:sample_rate=44100", "-t", "2"]
    mp3, flac = os.path.join(root, "a", "album.mp3"), os.path.join(root, "b", "plain.flac")
    ffmpeg(*tone, "-c:a", "libmp3lame", "-write_xing", "0", mp3)
    ffmpeg(*tone, "-c:a", "flac", flac)
    for name, colour in (("embedded.png", "red"), ("back.png", "blue"), ("b/Front.png", "green")):
        ffmpeg("-f", "lavfi", "-i", f"color={colour}:size=16x16", "-frames:v", "1", os.path.join(root, name))
    ffmpeg("-f", "lavfi", "-i", "color=yellow:size=16x16", "-frames:v", "1", os.path.join(root, "b", "cover.jpg"))
    with open(os.path.join(root, "embedded.png"), "rb") as f:
        front = f.read()
    with open(os.path.join(root, "back.png"), "rb") as f:
        back = f.read()
    tag = ID3()
    tag.add(TIT2(encoding=3, text="Song"))
    tag.add(TPE1(encoding=3, text=["piman", "jzig"]))
    tag.add(TALB(encoding=3, text="アルバム"))
    tag.add(TPE2(encoding=3, text="Various"))
    tag.add(TRCK(encoding=3, text="3/12"))
    tag.add(TPOS(encoding=3, text="2/2"))
    tag.add(TCON(encoding=3, text="Ambient"))
    tag.add(APIC(encoding=3, mime="image/png", type=4, desc="back", data=back))
    tag.add(APIC(encoding=3, mime="image/png", type=3, desc="front", data=front))
    tag.save(mp3, v2_version=4)
    plain = FLAC(flac)
    plain["title"] = "Plain"
    plain.save()
    return 0


if __name__ == "__main__":
    sys.exit(main())
