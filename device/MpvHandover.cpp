// Lock order (see MpvHandover.h): the engine's command lock, then graceMutex_, then the event
// pump's lock. WatchGrace never holds graceMutex_ while it calls graceOver_.
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
    if (facts.picture || facts.aacRate == 0 ||
        mpv_get_property(handle, "duration", MPV_FORMAT_DOUBLE, &duration) < 0 || !(duration > 0))
        return;
    // The stated duration is in microseconds: whole samples come back by rounding.
    const double rate = static_cast<double>(facts.aacRate);
    const double end = (std::round(duration * rate) + 0.5) / rate;
    char text[64];
    const auto r = std::to_chars(text, text + sizeof text - 1, end, std::chars_format::fixed, 7);
    *r.ptr = '\0';
    if (mpv_set_property_string(handle, "file-local-options/end", text) < 0) LogLine("device: the stated end was refused");
    else if (LogEnabled()) LogLine(std::string("device: AAC in MP4 ends at its stated length, ") + text + " s");
}

Handover::Handover(mpv_handle* handle, EventPump& events, std::function<void()> graceOver)
    : handle_(handle), events_(events), graceOver_(std::move(graceOver)), graceThread_([this] { WatchGrace(); }) {}

void Handover::StopWatch() {
    {
        std::lock_guard<std::mutex> lock(graceMutex_);
        quitting_ = true;
    }
    graceCv_.notify_all();
    if (graceThread_.joinable()) graceThread_.join();
}

std::string Handover::Cue(const std::string& file, const struct stat& st, int64_t openedEntry,
                          const std::string& fileOptions) {
    if (IsCued(st)) return {};
    // Whatever follows the open entry goes first: the successor lands right after it.
    ClearAllButCurrent(handle_);
    cueEntry_ = 0;
    const char* cmd[] = {"loadfile", file.c_str(), "append", fileOptions.empty() ? nullptr : fileOptions.c_str(),
                         nullptr};
    if (mpv_command(handle_, cmd) < 0) return "loadfile append refused";
    int64_t count = 0, first = 0, id = 0;
    if (!GetInt(handle_, "playlist-count", count) || count != 2 || !GetInt(handle_, "playlist/0/id", first) ||
        first != openedEntry || !GetInt(handle_, "playlist/1/id", id) || id <= openedEntry) {
        ClearAllButCurrent(handle_);
        return "the following entry was not queued (libmpv's playlist holds " + std::to_string(count) + ")";
    }
    cueEntry_ = id;
    cueDev_ = st.st_dev;
    cueIno_ = st.st_ino;
    return {};
}

void Handover::Withdraw() {
    if (cueEntry_ == 0) return;
    ClearAllButCurrent(handle_);
    cueEntry_ = 0;
}

bool Handover::HandedOver() { return cueEntry_ != 0 && events_.Snapshot().startedEntry >= cueEntry_; }

bool Handover::SuccessorSounding() {
    if (cueEntry_ == 0) return false;
    const EventPump::Counters n = events_.Snapshot();
    return n.startedEntry == cueEntry_ && n.endedEntry < cueEntry_;
}

bool Handover::SuccessorHeard() {
    if (cueEntry_ == 0) return false;
    const EventPump::Counters n = events_.Snapshot();
    if (n.startedEntry < cueEntry_ || n.endedEntry >= cueEntry_) return n.endedEntry >= cueEntry_;
    if (n.restartedEntry < cueEntry_) return false;
    // time-pos counts the output's delay: it reaches 0 as the first sample is heard.
    double t = -1;
    return mpv_get_property(handle_, "time-pos", MPV_FORMAT_DOUBLE, &t) >= 0 && t >= 0;
}

void Handover::BecomeOrphan() {
    orphan_ = true;
    ArmGrace(true);
}

bool Handover::EndOrphan() {
    if (!orphan_) return false;
    orphan_ = false;
    ArmGrace(false);
    return true;
}

int64_t Handover::Adopt() {
    ArmGrace(false);
    orphan_ = false;
    const int64_t entry = cueEntry_;
    cueEntry_ = 0;
    adopting_ = true;
    // The ended entry goes: the next cue lands right after the adopted one.
    ClearAllButCurrent(handle_);
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
        std::lock_guard<std::mutex> lock(graceMutex_);
        if (on) graceDeadline_ = std::chrono::steady_clock::now() + std::chrono::milliseconds(kGraceMs);
        else graceDeadline_.reset();
    }
    graceCv_.notify_all();
}

void Handover::WatchGrace() {
    std::unique_lock<std::mutex> lock(graceMutex_);
    for (;;) {
        graceCv_.wait(lock, [&] { return quitting_ || graceDeadline_.has_value(); });
        if (quitting_) return;
        const auto deadline = *graceDeadline_;
        if (graceCv_.wait_until(lock, deadline, [&] { return quitting_ || graceDeadline_ != deadline; })) continue;
        graceDeadline_.reset();
        lock.unlock();
        graceOver_();
        lock.lock();
    }
}

}  // namespace mpvdevice
