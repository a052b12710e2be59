// Configuration bytes from outside ("KORU.CFG", and the same bytes taken as a template): parsing
// never fails, no text kept could not be a path, and what was parsed survives a write and a
// second parse unchanged.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include "platform/Paths.h"
#include "settings/SettingsFile.h"
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string numbered = [] {
        std::string t = "[Section]\r\n";
        for (int n = 1; n <= kSettingCount; ++n) t += "Key" + std::to_string(n) + "=\r\n";
        return t;
    }();
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    Settings first, second;
    ParseSettings(bytes, first, 1920, 1080);
    for (const std::string* text : {&first.lastTrackFolder, &first.lastListFile, &first.backgroundFile})
        if (text->size() >= kPathLimit) std::abort();
    const std::string written = FormatSettings(numbered, first);
    ParseSettings(written, second, 1920, 1080);
    if (FormatSettings(numbered, second) != written) std::abort();
    // Every key line of a template gets its line end.
    if (!bytes.empty() && !FormatSettings(bytes, first).ends_with("\r\n")) std::abort();
    return 0;
}
