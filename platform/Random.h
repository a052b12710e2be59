#pragma once
#include <cstdint>

// The C runtime's classic linear congruential generator, kept so that play orders are
// reproducible from a seed: state = state * 214013 + 2531011 (mod 2^32),
// result = bits 16..30 of the new state, so 0..32767.
class LcgRandom {
public:
    explicit LcgRandom(uint32_t seed = 1) : state_(seed) {}
    void Seed(uint32_t seed) { state_ = seed; }
    int Next() {
        state_ = state_ * 214013u + 2531011u;
        return static_cast<int>((state_ >> 16) & 0x7FFF);
    }
private:
    uint32_t state_;
};
