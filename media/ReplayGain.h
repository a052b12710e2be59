#pragma once
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// The loudness tags of a file and the gain they give, so that every track plays at one loudness
// and none is clipped. Standard library and TagLib only.
//
// Tags read (keys in any case): REPLAYGAIN_TRACK_GAIN, REPLAYGAIN_TRACK_PEAK,
// REPLAYGAIN_ALBUM_GAIN, REPLAYGAIN_ALBUM_PEAK in Vorbis comments (FLAC, Ogg Vorbis, Opus,
// Ogg FLAC), ID3v2 TXXX frames and APE tags (MP3), APE tags (APE, WavPack, Musepack) and MP4
// freeform atoms ("----:com.apple.iTunes:replaygain_track_gain", M4A/MP4); R128_TRACK_GAIN and
// R128_ALBUM_GAIN of Opus (Q7.8 fixed point, dB relative to -23 LUFS), which win over
// REPLAYGAIN_* in the same file. Gains are dB relative to ReplayGain's reference, so an R128
// value gets 5 dB added (-23 LUFS lies 5 dB below it).

// One pair of gain and peak. peak is the largest sample as a fraction of full scale (may exceed
// 1: lossy decoders and float masters overshoot).
struct GainPair {
    std::optional<double> gainDb;
    std::optional<double> peak;
    bool operator==(const GainPair&) const = default;
};

struct GainTags {
    GainPair track;
    GainPair album;
    bool operator==(const GainTags&) const = default;
};

// How the tags are applied. Auto: album while the list plays in order (an album keeps its own
// dynamics from track to track), track while shuffled. The numbers are those of the mode file.
enum class GainMode { Auto = 0, Track = 1, Album = 2, Off = 3 };

// A gain as taggers write it: "-6.02 dB", "+3.1 dB", "-6.5", "-6.02dB", blanks around, unit in
// any case. Refused (empty): no digits, a decimal comma, exponents, hex, "inf"/"nan", other
// units or words after the number, beyond +-64 dB.
std::optional<double> ParseGainText(std::string_view text);
// A peak: a plain decimal number, greater than 0 and at most 100 (above 1 is kept). Refused:
// 0 or negative (no peak to prevent clipping by), a unit, anything else.
std::optional<double> ParsePeakText(std::string_view text);
// An R128 gain: a decimal integer -32768..32767 in 1/256 dB, blanks around; the ReplayGain
// gain it stands for (value / 256 + 5 dB). Refused: decimals, units, out of range.
std::optional<double> ParseR128Text(std::string_view text);

// The tags among `fields` (key, first value). A value that does not parse is left out and
// logged. A missing album value falls back to the track's and the other way round.
GainTags GainTagsFromFields(const std::vector<std::pair<std::string, std::string>>& fields);

// The tags of the file at `path`, by its kind (the name's extension: .flac .mp3 .mp2 .m4a .mp4
// .m4b .ogg .oga .opus .spx .ape .wv .mpc, any case; other files are not read); none for a file
// that cannot be read or carries none. Cached for the last few files while a file
// keeps its size and time, so asking every tick costs a stat. Thread-safe.
GainTags ReadGainTags(const std::string& path);

// The gain in dB to apply in `mode` (Auto resolved by `shuffled`): the chosen pair's gain,
// lowered so that the peak stays at or below full scale. A file's own (track) peak limits it
// when known, else the album peak; without any peak a positive gain is lowered to 0 (the
// samples may already reach full scale). 0 without tags and in Off.
double AppliedGainDb(const GainTags& tags, GainMode mode, bool shuffled);

// The gain as the device commands take it: "-6.02", "3.10" (hundredths of a dB, rounded down,
// so a gain fitted to the peak never passes it); empty when that is 0, so untagged files send
// nothing.
std::string GainCommandWord(double gainDb);
