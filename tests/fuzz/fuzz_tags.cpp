// libFuzzer target for the tag reading (ID3v1, TagLib, and libavformat for Matroska, WebM and
// Ogg) and for what the bus is told of a track: the bytes after the first are a whole file, read
// from memory under a name whose extension (picked by the first byte) steers TagLib's format
// detection; libavformat is chosen by the file's first bytes. Seeds: corpus/fuzz_tags (their
// first byte picks the name).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include "media/TagLibTag.h"
#include "media/TrackDetails.h"
#include "media/TrackTag.h"
#include "platform/Text.h"

namespace {
bool IsField(const std::string& text) { return text.size() <= kTagFieldLimit && IsValidUtf8(text); }
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const char* const kNames[] = {"t.mp3", "t.flac", "t.ogg", "t.opus", "t.m4a", "t.wma",
                                         "t.wv",  "t.ape",  "t.wav", "t.aiff", "t.mpc", "t",
                                         "t.mkv", "t.webm", "t.ogv"};
    if (size == 0) return 0;
    const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
    const char* const name = kNames[data[0] % std::size(kNames)];
    const TrackTag tag = ReadTrackTagFromBytes(bytes, name);
    if (!tag.present && (!tag.title.empty() || !tag.artist.empty())) std::abort();
    // Display text: always UTF-8, never longer than the field limit.
    if (!IsField(tag.title) || !IsField(tag.artist) || !IsValidUtf8(Latin1FieldToUtf8(bytes))) std::abort();
    // Bus text: UTF-8 within the field limit, lists bounded, numbers never negative, a cover
    // never larger than the file nor than the limit.
    const TrackDetails d = ReadTrackDetailsFromBytes(bytes, name);
    for (const auto* list : {&d.artists, &d.albumArtists, &d.genres}) {
        if (list->size() > kDetailsListLimit) std::abort();
        for (const std::string& item : *list) if (item.empty() || !IsField(item)) std::abort();
    }
    if (!IsField(d.album) || d.trackNumber < 0 || d.discNumber < 0) std::abort();
    if (d.cover.size() > bytes.size() || d.cover.size() > kCoverLimitBytes) std::abort();
    return 0;
}
