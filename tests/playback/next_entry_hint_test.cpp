// The "next entry" hint the tick cues, and what travels with an entry's cue and open.
#include <algorithm>
#include <optional>
#include <gtest/gtest.h>
#include "playback/NextEntryHint.h"
#include "playback/OpenTrack.h"
#include "tests/playback/PlaybackRig.h"

namespace {

// Records which entry a step opened (-1: it closed the device).
struct StepRecorder final : TrackControl {
    explicit StepRecorder(const Playlist& l) : list(l) {}
    bool IsClosed() const override { return false; }
    void Close() override { opened = -1; }
    void OpenCurrentTrack() override { opened = list.currentIndex; }
    void SetTrackPending() override { opened = list.currentIndex; }
    const Playlist& list; int opened = -2;
};

// The hint names exactly what StepToNext then opens, by the same rules, stale orders included.
TEST(NextEntryHintTest, NamesWhatTheNextStepOpens) {
    struct Case { int count, current, shuffle, repeat, cursor; std::vector<int> order; int next; };
    const Case cases[] = {
        {.count = 3, .current = 0, .shuffle = 0, .repeat = 0, .cursor = 0, .order = {}, .next = 1},
        {.count = 3, .current = 2, .shuffle = 0, .repeat = 0, .cursor = 0, .order = {}, .next = -1},
        {.count = 3, .current = 2, .shuffle = 0, .repeat = 1, .cursor = 0, .order = {}, .next = 0},
        {.count = 3, .current = 1, .shuffle = 1, .repeat = 0, .cursor = 0, .order = {1, 2, 0}, .next = 2},
        {.count = 3, .current = 0, .shuffle = 1, .repeat = 0, .cursor = 2, .order = {1, 2, 0}, .next = -1},
        {.count = 3, .current = 0, .shuffle = 1, .repeat = 1, .cursor = 2, .order = {1, 2, 0}, .next = 1},
        {.count = 3, .current = 0, .shuffle = 1, .repeat = 0, .cursor = 0, .order = {1}, .next = 1},  // stale
        {.count = 3, .current = 0, .shuffle = 1, .repeat = 0, .cursor = 0, .order = {1, 7, 0}, .next = 1},
        {.count = 0, .current = 0, .shuffle = 0, .repeat = 1, .cursor = 0, .order = {}, .next = -1},
    };
    for (const Case& c : cases) {
        Playlist list;
        for (int i = 0; i < c.count; ++i) list.InsertAt(i, "/m/" + std::to_string(i) + ".flac");
        list.SyncCount();
        list.currentIndex = c.current;
        list.orderCursor = c.cursor;
        list.order = c.order;
        const std::optional<int> hinted = NextEntryIndex(list, c.shuffle, c.repeat);
        EXPECT_EQ(hinted.value_or(-1), c.next) << c.current << " shuffle " << c.shuffle << " repeat " << c.repeat;
        StepRecorder step(list);
        list.StepToNext(c.shuffle, c.repeat, step);
        EXPECT_EQ(step.opened, c.next) << c.current << " shuffle " << c.shuffle << " repeat " << c.repeat;
    }
}

TEST(NextEntryHintTest, EditsAndSettingsReCueWithinATick) {
    PlaybackRig rig;
    rig.SetEntries({"/m/a.flac", "/m/b.flac", "/m/c.flac"});
    rig.settings.repeat = 0;
    struct Step { const char* what; void (*change)(PlaybackRig&); const char* hint; };
    const Step steps[] = {
        {"open a", [](PlaybackRig&) {}, "cue movie next \"/m/b.flac\""},
        {"b deleted", [](auto& r) { r.playlist.DeleteAt(1); r.playlist.SyncCount(); }, "cue movie next \"/m/c.flac\""},
        {"at the last", [](PlaybackRig& r) { r.playlist.currentIndex = 1; }, "cue movie next"},
        {"repeat on", [](PlaybackRig& r) { r.settings.repeat = 1; }, "cue movie next \"/m/a.flac\""},
        {"closed", [](PlaybackRig& r) { r.state.closed = 1; r.settings.repeat = 0; }, nullptr},  // nothing sent
    };
    for (const Step& s : steps) {
        const std::size_t before = rig.device.hints.size();
        s.change(rig);
        CueNextEntry(rig.context);
        ASSERT_EQ(rig.device.hints.size(), before + (s.hint ? 1 : 0)) << s.what;
        if (s.hint) { EXPECT_EQ(rig.device.hints.back(), s.hint) << s.what; }
    }
    EXPECT_TRUE(rig.device.sent.empty()) << "a hint is no command";
}

// A FLAC file without audio frames: STREAMINFO (44.1 kHz, stereo, 16 bits), then a Vorbis comment of `comments`.
std::string FlacWithComments(const std::vector<std::string>& comments) {
    const auto le32 = [](std::size_t n) { return std::string{char(n), char(n >> 8), char(n >> 16), char(n >> 24)}; };
    std::string body = le32(0);
    body += le32(comments.size());
    for (const std::string& c : comments) body += le32(c.size()) + c;
    const std::string info = std::string("\x10\x00\x10\x00", 4) + std::string(6, '\0') +
                             std::string("\x0a\xc4\x42\xf0", 4) + std::string(20, '\0');
    return "fLaC" + std::string("\x00\x00\x00\x22", 4) + info + "\x84" + char(body.size() >> 16) +
           char(body.size() >> 8) + char(body.size()) + body;
}

// The cue and the open carry the entry's gain by the loudness mode: album in order, track shuffled, none when off;
// an untagged entry is cued and opened as it always was.
TEST(NextEntryHintTest, TheGainOfTheEntryTravelsWithItsCueAndItsOpen) {
    PlaybackRig rig;
    const std::string plain = rig.tmp.Write("p.flac", FlacWithComments({"TITLE=x"}));
    const std::string tagged = rig.tmp.Write(
        "t.flac", FlacWithComments({"replaygain_track_gain=-6.02 dB", "REPLAYGAIN_ALBUM_GAIN=-3.5 dB"}));
    struct Case { int mode, shuffle; std::string entry, gain; };
    const Case cases[] = {
        {.mode = 0, .shuffle = 0, .entry = tagged, .gain = "-3.50"},
        {.mode = 0, .shuffle = 1, .entry = tagged, .gain = "-6.02"},
        {.mode = 1, .shuffle = 0, .entry = tagged, .gain = "-6.02"},
        {.mode = 2, .shuffle = 1, .entry = tagged, .gain = "-3.50"},
        {.mode = 3, .shuffle = 0, .entry = tagged, .gain = ""},
        {.mode = 0, .shuffle = 0, .entry = plain, .gain = ""},
    };
    for (const Case& c : cases) {
        rig.SetEntries({c.entry == plain ? tagged : plain, c.entry});
        rig.playlist.currentIndex = 0;
        rig.playlist.order = {0, 1};
        rig.playlist.orderCursor = 0;
        rig.settings = {.shuffle = c.shuffle, .gainMode = c.mode};
        CueNextEntry(rig.context);
        EXPECT_EQ(rig.device.hints.back(),
                  "cue movie next \"" + c.entry + "\"" + (c.gain.empty() ? "" : " gain " + c.gain));
        rig.playlist.currentIndex = 1;
        rig.device.ClearSent();
        OpenCurrentTrack(rig.context);
        const Strings& sent = rig.device.sent;
        const auto open = std::find(sent.begin(), sent.end(), "open \"" + c.entry.substr(c.entry.rfind('/') + 1) +
                                                                  "\" type mpegvideo alias movie");
        ASSERT_LT(open + 2, sent.end()) << c.mode;
        // Right after the open's check, before anything plays.
        EXPECT_EQ(open[2], c.gain.empty() ? "stop movie" : "set movie gain " + c.gain) << c.mode;
        EXPECT_EQ(std::count_if(sent.begin(), sent.end(), [](auto& s) { return s.starts_with("set movie gain"); }),
                  c.gain.empty() ? 0 : 1);
    }
}

}  // namespace
