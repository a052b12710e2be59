#include "playback/WaveVolumeControl.h"

#include <algorithm>

#include "platform/WaveVolume.h"
#include "state/PlayerState.h"

namespace {
// Before a read the value is all ones, so a failed read gives full volume.
uint32_t ReadVolume(WaveVolume& volume) {
    uint32_t v = 0xFFFFFFFFu;
    volume.Get(v);
    return v;
}

void WriteBoth(WaveVolume& volume, PlayerState& state, uint32_t level) {
    const uint32_t v = BothChannels(level);
    volume.Set(v);
    state.volumeKnobX = KnobFromVolume(v);
}
}  // namespace

int KnobFromVolume(uint32_t volume) { return static_cast<int>(volume / kVolumeKnobDivisor); }

uint32_t BothChannels(uint32_t level) {
    level = std::min<uint32_t>(level, 0xFFFFu);
    return level | (level << 16);
}

void VolumeStepDown(WaveVolume& volume, PlayerState& state) {
    const uint32_t n = (ReadVolume(volume) & 0xFFFFu) / kVolumeStep;
    WriteBoth(volume, state, n == 0 ? 0 : (n - 1) * kVolumeStep);
}

void VolumeStepUp(WaveVolume& volume, PlayerState& state) {
    const uint32_t n = (ReadVolume(volume) & 0xFFFFu) / kVolumeStep;
    WriteBoth(volume, state, n * kVolumeStep > 64406u ? 0xFFFFu : (n + 1) * kVolumeStep);
}

void SetVolumeFromKnob(WaveVolume& volume, int knob) {
    // Beyond 58 steps a channel would pass 65535 and spill into the other one.
    knob = std::clamp(knob, 0, kVolumeKnobMax);
    volume.Set(BothChannels(static_cast<uint32_t>(knob) * kVolumeStep));
}

void SetVolumeFromPanel(WaveVolume& volume, PlayerState& state, int value) {
    value = std::clamp(value, 0, 255);
    WriteBoth(volume, state, static_cast<uint32_t>(value) * 257u);
}

int PanelValueFromVolume(WaveVolume& volume) { return static_cast<int>((ReadVolume(volume) & 0xFFFFu) / 257u); }

void SyncVolumeAtStart(WaveVolume& volume, PlayerState& state) {
    const uint32_t v = ReadVolume(volume);
    volume.Set(v);
    state.volumeKnobX = KnobFromVolume(v);
}
