#pragma once
#include <string>
#include <string_view>

struct Settings;

// The loudness mode (Settings::gainMode) outlives the program in a file of its own beside
// "KORU.vol" in the program folder, since "KORU.CFG"'s layout is fixed: one word and a line end,
// "auto" (album in order, track shuffled), "track", "album" or "off".
inline constexpr const char* kGainModeFileName = "KORU.gain";

// The mode a file's bytes name: 0..3, or -1 when they are not one of the words (a trailing
// LF or CR LF allowed, nothing else).
int ParseGainModeFile(std::string_view bytes);

// At start: sets settings.gainMode from folder + "KORU.gain". A missing file, or one that does
// not name a mode, gives the default (auto), logged. True when the file named a mode.
bool LoadGainMode(const std::string& folder, Settings& settings);

// At quit (never by a guest): writes the mode in one piece. False, and said on standard error,
// when it could not be written; the old file is then untouched.
bool SaveGainMode(const std::string& folder, const Settings& settings);
