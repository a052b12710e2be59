// List-file bytes from outside (".tsr", ".m3u", "KORU.tsr"): every entry read is an absolute path
// within the path limit that a list line can hold, inserted where asked, and a written list
// reads back as the same entries, byte for byte (names that are not UTF-8 included).
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include "platform/Paths.h"
#include "playlist/ListFile.h"
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    Playlist first;
    first.InsertAt(0, "/before");
    const int inserted = ParseListBytes(bytes, first, 0);
    if (inserted < 0 || first.StoreSize() != inserted + 1 || first.Entry(inserted) != "/before") std::abort();
    first.DeleteAt(inserted);
    for (const std::string& entry : first.Entries()) {
        if (!IsAbsolutePath(entry) || entry.size() >= kPathLimit) std::abort();
        if (entry.find_first_of(std::string_view("\r\n\0", 3)) != std::string::npos) std::abort();
    }
    Playlist second;
    if (ParseListBytes(FormatListBytes(first), second, 0) != inserted || second.Entries() != first.Entries())
        std::abort();
    return 0;
}
