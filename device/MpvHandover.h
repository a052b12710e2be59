#pragma once
// Internal to device/: the entry that follows the open one, from its cue to its adoption.
#include <mpv/client.h>
#include <sys/stat.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "device/DeviceCommand.h"
#include "device/MpvEventPump.h"

namespace mpvdevice {

// The following entry ("cue <alias> next <path>", MpvMediaDevice.h) in libmpv's playlist,
// which holds the open entry and at most one successor, so a cue always lands right after
// the open entry.
//
//   None      ──Cue──────────────────────────────────────────▶ Cued
//   Cued      ──Withdraw (bare cue, another file, any open)──▶ None
//   Cued      ──libmpv ends the open entry and starts it─────▶ TookOver (read from the events)
//   TookOver  ──Close of the ended entry─────────────────────▶ Orphan
//   TookOver, Orphan ──Adopt (an open of that very file)─────▶ Adopting
//   Orphan    ──any other command, or kGraceMs without one───▶ None (the engine stops it)
//   Adopting  ──the opener's first command outside its open sequence──▶ None
//
// At the adoption the ended entry leaves libmpv's playlist: the adopted one is alone there,
// and the next cue follows it.
//
// Threading: everything runs on the command thread under the engine's command lock, except
// the grace watch. Lock order: the engine's command lock, then this watch's lock, then the
// event pump's. The watch thread lets its own lock go before it calls `graceOver`, which
// takes the command lock itself and ends the orphan when it is still one.
class Handover {
public:
    // How long a closed entry's successor sounds on without being opened.
    static constexpr int kGraceMs = 400;

    // `graceOver` runs on the watch thread when an orphan's grace has passed.
    Handover(mpv_handle* handle, EventPump& events, std::function<void()> graceOver);
    // Stops and joins the watch thread; nothing is sent to libmpv.
    ~Handover() { StopWatch(); }
    // The same, ahead of the destructor, while the engine's objects are all there: a grace
    // that ends meanwhile is carried out. Not under the command lock.
    void StopWatch();
    Handover(const Handover&) = delete;
    Handover& operator=(const Handover&) = delete;

    // Appends `file` (resolved, with its stat) after the open entry `openedEntry`, with the
    // per-file options `fileOptions` ("name=value,..." or empty). Empty when queued (or the
    // same file is queued already), else why not; a refused entry never stays in libmpv.
    std::string Cue(const std::string& file, const struct stat& st, int64_t openedEntry,
                    const std::string& fileOptions);
    // Drops the queued successor from libmpv's playlist (nothing when none is queued).
    void Withdraw();
    // libmpv's playlist was emptied by other means (a stop, a replacing load): nothing is queued.
    void Forget() { m_cueEntry = 0; }

    bool Cued() const { return m_cueEntry != 0; }
    bool IsCued(const struct stat& st) const {
        return m_cueEntry != 0 && st.st_dev == m_cueDev && st.st_ino == m_cueIno;
    }
    // The cued entry has started in libmpv after the open one ended.
    bool HandedOver();
    // The cued entry plays on in libmpv (it started and has not ended).
    bool SuccessorSounding();
    // The cued entry plays and its first sample has been heard (the open entry's last
    // samples have left the output), or it has ended already.
    bool SuccessorHeard();

    // The ended entry was closed while its successor sounds: the grace begins.
    void BecomeOrphan();
    bool Orphaned() const { return m_orphan; }
    // Ends the orphan state (the engine stops what sounds); false when there was none.
    bool EndOrphan();

    // The cued entry becomes the open one; its entry id. The ended entry leaves libmpv's
    // playlist.
    int64_t Adopt();
    bool Adopting() const { return m_adopting; }
    void EndAdoption() { m_adopting = false; }
    // Commands of the opener's sequence (stop, pause, window, put, set, where, status other
    // than position, play from 0, cue): they leave an adopted entry sounding.
    static bool PartOfOpenSequence(const DeviceCommand& c);

private:
    void ArmGrace(bool on);
    void WatchGrace();

    mpv_handle* m_handle;
    EventPump& m_events;
    std::function<void()> m_graceOver;

    // Command thread only.
    int64_t m_cueEntry = 0;  // libmpv's playlist entry of the cued file; 0: none
    dev_t m_cueDev = 0;      // its file, to know it again when it is opened
    ino_t m_cueIno = 0;
    bool m_adopting = false;
    bool m_orphan = false;

    // The grace watch.
    std::mutex m_graceMutex;
    std::condition_variable m_graceCv;
    std::optional<std::chrono::steady_clock::time_point> m_graceDeadline;
    bool m_quitting = false;
    std::thread m_graceThread;  // last: starts once everything above exists
};

// At libmpv's "on_preloaded" hook (EventPump, on its thread): an entry whose decoder plays
// on past the length its container states is cut there, to the sample, so that the next
// entry follows its last real sample. That is AAC in MP4 without a picture: the container
// states the exact length (its edit list), and libmpv 0.35 decodes the encoder's padding
// after it. The cut is a file-local "end" at (samples + 0.5) / rate.
void CutAtStatedEnd(mpv_handle* handle);

}  // namespace mpvdevice
