// List-file bytes from outside (".tsr", ".m3u", "KORU.tsr"): every entry read is an absolute
// UTF-8 path within the path limit, and a written list reads back as the same entries.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/Paths.h"
#include "platform/Text.h"
#include "playlist/ListFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    Playlist first;
    first.InsertAt(0, "/before");
    const int inserted = ParseListBytes(bytes, first, 0);
    if (inserted < 0 || first.StoreSize() != inserted + 1 || first.Entry(inserted) != "/before") std::abort();
    first.DeleteAt(inserted);
    for (const std::string& entry : first.Entries()) {
        if (!IsAbsolutePath(entry) || entry.size() >= kPathLimit || !IsValidUtf8(entry)) std::abort();
        if (entry.find_first_of(std::string_view("\r\n\0", 3)) != std::string::npos) std::abort();
    }

    Playlist second;
    if (ParseListBytes(FormatListBytes(first), second, 0) != inserted) std::abort();
    if (second.Entries() != first.Entries()) std::abort();
    return 0;
}
