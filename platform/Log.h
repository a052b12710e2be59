#pragma once
#include <string_view>

// Diagnostics for people running the player: silent unless VELKAF_LOG=1 is set.
// Every device command and reply, and every failure the user interface keeps silent,
// goes through here to standard error. Thread-safe (one line per call).
bool LogEnabled();
void LogLine(std::string_view line);
