#pragma once
#include <string>
#include <string_view>

#include "state/Settings.h"

// "KORU.CFG" and its template "KORU.sys", both in the program folder.
//
// The files are positional: the n-th "=" of the file is setting n of `Settings` (1..35, in
// the record's order); key texts and lines without "=" carry no meaning to the program.
// Every function takes the folder (ending in '/'); the application passes ProgramFolder().

inline constexpr const char* kConfigFileName = "KORU.CFG";
inline constexpr const char* kTemplateFileName = "KORU.sys";

// Stores the values of configuration-file bytes into `settings` by the storing rules, then
// applies the fallbacks. Window positions are range-tested against the screen size (the
// desktop's width and height in pixels). Lines may end in CR LF, LF or CR; a setting the
// bytes do not reach keeps its current value. Texts keep their raw bytes; one that could not
// be a path (kPathLimit bytes or more) is taken as empty. Never fails.
void ParseSettings(std::string_view bytes, Settings& settings, int screenWidth, int screenHeight);

// Reads folder + "KORU.CFG" into `settings`, the folder, list and skin names by the rule of
// NameFromStoredBytes (the skin name inside folder + "bg/"). False when the file cannot be
// read; `settings` then keeps what it held.
bool LoadSettings(const std::string& folder, Settings& settings, int screenWidth, int screenHeight);

// The bytes of "KORU.CFG": the template with each key line completed by its value and CR LF.
std::string FormatSettings(std::string_view templateBytes, const Settings& settings);

// Writes folder + "KORU.CFG" from folder + "KORU.sys" in one piece. False when the template
// cannot be read or the file cannot be written; an existing "KORU.CFG" is then untouched.
bool SaveSettings(const std::string& folder, const Settings& settings);

// What the start found of "KORU.CFG".
enum class SettingsAtStart {
    Loaded,      // read into the record
    Missing,     // the defaults, written to a new file at once (when the template allows)
    Unreadable,  // exists but cannot be read or is not a regular file: the defaults are used
                 // and the file must not be written at quit (it may hold the user's settings)
};

// Start-up: loads "KORU.CFG"; only when it does not exist, creates it with the values
// `settings` holds (the defaults). An unreadable file is left alone and reported on standard
// error. Never blocks.
SettingsAtStart LoadOrCreateSettings(const std::string& folder, Settings& settings, int screenWidth, int screenHeight);

// Makes lastTrackFolder, or its deepest existing ancestor, the current folder, so that file
// dialogs given no folder open there. An empty or relative folder changes nothing. Returns
// true when the current folder changed.
bool RestoreWorkingFolder(const Settings& settings);
