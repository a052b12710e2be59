#pragma once
#include <cstdint>
#include <functional>

#include "platform/WaveVolume.h"

// The process-wide wave-out volume behind WaveVolume: one 32-bit value (low 16 bits left,
// high 16 bits right, each 0..65535), full (0xFFFFFFFF) at start, shared by every instance of
// this class and applied by every media device of the process to its playback as a linear
// amplitude factor. Get never fails. Set applies at once to all open media.
class ProcessWaveVolume final : public WaveVolume {
public:
    bool Get(uint32_t& volume) override;
    bool Set(uint32_t volume) override;

    static uint32_t Current();
    // Linear amplitude factor 0..1 of a 32-bit volume. libmpv has one gain for all channels;
    // when the two channels differ, their mean is applied (the player always writes both
    // channels alike).
    static double AmplitudeFactor(uint32_t volume);

    // Devices follow the volume through a listener, called on the thread that calls Set
    // (the user-interface thread). Returns a token for Unsubscribe.
    static int Subscribe(std::function<void(uint32_t)> listener);
    static void Unsubscribe(int token);
};
