// Device command text from outside (the player, the device shell): the parser never fails
// on any bytes, refuses with a reason, and what it accepts reads back the same from its
// canonical text. The parser is standard library only, so it is compiled in here whole,
// without libmpv or Qt.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "device/DeviceCommand.cpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const ParsedCommand parsed = ParseDeviceCommand(text);
    if (parsed.command.has_value() == !parsed.error.empty()) std::abort();
    if (!parsed.command) return 0;
    const DeviceCommand& c = *parsed.command;
    if (c.alias.empty()) std::abort();
    if (c.verb == DeviceVerb::Open && (c.path.empty() || c.path.find('"') != std::string::npos)) std::abort();
    if (c.verb == DeviceVerb::Put && c.hasRect && (c.rect[2] < 0 || c.rect[3] < 0)) std::abort();
    const ParsedCommand again = ParseDeviceCommand(FormatDeviceCommand(c));
    if (!again.command || !(*again.command == c)) std::abort();
    return 0;
}
