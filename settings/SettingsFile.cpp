#include "settings/SettingsFile.h"

#include "platform/Files.h"
#include "platform/Log.h"
#include "platform/NameBytes.h"
#include "platform/Paths.h"
#include "platform/Text.h"

namespace {

// A stored window coordinate this large passes the range test as it stands.
constexpr int kFarCoordinate = 64000;

// Where the video window goes when its stored place is off the screen: just below a main
// window at the origin.
constexpr int kVideoFallbackY = kMainWindowHeight;
constexpr int kEditorFallbackX = 10;
constexpr int kEditorFallbackY = 100;

constexpr int kFirstSpeedSetting = 28;

struct Fallbacks {
    bool mainWindow = false;
    bool videoWindow = false;
    bool editor = false;
    bool speed = false;
};

// The text field of setting n, or null when n is not a text setting.
std::string* TextField(Settings& s, int n) {
    switch (n) {
    case 17: return &s.lastTrackFolder;
    case 18: return &s.lastListFile;
    case 27: return &s.backgroundFile;
    default: return nullptr;
    }
}

// The integer field of setting n, or null when n is a text setting or beyond the record.
int* IntField(Settings& s, int n) {
    switch (n) {
    case 1: return &s.mainX;
    case 2: return &s.mainY;
    case 3: return &s.videoX;
    case 4: return &s.videoY;
    case 5: return &s.wheelModePlaying;
    case 6: return &s.wheelModePaused;
    case 7: return &s.wheel2Mode;
    case 8: return &s.doubleClickPanel;
    case 9: return &s.hideCursor;
    case 10: return &s.scanLineMode;
    case 11: return &s.lineMaskTop;
    case 12: return &s.lineMaskBottom;
    case 13: return &s.pausedSearchSlow;
    case 14: return &s.alwaysOnTop;
    case 15: return &s.shuffle;
    case 16: return &s.repeat;
    case 19: return &s.editorX;
    case 20: return &s.editorY;
    case 21: return &s.editorWidth;
    case 22: return &s.editorHeight;
    case 23: return &s.keepVideoSize;
    case 24: return &s.videoSizeMode;
    case 25: return &s.fullScreenFit;
    case 26: return &s.autoPlay;
    default:
        if (n >= kFirstSpeedSetting && n < kFirstSpeedSetting + 8) return &s.searchSpeed[n - kFirstSpeedSetting];
        return nullptr;
    }
}

void StoreSetting(Settings& s, int n, std::string_view value, int screenWidth, int screenHeight, Fallbacks& fallbacks) {
    if (std::string* text = TextField(s, n)) {
        // No path is that long: a runaway value must not be kept and written back forever.
        if (value.size() >= kPathLimit) {
            LogLine("setting " + std::to_string(n) + " is " + std::to_string(value.size()) +
                    " bytes long; taken as empty");
            text->clear();
        } else {
            text->assign(value);
        }
        return;
    }
    int* field = IntField(s, n);
    if (field == nullptr) return;
    const int number = ParseLeadingInt(value);
    switch (n) {
    case 1:
    case 2:
    case 3:
    case 4:
    case 19:
    case 20: {
        // Odd settings are x coordinates, even ones y. A coordinate left of or above the
        // screen is negative and passes.
        const int limit = n % 2 == 1 ? screenWidth : screenHeight;
        if (number < limit || number >= kFarCoordinate) {
            *field = number;
        } else if (n <= 2) {
            fallbacks.mainWindow = true;
        } else if (n <= 4) {
            fallbacks.videoWindow = true;
        } else {
            fallbacks.editor = true;
        }
        return;
    }
    // The video size survives only when the user asked for it (keepVideoSize, read
    // earlier in the file).
    case 24: *field = s.keepVideoSize == 1 ? number : 1; return;
    case 25: *field = s.keepVideoSize == 1 ? number : 4; return;
    default:
        if (n >= kFirstSpeedSetting) {
            if (value.empty()) fallbacks.speed = true;
            else *field = number;
            return;
        }
        *field = number;
    }
}

void ApplyFallbacks(Settings& s, const Fallbacks& fallbacks) {
    // A fallback always resets both coordinates of its pair.
    if (fallbacks.mainWindow) {
        s.mainX = 0;
        s.mainY = 0;
    }
    if (fallbacks.videoWindow) {
        s.videoX = 0;
        s.videoY = kVideoFallbackY;
    }
    if (fallbacks.editor) {
        s.editorX = kEditorFallbackX;
        s.editorY = kEditorFallbackY;
    }
    if (fallbacks.speed) {
        for (int i = 0; i < 8; ++i) s.searchSpeed[i] = kDefaultSearchSpeed[i];
    }
}

// The text written after the n-th "=". A text holding a line end cannot be stored in a line:
// it would shift every later setting by one, so it is written empty.
std::string SettingText(const Settings& s, int n) {
    Settings& record = const_cast<Settings&>(s);
    if (const std::string* text = TextField(record, n)) {
        if (text->find_first_of("\r\n") != std::string::npos) {
            LogLine("setting " + std::to_string(n) + " holds a line end; written empty");
            return {};
        }
        return *text;
    }
    if (const int* field = IntField(record, n)) return std::to_string(*field);
    return {};
}

size_t LineEndAt(std::string_view bytes, size_t from) {
    const size_t end = bytes.find_first_of("\r\n", from);
    return end == std::string_view::npos ? bytes.size() : end;
}

}  // namespace

void ParseSettings(std::string_view bytes, Settings& settings, int screenWidth, int screenHeight) {
    Fallbacks fallbacks;
    size_t p = 0;
    for (int n = 1; n <= kSettingCount && p < bytes.size(); ++n) {
        const size_t equals = bytes.find('=', p);
        // No further "=": the settings not reached keep their values.
        if (equals == std::string_view::npos) break;
        const size_t start = equals + 1;
        const size_t end = LineEndAt(bytes, start);
        StoreSetting(settings, n, bytes.substr(start, end - start), screenWidth, screenHeight, fallbacks);
        p = end + 1;
    }
    ApplyFallbacks(settings, fallbacks);
}

bool LoadSettings(const std::string& folder, Settings& settings, int screenWidth, int screenHeight) {
    const std::optional<std::string> bytes = ReadWholeFile(folder + kConfigFileName);
    if (!bytes) {
        LogLine("cannot read " + folder + kConfigFileName + "; settings keep their values");
        return false;
    }
    ParseSettings(*bytes, settings, screenWidth, screenHeight);
    settings.lastTrackFolder = NameFromStoredBytes(settings.lastTrackFolder);
    settings.lastListFile = NameFromStoredBytes(settings.lastListFile);
    settings.backgroundFile = NameFromStoredBytes(settings.backgroundFile, folder + "bg/");
    return true;
}

std::string FormatSettings(std::string_view templateBytes, const Settings& settings) {
    std::string out;
    out.reserve(templateBytes.size() + 1024);
    size_t p = 0;
    int n = 1;
    while (p < templateBytes.size()) {
        // Text up to the "=" (section headers and blank lines before it included) is copied.
        size_t equals = templateBytes.find('=', p);
        if (equals == std::string_view::npos) equals = templateBytes.size();
        out.append(templateBytes.substr(p, equals - p));
        out += '=';
        // Whatever follows the "=" on the key line is replaced by the value.
        size_t next = equals < templateBytes.size() ? LineEndAt(templateBytes, equals + 1) : templateBytes.size();
        out += SettingText(settings, n);
        out += "\r\n";
        ++n;
        // Step over one line end: CR LF, LF or CR.
        if (next < templateBytes.size() && templateBytes[next] == '\r') ++next;
        if (next < templateBytes.size() && templateBytes[next] == '\n') ++next;
        p = next;
    }
    return out;
}

bool SaveSettings(const std::string& folder, const Settings& settings) {
    const std::string templatePath = folder + kTemplateFileName;
    const std::optional<std::string> templateBytes = ReadWholeFile(templatePath);
    if (!templateBytes) {
        LogLine("cannot read " + templatePath + "; " + kConfigFileName + " not written");
        return false;
    }
    // A template without a single key line would write a file that holds no setting.
    if (templateBytes->find('=') == std::string::npos) {
        LogLine(templatePath + " has no key line; " + kConfigFileName + " not written");
        return false;
    }
    return WriteFileAtomically(folder + kConfigFileName, FormatSettings(*templateBytes, settings));
}

SettingsAtStart LoadOrCreateSettings(const std::string& folder, Settings& settings, int screenWidth, int screenHeight) {
    const std::string path = folder + kConfigFileName;
    std::string reason = "read error";
    switch (ProbeFile(path, &reason)) {
    case FileState::Missing: SaveSettings(folder, settings); return SettingsAtStart::Missing;
    case FileState::Readable:
        if (LoadSettings(folder, settings, screenWidth, screenHeight)) return SettingsAtStart::Loaded;
        break;
    case FileState::Unreadable: break;
    }
    ReportProblem(path + " cannot be read (" + reason +
                  "); running on the defaults, and it will not be written at quit");
    return SettingsAtStart::Unreadable;
}

bool RestoreWorkingFolder(const Settings& settings) { return ChangeFolderByPrefixes(settings.lastTrackFolder) > 0; }
