#pragma once
#include <cstdint>
#include <filesystem>
#include <string>
#include "platform/Clock.h"

// A clock that says what the test sets.
struct FakeClock final : Clock {
    explicit FakeClock(int64_t seconds = 1000) : seconds(seconds) {}
    int64_t NowSeconds() override { return seconds; }
    int64_t seconds;
};

// A fresh folder under the system's temporary folder, removed with all in it when the object goes; path() ends in '/'.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::string& path() const { return m_path; }
    // Writes bytes to path() + name (creating folders on the way); returns the full path.
    std::string Write(const std::string& name, const std::string& bytes) const;
    // The bytes of path() + name, or "<missing>".
    std::string Read(const std::string& name) const;

private:
    std::string m_path;
};

// A 128-byte ID3v1 tag block: `marker`, then title and artist each padded with `pad` to 30 bytes, the rest 'z'.
std::string Id3v1Block(const std::string& title, const std::string& artist, char pad = '\0',
                       const std::string& marker = "TAG");

// Restores the current folder when the object goes.
struct CurrentFolderGuard {
    const std::filesystem::path saved = std::filesystem::current_path();
    ~CurrentFolderGuard() { std::filesystem::current_path(saved); }
};
