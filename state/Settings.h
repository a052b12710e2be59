#pragma once
#include <string>

// The main window's fixed size in pixels; Settings::mainX, mainY is its place.
constexpr int kMainWindowWidth = 321;  // 356 - 35
constexpr int kMainWindowHeight = 92;

// The persisted user choices, in the order of their lines in "KORU.CFG".
// One instance for the whole run; user-interface thread only.
struct Settings {
    int mainX = 0;                // 1
    int mainY = 0;                // 2
    int videoX = 0;               // 3
    int videoY = 0;               // 4
    int wheelModePlaying = 0;     // 5: 0 MODE1 fast search, 1 MODE2 slow..fast
    int wheelModePaused = 0;      // 6: 0 MODE1 frame step, 1 MODE2 slow..fast
    int wheel2Mode = 0;           // 7: carried through, unused
    int doubleClickPanel = 0;     // 8
    int hideCursor = 0;           // 9
    int scanLineMode = 0;         // 10
    int lineMaskTop = 0;          // 11
    int lineMaskBottom = 0;       // 12
    int pausedSearchSlow = 0;     // 13: carried through, unused by playback
    int alwaysOnTop = 0;          // 14
    int shuffle = 0;              // 15
    int repeat = 1;               // 16
    std::string lastTrackFolder;  // 17: folder of the last track, ends in '/'
    std::string lastListFile;     // 18
    int editorX = 10;             // 19
    int editorY = 10;             // 20
    int editorWidth = 200;        // 21
    int editorHeight = 320;       // 22
    int keepVideoSize = 0;        // 23
    int videoSizeMode = 1;        // 24: 0 half, 1 natural, 2 double
    int fullScreenFit = 4;        // 25: 4 fit keeping aspect, 5 stretch
    int autoPlay = 1;             // 26
    std::string backgroundFile;   // 27: file name in the bg folder
    // 28..35: index = button * 4 + state * 2 + direction
    // (button 0 left, 1 right; state 0 playing, 1 paused; direction 0 forward, 1 backward)
    int searchSpeed[8] = {2000, -2000, 34, -34, 34, -34, 2000, -2000};
    // Not in "KORU.CFG" (its layout is fixed): kept in a file of its own (settings/GainModeFile.h).
    // How loudness tags apply: 0 album in order and track shuffled, 1 track, 2 album, 3 off.
    int gainMode = 0;
};

constexpr int kSettingCount = 35;
constexpr int kDefaultSearchSpeed[8] = {2000, -2000, 34, -34, 34, -34, 2000, -2000};
