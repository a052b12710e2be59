#pragma once
#include <cstdint>

// The process-wide wave-out volume: low 16 bits left channel, high 16 bits right channel,
// each 0..65535. Applied by the media device to all playback as a linear amplitude factor.
// Starts at full volume (0xFFFFFFFF). User-interface thread only.
class WaveVolume {
public:
    virtual ~WaveVolume() = default;
    // Returns false when the volume cannot be read; `volume` is then left unchanged.
    virtual bool Get(uint32_t& volume) = 0;
    virtual bool Set(uint32_t volume) = 0;
};
