#include "playback/WaveVolumeControl.h"

#include <algorithm>

#include "platform/Files.h"
#include "platform/Log.h"
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
    knob = std::clamp(knob, 0, kVolumeBarWidth);
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

bool LoadKeptVolume(const std::string& folder, WaveVolume& volume) {
    const std::string path = folder + kKeptVolumeFileName;
    const auto bytes = ReadWholeFile(path);
    if (!bytes) return false;
    uint32_t levels[2] = {0, 0};
    size_t at = 0;
    bool parsed = true;
    for (int i = 0; i < 2 && parsed; ++i) {
        if (i == 1) parsed = at < bytes->size() && (*bytes)[at++] == ' ';
        const size_t digits = at;
        while (parsed && at < bytes->size() && (*bytes)[at] >= '0' && (*bytes)[at] <= '9' && levels[i] <= 0xFFFFu)
            levels[i] = levels[i] * 10 + static_cast<uint32_t>((*bytes)[at++] - '0');
        parsed = parsed && at > digits && levels[i] <= 0xFFFFu;
    }
    const std::string rest = parsed ? bytes->substr(at) : std::string();
    if (!parsed || !(rest.empty() || rest == "\n" || rest == "\r\n")) {
        LogLine("the kept volume in " + path + " is not two levels 0..65535: the volume stays as it is");
        return false;
    }
    volume.Set(levels[0] | (levels[1] << 16));
    LogLine("volume " + std::to_string(levels[0]) + " " + std::to_string(levels[1]) + " kept from the last run");
    return true;
}

bool SaveKeptVolume(const std::string& folder, WaveVolume& volume) {
    const uint32_t v = ReadVolume(volume);
    return WriteFileAtomically(folder + kKeptVolumeFileName,
                               std::to_string(v & 0xFFFFu) + " " + std::to_string(v >> 16) + "\n");
}
