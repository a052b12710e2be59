// libFuzzer target for the tag reading (ID3v1, TagLib, and libavformat for Matroska, WebM and
// Ogg): the bytes after the first are a whole file, read from memory under a name whose
// extension (picked by the first byte) steers TagLib's format detection; libavformat is chosen
// by the file's first bytes. Seeds: corpus/fuzz_tags (their first byte picks the name).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include "media/TagLibTag.h"
#include "media/TrackTag.h"
#include "platform/Text.h"
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const char* const kNames[] = {"t.mp3", "t.flac", "t.ogg", "t.opus", "t.m4a", "t.wma",
                                         "t.wv",  "t.ape",  "t.wav", "t.aiff", "t.mpc", "t",
                                         "t.mkv", "t.webm", "t.ogv"};
    if (size == 0) return 0;
    const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
    const TrackTag tag = ReadTrackTagFromBytes(bytes, kNames[data[0] % std::size(kNames)]);
    if (!tag.present && (!tag.title.empty() || !tag.artist.empty())) std::abort();
    // Display text: always UTF-8, never longer than the field limit.
    if (!IsValidUtf8(tag.title) || !IsValidUtf8(tag.artist)) std::abort();
    if (tag.title.size() > kTagFieldLimit || tag.artist.size() > kTagFieldLimit) std::abort();
    if (!IsValidUtf8(Latin1FieldToUtf8(bytes))) std::abort();
    return 0;
}
