#include "device/MpvMediaDevice.h"

#include <mpv/client.h>
#include <mpv/render.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <atomic>
#include <optional>
#include <thread>
#include <vector>

#include "device/DeviceCommand.h"
#include "device/EntryGain.h"
#include "device/MpvEventPump.h"
#include "device/MpvHandover.h"
#include "device/MpvLibrary.h"
#include "device/MpvRenderer.h"
#include "device/MpvTracks.h"
#include "device/ProcessWaveVolume.h"
#include "device/VideoHost.h"
#include "platform/Log.h"
#include "platform/ReadProbe.h"

namespace {

using mpvdevice::EventPump;
using mpvdevice::Handover;
using mpvdevice::Renderer;
using Clock = std::chrono::steady_clock;

// Bound for waiting until the render thread has drawn a frame for a new place or position.
constexpr int kFrameWaitMs = 500;
// Longest wait for the output to play out the last samples once the file has been read.
constexpr int kDrainBoundMs = 3000;
// While nothing sounds (the null output): how often that is looked at, and how often libmpv
// is asked to open its sound outputs again.
constexpr int kSoundCheckMs = 500;
constexpr int kSoundRetryMs = 1500;
// Bound for libmpv to let go of a file whose open is given up; past it the core is left behind.
constexpr int kGiveUpOpenMs = 100;

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

// A core whose opener or demuxer waits in a read that never returns (a stalled network mount,
// a FUSE file that never answers). Its teardown would wait for that read too, so nothing of it
// is ever destroyed: it keeps its threads and its memory until the process ends.
struct StuckCore {
    MpvHandle handle;
    std::unique_ptr<EventPump> events;
    RenderContext renderContext;
    std::unique_ptr<Renderer> renderer;
    std::unique_ptr<Handover> handover;
};

std::mutex gStuckCoresMutex;
std::vector<StuckCore*> gStuckCores;  // never freed, on purpose (see above)

}  // namespace

// ---------------------------------------------------------------------------------------

class MpvMediaDevice::Engine {
public:
    explicit Engine(const MediaDeviceOptions& options) : m_options(options) {}

    ~Engine() {
        if (m_handover) m_handover->StopWatch();  // a grace ending now takes the command lock
        if (m_volumeToken != 0) ProcessWaveVolume::Unsubscribe(m_volumeToken);
        if (m_opening) GiveUpOpening();
        if (m_open) CloseMedia();
        // Members go in reverse order of declaration: see the owners above.
    }

    // Starts libmpv on first use: the core, its audio output and its threads cost memory and
    // time that a player with nothing open should not pay. Once started it stays for the
    // device's life. False when libmpv cannot be started.
    bool Ready() {
        std::lock_guard<std::mutex> lock(m_commandMutex);
        return Start();
    }

    int PlaylistCount() {
        std::lock_guard<std::mutex> lock(m_commandMutex);
        int64_t n = 0;
        return m_handle && GetInt("playlist-count", n) ? static_cast<int>(n) : 0;
    }

    DeviceReply Execute(const std::string& text) {
        std::lock_guard<std::mutex> lock(m_commandMutex);
        ParsedCommand parsed = ParseDeviceCommand(text);
        if (!parsed.command) return Fail(text, parsed.error);
        const DeviceCommand& c = *parsed.command;
        // The entry that took over from a closed one sounds only until the next command,
        // unless that command opens it.
        if (m_handover && m_handover->Orphaned() && c.verb != DeviceVerb::Open) DropOrphan();
        if (c.verb == DeviceVerb::Open) {
            if (m_opening) GiveUpOpening();
            if (!Start()) return Fail(text, "libmpv is not available");
            return Open(text, c);
        }
        if (m_opening && FinishOpening()) {
            if (!EqualsNoCase(c.alias, m_opening->alias)) return Fail(text, "unknown alias");
            if (c.verb == DeviceVerb::Status && c.item == StatusItem::Mode) return Ok("not ready");
            if (c.verb != DeviceVerb::Close) return Fail(text, "still opening");
            GiveUpOpening();
            return Ok();
        }
        if (!m_open) return Fail(text, "nothing is open");
        if (!EqualsNoCase(c.alias, m_alias)) return Fail(text, "unknown alias");
        // Commands of the open sequence that follow an adopted entry keep it sounding; the
        // first other command ends the adoption.
        if (m_handover->Adopting() && !Handover::PartOfOpenSequence(c)) EndAdoption();

        switch (c.verb) {
        case DeviceVerb::Open: break;
        case DeviceVerb::Cue: return Cue(text, c);
        case DeviceVerb::Close: CloseMedia(); return Ok();
        case DeviceVerb::Stop:
            if (!m_handover->Adopting() && !m_handover->HandedOver()) SetPause(true);
            m_mode = Mode::Stopped;
            return Ok();
        case DeviceVerb::Pause:
            if (AtEnd()) return Ok();  // nothing left to pause: stays "stopped"
            if (!m_handover->Adopting()) SetPause(true);
            m_mode = Mode::Paused;
            return Ok();
        case DeviceVerb::Play:
            if (m_handover->Adopting() && c.hasFrom && c.from == 0) {
                // Already sounding from its first sample: no seek back.
            } else if (c.hasFrom && !SeekTo(c.from)) {
                return Fail(text, "seek failed");
            }
            if (AtEnd()) return Ok();  // nothing left to play
            SetPause(false);
            m_eofSeen = false;
            m_mode = Mode::Playing;
            m_holding = false;
            return Ok();
        case DeviceVerb::Seek: {
            bool ok = false;
            switch (c.seekTarget) {
            case SeekTarget::Start: ok = SeekTo(0); break;
            case SeekTarget::End: ok = SeekTo(INT_MAX); break;
            case SeekTarget::Number: ok = SeekTo(c.to); break;
            }
            m_mode = Mode::Stopped;
            return ok ? Ok() : Fail(text, "seek failed");
        }
        case DeviceVerb::Status: return Status(text, c.item);
        case DeviceVerb::Track: return TrackCommand(m_handle.get(), text, c);
        case DeviceVerb::Set:
            if (c.setsGain) {
                const EntryGainChange change = ApplyEntryGain(m_handle.get(), c.gain);
                if (change == EntryGainChange::Refused) return Fail(text, "gain refused");
                // Decoded ahead through the old filter while it stands at its start: read again.
                const bool atStart = m_holding ? m_heldSeconds == 0 : m_lastSeconds == 0;
                if (change == EntryGainChange::Changed && !m_handover->Adopting() && m_mode != Mode::Playing &&
                    atStart && !SeekTo(0))
                    return Fail(text, "seek failed");
                return Ok();
            }
            if (c.format == TimeFormat::Frames && !m_hasPicture) { return Fail(text, "frames need a picture"); }
            m_format = c.format;
            return Ok();
        case DeviceVerb::Window: return Window(text, c);
        case DeviceVerb::Where:
            if (!m_hasPicture) return Fail(text, "no picture");
            return Ok(std::to_string(m_destination.x) + " " + std::to_string(m_destination.y) + " " +
                      std::to_string(m_destination.width) + " " + std::to_string(m_destination.height));
        case DeviceVerb::Put:
            if (!m_hasPicture) return Fail(text, "no picture");
            m_destination = c.hasRect ? DestinationRect{c.rect[0], c.rect[1], c.rect[2], c.rect[3]}
                                      : DestinationRect{0, 0, m_naturalWidth, m_naturalHeight};
            if (m_host) {
                m_host->SetDestination(this, m_destination);
                m_renderer->WaitRedraw(m_renderer->SetTarget(m_host, m_destination), kFrameWaitMs);
            }
            return Ok();
        }
        return Fail(text, "unhandled command");
    }

private:
    enum class Mode { Stopped, Playing, Paused };

    // Under the command lock.
    bool Start() {
        if (m_renderer) return true;
        if (m_startFailed) return false;
        m_startFailed = true;  // until everything below has worked; said once
        if (std::string why; !LoadMpvLibrary(why)) {
            ReportProblem("the media engine could not start (" + why + "): nothing will play");
            return false;
        }
        m_handle.reset(mpv_create());
        if (!m_handle) {
            ReportProblem("the media engine could not start (mpv_create failed): nothing will play");
            return false;
        }
        SetOptions();
        if (mpv_initialize(m_handle.get()) < 0) {
            ReportProblem("the media engine could not start (mpv_initialize failed): nothing will play");
            m_handle.reset();
            return false;
        }
        if (LogEnabled()) mpv_request_log_messages(m_handle.get(), "warn");
        // AAC in MP4 is cut at its stated length as each entry loads, opened or cued alike.
        const char* hook = "on_preloaded";
        if (mpv_hook_add(m_handle.get(), 0, hook, 0) < 0) LogLine("device: libmpv refused the preload hook");
        m_events = std::make_unique<EventPump>(m_handle.get(), [h = m_handle.get()] { mpvdevice::CutAtStatedEnd(h); });

        // The render context must exist before the first file loads, or video is disabled.
        mpv_render_param params[] = {
            {MPV_RENDER_PARAM_API_TYPE, const_cast<char*>(MPV_RENDER_API_TYPE_SW)},
            {MPV_RENDER_PARAM_INVALID, nullptr},
        };
        mpv_render_context* ctx = nullptr;
        if (mpv_render_context_create(&ctx, m_handle.get(), params) < 0) {
            ReportProblem("the media engine could not start (no render context): nothing will play");
            m_events.reset();
            m_handle.reset();
            return false;
        }
        m_renderContext.reset(ctx);
        m_renderer = std::make_unique<Renderer>(ctx, this);
        if (m_volumeToken == 0) m_volumeToken = ProcessWaveVolume::Subscribe([this](uint32_t v) { ApplyVolume(v); });
        m_handover = std::make_unique<Handover>(m_handle.get(), *m_events, [this] {
            std::lock_guard<std::mutex> command(m_commandMutex);
            if (m_handover && m_handover->Orphaned() && !m_open) DropOrphan();
        });
        m_startFailed = false;
        if (LogEnabled()) LogLine("device: libmpv started");
        return true;
    }

    // ---- the following entry (cue), its hand-over and its adoption (MpvHandover.h) ----

    // Names the entry that follows the open one: libmpv prefetches it and, at the end of the
    // open one, goes on to it without a gap (the audio output stays open while the format
    // stays). The same entry again changes nothing; an empty path, another entry, or any open
    // withdraws it.
    DeviceReply Cue(const std::string& text, const DeviceCommand& c) {
        if (m_atEnd || m_handover->HandedOver()) return Ok();  // too late: the tick's step decides now
        if (m_silent.load()) {  // nothing is heard: no join to keep, and the output may be reopened
            m_handover->Withdraw();
            return Ok();
        }
        if (c.path.empty()) {
            m_handover->Withdraw();
            return Ok();
        }
        std::string file;
        struct stat st {};
        if (!ResolveFile(c.path, file, st)) {
            m_handover->Withdraw();
            return Fail(text, "no such file");
        }
        // A cue of the same file with another gain queues it again with that gain.
        if (m_handover->IsCued(st) && c.gain != m_cueGain) m_handover->Withdraw();
        const bool again = m_handover->IsCued(st);
        if (!again && !FirstBytesReadable(file, kMediaReadBoundMs)) {
            m_handover->Withdraw();
            return Fail(text, "its read does not finish");
        }
        // Without a gain the command is the plain append.
        if (const std::string why = m_handover->Cue(file, st, m_openedEntry, EntryGainOptions(c.gain)); !why.empty())
            return Fail(text, why);
        m_cueGain = c.gain;
        if (!again && LogEnabled()) LogLine("device: " + file + " follows");
        return Ok();
    }

    // The opener's sequence is over: what it left the mode at now holds for the engine too.
    void EndAdoption() {
        m_handover->EndAdoption();
        if (m_mode != Mode::Playing && !m_atEnd) SetPause(true);
    }

    // A closed entry's successor that nobody adopted: silenced (bounded).
    void DropOrphan() {
        if (!m_handover->EndOrphan()) return;
        LogLine("device: the following entry was not opened: stopped");
        UnloadFile();
    }

    // The path as a regular file, relative to the current folder.
    static bool ResolveFile(const std::string& written, std::string& file, struct stat& st) {
        std::error_code ec;
        std::filesystem::path path(written);
        if (path.is_relative()) {
            const std::filesystem::path cwd = std::filesystem::current_path(ec);
            if (ec) return false;
            path = cwd / path;
        }
        if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
        file = path.string();
        return true;
    }

    // Whether libmpv plays through the null output (no sound output opened, or the sound
    // server went away while playing). Said on standard error when it starts and when it ends.
    // While it lasts, nothing is cued (there is no join to keep), and every kSoundRetryMs the
    // device looks whether a sound server listens again; once one does, libmpv opens its
    // outputs again where the medium stands (paused, output reopened, the position sought
    // back, play resumed), so no time is skipped and the user does nothing. libmpv is never
    // asked blindly: reopening its output while it plays drops what it had buffered, and near
    // a hand-over or the end it stalls libmpv (seen: an entry that never reached its end).
    void CheckSoundOutput() {
        if (m_options.audioOutput == "null") return;
        const Clock::time_point now = Clock::now();
        m_soundCheckedAt = now;
        char* ao = mpv_get_property_string(m_handle.get(), "current-ao");
        if (ao == nullptr) return;  // no output right now (a change of format): nothing known
        const bool silent = std::string_view(ao) == "null";
        mpv_free(ao);
        if (silent != m_silent.load()) {
            m_silent.store(silent);
            ReportProblem(silent ? "no sound output could be opened: playing without sound"
                                 : "the sound output is back: playing with sound");
        } else if (silent && now >= m_soundRetryAt && !m_handover->Cued() && !m_handover->Adopting()) {
            m_soundRetryAt = now + std::chrono::milliseconds(kSoundRetryMs);
            if (SoundServerListens()) ReopenSoundOutput();
        }
    }

    void ReopenSoundOutput() {
        const bool playing = m_open && m_mode == Mode::Playing && !AtEnd();
        const int position = m_open && !AtEnd() ? std::atoi(Status({}, StatusItem::Position).text.c_str()) : 0;
        SetPause(true);
        const char* reload[] = {"ao-reload", nullptr};
        mpv_command(m_handle.get(), reload);
        if (m_open && !m_atEnd && SeekTo(position) && playing) {
            SetPause(false);
            m_holding = false;
            m_mode = Mode::Playing;
        }
        LogLine("device: a sound server listens again: the sound output was reopened at " + std::to_string(position));
    }

    // A PulseAudio (or PipeWire) server that libmpv's first outputs would reach accepts a
    // connection on its socket. A server named by address elsewhere counts as listening.
    static bool SoundServerListens() {
        std::string path;
        const char* named = std::getenv("PULSE_SERVER");
        const char* runtime = std::getenv("PULSE_RUNTIME_PATH");
        const char* xdg = std::getenv("XDG_RUNTIME_DIR");
        if (named != nullptr && *named != '\0') {
            const std::string_view server(named);
            if (server.substr(0, 5) == "unix:") path = server.substr(5);
            else if (server.front() == '/') path = server;
            else return true;
        } else if (runtime != nullptr && *runtime != '\0') {
            path = std::string(runtime) + "/native";
        } else if (xdg != nullptr && *xdg != '\0') {
            path = std::string(xdg) + "/pulse/native";
        } else {
            return false;
        }
        sockaddr_un address{};
        if (path.size() >= sizeof address.sun_path) return false;
        address.sun_family = AF_UNIX;
        std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd < 0) return false;
        const bool listens = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
        ::close(fd);
        return listens;
    }

    // The check above, at most every kSoundCheckMs: the tick asks for the position that often.
    void CheckSoundOutputNow() {
        if (Clock::now() - m_soundCheckedAt >= std::chrono::milliseconds(kSoundCheckMs)) CheckSoundOutput();
    }

    static DeviceReply Ok(std::string text = {}) { return DeviceReply{true, std::move(text)}; }

    static DeviceReply Fail(const std::string& command, const std::string& why) {
        if (LogEnabled()) LogLine("device: \"" + command + "\" failed: " + why);
        return DeviceReply{false, {}};
    }

    void SetOption(const char* name, const std::string& value) {
        if (mpv_set_option_string(m_handle.get(), name, value.c_str()) < 0) {
            LogLine(std::string("device: option ") + name + "=" + value + " refused");
        }
    }

    void SetOptions() {
        SetOption("vo", "libmpv");
        // Nothing of a user's mpv setup takes part: no config, scripts, key bindings, OSD,
        // cover art as a picture, remembered positions, playlists or URLs.
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
        // Japanese sound and subtitles first, else the file's default tracks; a subtitle file
        // of the video's own name beside it (.srt, .ass) is loaded.
        SetOption("alang", "ja,jpn");
        SetOption("slang", "ja,jpn");
        SetOption("sub-auto", "exact");
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
        if (!m_options.audioOutput.empty()) SetOption("ao", m_options.audioOutput);
        if (!m_options.pcmCaptureFile.empty()) {
            SetOption("ao-pcm-file", m_options.pcmCaptureFile);
            SetOption("ao-pcm-waveheader", "no");
            // Every sample played, in one layout: the output reopens for each file opened.
            SetOption("ao-pcm-append", "yes");
            SetOption("audio-format", "s16");
            SetOption("audio-channels", "stereo");
        }
        SetOption("audio-fallback-to-null", "yes");
        // A cued entry is read ahead and follows without a gap. The output keeps the format
        // it was opened with for the whole chain of cued entries (a later rate is resampled):
        // reopening it for a new rate loses the samples still in the server's buffer.
        SetOption("prefetch-playlist", "yes");
        SetOption("gapless-audio", "yes");
        SetOption("volume-max", "100");
        SetOption("volume", NumberText(MpvVolume(ProcessWaveVolume::Current())));
    }

    // libmpv's gain is (volume / 100)^3; a linear factor g needs volume = 100 * cbrt(g).
    static double MpvVolume(uint32_t wave) { return 100.0 * std::cbrt(ProcessWaveVolume::AmplitudeFactor(wave)); }

    void ApplyVolume(uint32_t wave) {
        if (!m_handle) return;
        double v = MpvVolume(wave);
        mpv_set_property(m_handle.get(), "volume", MPV_FORMAT_DOUBLE, &v);
    }

    void SetPause(bool pause) {
        int flag = pause ? 1 : 0;
        mpv_set_property(m_handle.get(), "pause", MPV_FORMAT_FLAG, &flag);
    }

    bool GetDouble(const char* name, double& out) {
        return mpv_get_property(m_handle.get(), name, MPV_FORMAT_DOUBLE, &out) >= 0;
    }

    bool GetInt(const char* name, int64_t& out) {
        return mpv_get_property(m_handle.get(), name, MPV_FORMAT_INT64, &out) >= 0;
    }

    // At the end (reached by playing, by a seek to the length, or because libmpv gave the
    // file up: an error while playing, the file cut or replaced under it): position =
    // length, mode "stopped". libmpv's end flag counts only while playing: an exact seek to
    // the last frame may raise it too, and that frame is not the end.
    // With a following entry cued, the end counts once that entry has taken over and its
    // first sample is heard, so the last samples of this one are heard too.
    bool AtEnd() {
        const EventPump::Counters n = m_events->Snapshot();
        if (!m_atEnd && n.endedEntry >= m_openedEntry && (!m_handover->Cued() || m_handover->SuccessorHeard())) {
            if (LogEnabled()) {
                LogLine("device: libmpv ended the file (reason " + std::to_string(n.lastEndReason) + ", error " +
                        std::to_string(n.lastEndError) + ")" +
                        (m_handover->Cued() ? ", the following entry sounds" : ""));
            }
            m_atEnd = true;
        }
        if (!m_atEnd && m_mode == Mode::Playing && !m_handover->Cued()) {
            // libmpv raises its end flag once the last samples are written, and pauses once
            // they have been played out: only then is the end heard (bounded, in case it
            // never pauses: kDrainBoundMs in which its time stood still; a stream read ahead
            // to its end may raise the flag long before).
            int eof = 0;
            if (mpv_get_property(m_handle.get(), "eof-reached", MPV_FORMAT_FLAG, &eof) >= 0 && eof != 0) {
                int paused = 0;
                double t = 0;
                const Clock::time_point now = Clock::now();
                if (!GetDouble("time-pos", t) || !m_eofSeen || t != m_eofTimePos) m_eofSince = now;
                m_eofTimePos = t;
                m_eofSeen = true;
                if ((mpv_get_property(m_handle.get(), "pause", MPV_FORMAT_FLAG, &paused) >= 0 && paused != 0) ||
                    now - m_eofSince > std::chrono::milliseconds(kDrainBoundMs)) {
                    m_atEnd = true;
                }
            } else {
                m_eofSeen = false;
            }
        }
        if (m_atEnd) {
            m_mode = Mode::Stopped;
            m_holding = false;
            if (!m_lengthKnown) LearnLengthAtEnd();
        }
        return m_atEnd;
    }

    int Length() const { return m_format == TimeFormat::Frames ? m_lengthFrames : m_lengthMs; }

    void SetLength(double seconds) {
        const double span = std::max(0.0, seconds);
        m_lengthMs = std::max(0, ClampToInt(std::llround(span * 1000.0)));
        m_lengthFrames = m_hasPicture ? std::max(0, ClampToInt(std::llround(span * m_fps))) : m_lengthMs;
        m_lengthKnown = true;
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
        if (mpv_get_property(m_handle.get(), "demuxer-cache-state", MPV_FORMAT_NODE, &state) < 0) return true;
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
        if (StatedDuration(duration)) SetLength(duration - m_t0);
    }

    void LearnLengthAtEnd() {
        double t = 0;
        SetLength(GetDouble("time-pos", t) ? t - m_t0 : m_lastSeconds);
    }

    DeviceReply Open(const std::string& text, const DeviceCommand& c) {
        std::string file;
        struct stat st {};
        const bool found = ResolveFile(c.path, file, st);
        // The entry that took over at the end of the one before is adopted as it sounds.
        const bool adopt = found && m_handover->IsCued(st) && (m_handover->Orphaned() || (m_open && m_atEnd)) &&
                           m_handover->SuccessorSounding();
        if (adopt) return Adopt(c, file);
        // Closing may leave the successor of the closed entry sounding: it goes too.
        if (m_open) CloseMedia();
        DropOrphan();
        if (!found) return Fail(text, "no such file");
        // libmpv would wait for good on a file whose read blocks, and hold its core with it.
        if (!FirstBytesReadable(file, kMediaReadBoundMs)) return Fail(text, "its read does not finish");

        // The file replaces whatever libmpv holds (a closed file, the cued entry) without an
        // unload first: the audio output stays open, so the chosen file sounds at once. Its
        // playlist entry id tells its events from those of the file it replaces.
        SetPause(true);
        m_handover->Forget();
        const char* cmd[] = {"loadfile", file.c_str(), "replace", nullptr};
        int64_t entry = 0;
        if (mpv_command(m_handle.get(), cmd) < 0 || !GetInt("playlist/0/id", entry)) {
            UnloadFile();
            return Fail(text, "loadfile refused");
        }

        m_opening = Opening{entry, c.alias, file, Clock::now() + std::chrono::milliseconds(m_options.openTimeoutMs)};
        m_events->WaitFor([&](const EventPump::Counters& n) { return OpeningOver(n); }, m_options.openWaitMs);
        if (FinishOpening() || m_open) return Ok();
        return Fail(text, "the file did not open");
    }

    // The open entry's load has ended: loaded and standing on its start, or ended (an error, or
    // a playlist, reason redirect, which is not opened).
    bool OpeningOver(const EventPump::Counters& n) const {
        const int64_t entry = m_opening->entry;
        return n.endedEntry >= entry || (n.loadedEntry == entry && n.restartedEntry == entry);
    }

    // Takes what libmpv did with the open that runs: the medium is open, or the open failed, or
    // it is still running (true) within its bound. Past the bound it is given up.
    bool FinishOpening() {
        const EventPump::Counters seen = m_events->Snapshot();
        const Opening o = *m_opening;
        if (!OpeningOver(seen)) {
            if (Clock::now() < o.deadline) return true;
            LogLine("device: " + o.file + ": the open did not finish within " +
                    std::to_string(m_options.openTimeoutMs) + " ms: given up");
            GiveUpOpening();
            return false;
        }
        m_opening.reset();
        if (seen.endedEntry >= o.entry) {
            if (LogEnabled()) {
                LogLine("device: " + o.file + " did not open (error " + std::to_string(seen.lastEndError) + ")");
            }
            UnloadFile();
            return false;
        }
        Describe(o.entry, o.alias, o.file, false);
        return false;
    }

    // The open that runs is given up: libmpv lets go of the file within kGiveUpOpenMs, or its
    // core is left behind stuck in the file's read and the next command starts a fresh one.
    void GiveUpOpening() {
        m_opening.reset();
        UnloadFile(kGiveUpOpenMs);
    }

    // Takes over the cued entry that plays on in libmpv: the medium is now that entry,
    // stopped (for its opener) while it goes on sounding; its position runs from its first
    // sample heard. Until the opener's sequence ends (see PartOfOpenSequence) stop and pause
    // leave the engine playing.
    DeviceReply Adopt(const DeviceCommand& c, const std::string& file) {
        if (m_open) CloseMedia(true);
        const int64_t entry = m_handover->Adopt();
        // Wait (bounded) for the size and length of the entry, known once it has restarted.
        m_events->WaitFor(
            [&](const EventPump::Counters& n) { return n.restartedEntry >= entry || n.endedEntry >= entry; },
            m_options.openTimeoutMs);
        Describe(entry, c.alias, file, true);
        return Ok();
    }

    // Reads what the open entry is: picture, size, frame rate, origin, length.
    void Describe(int64_t entry, const std::string& alias, const std::string& file, bool adopted) {
        int64_t w = 0;
        int64_t h = 0;
        m_hasPicture = GetInt("dwidth", w) && GetInt("dheight", h) && w > 0 && h > 0;
        m_naturalWidth = m_hasPicture ? static_cast<int>(std::min<int64_t>(w, INT_MAX)) : 0;
        m_naturalHeight = m_hasPicture ? static_cast<int>(std::min<int64_t>(h, INT_MAX)) : 0;
        m_fps = 0;
        if (m_hasPicture && !(GetDouble("container-fps", m_fps) && m_fps > 0 && m_fps < 1000)) {
            if (!(GetDouble("estimated-vf-fps", m_fps) && m_fps > 0 && m_fps < 1000)) m_fps = 25.0;
        }
        // The origin is the first frame's time. Opened, the entry stands paused on that frame.
        // Adopted, it plays, and libmpv's first report of it comes a frame or two later: the
        // first frame lies on the same frame grid within a frame of the stream's start (as a
        // container's streams start together), which gives the same origin as an open. Sound
        // alone starts at 0: there time-pos follows the audio output, which right after a load
        // stands anywhere between the previous file's delay (seen: -0.15 s) and the end of
        // what was decoded ahead (a short file's whole length).
        m_t0 = 0;
        if (m_hasPicture && !adopted) {
            GetDouble("time-pos", m_t0);
        } else if (m_hasPicture) {
            EventPump::Counters n;
            m_events->WaitFor([&](const EventPump::Counters& now) { return now.firstTimeEntry >= entry; }, kFrameWaitMs,
                              &n);
            if (n.firstTimeEntry == entry && n.firstTime > 0)
                m_t0 = n.firstTime - std::floor(n.firstTime * m_fps + 1e-6) / m_fps;
        }
        m_t0 = std::max(0.0, m_t0);
        m_lengthKnown = false;
        m_lengthMs = m_lengthFrames = 0;
        m_lastSeconds = 0;
        LearnLength();
        m_openedEntry = entry;
        m_eofSeen = false;

        m_open = true;
        m_alias = alias;
        m_format = TimeFormat::Milliseconds;
        m_mode = Mode::Stopped;
        m_atEnd = false;
        // Opened, it stands at 0 until it plays (time-pos before the first play tells what was
        // decoded ahead, not what was heard); adopted, it counts from its first sample heard.
        m_holding = !adopted;
        m_heldSeconds = 0;
        m_destination = DestinationRect{0, 0, m_naturalWidth, m_naturalHeight};
        if (LogEnabled()) {
            LogLine(std::string("device: ") + (adopted ? "adopted " : "opened ") + file + ": " +
                    (m_lengthKnown ? "" : "no stated length, ") + std::to_string(m_lengthMs) + " ms, " +
                    std::to_string(m_lengthFrames) + " frames, " + std::to_string(m_naturalWidth) + "x" +
                    std::to_string(m_naturalHeight) + ", fps " + NumberText(m_fps) + ", t0 " + NumberText(m_t0));
        }
        CheckSoundOutput();
    }

    // Unloads whatever is loaded or loading and returns once libmpv is idle and every event
    // of the unloaded file has been counted, so the next open sees only its own. Bounded.
    void UnloadFile(int boundMs = 0) {
        if (!m_handle) return;
        // Asked without waiting: a core that cannot let go of the file (its demuxer waits in a
        // read) would hold a waiting caller for good. It reports idle once it has let go.
        const char* stop[] = {"stop", nullptr};  // also clears libmpv's playlist: no cue left
        const uint64_t stopped = ++m_barrier;
        mpv_command_async(m_handle.get(), stopped, stop);
        m_handover->Forget();
        const int bound = boundMs > 0 ? boundMs : m_options.closeTimeoutMs;
        if (!m_events->WaitFor([&](const EventPump::Counters& n) { return n.lastReply >= stopped && n.idle; }, bound)) {
            LeaveStuckCore();
            return;
        }
        const auto deadline = Clock::now() + std::chrono::milliseconds(bound);
        for (;;) {
            int idle = 0;
            if (mpv_get_property(m_handle.get(), "idle-active", MPV_FORMAT_FLAG, &idle) >= 0 && idle != 0) break;
            if (Clock::now() >= deadline) {
                LeaveStuckCore();
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        // Replies come after the events queued before the command: a barrier.
        const uint64_t id = ++m_barrier;
        const char* ignore[] = {"ignore", nullptr};
        if (mpv_command_async(m_handle.get(), id, ignore) >= 0) {
            m_events->WaitFor([&](const EventPump::Counters& n) { return n.lastReply >= id; },
                              m_options.closeTimeoutMs);
        }
    }

    // Closes the medium. When its cued successor sounds already, that one plays on for the
    // opener that follows (an orphan until adopted, ended by any other command or after
    // Handover::kGraceMs); `keepSuccessor` keeps it in any case (adoption).
    void CloseMedia(bool keepSuccessor = false) {
        DetachHost();
        if (keepSuccessor || m_handover->SuccessorSounding()) {
            if (!keepSuccessor) m_handover->BecomeOrphan();
        } else {
            // Kept loaded and paused until the next open replaces it: the audio output stays.
            SetPause(true);
            m_handover->Withdraw();
        }
        m_handover->EndAdoption();
        m_open = false;
        m_alias.clear();
        m_hasPicture = false;
        m_atEnd = false;
        m_mode = Mode::Stopped;
        m_format = TimeFormat::Milliseconds;
        m_lengthMs = m_lengthFrames = 0;
        m_naturalWidth = m_naturalHeight = 0;
        m_destination = DestinationRect{};
    }

    // libmpv did not let go of a file: its core waits in a read that does not return. It is
    // left behind as it stands (StuckCore) and whatever was open is closed; the next command
    // starts a fresh core (Start), so the entries after that file open normally.
    void LeaveStuckCore() {
        ReportProblem("the media engine is stuck in a file's read: it is left behind and started again");
        DetachHost();
        m_handover->Forget();
        auto* stuck = new StuckCore{std::move(m_handle), std::move(m_events), std::move(m_renderContext),
                                    std::move(m_renderer), std::move(m_handover)};
        {
            std::lock_guard<std::mutex> lock(gStuckCoresMutex);
            gStuckCores.push_back(stuck);
        }
        m_open = false;
        m_opening.reset();
        m_alias.clear();
        m_hasPicture = false;
        m_atEnd = false;
        m_mode = Mode::Stopped;
        m_silent.store(false);
    }

    void DetachHost() {
        if (!m_host) return;
        m_renderer->SetTarget(nullptr, DestinationRect{});
        m_host->Detach(this);
        m_host.reset();
    }

    DeviceReply Window(const std::string& text, const DeviceCommand& c) {
        if (c.defaultWindow) {
            DetachHost();
            return Ok();
        }
        std::shared_ptr<HostSurface> host = VideoHostRegistry::Find(c.handle);
        if (!host) return Fail(text, "no video host " + std::to_string(c.handle));
        if (host != m_host) DetachHost();
        m_host = std::move(host);
        m_host->Attach(this, m_destination);
        const uint64_t ticket = m_renderer->SetTarget(m_host, m_destination);
        if (m_hasPicture) m_renderer->WaitRedraw(ticket, kFrameWaitMs);
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
        const bool toEnd = m_lengthKnown && value >= Length();
        if (toEnd) {
            if (!m_hasPicture) {
                m_atEnd = true;  // no picture to show: nothing more to decode
                m_holding = false;
                return true;
            }
            target = std::max(0, m_lengthFrames - 1) / m_fps;
        } else {
            const int v = std::max(0, value);
            held = m_format == TimeFormat::Frames ? v / m_fps : v / 1000.0;
            // The frame that starts at or before the time; a hair of tolerance keeps frame
            // n on n despite rounding.
            target = m_hasPicture ? std::floor(held * m_fps + 1e-3) / m_fps : held;
        }

        const EventPump::Counters before = m_events->Snapshot();
        const Renderer::Progress renderBefore = m_renderer->Snapshot();
        const std::string where = NumberText(m_t0 + target);
        const char* cmd[] = {"seek", where.c_str(), "absolute+exact", nullptr};
        if (mpv_command(m_handle.get(), cmd) < 0) return false;
        const bool done = m_events->WaitFor(
            [&](const EventPump::Counters& n) {
                return n.endedEntry > before.startedEntry || (n.seeks > before.seeks && n.restartAfterLastSeek);
            },
            m_options.seekTimeoutMs);
        if (!done) {
            LogLine("device: seek to " + where + " timed out");
            return false;
        }
        m_atEnd = toEnd;
        m_holding = !toEnd;
        m_heldSeconds = held;
        if (!toEnd) m_lastSeconds = held;
        if (m_hasPicture) {
            // libmpv hands the new frame to the render thread before it reports the restart;
            // wait until that pass has put it in the host.
            const Renderer::Progress now = m_renderer->Snapshot();
            m_renderer->WaitCompleted(std::max(now.started, renderBefore.completed + 1), kFrameWaitMs);
        }
        return true;
    }

    DeviceReply Status(const std::string& text, StatusItem item) {
        if (!m_lengthKnown && !AtEnd()) LearnLength();
        CheckSoundOutputNow();
        switch (item) {
        case StatusItem::Length: return Ok(std::to_string(Length()));
        case StatusItem::TimeFormat: return Ok(m_format == TimeFormat::Frames ? "frames" : "milliseconds");
        case StatusItem::Mode:
            AtEnd();
            return Ok(m_mode == Mode::Playing ? "playing" : m_mode == Mode::Paused ? "paused" : "stopped");
        case StatusItem::Position: {
            if (AtEnd()) return Ok(std::to_string(Length()));
            long long v = 0;
            if (m_holding) {
                v = m_format == TimeFormat::Frames ? static_cast<long long>(std::floor(m_heldSeconds * m_fps + 1e-3))
                                                   : std::llround(m_heldSeconds * 1000.0);
            } else {
                // time-pos counts the output's delay: 0 is the first sample heard. While
                // playing it only moves on (an output that restarts may step back).
                double t = m_t0;
                const bool ended = m_events->Snapshot().endedEntry >= m_openedEntry;
                // Without a picture, audio-pts: the same clock, updated at every look
                // rather than once per decoded block.
                if (!ended && ((!m_hasPicture && GetDouble("audio-pts", t)) || GetDouble("time-pos", t))) {
                    const double now = std::max(0.0, t - m_t0);
                    m_lastSeconds = m_mode == Mode::Playing ? std::max(m_lastSeconds, now) : now;
                } else if (ended && m_mode == Mode::Playing && m_lengthKnown && m_handover->SuccessorSounding() &&
                           GetDouble("time-pos", t) && t < 0) {
                    // The successor's clock stands below 0 by what of this one is still to
                    // be heard: this one's position runs on to its end.
                    m_lastSeconds = std::max(m_lastSeconds, m_lengthMs / 1000.0 + t);
                }
                v = m_format == TimeFormat::Frames ? static_cast<long long>(std::floor(m_lastSeconds * m_fps + 0.5))
                                                   : std::llround(m_lastSeconds * 1000.0);
            }
            // Only the end reaches the length, so the player's end check never fires early,
            // not even when the stated length falls short of the real one.
            const long long upper = m_lengthKnown ? std::max(0, Length() - 1) : INT_MAX;
            return Ok(std::to_string(std::clamp<long long>(v, 0, upper)));
        }
        }
        return Fail(text, "unknown status item");
    }

    MediaDeviceOptions m_options;
    std::mutex m_commandMutex;
    bool m_startFailed = false;

    // Owners, in construction order; destroyed in reverse (see above).
    MpvHandle m_handle;
    std::unique_ptr<EventPump> m_events;
    RenderContext m_renderContext;
    std::unique_ptr<Renderer> m_renderer;
    int m_volumeToken = 0;
    uint64_t m_barrier = 0;

    // An open that libmpv has not finished (command thread only): the medium it will be.
    struct Opening {
        int64_t entry = 0;
        std::string alias;
        std::string file;
        Clock::time_point deadline;
    };
    std::optional<Opening> m_opening;

    // The open medium (command thread only).
    bool m_open = false;
    std::string m_alias;
    bool m_hasPicture = false;
    int m_naturalWidth = 0;
    int m_naturalHeight = 0;
    double m_t0 = 0;   // time of the first frame, seconds: the origin of positions
    double m_fps = 0;  // frames per second (media with a picture)
    int m_lengthMs = 0;
    int m_lengthFrames = 0;      // equals m_lengthMs without a picture
    bool m_lengthKnown = false;  // false: length 0 until libmpv knows it, at the latest at the end
    double m_lastSeconds = 0;    // the latest playing position read, seconds from t0
    int64_t m_openedEntry = 0;   // libmpv's playlist entry of the open file
    TimeFormat m_format = TimeFormat::Milliseconds;
    Mode m_mode = Mode::Stopped;
    bool m_atEnd = false;
    bool m_holding = false;    // stopped by a seek: the position is the seek's own value
    double m_heldSeconds = 0;  // that value, seconds from t0
    DestinationRect m_destination;
    std::shared_ptr<HostSurface> m_host;

    Clock::time_point m_soundCheckedAt{};
    Clock::time_point m_soundRetryAt{};
    int32_t m_cueGain = 0;           // the gain of the cued entry, hundredths of a dB (EntryGain.h)
    bool m_eofSeen = false;          // libmpv's end flag was up at the last look, while playing
    Clock::time_point m_eofSince{};  // since when, with libmpv's time standing at m_eofTimePos
    double m_eofTimePos = 0;

public:
    std::atomic<bool> m_silent{false};  // libmpv plays through the null output

private:
    // Last: its watch thread goes first (see ~Engine).
    std::unique_ptr<Handover> m_handover;
};

// ---------------------------------------------------------------------------------------

MpvMediaDevice::MpvMediaDevice(const MediaDeviceOptions& options) : m_engine(std::make_unique<Engine>(options)) {}

MpvMediaDevice::~MpvMediaDevice() = default;

bool MpvMediaDevice::Ready() const { return m_engine->Ready(); }

std::string MpvMediaDevice::SendString(const std::string& command) { return m_engine->Execute(command).text; }

std::string MpvMediaDevice::SendHint(const std::string& command) {
    const ParsedCommand parsed = ParseDeviceCommand(command);
    if (!parsed.command || parsed.command->verb != DeviceVerb::Cue) {
        if (LogEnabled()) LogLine("device: \"" + command + "\" is not a hint");
        return {};
    }
    return m_engine->Execute(command).text;
}

bool MpvMediaDevice::PlaysSilently() { return m_engine->m_silent.load(); }

DeviceReply MpvMediaDevice::Execute(const std::string& command) { return m_engine->Execute(command); }

int MpvMediaDevice::EnginePlaylistCount() { return m_engine->PlaylistCount(); }
