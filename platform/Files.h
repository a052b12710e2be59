#pragma once
#include <optional>
#include <string>
#include <string_view>

// Reads a whole file, however long. nullopt when it cannot be opened or read.
std::optional<std::string> ReadWholeFile(const std::string& path);

// Writes `bytes` as the whole new content of `path` in one piece: into a temporary file in
// the same folder, flushed to disk, then renamed over the old file. A crash, a kill or a full
// disk leaves either the old content or the new, never a cut file. Returns false (and logs)
// when anything fails; the old file is then untouched.
bool WriteFileAtomically(const std::string& path, std::string_view bytes);

// True when `path` can be opened for reading.
bool CanOpenForReading(const std::string& path);
