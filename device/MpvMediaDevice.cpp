#include "device/MpvMediaDevice.h"

#include <mpv/client.h>
#include <mpv/render.h>
#include <sys/stat.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <climits>
#include <cmath>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <thread>
#include <vector>

#include "device/DeviceCommand.h"
#include "device/ProcessWaveVolume.h"
#include "device/VideoHost.h"
#include "platform/Log.h"

namespace {

using Clock = std::chrono::steady_clock;

// Bound for waiting until the render thread has drawn a frame for a new place or position.
constexpr int kFrameWaitMs = 500;

std::string NumberText(double v) {
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, 6);
    return std::string(buf, r.ptr);
}

int ClampToInt(double v) {
    if (!(v == v)) return 0;  // NaN
    if (v >= static_cast<double>(INT_MAX)) return INT_MAX;
    if (v <= static_cast<double>(INT_MIN)) return INT_MIN;
    return static_cast<int>(v);
}

// ---------------------------------------------------------------------------------------
// Owners of libmpv objects. Declared in the Engine in construction order, so destruction
// runs: render thread (stop, clear the update callback), render context (free), event
// thread (stop), handle (terminate and destroy).

struct MpvHandleDeleter {
    void operator()(mpv_handle* h) const { mpv_terminate_destroy(h); }
};
using MpvHandle = std::unique_ptr<mpv_handle, MpvHandleDeleter>;

struct RenderContextDeleter {
    void operator()(mpv_render_context* ctx) const { mpv_render_context_free(ctx); }
};
using RenderContext = std::unique_ptr<mpv_render_context, RenderContextDeleter>;

// Counts libmpv's events. The only thread that calls mpv_wait_event on the handle.
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
    };

    explicit EventPump(mpv_handle* handle) : handle_(handle), thread_([this] { Run(); }) {}

    ~EventPump() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            quit_ = true;
        }
        mpv_wakeup(handle_);
        thread_.join();
    }

    Counters Snapshot() {
        std::lock_guard<std::mutex> lock(mutex_);
        return counters_;
    }

    // Waits until `done(counters)` holds; false on timeout.
    template <class Pred>
    bool WaitFor(Pred done, int timeoutMs, Counters* seen = nullptr) {
        std::unique_lock<std::mutex> lock(mutex_);
        const bool ok = cv_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return done(counters_); });
        if (seen != nullptr) *seen = counters_;
        return ok;
    }

private:
    void Run() {
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
            if (!log.empty()) LogLine(log);
        }
        std::lock_guard<std::mutex> lock(mutex_);
        quit_ = true;
        cv_.notify_all();
    }

    // Under the lock. A log message is copied to `log` (the event's data lives only until
    // the next wait).
    void Count(const mpv_event& e, std::string& log) {
        switch (e.event_id) {
            case MPV_EVENT_START_FILE: {
                const auto* sf = static_cast<const mpv_event_start_file*>(e.data);
                if (sf != nullptr) counters_.startedEntry = sf->playlist_entry_id;
                break;
            }
            case MPV_EVENT_FILE_LOADED:
                counters_.loadedEntry = counters_.startedEntry;
                break;
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
            case MPV_EVENT_COMMAND_REPLY:
                counters_.lastReply = std::max(counters_.lastReply, e.reply_userdata);
                break;
            case MPV_EVENT_LOG_MESSAGE: {
                const auto* m = static_cast<const mpv_event_log_message*>(e.data);
                log = std::string("mpv [") + m->prefix + "] " + m->text;
                while (!log.empty() && log.back() == '\n') log.pop_back();
                break;
            }
            default:
                break;
        }
    }

    mpv_handle* handle_;
    std::mutex mutex_;
    std::condition_variable cv_;
    Counters counters_;
    bool quit_ = false;
    std::thread thread_;  // last: starts once everything above exists
};

// Frame buffers for the hosts, reused once nobody reads them any more. A frame goes back to
// the pool from its last owner's release (the surface's or a paint's), under the pool's lock,
// so the render thread's next write into it comes after that owner's last read. The pool's
// state lives as long as the last frame out.
class FramePool {
public:
    // A frame of that size for the render thread to write; owned by the caller alone.
    std::shared_ptr<VideoFrame> Take(int width, int height) {
        std::unique_ptr<VideoFrame> frame;
        {
            std::lock_guard<std::mutex> lock(shared_->mutex);
            for (auto& f : shared_->free) {
                if (f->width() == width && f->height() == height) frame = std::move(f);
            }
            shared_->free.clear();  // other sizes belong to an older destination
        }
        if (!frame) frame = std::make_unique<VideoFrame>(width, height);
        return std::shared_ptr<VideoFrame>(frame.release(), Return{shared_});
    }

private:
    static constexpr std::size_t kKeep = 3;

    struct Shared {
        std::mutex mutex;
        std::vector<std::unique_ptr<VideoFrame>> free;
    };

    // The deleter: runs on whichever thread lets go of the frame last.
    struct Return {
        std::shared_ptr<Shared> shared;
        void operator()(VideoFrame* frame) const {
            std::unique_ptr<VideoFrame> owned(frame);
            std::lock_guard<std::mutex> lock(shared->mutex);
            if (shared->free.size() < kKeep) shared->free.push_back(std::move(owned));
        }
    };

    std::shared_ptr<Shared> shared_ = std::make_shared<Shared>();
};

// Renders frames on a thread of its own, woken by libmpv's update callback (which only
// sets a flag) and by redraw requests of the command thread. Frames go to the attached
// host surface at the destination size, or are consumed without drawing when none is.
class Renderer {
public:
    Renderer(mpv_render_context* ctx, const void* owner) : ctx_(ctx), owner_(owner) {
        thread_ = std::thread([this] { Run(); });
        mpv_render_context_set_update_callback(ctx_, &Renderer::OnUpdate, this);
    }

    ~Renderer() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            quit_ = true;
        }
        cv_.notify_all();
        thread_.join();
        // libmpv holds its own lock while calling back: after this, no callback runs.
        mpv_render_context_set_update_callback(ctx_, nullptr, nullptr);
    }

    struct Progress {
        uint64_t started = 0;    // render passes begun
        uint64_t completed = 0;  // render passes finished (frame handed to the host)
    };

    Progress Snapshot() {
        std::lock_guard<std::mutex> lock(mutex_);
        return Progress{started_, completed_};
    }

    // New target (null surface: none); a redraw follows. Returns the redraw's ticket.
    uint64_t SetTarget(std::shared_ptr<HostSurface> surface, DestinationRect destination) {
        std::lock_guard<std::mutex> lock(mutex_);
        surface_ = std::move(surface);
        destination_ = destination;
        cv_.notify_all();
        return ++redrawTicket_;
    }

    // Waits until the redraw `ticket` has been served.
    bool WaitRedraw(uint64_t ticket, int timeoutMs) {
        std::unique_lock<std::mutex> lock(mutex_);
        return cv_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return servedTicket_ >= ticket; });
    }

    // Waits until `atLeast` render passes have finished.
    bool WaitCompleted(uint64_t atLeast, int timeoutMs) {
        std::unique_lock<std::mutex> lock(mutex_);
        return cv_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return completed_ >= atLeast; });
    }

private:
    static void OnUpdate(void* self) {
        auto* r = static_cast<Renderer*>(self);
        {
            std::lock_guard<std::mutex> lock(r->mutex_);
            r->updatePending_ = true;
        }
        r->cv_.notify_all();
    }

    void Run() {
        std::unique_lock<std::mutex> lock(mutex_);
        for (;;) {
            cv_.wait(lock, [&] { return quit_ || updatePending_ || redrawTicket_ > servedTicket_; });
            if (quit_) return;
            const bool redraw = redrawTicket_ > servedTicket_;
            const uint64_t ticket = redrawTicket_;
            updatePending_ = false;
            std::shared_ptr<HostSurface> surface = surface_;
            const DestinationRect destination = destination_;
            ++started_;
            lock.unlock();

            const uint64_t flags = mpv_render_context_update(ctx_);
            if ((flags & MPV_RENDER_UPDATE_FRAME) != 0 || redraw) Render(surface.get(), destination);

            lock.lock();
            ++completed_;
            servedTicket_ = std::max(servedTicket_, ticket);
            cv_.notify_all();
        }
    }

    void Render(HostSurface* surface, DestinationRect destination) {
        int width = 0;
        int height = 0;
        if (surface != nullptr) {
            const HostSurface::Size size = surface->RenderSize(destination);
            width = size.width;
            height = size.height;
        }
        if (surface == nullptr || width <= 0 || height <= 0) {
            // Nobody shows the picture: consume the frame so playback goes on.
            if (!scratch_) scratch_ = std::make_shared<VideoFrame>(16, 16);
            int size[2] = {16, 16};
            size_t stride = scratch_->stride();
            int skip = 1;
            mpv_render_param params[] = {
                {MPV_RENDER_PARAM_SW_SIZE, size},
                {MPV_RENDER_PARAM_SW_FORMAT, const_cast<char*>("bgr0")},
                {MPV_RENDER_PARAM_SW_STRIDE, &stride},
                {MPV_RENDER_PARAM_SW_POINTER, scratch_->data()},
                {MPV_RENDER_PARAM_SKIP_RENDERING, &skip},
                {MPV_RENDER_PARAM_INVALID, nullptr},
            };
            mpv_render_context_render(ctx_, params);
            return;
        }
        std::shared_ptr<VideoFrame> frame = pool_.Take(width, height);
        int size[2] = {width, height};
        size_t stride = frame->stride();
        mpv_render_param params[] = {
            {MPV_RENDER_PARAM_SW_SIZE, size},
            {MPV_RENDER_PARAM_SW_FORMAT, const_cast<char*>("bgr0")},
            {MPV_RENDER_PARAM_SW_STRIDE, &stride},
            {MPV_RENDER_PARAM_SW_POINTER, frame->data()},
            {MPV_RENDER_PARAM_INVALID, nullptr},
        };
        if (mpv_render_context_render(ctx_, params) < 0) return;
        // libmpv writes the padding byte as 0: made opaque only for a host that shows it as
        // alpha (a 24-bit window ignores it, and so does Qt's RGB32 painting).
        if (surface->AlphaShown()) {
            for (int y = 0; y < height; ++y) {
                auto* row = reinterpret_cast<uint32_t*>(frame->data() + static_cast<size_t>(y) * stride);
                for (int x = 0; x < width; ++x) row[x] |= 0xff000000u;
            }
        }
        surface->Publish(owner_, destination, std::move(frame));
    }

    mpv_render_context* ctx_;
    const void* owner_;
    std::mutex mutex_;
    std::condition_variable cv_;
    bool quit_ = false;
    bool updatePending_ = false;
    uint64_t redrawTicket_ = 0;
    uint64_t servedTicket_ = 0;
    uint64_t started_ = 0;
    uint64_t completed_ = 0;
    std::shared_ptr<HostSurface> surface_;
    DestinationRect destination_;
    // Render thread only.
    FramePool pool_;
    std::shared_ptr<VideoFrame> scratch_;
    std::thread thread_;
};

}  // namespace

// ---------------------------------------------------------------------------------------

class MpvMediaDevice::Engine {
public:
    explicit Engine(const MediaDeviceOptions& options) : options_(options) {
        handle_.reset(mpv_create());
        if (!handle_) {
            LogLine("device: mpv_create failed (is LC_NUMERIC \"C\"?)");
            return;
        }
        SetOptions();
        if (mpv_initialize(handle_.get()) < 0) {
            LogLine("device: mpv_initialize failed");
            handle_.reset();
            return;
        }
        if (LogEnabled()) mpv_request_log_messages(handle_.get(), "warn");
        events_ = std::make_unique<EventPump>(handle_.get());

        // The render context must exist before the first file loads, or video is disabled.
        mpv_render_param params[] = {
            {MPV_RENDER_PARAM_API_TYPE, const_cast<char*>(MPV_RENDER_API_TYPE_SW)},
            {MPV_RENDER_PARAM_INVALID, nullptr},
        };
        mpv_render_context* ctx = nullptr;
        if (mpv_render_context_create(&ctx, handle_.get(), params) < 0) {
            LogLine("device: mpv_render_context_create failed");
            events_.reset();
            handle_.reset();
            return;
        }
        renderContext_.reset(ctx);
        renderer_ = std::make_unique<Renderer>(ctx, this);
        volumeToken_ = ProcessWaveVolume::Subscribe([this](uint32_t v) { ApplyVolume(v); });
    }

    ~Engine() {
        if (volumeToken_ != 0) ProcessWaveVolume::Unsubscribe(volumeToken_);
        if (open_) CloseMedia();
        // Members go in reverse order of declaration: see the owners above.
    }

    bool Ready() const { return renderer_ != nullptr; }

    DeviceReply Execute(const std::string& text) {
        std::lock_guard<std::mutex> lock(commandMutex_);
        ParsedCommand parsed = ParseDeviceCommand(text);
        if (!parsed.command) return Fail(text, parsed.error);
        if (!Ready()) return Fail(text, "libmpv is not available");
        const DeviceCommand& c = *parsed.command;
        if (c.verb == DeviceVerb::Open) return Open(text, c);
        if (!open_) return Fail(text, "nothing is open");
        if (!EqualsNoCase(c.alias, alias_)) return Fail(text, "unknown alias");

        switch (c.verb) {
            case DeviceVerb::Open: break;
            case DeviceVerb::Close:
                CloseMedia();
                return Ok();
            case DeviceVerb::Stop:
                SetPause(true);
                mode_ = Mode::Stopped;
                return Ok();
            case DeviceVerb::Pause:
                if (AtEnd()) return Ok();  // nothing left to pause: stays "stopped"
                SetPause(true);
                mode_ = Mode::Paused;
                return Ok();
            case DeviceVerb::Play:
                if (c.hasFrom && !SeekTo(c.from)) return Fail(text, "seek failed");
                if (AtEnd()) return Ok();  // nothing left to play
                SetPause(false);
                mode_ = Mode::Playing;
                holding_ = false;
                return Ok();
            case DeviceVerb::Seek: {
                bool ok = false;
                switch (c.seekTarget) {
                    case SeekTarget::Start: ok = SeekTo(0); break;
                    case SeekTarget::End: ok = SeekTo(INT_MAX); break;
                    case SeekTarget::Number: ok = SeekTo(c.to); break;
                }
                mode_ = Mode::Stopped;
                return ok ? Ok() : Fail(text, "seek failed");
            }
            case DeviceVerb::Status:
                return Status(text, c.item);
            case DeviceVerb::Set:
                if (c.format == TimeFormat::Frames && !hasPicture_) {
                    return Fail(text, "frames need a picture");
                }
                format_ = c.format;
                return Ok();
            case DeviceVerb::Window:
                return Window(text, c);
            case DeviceVerb::Where:
                if (!hasPicture_) return Fail(text, "no picture");
                return Ok(std::to_string(destination_.x) + " " + std::to_string(destination_.y) + " " +
                          std::to_string(destination_.width) + " " + std::to_string(destination_.height));
            case DeviceVerb::Put:
                if (!hasPicture_) return Fail(text, "no picture");
                destination_ = c.hasRect ? DestinationRect{c.rect[0], c.rect[1], c.rect[2], c.rect[3]}
                                         : DestinationRect{0, 0, naturalWidth_, naturalHeight_};
                if (host_) {
                    host_->SetDestination(this, destination_);
                    renderer_->WaitRedraw(renderer_->SetTarget(host_, destination_), kFrameWaitMs);
                }
                return Ok();
        }
        return Fail(text, "unhandled command");
    }

private:
    enum class Mode { Stopped, Playing, Paused };

    static DeviceReply Ok(std::string text = {}) { return DeviceReply{true, std::move(text)}; }

    static DeviceReply Fail(const std::string& command, const std::string& why) {
        if (LogEnabled()) LogLine("device: \"" + command + "\" failed: " + why);
        return DeviceReply{false, {}};
    }

    void SetOption(const char* name, const std::string& value) {
        if (mpv_set_option_string(handle_.get(), name, value.c_str()) < 0) {
            LogLine(std::string("device: option ") + name + "=" + value + " refused");
        }
    }

    void SetOptions() {
        SetOption("vo", "libmpv");
        // Nothing of a user's mpv setup takes part: no config, scripts, key bindings, OSD,
        // subtitles, cover art as a picture, remembered positions, playlists or URLs.
        SetOption("config", "no");
        SetOption("load-scripts", "no");
        SetOption("osc", "no");
        SetOption("ytdl", "no");
        SetOption("load-stats-overlay", "no");
        SetOption("load-osd-console", "no");
        SetOption("load-auto-profiles", "no");
        SetOption("input-default-bindings", "no");
        SetOption("input-vo-keyboard", "no");
        SetOption("input-terminal", "no");
        SetOption("terminal", "no");
        SetOption("osd-level", "0");
        SetOption("sub-auto", "no");
        SetOption("sid", "no");
        SetOption("audio-display", "no");
        SetOption("cover-art-auto", "no");
        SetOption("resume-playback", "no");
        SetOption("save-position-on-quit", "no");
        SetOption("access-references", "no");
        SetOption("load-unsafe-playlists", "no");
        // Device behaviour: stay on the last picture at the end, exact seeks that land on
        // the requested frame in index-less MPEG streams, the destination filled exactly.
        SetOption("idle", "yes");
        SetOption("keep-open", "yes");
        SetOption("pause", "yes");
        SetOption("hr-seek", "yes");
        SetOption("hr-seek-demuxer-offset", "1.0");
        SetOption("keepaspect", "no");
        // Colour conversion (and scaling) on the render thread: libswscale's fast paths cost
        // a third of zimg's at natural size (bench/device), within a level or two of colour.
        SetOption("sws-allow-zimg", "no");
        SetOption("sws-fast", "yes");
        SetOption("sws-scaler", "bilinear");
        SetOption("audio-client-name", "velkaf");
        if (!options_.audioOutput.empty()) SetOption("ao", options_.audioOutput);
        if (!options_.pcmCaptureFile.empty()) {
            SetOption("ao-pcm-file", options_.pcmCaptureFile);
            SetOption("ao-pcm-waveheader", "no");
            SetOption("audio-format", "s16");
        }
        SetOption("audio-fallback-to-null", "yes");
        SetOption("volume-max", "100");
        SetOption("volume", NumberText(MpvVolume(ProcessWaveVolume::Current())));
    }

    // libmpv's gain is (volume / 100)^3; a linear factor g needs volume = 100 * cbrt(g).
    static double MpvVolume(uint32_t wave) { return 100.0 * std::cbrt(ProcessWaveVolume::AmplitudeFactor(wave)); }

    void ApplyVolume(uint32_t wave) {
        if (!handle_) return;
        double v = MpvVolume(wave);
        mpv_set_property(handle_.get(), "volume", MPV_FORMAT_DOUBLE, &v);
    }

    void SetPause(bool pause) {
        int flag = pause ? 1 : 0;
        mpv_set_property(handle_.get(), "pause", MPV_FORMAT_FLAG, &flag);
    }

    bool GetDouble(const char* name, double& out) {
        return mpv_get_property(handle_.get(), name, MPV_FORMAT_DOUBLE, &out) >= 0;
    }

    bool GetInt(const char* name, int64_t& out) {
        return mpv_get_property(handle_.get(), name, MPV_FORMAT_INT64, &out) >= 0;
    }

    // At the end (reached by playing, by a seek to the length, or because libmpv gave the
    // file up: an error while playing, the file cut or replaced under it): position =
    // length, mode "stopped". libmpv's end flag counts only while playing: an exact seek to
    // the last frame may raise it too, and that frame is not the end.
    bool AtEnd() {
        const EventPump::Counters n = events_->Snapshot();
        if (!atEnd_ && n.endedEntry >= openedEntry_) {
            LogLine("device: libmpv ended the file (reason " + std::to_string(n.lastEndReason) + ", error " +
                    std::to_string(n.lastEndError) + ")");
            atEnd_ = true;
        }
        if (!atEnd_ && mode_ == Mode::Playing) {
            int eof = 0;
            if (mpv_get_property(handle_.get(), "eof-reached", MPV_FORMAT_FLAG, &eof) >= 0 && eof != 0) {
                atEnd_ = true;
            }
        }
        if (atEnd_) {
            mode_ = Mode::Stopped;
            holding_ = false;
            if (!lengthKnown_) LearnLengthAtEnd();
        }
        return atEnd_;
    }

    int Length() const { return format_ == TimeFormat::Frames ? lengthFrames_ : lengthMs_; }

    void SetLength(double seconds) {
        const double span = std::max(0.0, seconds);
        lengthMs_ = std::max(0, ClampToInt(std::llround(span * 1000.0)));
        lengthFrames_ = hasPicture_ ? std::max(0, ClampToInt(std::llround(span * fps_))) : lengthMs_;
        lengthKnown_ = true;
    }

    // libmpv's duration counts as the length when the file states it (or the demuxer can
    // estimate it, as from an MPEG audio stream's bit rate). For a stream that states none
    // libmpv's duration is only the latest time read so far, never past the demuxer's read
    // position until that reaches the end: that is no length.
    bool StatedDuration(double& seconds) {
        if (!GetDouble("duration", seconds) || !(seconds > 0)) return false;
        double readAhead = 0;
        if (!GetDouble("demuxer-cache-time", readAhead) || seconds > readAhead + 1e-3) return true;
        mpv_node state{};
        if (mpv_get_property(handle_.get(), "demuxer-cache-state", MPV_FORMAT_NODE, &state) < 0) return true;
        bool demuxedAll = false;
        if (state.format == MPV_FORMAT_NODE_MAP) {
            for (int i = 0; i < state.u.list->num; ++i) {
                const mpv_node& v = state.u.list->values[i];
                if (std::string_view(state.u.list->keys[i]) == "eof" && v.format == MPV_FORMAT_FLAG) {
                    demuxedAll = v.u.flag != 0;
                }
            }
        }
        mpv_free_node_contents(&state);
        return demuxedAll;
    }

    // Without a length, libmpv may learn it while playing (the demuxer reaches the end of the
    // file); at the latest the end position is the length.
    void LearnLength() {
        double duration = 0;
        if (StatedDuration(duration)) SetLength(duration - t0_);
    }

    void LearnLengthAtEnd() {
        double t = 0;
        SetLength(GetDouble("time-pos", t) ? t - t0_ : lastSeconds_);
    }

    DeviceReply Open(const std::string& text, const DeviceCommand& c) {
        if (open_) CloseMedia();
        std::error_code ec;
        std::filesystem::path path(c.path);
        if (path.is_relative()) {
            const std::filesystem::path cwd = std::filesystem::current_path(ec);
            if (ec) return Fail(text, "no current directory");
            path = cwd / path;
        }
        struct stat st {};
        if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return Fail(text, "no such file");

        SetPause(true);
        UnloadFile();  // nothing in flight: every entry that starts from here on is ours
        const EventPump::Counters before = events_->Snapshot();
        const std::string file = path.string();
        const char* cmd[] = {"loadfile", file.c_str(), "replace", nullptr};
        if (mpv_command(handle_.get(), cmd) < 0) return Fail(text, "loadfile refused");

        EventPump::Counters seen;
        const bool done = events_->WaitFor(
            [&](const EventPump::Counters& n) {
                return n.endedEntry > before.startedEntry ||
                       (n.loadedEntry > before.startedEntry && n.restartedEntry == n.loadedEntry);
            },
            options_.openTimeoutMs, &seen);
        // An end first means an error, or a playlist (reason redirect), which is not opened.
        if (!done || seen.endedEntry > before.startedEntry) {
            UnloadFile();
            return Fail(text, done ? "the file did not open (error " + std::to_string(seen.lastEndError) + ")"
                                   : "open timed out");
        }

        int64_t w = 0;
        int64_t h = 0;
        hasPicture_ = GetInt("dwidth", w) && GetInt("dheight", h) && w > 0 && h > 0;
        naturalWidth_ = hasPicture_ ? static_cast<int>(std::min<int64_t>(w, INT_MAX)) : 0;
        naturalHeight_ = hasPicture_ ? static_cast<int>(std::min<int64_t>(h, INT_MAX)) : 0;
        t0_ = 0;
        GetDouble("time-pos", t0_);
        // Without a picture time-pos follows the audio output, which can still hold the
        // previous file's delay right after a load (seen: -0.15 s when a track is reopened at
        // once); sound starts at 0.
        if (!hasPicture_ && t0_ < 0) t0_ = 0;
        fps_ = 0;
        if (hasPicture_ && !(GetDouble("container-fps", fps_) && fps_ > 0 && fps_ < 1000)) {
            if (!(GetDouble("estimated-vf-fps", fps_) && fps_ > 0 && fps_ < 1000)) fps_ = 25.0;
        }
        lengthKnown_ = false;
        lengthMs_ = lengthFrames_ = 0;
        lastSeconds_ = 0;
        LearnLength();
        openedEntry_ = seen.loadedEntry;

        open_ = true;
        alias_ = c.alias;
        format_ = TimeFormat::Milliseconds;
        mode_ = Mode::Stopped;
        atEnd_ = false;
        holding_ = false;
        destination_ = DestinationRect{0, 0, naturalWidth_, naturalHeight_};
        if (LogEnabled()) {
            LogLine("device: opened " + file + ": " + (lengthKnown_ ? "" : "no stated length, ") +
                    std::to_string(lengthMs_) + " ms, " + std::to_string(lengthFrames_) + " frames, " +
                    std::to_string(naturalWidth_) + "x" +
                    std::to_string(naturalHeight_) + ", fps " + NumberText(fps_) + ", t0 " + NumberText(t0_));
        }
        return Ok();
    }

    // Unloads whatever is loaded or loading and returns once libmpv is idle and every event
    // of the unloaded file has been counted, so the next open sees only its own. Bounded.
    void UnloadFile() {
        const char* stop[] = {"stop", nullptr};
        mpv_command(handle_.get(), stop);
        const auto deadline = Clock::now() + std::chrono::milliseconds(options_.closeTimeoutMs);
        for (;;) {
            int idle = 0;
            if (mpv_get_property(handle_.get(), "idle-active", MPV_FORMAT_FLAG, &idle) >= 0 && idle != 0) break;
            if (Clock::now() >= deadline) {
                LogLine("device: libmpv did not become idle");
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        // Replies come after the events queued before the command: a barrier.
        const uint64_t id = ++barrier_;
        const char* ignore[] = {"ignore", nullptr};
        if (mpv_command_async(handle_.get(), id, ignore) >= 0) {
            events_->WaitFor([&](const EventPump::Counters& n) { return n.lastReply >= id; }, options_.closeTimeoutMs);
        }
    }

    void CloseMedia() {
        DetachHost();
        UnloadFile();
        open_ = false;
        alias_.clear();
        hasPicture_ = false;
        atEnd_ = false;
        mode_ = Mode::Stopped;
        format_ = TimeFormat::Milliseconds;
        lengthMs_ = lengthFrames_ = 0;
        naturalWidth_ = naturalHeight_ = 0;
        destination_ = DestinationRect{};
    }

    void DetachHost() {
        if (!host_) return;
        renderer_->SetTarget(nullptr, DestinationRect{});
        host_->Detach(this);
        host_.reset();
    }

    DeviceReply Window(const std::string& text, const DeviceCommand& c) {
        if (c.defaultWindow) {
            DetachHost();
            return Ok();
        }
        std::shared_ptr<HostSurface> host = VideoHostRegistry::Find(c.handle);
        if (!host) return Fail(text, "no video host " + std::to_string(c.handle));
        if (host != host_) DetachHost();
        host_ = std::move(host);
        host_->Attach(this, destination_);
        const uint64_t ticket = renderer_->SetTarget(host_, destination_);
        if (hasPicture_) renderer_->WaitRedraw(ticket, kFrameWaitMs);
        return Ok();
    }

    // Seeks to `value` in the current time format and leaves the device paused there,
    // showing the frame on screen at that time (exact seek). Until playback resumes the
    // position reads back as `value` itself, so steps smaller than a frame add up in both
    // directions. At or past the length: the end (the last frame for media with a picture).
    bool SeekTo(int value) {
        SetPause(true);
        double target = 0;
        double held = 0;
        const bool toEnd = lengthKnown_ && value >= Length();
        if (toEnd) {
            if (!hasPicture_) {
                atEnd_ = true;  // no picture to show: nothing more to decode
                holding_ = false;
                return true;
            }
            target = std::max(0, lengthFrames_ - 1) / fps_;
        } else {
            const int v = std::max(0, value);
            held = format_ == TimeFormat::Frames ? v / fps_ : v / 1000.0;
            // The frame that starts at or before the time; a hair of tolerance keeps frame
            // n on n despite rounding.
            target = hasPicture_ ? std::floor(held * fps_ + 1e-3) / fps_ : held;
        }

        const EventPump::Counters before = events_->Snapshot();
        const Renderer::Progress renderBefore = renderer_->Snapshot();
        const std::string where = NumberText(t0_ + target);
        const char* cmd[] = {"seek", where.c_str(), "absolute+exact", nullptr};
        if (mpv_command(handle_.get(), cmd) < 0) return false;
        const bool done = events_->WaitFor(
            [&](const EventPump::Counters& n) {
                return n.endedEntry > before.startedEntry || (n.seeks > before.seeks && n.restartAfterLastSeek);
            },
            options_.seekTimeoutMs);
        if (!done) {
            LogLine("device: seek to " + where + " timed out");
            return false;
        }
        atEnd_ = toEnd;
        holding_ = !toEnd;
        heldSeconds_ = held;
        if (!toEnd) lastSeconds_ = held;
        if (hasPicture_) {
            // libmpv hands the new frame to the render thread before it reports the restart;
            // wait until that pass has put it in the host.
            const Renderer::Progress now = renderer_->Snapshot();
            renderer_->WaitCompleted(std::max(now.started, renderBefore.completed + 1), kFrameWaitMs);
        }
        return true;
    }

    DeviceReply Status(const std::string& text, StatusItem item) {
        if (!lengthKnown_ && !AtEnd()) LearnLength();
        switch (item) {
            case StatusItem::Length:
                return Ok(std::to_string(Length()));
            case StatusItem::TimeFormat:
                return Ok(format_ == TimeFormat::Frames ? "frames" : "milliseconds");
            case StatusItem::Mode:
                AtEnd();
                return Ok(mode_ == Mode::Playing ? "playing" : mode_ == Mode::Paused ? "paused" : "stopped");
            case StatusItem::Position: {
                if (AtEnd()) return Ok(std::to_string(Length()));
                long long v = 0;
                if (holding_) {
                    v = format_ == TimeFormat::Frames ? static_cast<long long>(std::floor(heldSeconds_ * fps_ + 1e-3))
                                                      : std::llround(heldSeconds_ * 1000.0);
                } else {
                    double t = t0_;
                    if (GetDouble("time-pos", t)) lastSeconds_ = std::max(0.0, t - t0_);
                    v = format_ == TimeFormat::Frames ? static_cast<long long>(std::floor(lastSeconds_ * fps_ + 0.5))
                                                      : std::llround(lastSeconds_ * 1000.0);
                }
                // Only the end reaches the length, so the player's end check never fires early,
                // not even when the stated length falls short of the real one.
                const long long upper = lengthKnown_ ? std::max(0, Length() - 1) : INT_MAX;
                return Ok(std::to_string(std::clamp<long long>(v, 0, upper)));
            }
        }
        return Fail(text, "unknown status item");
    }

    MediaDeviceOptions options_;
    std::mutex commandMutex_;

    // Owners, in construction order; destroyed in reverse (see above).
    MpvHandle handle_;
    std::unique_ptr<EventPump> events_;
    RenderContext renderContext_;
    std::unique_ptr<Renderer> renderer_;
    int volumeToken_ = 0;
    uint64_t barrier_ = 0;

    // The open medium (command thread only).
    bool open_ = false;
    std::string alias_;
    bool hasPicture_ = false;
    int naturalWidth_ = 0;
    int naturalHeight_ = 0;
    double t0_ = 0;    // time of the first frame, seconds: the origin of positions
    double fps_ = 0;   // frames per second (media with a picture)
    int lengthMs_ = 0;
    int lengthFrames_ = 0;  // equals lengthMs_ without a picture
    bool lengthKnown_ = false;  // false: length 0 until libmpv knows it, at the latest at the end
    double lastSeconds_ = 0;    // the latest playing position read, seconds from t0
    int64_t openedEntry_ = 0;   // libmpv's playlist entry of the open file
    TimeFormat format_ = TimeFormat::Milliseconds;
    Mode mode_ = Mode::Stopped;
    bool atEnd_ = false;
    bool holding_ = false;      // stopped by a seek: the position is the seek's own value
    double heldSeconds_ = 0;    // that value, seconds from t0
    DestinationRect destination_;
    std::shared_ptr<HostSurface> host_;
};

// ---------------------------------------------------------------------------------------

MpvMediaDevice::MpvMediaDevice(const MediaDeviceOptions& options) : engine_(std::make_unique<Engine>(options)) {}

MpvMediaDevice::~MpvMediaDevice() = default;

bool MpvMediaDevice::Ready() const { return engine_->Ready(); }

std::string MpvMediaDevice::SendString(const std::string& command) { return engine_->Execute(command).text; }

DeviceReply MpvMediaDevice::Execute(const std::string& command) { return engine_->Execute(command); }
