// libFuzzer target for what the bus is told of a track: the bytes after the first are a whole
// file, read from memory under a name whose extension (picked by the first byte) steers the
// format detection; the seeds are the tag reader's (corpus/fuzz_track_details links to them).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include "media/TagLibTag.h"
#include "media/TrackDetails.h"
#include "platform/Text.h"
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const char* const kNames[] = {"t.mp3", "t.flac", "t.ogg", "t.opus", "t.m4a", "t.wma",
                                         "t.wv",  "t.ape",  "t.wav", "t.aiff", "t.mpc", "t"};
    if (size == 0) return 0;
    const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
    const TrackDetails d = ReadTrackDetailsFromBytes(bytes, kNames[data[0] % std::size(kNames)]);
    // Bus text: UTF-8 within the field limit, lists bounded, numbers never negative, a cover
    // never larger than the file nor than the limit.
    for (const auto* list : {&d.artists, &d.albumArtists, &d.genres}) {
        if (list->size() > kDetailsListLimit) std::abort();
        for (const std::string& item : *list)
            if (item.empty() || item.size() > kTagFieldLimit || !IsValidUtf8(item)) std::abort();
    }
    if (d.album.size() > kTagFieldLimit || !IsValidUtf8(d.album)) std::abort();
    if (d.trackNumber < 0 || d.discNumber < 0) std::abort();
    if (d.cover.size() > bytes.size() || d.cover.size() > kCoverLimitBytes) std::abort();
    return 0;
}
