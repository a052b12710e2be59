#pragma once
#include <string_view>

// Diagnostics for people running the player: silent unless VELKAF_LOG=1 is set.
// Every device command and reply, and every failure the user interface keeps silent,
// goes through here to standard error. Thread-safe (one line per call).
bool LogEnabled();
void LogLine(std::string_view line);
// A problem the user must hear of even with the log off (a save that failed, a file the
// player will not touch): always one line to standard error.
void ReportProblem(std::string_view line);
