#pragma once
// Internal to device/: the media device's event thread.
#include <mpv/client.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace mpvdevice {

// Counts libmpv's events on a thread of its own: the only thread that calls mpv_wait_event
// on the handle.
//
// Threading: the pump's thread writes the counters under the pump's lock and notifies;
// Snapshot and WaitFor may be called from any thread (the command thread waits with them).
// Nothing here calls back into the device. Log messages are written after the lock is let
// go. Construct after mpv_initialize; destroy before mpv_terminate_destroy.
class EventPump {
public:
    struct Counters {
        // Playlist entry ids (increasing) of the latest START_FILE, FILE_LOADED,
        // PLAYBACK_RESTART and END_FILE. Loading and restart events carry no id: they belong
        // to the entry last started.
        int64_t startedEntry = 0;
        int64_t loadedEntry = 0;
        int64_t restartedEntry = 0;
        int64_t endedEntry = 0;
        int lastEndReason = 0;
        int lastEndError = 0;
        uint64_t seeks = 0;
        bool restartAfterLastSeek = true;  // a PLAYBACK_RESTART followed the latest SEEK
        uint64_t lastReply = 0;            // reply id of the latest asynchronous command
        bool idle = false;                 // libmpv holds no file (its idle-active as last reported)
        // The first time-pos libmpv reported for entry `firstTimeEntry` after its first
        // PLAYBACK_RESTART (seconds): for a picture loaded paused its first frame's time; for
        // one that took over while playing a frame or two later (the first frame is shown
        // between two reports).
        int64_t firstTimeEntry = 0;
        double firstTime = 0;
    };

    // `preloaded` runs on the pump's thread at libmpv's "on_preloaded" hook of every entry
    // (the file is open, its tracks are known, nothing is decoded yet; libmpv waits for it),
    // when the device has added the hook; it may read and set libmpv's properties.
    explicit EventPump(mpv_handle* handle, std::function<void()> preloaded = {});

    // Stops and joins the thread (wakes libmpv's wait).
    ~EventPump();

    Counters Snapshot() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_counters;
    }

    // Waits until `done(counters)` holds; false on timeout.
    template <class Pred>
    bool WaitFor(Pred done, int timeoutMs, Counters* seen = nullptr) {
        std::unique_lock<std::mutex> lock(m_mutex);
        const bool ok = m_cv.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return done(m_counters); });
        if (seen != nullptr) *seen = m_counters;
        return ok;
    }

private:
    void Run();
    // Under the lock. A log message is copied to `log` (the event's data lives only until
    // the next wait).
    void Count(const mpv_event& e, std::string& log);

    mpv_handle* m_handle;
    std::function<void()> m_preloaded;
    std::mutex m_mutex;
    std::condition_variable m_cv;
    Counters m_counters;
    bool m_quit = false;
    std::thread m_thread;  // last: starts once everything above exists
};

}  // namespace mpvdevice
