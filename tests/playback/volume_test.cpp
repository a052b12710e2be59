// The knob, the keys and the panel over the wave-out volume, and the volume kept between runs.
#include <gtest/gtest.h>
#include "playback/WaveVolumeControl.h"
#include "state/PlayerState.h"
#include "tests/support/FakeWaveVolume.h"
#include "tests/support/TestSupport.h"

namespace {

constexpr uint32_t kUnreadable = 0xDEADBEEFu, kFull = 0xFFFFFFFFu;  // unreadable counts as full

constexpr uint32_t Both(uint32_t level) { return level | (level << 16); }

// Down (N) and Up (M) step from the left channel; Knob is a drag; Panel the slider 0..255;
// Shown the slider's value read from the volume (in the knob column).
TEST(VolumeTest, EveryControlWritesBothChannels) {
    enum Control { Down, Up, Knob, Panel, Shown };
    struct Case { Control control; uint32_t start; int value; uint32_t after; int knob; };
    const Case cases[] = {
        {Down, kFull, 0, Both(64353), 56}, {Up, Both(64353), 0, Both(65482), 57}, {Up, Both(65482), 0, kFull, 58},
        {Up, kFull, 0, kFull, 58}, {Down, Both(1128), 0, 0, 0}, {Down, 0, 0, 0, 0}, {Up, 0, 0, Both(1129), 0},
        {Up, 30000u | (65535u << 16), 0, Both(30483), 26}, {Down, 0x0000FFFFu, 0, Both(64353), 56},
        {Down, Both(32768), 0, Both(31612), 27}, {Down, kUnreadable, 0, Both(64353), 56},
        // Outside the bar the knob is clamped, so one channel never spills into the other.
        {Knob, 0, 29, Both(32741), 0}, {Knob, 0, 58, Both(65482), 0}, {Knob, 0, 59, Both(65482), 0},
        {Knob, 9, -3, 0, 0},
        {Panel, 7, 255, kFull, 58}, {Panel, 7, 128, Both(32896), 29}, {Panel, 7, 1, 0x01010101u, 0},
        {Panel, 7, 256, kFull, 58}, {Panel, 7, -1, 0, 0}, {Shown, 0xFFFF0000u, 0, 0xFFFF0000u, 0},
        {Shown, 0x0000FFFFu, 0, 0x0000FFFFu, 255}, {Shown, Both(257), 0, Both(257), 1}, {Shown, kUnreadable, 0, 0, 255},
    };
    for (const Case& c : cases) {
        FakeWaveVolume volume(c.start == kUnreadable ? 0 : c.start, c.start != kUnreadable);
        PlayerState state;
        if (c.control == Down) VolumeStepDown(volume, state);
        if (c.control == Up) VolumeStepUp(volume, state);
        if (c.control == Knob) SetVolumeFromKnob(volume, c.value);
        if (c.control == Panel) SetVolumeFromPanel(volume, state, c.value);
        if (c.control == Shown) state.volumeKnobX = PanelValueFromVolume(volume);
        EXPECT_EQ(std::tuple(volume.writes.size(), volume.value, state.volumeKnobX),
                  std::tuple(c.control == Shown ? 0u : 1u, c.after, c.knob))
            << c.control << " " << c.start << " " << c.value;
    }
}

TEST(VolumeTest, KeptBetweenRunsInItsOwnFile) {
    struct Case { std::string bytes; bool taken = false; uint32_t volume = 7; };
    const Case cases[] = {
        {"59837 59837\n", true, Both(59837)}, {"0 65535\r\n", true, 0xFFFF0000u}, {"12 34", true, 34u << 16 | 12u},
        {"65536 1\n"}, {"1 2 3\n"}, {"-1 5\n"}, {" 1 2\n"}, {"1  2\n"}, {"1\n2\n"}, {""},
        {std::string("1 2\0", 4)}, {"<missing>"},
    };
    for (const Case& c : cases) {
        TempFolder folder; FakeWaveVolume volume(7);
        if (c.bytes != "<missing>") folder.Write(kKeptVolumeFileName, c.bytes);
        EXPECT_EQ(LoadKeptVolume(folder.path(), volume), c.taken) << c.bytes;
        EXPECT_EQ(volume.value, c.volume) << c.bytes;
        ASSERT_TRUE(SaveKeptVolume(folder.path(), volume));
        EXPECT_EQ(folder.Read(kKeptVolumeFileName),
                  std::to_string(c.volume & 0xFFFF) + " " + std::to_string(c.volume >> 16) + "\n");
    }
}

}  // namespace
