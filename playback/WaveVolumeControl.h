#pragma once
#include <cstdint>
#include <string>

class WaveVolume;
struct PlayerState;

// The player's volume control over the wave-out volume (32 bits: low 16 bits left, high 16
// bits right, each 0..65535). One knob step is 1129, a 58th of a channel; the knob position
// is the 32-bit volume / kVolumeKnobDivisor (2^32 / 58, PlayerState.h), 0..kVolumeBarWidth. Every write
// sets both channels alike. A failed read counts as full volume. User-interface thread only.

constexpr uint32_t kVolumeStep = 1129;

// volumeKnobX for a 32-bit volume.
int KnobFromVolume(uint32_t volume);
// The 32-bit volume with `level` (0..65535) on both channels.
uint32_t BothChannels(uint32_t level);

// One step down on both channels, from the left channel (N key, "[").
void VolumeStepDown(WaveVolume& volume, PlayerState& state);
// One step up on both channels, from the left channel; past 57 steps it is full (M key, "]").
void VolumeStepUp(WaveVolume& volume, PlayerState& state);
// Knob drag: both channels = knob x 1129, knob clamped to 0..58. The caller keeps
// volumeKnobX at the dragged value; it is not recomputed from the volume.
void SetVolumeFromKnob(WaveVolume& volume, int knob);
// Control panel slider 0..255 (clamped): both channels = v x 257; the knob follows.
void SetVolumeFromPanel(WaveVolume& volume, PlayerState& state, int value);
// The control panel's slider value: the left channel / 257, 0..255.
int PanelValueFromVolume(WaveVolume& volume);
// First tick: read the volume, write it back, set the knob from it.
void SyncVolumeAtStart(WaveVolume& volume, PlayerState& state);

// The volume outlives the program, as the system volume it stands for did: kept in the
// program folder beside, never inside, "KORU.CFG" (whose layout is fixed), as one line
// "left right" (decimal channel levels 0..65535, then a line end).
inline constexpr const char* kKeptVolumeFileName = "KORU.vol";
// At start, before the first tick: sets the volume kept in `folder`. A missing file keeps the
// current volume; a malformed one too, and is logged. True when a kept volume was set.
bool LoadKeptVolume(const std::string& folder, WaveVolume& volume);
// At quit: writes the current volume (full when it cannot be read) to `folder` in one piece.
bool SaveKeptVolume(const std::string& folder, WaveVolume& volume);
