#pragma once

// SIGTERM and SIGINT ask the player to quit in order (saving its list and settings) instead
// of ending it at once. The handler only records the request; the main tick polls it.
void InstallQuitSignalHandlers();
// True once a quit signal arrived (stays true).
bool QuitSignalReceived();
