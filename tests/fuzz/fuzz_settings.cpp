// Configuration bytes from outside ("KORU.CFG", and the same bytes taken as a template):
// parsing never fails, and what was parsed survives a write and a second parse unchanged.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "settings/SettingsFile.h"

namespace {

const std::string& NumberedTemplate() {
    static const std::string text = [] {
        std::string t = "[Section]\r\n";
        for (int n = 1; n <= kSettingCount; ++n) t += "Key" + std::to_string(n) + "=\r\n";
        return t;
    }();
    return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    Settings first;
    ParseSettings(bytes, first, 1920, 1080);
    const std::string written = FormatSettings(NumberedTemplate(), first);

    Settings second;
    ParseSettings(written, second, 1920, 1080);
    if (FormatSettings(NumberedTemplate(), second) != written) std::abort();

    // Every key line of a template gets its line end.
    const std::string fromTemplate = FormatSettings(bytes, first);
    if (!bytes.empty() && !fromTemplate.ends_with("\r\n")) std::abort();
    return 0;
}
