#include "device/EntryGain.h"

#include <mpv/client.h>

#include "device/DeviceCommand.h"
#include "platform/Log.h"

namespace {
// The filter's label: it tells our filter from any other and makes the value read back alike.
constexpr const char* kLabel = "@velkaf-gain:";
}  // namespace

std::string EntryGainFilter(int32_t hundredths) {
    if (hundredths == 0) return {};
    // FFmpeg's volume filter, in floating point: no rounding before the output's conversion.
    // %n% quotes the n bytes of the graph.
    const std::string graph = "volume=" + GainText(hundredths) + "dB";
    return std::string(kLabel) + "lavfi=graph=%" + std::to_string(graph.size()) + "%" + graph;
}

std::string EntryGainOptions(int32_t hundredths) {
    if (hundredths == 0) return {};
    // %n% quotes the n bytes of the value: it holds '=' and '%'.
    const std::string filter = EntryGainFilter(hundredths);
    return "af=%" + std::to_string(filter.size()) + "%" + filter;
}

EntryGainChange ApplyEntryGain(mpv_handle* handle, int32_t hundredths) {
    const std::string wanted = EntryGainFilter(hundredths);
    std::string now;
    if (char* af = mpv_get_property_string(handle, "af")) {
        now = af;
        mpv_free(af);
    }
    if (now == wanted) return EntryGainChange::Unchanged;
    char* value = const_cast<char*>(wanted.c_str());
    if (mpv_set_property(handle, "file-local-options/af", MPV_FORMAT_STRING, &value) < 0) {
        LogLine("device: the gain filter \"" + wanted + "\" was refused");
        return EntryGainChange::Refused;
    }
    if (LogEnabled()) LogLine("device: gain of the open entry " + GainText(hundredths) + " dB (was \"" + now + "\")");
    return EntryGainChange::Changed;
}
