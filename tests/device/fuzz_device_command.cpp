// Device command text from outside (the player, the device shell): the parser never fails on any bytes, refuses with a
// reason, and what it accepts reads back the same from its canonical text. The same bytes taken as a file name in the
// player's open command give exactly that path under the player's alias. The parser is standard library only, so it is
// compiled in here whole, without libmpv or Qt.
#include <cstdint>
#include <cstdlib>
#include <string>
#include "device/DeviceCommand.cpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    if (!text.empty() && text.find('\0') == std::string::npos && text.size() < kMaxCommandLength - 64) {
        const ParsedCommand open = ParseDeviceCommand("open \"" + text + "\" type mpegvideo alias movie");
        if (!open.command || open.command->path != text || open.command->alias != "movie") std::abort();
    }
    const ParsedCommand parsed = ParseDeviceCommand(text);
    if (parsed.command.has_value() == !parsed.error.empty()) std::abort();
    if (!parsed.command) return 0;
    const DeviceCommand& c = *parsed.command;
    if (c.alias.empty() || (c.verb == DeviceVerb::Open && (c.path.empty() || c.path.find('\0') != std::string::npos)) ||
        (c.verb == DeviceVerb::Put && c.hasRect && (c.rect[2] < 0 || c.rect[3] < 0))) std::abort();
    const ParsedCommand again = ParseDeviceCommand(FormatDeviceCommand(c));
    if (!again.command || !(*again.command == c)) std::abort();
    return 0;
}
