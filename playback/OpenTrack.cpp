#include "playback/OpenTrack.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "media/TrackDetails.h"
#include "media/TrackTag.h"
#include "playback/MciSession.h"
#include "playback/NextEntryHint.h"
#include "platform/Log.h"
#include "platform/MediaDevice.h"
#include "platform/Paths.h"
#include "platform/Text.h"
#include "state/PlayerState.h"
#include "playlist/Playlist.h"
#include "state/Settings.h"

namespace {

// A field of the destination reply is collected in a 60-byte buffer.
constexpr size_t kDestinationFieldLimit = 59;
// The full-screen windows start 20 pixels above the screen; pictures shift down to match.
constexpr int kFullScreenTopShift = 20;
// Video size modes above this one put the picture on the desktop behind all windows.
constexpr int kLastWindowedSizeMode = 5;

void ReadNaturalDestination(PlaybackContext& c) {
    const std::string reply = c.mci.QueryText("where movie destination", kReplySize);
    c.video.picture = !reply.empty();
    if (!reply.empty()) c.video.natural = ParseDestination(reply);
}

// Counts the components of an absolute folder ("/a/b/" has two) so that a partial change
// into it can be told from a complete one.
int FolderDepth(const std::string& folder) {
    int depth = 0;
    for (size_t i = 1; i < folder.size(); ++i)
        if (folder[i] != '/' && folder[i - 1] == '/') ++depth;
    return depth;
}

// What the device answers for its mode right after an open: "not ready" while it still opens
// the file in the background; else a device with media open always answers its mode, and
// after a failed open nothing is open and every query answers empty.
constexpr const char* kModeNotReady = "not ready";
std::string ModeAfterOpen(PlaybackContext& c) { return c.mci.QueryText("status movie mode", kReplySize); }

void StartPlaying(PlaybackContext& c) {
    c.state.closed = 0;
    c.state.paused = 0;
    c.mci.Send("play movie");
}

void OpenFullScreen(PlaybackContext& c) {
    PlayerState& s = c.state;
    c.mci.Send("stop movie");
    c.mci.Send("window movie handle default");
    c.mci.Send("window movie handle " + std::to_string(c.host.FullScreenWindowId()));
    ReadNaturalDestination(c);
    c.video.fullScreen = FullScreenDestination(c.settings.fullScreenFit, s.screenWidth, s.screenHeight, c.video.natural,
                                               c.video.fullScreen, c.video);
    const VideoRect& d = c.video.fullScreen;
    c.mci.Send(PutDestinationCommand(d.x, d.y + kFullScreenTopShift, d.width, d.height));
    c.mci.MeasureLengths();
    if (c.playlist.StoreSize() == 0) s.pendingCommand.Ask(kCmdClose);
    else StartPlaying(c);
    // Placing knows only fit and stretch in full screen; the picture plays with its result.
    c.mci.Send("pause movie");
    c.host.PlaceVideo();
    c.mci.Send("play movie from 0");
    s.position = 0;
}

void OpenWindowed(PlaybackContext& c) {
    PlayerState& s = c.state;
    c.mci.Send("stop movie");
    s.zoomShowTicks = 0;
    const std::string attach = "window movie handle " + std::to_string(c.host.VideoWindowId());
    if (c.settings.videoSizeMode <= kLastWindowedSizeMode) {
        c.mci.Send(attach);
    } else {
        c.mci.Send("window movie handle default state minimized");
        c.mci.Send(attach);
        c.host.PlaceMainWindow(ZOrder::Bottom, c.settings.mainX, c.settings.mainY);
    }
    ReadNaturalDestination(c);
    c.mci.MeasureLengths();
    const int count = c.playlist.StoreSize();
    c.host.PlaceVideo();
    if (count == 0) s.pendingCommand.Ask(kCmdClose);
    else StartPlaying(c);
    s.position = 0;
    s.seekDragging = KnobDrag::Idle;
}

void RefreshZOrder(PlaybackContext& c) {
    const Settings& st = c.settings;
    const PlayerState& s = c.state;
    if (st.alwaysOnTop == 1 && s.minimiseState == MinimiseState::Shown) {
        // Not topmost first, so that topmost lifts it above other topmost windows.
        c.host.PlaceMainWindow(ZOrder::NotTopmost, st.mainX, st.mainY);
        c.host.PlaceMainWindow(ZOrder::Topmost, st.mainX, st.mainY);
    } else if (s.minimiseState >= MinimiseState::KeepingVideo) {
        c.host.PlaceMainWindow(ZOrder::Topmost, st.mainX, st.mainY);
        if (st.alwaysOnTop == 0) c.host.PlaceMainWindow(ZOrder::NotTopmost, st.mainX, st.mainY);
    }
}

// A track that would not open counts as the end of that track: its name shows for a moment,
// then the tick steps on by the list rules. A full round of failures in a row stops instead.
void TrackWouldNotOpen(PlaybackContext& c, const std::string& path) {
    PlayerState& s = c.state;
    LogLine("cannot play " + path + ": " + WhyTrackWillNotPlay(path));
    // The name shows at once instead of entering from the right.
    s.marqueeStarted = 1;
    s.marqueeOffset = 0;
    if (++s.failedOpensInARow < c.playlist.StoreSize()) {
        s.failedTrackWait = kFailedTrackShowCalls;
        return;
    }
    LogLine("no entry of the playlist would open: stopped");
    s.failedOpensInARow = 0;
    s.failedTrackWait = 0;
    c.mci.Close();
}

// The rest of an open once the device has answered for it (`opened`: it holds the media): the
// track's gain before anything plays, the picture's place, the lengths, play, the title lines.
void FinishOpeningTrack(PlaybackContext& c, bool opened) {
    PlayerState& s = c.state;
    Playlist& list = c.playlist;
    const TrackOpening& o = c.opening;
    s.trackOpening = 0;
    if (opened && !o.gain.empty()) c.mci.Send("set movie gain " + o.gain);
    if (s.fullScreen == 1) OpenFullScreen(c);
    else OpenWindowed(c);

    std::string line1 = TitleLine1(o.displayName, s.lengthMs);
    // Where the user looks, on every track while no sound output is open: the device
    // answers for the open just done, so the notice goes once sound is back.
    if (c.mci.Device().PlaysSilently()) line1 = kNoSoundNotice + line1;
    const std::string line2 = TitleLine2(o.tag, line1);
    if (LogEnabled()) LogLine("title line 2:" + line2);
    const TitleLineEnds ends = c.host.DrawTitleLines(line1, line2);
    s.titleLine1 = line1;
    s.titleLine2 = line2;
    s.trackNoticeTicks = 0;
    s.titleWidth[0] = ends.line1 - 4;
    s.titleWidth[1] = ends.line2 - 4;
    s.marqueeStarted = 0;
    s.marqueeOffset = -141;
    if (opened) {
        s.failedOpensInARow = 0;
        s.failedTrackWait = 0;
    } else {
        TrackWouldNotOpen(c, o.path);
    }
    RefreshZOrder(c);
    s.busy = 0;
    if (c.host.PlaylistEditorExists()) c.host.MarkCurrentInEditor(list.currentIndex);
}

}  // namespace

std::string WhyTrackWillNotPlay(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return std::strerror(errno);
    if (S_ISDIR(st.st_mode)) return "it is a folder";
    if (!S_ISREG(st.st_mode)) return "it is not a regular file (a FIFO, a socket or a device)";
    if (::access(path.c_str(), R_OK) != 0) return std::string("it cannot be read: ") + std::strerror(errno);
    if (st.st_size == 0) return "it is empty";
    return "the device cannot play it (not media it knows, or damaged)";
}

std::string TitleLine1(std::string_view displayName, int lengthMs) {
    const int seconds = lengthMs / 1000;
    const int hours = seconds / 3600;
    const int minutes = (seconds - hours * 3600) / 60;
    const int rest = seconds - hours * 3600 - minutes * 60;
    char time[64];
    std::snprintf(time, sizeof time, "%d:%02d:%02d", hours, minutes, rest);
    return " " + OutsideTextToUtf8(displayName) + "  <" + time + "> |";
}

std::string TitleLine2(const TrackTag& tag, const std::string& line1) {
    if (!tag.present) return line1;
    return " " + tag.title + " \xEF\xBC\x9A " + tag.artist + "  |";  // U+FF1A FULLWIDTH COLON
}

VideoRect ParseDestination(std::string_view reply) {
    int fields[4] = {};
    size_t start = 0;
    for (int f = 0; f < 4 && start <= reply.size(); ++f) {
        size_t blank = reply.find(' ', start);
        if (blank == std::string_view::npos) blank = reply.size();
        std::string_view field = reply.substr(start, blank - start);
        if (field.size() > kDestinationFieldLimit) field = field.substr(0, kDestinationFieldLimit);
        fields[f] = ParseLeadingInt(field);
        start = blank + 1;
    }
    return VideoRect{fields[0], fields[1], fields[2], fields[3]};
}

VideoRect FullScreenDestination(int fit, int screenWidth, int screenHeight, const VideoRect& natural,
                                const VideoRect& previous, VideoGeometry& geometry) {
    const int W = screenWidth, H = screenHeight;
    // A device that answers a negative size has no picture.
    const int w = natural.width > 0 ? natural.width : 0;
    const int h = natural.height > 0 ? natural.height : 0;
    if (fit <= 0) {
        geometry.halfWidth = static_cast<int>(static_cast<float>(w) / 2.0f);
        geometry.halfHeight = static_cast<int>(static_cast<float>(h) / 2.0f);
        return previous;
    }
    if (fit <= 3) {
        int k = 0;
        for (int m = 1; m <= fit; ++m)
            if (static_cast<long long>(m) * w <= W && static_cast<long long>(m) * h <= H) ++k;
        const int width = w * k, height = h * k;
        return VideoRect{(W - width) / 2, (H - height) / 2, width, height};
    }
    if (fit == 4) {
        // A picture without a size (no video, or no reply yet) has no scale: 0 x 0, centred,
        // instead of a division by zero.
        float s = 0.0f;
        if (w > 0 && h > 0) {
            const float sw = static_cast<float>(W) / static_cast<float>(w);
            const float sh = static_cast<float>(H) / static_cast<float>(h);
            s = sw < sh ? sw : sh;
        }
        const float scaledW = static_cast<float>(w) * s;
        const float scaledH = static_cast<float>(h) * s;
        return VideoRect{static_cast<int>(static_cast<float>(W) - scaledW) / 2,
                         static_cast<int>(static_cast<float>(H) - scaledH) / 2, static_cast<int>(scaledW),
                         static_cast<int>(scaledH)};
    }
    return VideoRect{0, 0, W, H};
}

void OpenCurrentTrack(PlaybackContext& c) {
    PlayerState& s = c.state;
    Playlist& list = c.playlist;
    // An open from a closed device starts a new round of tries; a step past a track that
    // would not open (the device stays "open") continues the round.
    if (s.closed != 0) s.failedOpensInARow = 0;
    s.busy = 1;
    s.speed = 0;
    s.trackOpening = 0;
    const int count = list.StoreSize();
    if (count == 0) {
        c.mci.Close();
    } else {
        if (list.currentIndex >= count) list.currentIndex = count - 1;
        if (list.currentIndex < 0) list.currentIndex = 0;
        const std::string path = list.Entry(list.currentIndex);
        s.openedEntry = list.currentIndex;
        s.openedPath = path;
        const std::string folder = FolderOf(path);
        const std::string displayName = FileNameOf(path);
        c.settings.lastTrackFolder = folder;

        if (s.fullScreen == 1) {
            c.host.TakePanelDisplayEffects();
            c.host.ShowOverlayTopmost(VideoRect{0, 0, 0, 0});
            c.host.ShowFullScreenWindowTopmost(
                VideoRect{0, -kFullScreenTopShift, s.screenWidth, s.screenHeight + kFullScreenTopShift});
        }
        c.mci.Send("stop movie");
        c.mci.Send("window movie handle default");
        c.mci.Send("close movie");

        TrackTag tag = ReadTrackTag(path);
        // Several artists read as several: the tag reader joins them with blanks.
        if (tag.present) {
            const TrackDetails details = ReadTrackDetails(path, false);
            if (details.artists.size() > 1) tag.artist = JoinArtists(details.artists);
        }
        // The device resolves the bare name against the current folder. When the folder
        // cannot be entered all the way, the name would resolve in an ancestor and could
        // open a different file of the same name: name the whole path then, which fails the
        // open as the missing folder should.
        std::string openName = displayName;
        if (!folder.empty() && ChangeFolderByPrefixes(folder) != FolderDepth(folder) + 1) {
            LogLine("cannot change into " + folder + ": opening by the full path");
            openName = path;
        }
        const std::string openCommand = "open \"" + openName + "\" type mpegvideo alias movie";

        c.opening = TrackOpening{path, displayName, std::move(tag), EntryGainWord(path, c.settings)};
        c.mci.Send(openCommand);
        const std::string mode = ModeAfterOpen(c);
        if (mode == kModeNotReady) {
            // The device opens it in the background; the tick finishes the open. Meanwhile its
            // name shows and the player answers.
            s.trackOpening = 1;
            const std::string line1 = TitleLine1(displayName, 0);
            c.host.DrawTitleLines(line1, TitleLine2(c.opening.tag, line1));
            LogLine("opening " + path + " in the background");
        } else {
            FinishOpeningTrack(c, !mode.empty());
        }
    }
    if (s.activeApp == 1) c.host.FocusStepSink();
    s.busy = 0;
}

void ContinueOpeningTrack(PlaybackContext& c) {
    if (!c.state.trackOpening) return;
    const std::string mode = ModeAfterOpen(c);
    if (mode == kModeNotReady) return;
    c.state.busy = 1;
    FinishOpeningTrack(c, !mode.empty());
    if (c.state.activeApp == 1) c.host.FocusStepSink();
    c.state.busy = 0;
}

void InstallTrackOpener(PlaybackContext& context) {
    context.mci.SetTrackOpener([&context] { OpenCurrentTrack(context); });
}
