#include "playback/TrackChoice.h"

#include <charconv>

#include "playback/MciSession.h"
#include "playback/OpenTrack.h"
#include "platform/Log.h"
#include "state/PlayerState.h"

namespace {

bool ReadInt(std::string_view& text, int& value) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end == text.data()) return false;
    text.remove_prefix(static_cast<std::size_t>(end - text.data()));
    if (text.empty() || text.front() != ' ') return false;
    text.remove_prefix(1);
    return true;
}

void DrawTitle(PlaybackContext& c, const std::string& line1, const std::string& line2) {
    const TitleLineEnds ends = c.host.DrawTitleLines(line1, line2);
    c.state.titleWidth[0] = ends.line1 - 4;
    c.state.titleWidth[1] = ends.line2 - 4;
}

}  // namespace

std::string TrackNotice(TrackRequest kind, std::string_view reply) {
    int chosen = 0, count = 0;
    if (!ReadInt(reply, chosen) || !ReadInt(reply, count) || reply.empty() || chosen < 0 || chosen > count) return {};
    // A language as the file states it: letters, digits and '-' only, so a stray byte never
    // reaches the title.
    if (reply.size() > 16) return {};
    for (const char ch : reply)
        if (!((ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z') || (ch >= '0' && ch <= '9') || ch == '-')) return {};
    const std::string language = reply == "none" ? "\xE3\x81\xAA\xE3\x81\x97" : std::string(reply);    // なし
    const char* what = kind == kTrackAudio ? "\xE9\x9F\xB3\xE5\xA3\xB0" : "\xE5\xAD\x97\xE5\xB9\x95";  // 音声, 字幕
    return std::string(" ") + what + " " + std::to_string(chosen) + "/" + std::to_string(count) + ": " + language +
           " |";
}

void CarryOutTrackRequest(PlaybackContext& c) {
    PlayerState& s = c.state;
    if (s.trackRequest != kTrackNone) {
        const auto kind = static_cast<TrackRequest>(s.trackRequest.Take());
        if (s.closed != 0) return;
        const std::string reply =
            c.mci.QueryText(kind == kTrackAudio ? "track movie audio next" : "track movie subtitle next", kReplySize);
        const std::string notice = TrackNotice(kind, reply);
        if (notice.empty()) {
            LogLine("no other " + std::string(kind == kTrackAudio ? "audio" : "subtitle") + " track to choose");
            return;
        }
        if (LogEnabled()) LogLine("title line:" + notice);
        DrawTitle(c, notice, notice);
        s.marqueeStarted = 1;
        s.marqueeOffset = 0;
        s.trackNoticeTicks = kTrackNoticeTicks;
        return;
    }
    if (s.trackNoticeTicks == 0 || --s.trackNoticeTicks != 0) return;
    // The notice has been read: the track's own title comes back, entering as after an open.
    DrawTitle(c, s.titleLine1, s.titleLine2);
    s.marqueeStarted = 0;
    s.marqueeOffset = -141;
}
