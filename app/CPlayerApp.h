#pragma once
#include <string>
#include <vector>

// The application object: gives every window a black background with white text, builds the
// records and the media device, runs the player window until its quit path ends it, then
// tears down in order (the window before the device).
class CPlayerApp {
public:
    int Run(const std::vector<std::string>& arguments, const std::string& startFolder);
};
