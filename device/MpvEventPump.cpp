#include "device/MpvEventPump.h"

#include <algorithm>

#include "platform/Log.h"

namespace mpvdevice {

namespace {
// Reply ids of the pump's own property reads; the device's command replies count from 1 up.
constexpr uint64_t kFirstTimeReply = uint64_t{1} << 63;
constexpr uint64_t kIdleReply = kFirstTimeReply + 1;
}  // namespace

EventPump::EventPump(mpv_handle* handle, std::function<void()> preloaded)
    : handle_(handle), preloaded_(std::move(preloaded)), thread_([this] { Run(); }) {
    // Reported at each turn of the core's loop that changed it (Counters::firstTime).
    mpv_observe_property(handle_, kFirstTimeReply, "time-pos", MPV_FORMAT_DOUBLE);
    mpv_observe_property(handle_, kIdleReply, "idle-active", MPV_FORMAT_FLAG);
}

EventPump::~EventPump() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        quit_ = true;
    }
    mpv_wakeup(handle_);
    thread_.join();
}

void EventPump::Run() {
    for (;;) {
        mpv_event* e = mpv_wait_event(handle_, -1);
        // Logged after the lock is let go: a slow standard error never holds up the
        // command thread's waits.
        std::string log;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (quit_ || e->event_id == MPV_EVENT_SHUTDOWN) break;
            Count(*e, log);
            cv_.notify_all();
        }
        if (e->event_id == MPV_EVENT_HOOK) {
            // Every hook is answered, whatever its handler does.
            const uint64_t hook = static_cast<const mpv_event_hook*>(e->data)->id;
            if (preloaded_) preloaded_();
            mpv_hook_continue(handle_, hook);
        }
        if (!log.empty()) LogLine(log);
    }
    std::lock_guard<std::mutex> lock(mutex_);
    quit_ = true;
    cv_.notify_all();
}

void EventPump::Count(const mpv_event& e, std::string& log) {
    switch (e.event_id) {
    case MPV_EVENT_START_FILE: {
        const auto* sf = static_cast<const mpv_event_start_file*>(e.data);
        if (sf != nullptr) counters_.startedEntry = sf->playlist_entry_id;
        break;
    }
    case MPV_EVENT_FILE_LOADED: counters_.loadedEntry = counters_.startedEntry; break;
    case MPV_EVENT_END_FILE: {
        const auto* ef = static_cast<const mpv_event_end_file*>(e.data);
        if (ef != nullptr && ef->playlist_entry_id >= counters_.endedEntry) {
            counters_.endedEntry = ef->playlist_entry_id;
            counters_.lastEndReason = ef->reason;
            counters_.lastEndError = ef->error;
        }
        break;
    }
    case MPV_EVENT_SEEK:
        ++counters_.seeks;
        counters_.restartAfterLastSeek = false;
        break;
    case MPV_EVENT_PLAYBACK_RESTART:
        counters_.restartedEntry = counters_.startedEntry;
        counters_.restartAfterLastSeek = true;
        break;
    case MPV_EVENT_PROPERTY_CHANGE: {
        const auto* p = static_cast<const mpv_event_property*>(e.data);
        if (e.reply_userdata == kIdleReply && p != nullptr && p->format == MPV_FORMAT_FLAG) {
            counters_.idle = *static_cast<const int*>(p->data) != 0;
        }
        if (e.reply_userdata == kFirstTimeReply && p != nullptr && p->format == MPV_FORMAT_DOUBLE &&
            counters_.startedEntry != 0 && counters_.firstTimeEntry != counters_.startedEntry &&
            counters_.restartedEntry == counters_.startedEntry) {
            counters_.firstTimeEntry = counters_.startedEntry;
            counters_.firstTime = *static_cast<const double*>(p->data);
        }
        break;
    }
    case MPV_EVENT_COMMAND_REPLY: counters_.lastReply = std::max(counters_.lastReply, e.reply_userdata); break;
    case MPV_EVENT_LOG_MESSAGE: {
        const auto* m = static_cast<const mpv_event_log_message*>(e.data);
        log = std::string("mpv [") + m->prefix + "] " + m->text;
        while (!log.empty() && log.back() == '\n') log.pop_back();
        break;
    }
    default: break;
    }
}

}  // namespace mpvdevice
