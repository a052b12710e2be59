#pragma once
#include "playback/PlaybackContext.h"
#include "playlist/Playlist.h"

// The playback part of a full tick while the player window is visible (not full screen, or
// full screen with the control panel shown): composes and presents the player picture,
// browses the playlist with the search buttons while nothing is open, carries out the
// pending command and the close request, runs searches and single frame steps at `speed`,
// chooses the next full-tick rate and finishes a minimise or restore.
void PlaybackTick(PlaybackContext& context);

// The same transport logic in full screen with the control panel hidden: no drawing, no
// browsing, no search buttons; the tick rate, button counters and minimise state are left
// alone.
void PlaybackTickNoDraw(PlaybackContext& context);

// Carries out PlayerState::pendingCommand (1..11 and 66) and clears it; a command may queue
// another (66 turns into 6 once the device reports "stopped", and stays 66 otherwise).
// 14..17 are left for the button-up handler that carries them out.
void RunPendingCommand(PlaybackContext& context);

// Stepping through the playlist closes the device or opens the new entry through playback.
class SessionTrackControl final : public TrackControl {
public:
    explicit SessionTrackControl(PlaybackContext& context) : m_context(context) {}
    bool IsClosed() const override;
    void Close() override;
    void OpenCurrentTrack() override;
    void SetTrackPending() override;

private:
    PlaybackContext& m_context;
};
