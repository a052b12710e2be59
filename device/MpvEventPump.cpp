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
    : m_handle(handle), m_preloaded(std::move(preloaded)), m_thread([this] { Run(); }) {
    // Reported at each turn of the core's loop that changed it (Counters::firstTime).
    mpv_observe_property(m_handle, kFirstTimeReply, "time-pos", MPV_FORMAT_DOUBLE);
    mpv_observe_property(m_handle, kIdleReply, "idle-active", MPV_FORMAT_FLAG);
}

EventPump::~EventPump() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_quit = true;
    }
    mpv_wakeup(m_handle);
    m_thread.join();
}

void EventPump::Run() {
    for (;;) {
        mpv_event* e = mpv_wait_event(m_handle, -1);
        // Logged after the lock is let go: a slow standard error never holds up the
        // command thread's waits.
        std::string log;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (m_quit || e->event_id == MPV_EVENT_SHUTDOWN) break;
            Count(*e, log);
            m_cv.notify_all();
        }
        if (e->event_id == MPV_EVENT_HOOK) {
            // Every hook is answered, whatever its handler does.
            const uint64_t hook = static_cast<const mpv_event_hook*>(e->data)->id;
            if (m_preloaded) m_preloaded();
            mpv_hook_continue(m_handle, hook);
        }
        if (!log.empty()) LogLine(log);
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    m_quit = true;
    m_cv.notify_all();
}

void EventPump::Count(const mpv_event& e, std::string& log) {
    switch (e.event_id) {
    case MPV_EVENT_START_FILE: {
        const auto* sf = static_cast<const mpv_event_start_file*>(e.data);
        if (sf != nullptr) m_counters.startedEntry = sf->playlist_entry_id;
        break;
    }
    case MPV_EVENT_FILE_LOADED: m_counters.loadedEntry = m_counters.startedEntry; break;
    case MPV_EVENT_END_FILE: {
        const auto* ef = static_cast<const mpv_event_end_file*>(e.data);
        if (ef != nullptr && ef->playlist_entry_id >= m_counters.endedEntry) {
            m_counters.endedEntry = ef->playlist_entry_id;
            m_counters.lastEndReason = ef->reason;
            m_counters.lastEndError = ef->error;
        }
        break;
    }
    case MPV_EVENT_SEEK:
        ++m_counters.seeks;
        m_counters.restartAfterLastSeek = false;
        break;
    case MPV_EVENT_PLAYBACK_RESTART:
        m_counters.restartedEntry = m_counters.startedEntry;
        m_counters.restartAfterLastSeek = true;
        break;
    case MPV_EVENT_PROPERTY_CHANGE: {
        const auto* p = static_cast<const mpv_event_property*>(e.data);
        if (e.reply_userdata == kIdleReply && p != nullptr && p->format == MPV_FORMAT_FLAG) {
            m_counters.idle = *static_cast<const int*>(p->data) != 0;
        }
        if (e.reply_userdata == kFirstTimeReply && p != nullptr && p->format == MPV_FORMAT_DOUBLE &&
            m_counters.startedEntry != 0 && m_counters.firstTimeEntry != m_counters.startedEntry &&
            m_counters.restartedEntry == m_counters.startedEntry) {
            m_counters.firstTimeEntry = m_counters.startedEntry;
            m_counters.firstTime = *static_cast<const double*>(p->data);
        }
        break;
    }
    case MPV_EVENT_COMMAND_REPLY: m_counters.lastReply = std::max(m_counters.lastReply, e.reply_userdata); break;
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
