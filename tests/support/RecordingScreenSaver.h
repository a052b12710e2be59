#pragma once
#include <string>
#include <vector>
#include "platform/ScreenSaver.h"

// The screen saver service of the tests: every call in order, "hold" or "release".
class RecordingScreenSaver final : public ScreenSaver {
public:
    void Hold() override { calls.push_back("hold"); }
    void Release() override { calls.push_back("release"); }
    std::vector<std::string> calls;
};
