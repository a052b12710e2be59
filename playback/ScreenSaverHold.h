#pragma once

struct PlayerState;
struct Settings;
struct VideoGeometry;
class ScreenSaver;

// Whether the records say a picture plays for the user to watch: a medium open with a picture
// (a sound-only file, album art included, has none), not paused, and a host that shows it
// (full screen, desktop mode or a video window that is not hidden).
bool PicturePlays(const PlayerState& state, const Settings& settings, const VideoGeometry& video);

// Holds the screen saver off while a picture plays: Follow after every full tick, Release at
// the quit. Each change is one call to the service. User-interface thread only.
class ScreenSaverHold {
public:
    explicit ScreenSaverHold(ScreenSaver& service) : m_service(service) {}
    ~ScreenSaverHold() { Release(); }
    ScreenSaverHold(const ScreenSaverHold&) = delete;
    ScreenSaverHold& operator=(const ScreenSaverHold&) = delete;

    void Follow(const PlayerState& state, const Settings& settings, const VideoGeometry& video);
    void Release();

private:
    ScreenSaver& m_service;
    bool m_held = false;
};
