#pragma once
// Internal to device/: libmpv is loaded when the device first starts, not with the program.
// Loaded with the program, libmpv and the ~190 libraries it needs cost a player with nothing
// open about 35 MiB of resident memory. The mpv_* functions the device calls are defined in
// MpvLibrary.cpp and forward to the loaded library; none may be called before
// LoadMpvLibrary has returned true.
#include <string>

// Loads libmpv and resolves every function the device uses, once per process; later calls
// return the first result. False with `why` when the library or a function is missing.
// Thread-safe.
bool LoadMpvLibrary(std::string& why);
