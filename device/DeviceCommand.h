#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The command language of the media device, as the player writes it:
//
//   open <path> [type mpegvideo] [alias <name>]     path in double quotes when it has blanks;
//                                                   a quoted path runs to the last quote, so
//                                                   it may hold quotes and line breaks
//   close|stop|pause <alias>
//   play <alias> [from <n>]
//   seek <alias> to <n>|start|end
//   status <alias> position|length|mode|time format
//   set <alias> time format frames|milliseconds|ms
//   set <alias> gain <dB>                           extension: the gain of the open entry
//   window <alias> handle <n>|default [state minimized]   (state only after default)
//   where <alias> destination
//   put <alias> destination [at <x> <y> <w> <h>]          w and h not negative
//   cue <alias> next [<path>]                       extension: the entry that follows the
//                                                   open one (quoted as open's path); bare
//                                                   "next" withdraws it. See MpvMediaDevice.h
//       [gain <dB>]                                 the gain of that entry, from its first sample
//
// A gain in dB is an optional sign, digits and at most two decimals ("-6.02", "+3.1", "4"),
// at most kMaxGainHundredths in size; it is kept in hundredths of a dB.
//   track <alias> audio|subtitle [next]             extension: the chosen audio or subtitle
//                                                   track; with next the following one
//
// Keywords are case-insensitive; words are separated by blanks or tabs. Numbers are decimal
// 32-bit signed integers. Without "alias" the alias of an open is its path, as written.
// Standard library only and pure, so the parser is fuzzed on its own.

enum class DeviceVerb { Open, Close, Stop, Play, Pause, Seek, Status, Set, Window, Where, Put, Cue, Track };
enum class StatusItem { Position, Length, Mode, TimeFormat };
enum class TimeFormat { Milliseconds, Frames };
enum class SeekTarget { Number, Start, End };
enum class TrackKind { Audio, Subtitle };

struct DeviceCommand {
    DeviceVerb verb = DeviceVerb::Close;
    std::string alias;
    std::string path;      // open, cue: the file, as written (not yet resolved);
                           // cue: empty withdraws the following entry
    bool hasFrom = false;  // play ... from n
    int32_t from = 0;
    SeekTarget seekTarget = SeekTarget::Number;
    int32_t to = 0;                                // seek ... to n
    StatusItem item = StatusItem::Position;        // status
    TimeFormat format = TimeFormat::Milliseconds;  // set ... time format
    bool defaultWindow = false;                    // window ... handle default
    bool minimized = false;                        // ... state minimized
    int32_t handle = 0;                            // window ... handle n
    bool hasRect = false;                          // put ... destination at x y w h
    std::array<int32_t, 4> rect{};                 // x, y, width, height
    bool setsGain = false;                         // set ... gain (else set ... time format)
    int32_t gain = 0;                              // set, cue ... gain: hundredths of a dB
    TrackKind track = TrackKind::Audio;            // track audio|subtitle
    bool nextTrack = false;                        // ... next

    bool operator==(const DeviceCommand&) const = default;
};

struct ParsedCommand {
    std::optional<DeviceCommand> command;  // empty when the text is malformed
    std::string error;                     // why, for the log; empty on success
};

// Largest gain accepted, hundredths of a dB (64 dB: far beyond any real tag).
constexpr int32_t kMaxGainHundredths = 6400;

// The gain as the commands write it: "-6.02", "3.10", "0.00".
std::string GainText(int32_t hundredths);

// Longest command text accepted (a path of 4096 bytes and the words around it).
constexpr std::size_t kMaxCommandLength = 8192;

ParsedCommand ParseDeviceCommand(std::string_view text);

// The canonical text of a command: lower-case keywords, the path quoted. Parsing it gives
// the same command back.
std::string FormatDeviceCommand(const DeviceCommand& command);

// Case-insensitive comparison of ASCII words (aliases are compared this way).
bool EqualsNoCase(std::string_view a, std::string_view b);
