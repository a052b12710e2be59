#include "playback/ScreenSaverHold.h"

#include "playback/PlaybackContext.h"
#include "platform/ScreenSaver.h"
#include "state/PlayerState.h"
#include "state/Settings.h"

bool PicturePlays(const PlayerState& state, const Settings& settings, const VideoGeometry& video) {
    if (state.closed != 0 || state.paused != 0) return false;
    if (!video.picture || video.natural.width <= 0 || video.natural.height <= 0) return false;
    // Size mode -1 hides the video window: nothing to watch unless full screen shows it.
    return state.fullScreen == 1 || settings.videoSizeMode >= 0;
}

void ScreenSaverHold::Follow(const PlayerState& state, const Settings& settings, const VideoGeometry& video) {
    const bool plays = PicturePlays(state, settings, video);
    if (plays == m_held) return;
    m_held = plays;
    if (plays) m_service.Hold();
    else m_service.Release();
}

void ScreenSaverHold::Release() {
    if (!m_held) return;
    m_held = false;
    m_service.Release();
}
