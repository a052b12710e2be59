// Lock order (see MpvHandover.h): the engine's command lock, then m_graceMutex, then the event
// pump's lock. WatchGrace never holds m_graceMutex while it calls m_graceOver.
#include "device/MpvHandover.h"

#include <charconv>
#include <cmath>
#include <string_view>

#include "platform/Log.h"

namespace mpvdevice {

namespace {

bool GetInt(mpv_handle* handle, const std::string& name, int64_t& out) {
    return mpv_get_property(handle, name.c_str(), MPV_FORMAT_INT64, &out) >= 0;
}

void ClearAllButCurrent(mpv_handle* handle) {
    const char* cmd[] = {"playlist-clear", nullptr};
    mpv_command(handle, cmd);
}

// The audio tracks of the loaded file: whether one is AAC (its sample rate) and whether any
// track is a picture.
struct TrackFacts {
    int64_t aacRate = 0;
    bool picture = false;
};

TrackFacts ReadTrackFacts(mpv_handle* handle) {
    TrackFacts facts;
    mpv_node list{};
    if (mpv_get_property(handle, "track-list", MPV_FORMAT_NODE, &list) < 0) return facts;
    if (list.format == MPV_FORMAT_NODE_ARRAY) {
        for (int i = 0; i < list.u.list->num; ++i) {
            const mpv_node& track = list.u.list->values[i];
            if (track.format != MPV_FORMAT_NODE_MAP) continue;
            std::string_view type, codec;
            bool art = false;
            int64_t rate = 0;
            for (int k = 0; k < track.u.list->num; ++k) {
                const std::string_view key = track.u.list->keys[k];
                const mpv_node& v = track.u.list->values[k];
                if (v.format == MPV_FORMAT_STRING && key == "type") type = v.u.string;
                if (v.format == MPV_FORMAT_STRING && key == "codec") codec = v.u.string;
                if (v.format == MPV_FORMAT_FLAG && key == "albumart") art = v.u.flag != 0;
                if (v.format == MPV_FORMAT_INT64 && key == "demux-samplerate") rate = v.u.int64;
            }
            if (type == "video" && !art) facts.picture = true;
            if (type == "audio" && codec == "aac" && rate > 0) facts.aacRate = rate;
        }
    }
    mpv_free_node_contents(&list);
    return facts;
}

}  // namespace

void CutAtStatedEnd(mpv_handle* handle) {
    char* format = mpv_get_property_string(handle, "file-format");
    const bool mp4 = format != nullptr && std::string_view(format).find("mp4") != std::string_view::npos;
    mpv_free(format);
    if (!mp4) return;
    const TrackFacts facts = ReadTrackFacts(handle);
    double duration = 0;
    if (facts.picture || facts.aacRate == 0 || mpv_get_property(handle, "duration", MPV_FORMAT_DOUBLE, &duration) < 0 ||
        !(duration > 0))
        return;
    // The stated duration is in microseconds: whole samples come back by rounding.
    const double rate = static_cast<double>(facts.aacRate);
    const double end = (std::round(duration * rate) + 0.5) / rate;
    char text[64];
    const auto r = std::to_chars(text, text + sizeof text - 1, end, std::chars_format::fixed, 7);
    *r.ptr = '\0';
    if (mpv_set_property_string(handle, "file-local-options/end", text) < 0)
        LogLine("device: the stated end was refused");
    else if (LogEnabled()) LogLine(std::string("device: AAC in MP4 ends at its stated length, ") + text + " s");
}

Handover::Handover(mpv_handle* handle, EventPump& events, std::function<void()> graceOver)
    : m_handle(handle), m_events(events), m_graceOver(std::move(graceOver)), m_graceThread([this] { WatchGrace(); }) {}

void Handover::StopWatch() {
    {
        std::lock_guard<std::mutex> lock(m_graceMutex);
        m_quitting = true;
    }
    m_graceCv.notify_all();
    if (m_graceThread.joinable()) m_graceThread.join();
}

std::string Handover::Cue(const std::string& file, const struct stat& st, int64_t openedEntry,
                          const std::string& fileOptions) {
    if (IsCued(st)) return {};
    // Whatever follows the open entry goes first: the successor lands right after it.
    ClearAllButCurrent(m_handle);
    m_cueEntry = 0;
    const char* cmd[] = {"loadfile", file.c_str(), "append", fileOptions.empty() ? nullptr : fileOptions.c_str(),
                         nullptr};
    if (mpv_command(m_handle, cmd) < 0) return "loadfile append refused";
    int64_t count = 0, first = 0, id = 0;
    if (!GetInt(m_handle, "playlist-count", count) || count != 2 || !GetInt(m_handle, "playlist/0/id", first) ||
        first != openedEntry || !GetInt(m_handle, "playlist/1/id", id) || id <= openedEntry) {
        ClearAllButCurrent(m_handle);
        return "the following entry was not queued (libmpv's playlist holds " + std::to_string(count) + ")";
    }
    m_cueEntry = id;
    m_cueDev = st.st_dev;
    m_cueIno = st.st_ino;
    return {};
}

void Handover::Withdraw() {
    if (m_cueEntry == 0) return;
    ClearAllButCurrent(m_handle);
    m_cueEntry = 0;
}

bool Handover::HandedOver() { return m_cueEntry != 0 && m_events.Snapshot().startedEntry >= m_cueEntry; }

bool Handover::SuccessorSounding() {
    if (m_cueEntry == 0) return false;
    const EventPump::Counters n = m_events.Snapshot();
    return n.startedEntry == m_cueEntry && n.endedEntry < m_cueEntry;
}

bool Handover::SuccessorHeard() {
    if (m_cueEntry == 0) return false;
    const EventPump::Counters n = m_events.Snapshot();
    if (n.startedEntry < m_cueEntry || n.endedEntry >= m_cueEntry) return n.endedEntry >= m_cueEntry;
    if (n.restartedEntry < m_cueEntry) return false;
    // time-pos counts the output's delay: it reaches 0 as the first sample is heard.
    double t = -1;
    return mpv_get_property(m_handle, "time-pos", MPV_FORMAT_DOUBLE, &t) >= 0 && t >= 0;
}

void Handover::BecomeOrphan() {
    m_orphan = true;
    ArmGrace(true);
}

bool Handover::EndOrphan() {
    if (!m_orphan) return false;
    m_orphan = false;
    ArmGrace(false);
    return true;
}

int64_t Handover::Adopt() {
    ArmGrace(false);
    m_orphan = false;
    const int64_t entry = m_cueEntry;
    m_cueEntry = 0;
    m_adopting = true;
    // The ended entry goes: the next cue lands right after the adopted one.
    ClearAllButCurrent(m_handle);
    return entry;
}

bool Handover::PartOfOpenSequence(const DeviceCommand& c) {
    switch (c.verb) {
    case DeviceVerb::Stop:
    case DeviceVerb::Pause:
    case DeviceVerb::Window:
    case DeviceVerb::Where:
    case DeviceVerb::Put:
    case DeviceVerb::Set:
    case DeviceVerb::Cue: return true;
    case DeviceVerb::Play: return !c.hasFrom || c.from == 0;
    case DeviceVerb::Status: return c.item != StatusItem::Position;
    default: return false;
    }
}

void Handover::ArmGrace(bool on) {
    {
        std::lock_guard<std::mutex> lock(m_graceMutex);
        if (on) m_graceDeadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kGraceMs);
        else m_graceDeadline.reset();
    }
    m_graceCv.notify_all();
}

void Handover::WatchGrace() {
    std::unique_lock<std::mutex> lock(m_graceMutex);
    for (;;) {
        m_graceCv.wait(lock, [&] { return m_quitting || m_graceDeadline.has_value(); });
        if (m_quitting) return;
        const auto deadline = *m_graceDeadline;
        if (m_graceCv.wait_until(lock, deadline, [&] { return m_quitting || m_graceDeadline != deadline; })) continue;
        m_graceDeadline.reset();
        lock.unlock();
        m_graceOver();
        lock.lock();
    }
}

}  // namespace mpvdevice
