#pragma once
#include <string>
#include <string_view>

#include "media/TrackTag.h"

// The ID3v1 tag: the last 128 bytes of a media file, "TAG", then title (30 bytes), artist
// (30), album, year, comment and genre. The player shows only title and artist.
// present: the last 128 bytes start with "TAG" (case-sensitive). title, artist: the cut
// fields, up to their first zero byte, as UTF-8 for display: bytes that are not valid UTF-8
// are decoded from CP932, and a field that ends inside a double-byte CP932 character (cut
// at its 30 bytes) shows without that half character. Empty when no tag is present.
struct Id3v1Tag : TrackTag {
    bool opened = false;  // the file could be opened for reading
};

constexpr std::size_t kId3v1Size = 128;

// Reads the tag of the file at `path`. A file that cannot be opened gives opened = false;
// a file shorter than 128 bytes, or anything that is not a regular file, has no tag
// (opened = true). Never blocks on a FIFO or a device node.
Id3v1Tag ReadId3v1Tag(const std::string& path);

// The tag in `tail`, the bytes read from 128 bytes before the end (fewer when the read came
// short; the rest counts as zero).
Id3v1Tag ParseId3v1Tail(std::string_view tail);

// Cuts the field that occupies bytes a..b of the 128-byte `block` from its padding: the
// padding byte is byte b; the walk goes down past padding bytes and line feeds, looking at
// byte i - 1 for each i, and the copy keeps the first padding byte after the text (so a
// field of 30 equal bytes yields that byte once). Returns the raw bytes a..end.
std::string CutId3v1Field(const unsigned char* block, int a, int b);
