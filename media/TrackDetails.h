#pragma once
#include <string>
#include <string_view>
#include <vector>

// What the desktop is told of a track beyond the title line (the MPRIS metadata), read with
// TagLib from the same tags as TagLibTag.h: ID3v2 (MP3, WAV, AIFF), Vorbis comments (FLAC,
// Ogg), MP4 atoms, APE tags and ASF. Read once per change of track, on the user-interface
// thread. Fields are UTF-8, each cut at kTagFieldLimit bytes; lists hold at most
// kDetailsListLimit items. Reads are bounded as a tag read is (a damaged header never makes
// the reader go round without end or allocate more than the file holds); anything that is not
// a regular file has no details. Never throws.
struct TrackDetails {
    std::vector<std::string> artists;       // every artist, in the tag's order
    std::vector<std::string> albumArtists;  // the same for the album
    std::vector<std::string> genres;
    std::string album;
    int trackNumber = 0;  // 0: none ("3/12" gives 3)
    int discNumber = 0;
    // The embedded front cover (an ID3v2 APIC frame, a FLAC or Vorbis picture, MP4 covr, an ASF
    // WM/Picture, an APE "Cover Art (Front)" item): the picture of type "front cover", else the
    // first picture; empty when there is none or it is no JPEG, PNG, GIF, BMP or WebP picture.
    std::string cover;
};

// `withCover` false leaves `cover` empty (the title line needs no picture).
TrackDetails ReadTrackDetails(const std::string& path, bool withCover = true);
// The same over the bytes of a whole file; `name` plays the part of the path.
TrackDetails ReadTrackDetailsFromBytes(std::string_view bytes, const std::string& name, bool withCover = true);

// Several artists on one line, so that they read as several: "a／b" (U+FF0F).
std::string JoinArtists(const std::vector<std::string>& artists);

// The folder embedded covers are written to, ending in '/': $XDG_CACHE_HOME/velkaf/covers/
// (an absolute XDG_CACHE_HOME only), else $HOME/.cache/velkaf/covers/; empty without either.
std::string CoverCacheFolder();

// The picture file that shows the track at `trackPath`: the embedded `cover` written once into
// `cacheFolder` (created when missing) under a name made from its bytes (their hash and length,
// with the picture's extension), so the same cover is one file however many tracks carry it;
// else the first regular file of the track's folder named cover, folder or front with the
// extension .jpg, .jpeg or .png, in any case (cover before folder before front, then by name).
// Empty when there is none or the cover cannot be written (logged).
std::string CoverFileFor(const std::string& trackPath, std::string_view cover, const std::string& cacheFolder);

// Embedded pictures larger than this are not written out (a damaged length, a poster scan).
constexpr std::size_t kCoverLimitBytes = 16u << 20;
constexpr std::size_t kDetailsListLimit = 16;
