#pragma once
#include <string>
#include <vector>

// The application object: gives every window a black background with white text, builds the
// records, takes the session's player name on the desktop bus (or hands the command line to
// the player that has it and ends), builds the media device, runs the player window until its
// quit path ends it, then tears down in order (the window before the device).
class CPlayerApp {
public:
    // `newInstance`: never hand over; run a player of its own.
    int Run(const std::vector<std::string>& arguments, const std::string& startFolder, bool newInstance);
};
