#include "settings/GainModeFile.h"

#include "platform/Files.h"
#include "platform/Log.h"
#include "state/Settings.h"

namespace {
constexpr const char* kWords[] = {"auto", "track", "album", "off"};
constexpr int kModeCount = 4;
}  // namespace

int ParseGainModeFile(std::string_view bytes) {
    if (bytes.ends_with("\r\n")) bytes.remove_suffix(2);
    else if (bytes.ends_with('\n')) bytes.remove_suffix(1);
    for (int mode = 0; mode < kModeCount; ++mode)
        if (bytes == kWords[mode]) return mode;
    return -1;
}

bool LoadGainMode(const std::string& folder, Settings& settings) {
    const std::string path = folder + kGainModeFileName;
    settings.gainMode = 0;
    if (ProbeFile(path) == FileState::Missing) {
        LogLine("no loudness mode in " + path + ": auto (album in order, track shuffled)");
        return false;
    }
    const auto bytes = ReadWholeFile(path);
    const int mode = bytes ? ParseGainModeFile(*bytes) : -1;
    if (mode < 0) {
        LogLine("the loudness mode in " + path + " is not auto, track, album or off: auto");
        return false;
    }
    settings.gainMode = mode;
    LogLine(std::string("loudness mode ") + kWords[mode] + " kept from the last run");
    return true;
}

bool SaveGainMode(const std::string& folder, const Settings& settings) {
    const int mode = settings.gainMode >= 0 && settings.gainMode < kModeCount ? settings.gainMode : 0;
    if (WriteFileAtomically(folder + kGainModeFileName, std::string(kWords[mode]) + "\n")) return true;
    ReportProblem("the loudness mode could not be saved to " + folder + kGainModeFileName);
    return false;
}
