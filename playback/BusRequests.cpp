#include "playback/BusRequests.h"

#include <string>

#include "playback/MciSession.h"
#include "playback/WaveVolumeControl.h"
#include "platform/Log.h"
#include "platform/WaveVolume.h"
#include "playlist/Playlist.h"
#include "state/PlayerState.h"
#include "state/Settings.h"

int DevicePositionFromMs(const PlayerState& s, long long ms) {
    if (ms < 0) ms = 0;
    if (s.lengthMs > 0 && ms > s.lengthMs) ms = s.lengthMs;
    if (s.timeFormatMs == 1) return static_cast<int>(ms);
    if (s.lengthMs <= 0) return 0;
    return static_cast<int>(ms * s.lengthFrames / s.lengthMs);
}

long long PositionMsFromDevice(const PlayerState& s, int devicePosition) {
    if (s.timeFormatMs == 1) return devicePosition;
    if (s.lengthFrames <= 0) return 0;
    return static_cast<long long>(devicePosition) * s.lengthMs / s.lengthFrames;
}

void CarryOutBusRequests(PlayerState& s, Settings& settings, Playlist& playlist, MciSession& mci, Clock& clock,
                         WaveVolume& volume) {
    if (const std::optional<long long> ms = s.busSeekMs.Take()) {
        if (s.closed == 0) {
            s.position = DevicePositionFromMs(s, *ms);
            mci.Send((s.paused == 1 ? "seek movie to " : "play movie from ") + std::to_string(s.position));
            const int length = s.timeFormatMs == 1 ? s.lengthMs : s.lengthFrames;
            if (length > 0) s.seekKnobX = SeekKnobX(s.position, length);
            s.busSeeks += 1;
            LogLine("bus: jump to " + std::to_string(s.position));
        }
    }
    if (const std::optional<int> level = s.busVolume.Take()) {
        const uint32_t v = BothChannels(static_cast<uint32_t>(*level));
        volume.Set(v);
        s.volumeKnobX = KnobFromVolume(v);
        LogLine("bus: volume " + std::to_string(*level) + ", knob " + std::to_string(s.volumeKnobX));
    }
    if (const std::optional<bool> shuffle = s.busShuffle.Take(); shuffle && int(*shuffle) != settings.shuffle) {
        settings.shuffle = *shuffle ? 1 : 0;
        if (*shuffle) playlist.BuildPlayOrder(1, clock);
    }
    if (const std::optional<bool> repeat = s.busRepeat.Take()) settings.repeat = *repeat ? 1 : 0;
}

BusTrack TrackOnTheBus(const PlayerState& s, const Playlist& list) {
    if (s.closed == 0 && s.openedEntry >= 0) return {s.openedEntry, s.openedPath};
    if (list.count <= 0) return {};
    return {list.currentIndex, list.Entry(list.currentIndex)};
}
