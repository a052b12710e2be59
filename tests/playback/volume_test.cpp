// The volume knob, keys and control panel over the wave-out volume: the values written to
// both channels and the knob shown.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "platform/WaveVolume.h"
#include "playback/WaveVolumeControl.h"
#include "state/PlayerState.h"

namespace {

// A wave volume that remembers every write; reads may be made to fail.
class FakeWaveVolume final : public WaveVolume {
public:
    explicit FakeWaveVolume(uint32_t start) : value(start) {}
    bool Get(uint32_t& volume) override {
        if (failReads) return false;
        volume = value;
        return true;
    }
    bool Set(uint32_t volume) override {
        value = volume;
        writes.push_back(volume);
        return true;
    }
    uint32_t value;
    bool failReads = false;
    std::vector<uint32_t> writes;
};

constexpr uint32_t Both(uint32_t level) { return level | (level << 16); }

TEST(VolumeTest, KeySteps) {
    enum Key { Down, Up };
    struct Case {
        const char* what;
        uint32_t start;
        Key key;
        uint32_t written;
        int knob;
    };
    const Case cases[] = {
        {"full, down", 0xFFFFFFFFu, Down, Both(64353), 56},
        {"57 steps, up", Both(64353), Up, Both(65482), 57},
        {"58 steps, up", Both(65482), Up, Both(65535), 58},
        {"full, up stays full", 0xFFFFFFFFu, Up, Both(65535), 58},
        {"left 1128, down", Both(1128), Down, 0, 0},
        {"silent, down stays silent", 0, Down, 0, 0},
        {"silent, up", 0, Up, Both(1129), 0},
        {"left 30000 right full, up", 30000u | (65535u << 16), Up, Both(30483), 26},
        {"left full right silent, down", 0x0000FFFFu, Down, Both(64353), 56},
        {"half, down", Both(32768), Down, Both(31612), 27},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FakeWaveVolume volume(c.start);
        PlayerState state;
        if (c.key == Down) {
            VolumeStepDown(volume, state);
        } else {
            VolumeStepUp(volume, state);
        }
        ASSERT_EQ(volume.writes.size(), 1u);
        EXPECT_EQ(volume.writes[0], c.written);
        EXPECT_EQ(state.volumeKnobX, c.knob);
    }
}

TEST(VolumeTest, KnobFromVolume) {
    struct Case {
        uint32_t volume;
        int knob;
    };
    const Case cases[] = {
        {0xFFFFFFFFu, 58}, {0, 0}, {74051159u, 0}, {74051160u, 1},
        // k steps on both channels read back as k - 1: 1129 x 65537 is just below 2^32 / 58.
        {Both(1129), 0}, {Both(29 * 1129), 28}, {Both(58 * 1129), 57},
        {Both(32896), 29},
    };
    for (const Case& c : cases) EXPECT_EQ(KnobFromVolume(c.volume), c.knob) << c.volume;
}

TEST(VolumeTest, KnobDragWritesSteps) {
    struct Case {
        int knob;
        uint32_t written;
    };
    const Case cases[] = {
        {0, 0}, {1, Both(1129)}, {29, Both(32741)}, {58, Both(65482)},
        // Outside the bar: clamped, so one channel never spills into the other.
        {59, Both(65482)}, {-3, 0}, {1000000, Both(65482)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.knob);
        FakeWaveVolume volume(0xFFFFFFFFu);
        SetVolumeFromKnob(volume, c.knob);
        EXPECT_EQ(volume.writes, std::vector<uint32_t>{c.written});
    }
}

TEST(VolumeTest, ControlPanelSlider) {
    struct Case {
        int value;
        uint32_t written;
        int knob;
    };
    const Case cases[] = {
        {255, 0xFFFFFFFFu, 58}, {128, Both(32896), 29}, {0, 0, 0}, {1, 0x01010101u, 0},
        {256, 0xFFFFFFFFu, 58}, {-1, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        FakeWaveVolume volume(0x12345678u);
        PlayerState state;
        SetVolumeFromPanel(volume, state, c.value);
        EXPECT_EQ(volume.value, c.written);
        EXPECT_EQ(state.volumeKnobX, c.knob);
        // And the slider reads back what was set.
        EXPECT_EQ(PanelValueFromVolume(volume), std::clamp(c.value, 0, 255));
    }
}

TEST(VolumeTest, PanelValueIsTheLeftChannel) {
    struct Case {
        uint32_t volume;
        int value;
    };
    const Case cases[] = {{0xFFFFFFFFu, 255}, {0xFFFF0000u, 0}, {0x0000FFFFu, 255}, {Both(256), 0}, {Both(257), 1},
                          {Both(32896), 128}};
    for (const Case& c : cases) {
        FakeWaveVolume volume(c.volume);
        EXPECT_EQ(PanelValueFromVolume(volume), c.value) << c.volume;
    }
}

TEST(VolumeTest, SyncAtStartWritesBackAndSetsTheKnob) {
    FakeWaveVolume volume(Both(32896));
    PlayerState state;
    SyncVolumeAtStart(volume, state);
    EXPECT_EQ(volume.writes, std::vector<uint32_t>{Both(32896)});
    EXPECT_EQ(state.volumeKnobX, 29);
}

TEST(VolumeTest, FailedReadsCountAsFullVolume) {
    FakeWaveVolume volume(0);
    volume.failReads = true;
    PlayerState state;
    SyncVolumeAtStart(volume, state);
    EXPECT_EQ(volume.writes.back(), 0xFFFFFFFFu);
    EXPECT_EQ(state.volumeKnobX, 58);
    VolumeStepDown(volume, state);
    EXPECT_EQ(volume.writes.back(), Both(64353));
    EXPECT_EQ(PanelValueFromVolume(volume), 255);
}

}  // namespace
