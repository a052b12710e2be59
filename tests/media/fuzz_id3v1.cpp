// libFuzzer target for the ID3v1 reader: any tail of a file, any length.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "media/Id3v1Tag.h"
#include "platform/Text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view tail(reinterpret_cast<const char*>(data), size);
    const Id3v1Tag tag = ParseId3v1Tail(tail);
    const bool marker = size >= 3 && data[0] == 'T' && data[1] == 'A' && data[2] == 'G';
    if (tag.present != marker) std::abort();
    if (!tag.present && (!tag.title.empty() || !tag.artist.empty())) std::abort();
    // Display text: always UTF-8, and a 30-byte field decodes to at most 3 bytes a byte.
    if (!IsValidUtf8(tag.title) || !IsValidUtf8(tag.artist)) std::abort();
    if (tag.title.size() > 90 || tag.artist.size() > 90) std::abort();
    return 0;
}
