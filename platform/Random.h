#pragma once
#include <cstdint>

// The C runtime's classic linear congruential generator, kept so that play orders are
// reproducible from a seed: state = state * 214013 + 2531011 (mod 2^32),
// result = bits 16..30 of the new state, so 0..32767.
class LcgRandom {
public:
    explicit LcgRandom(uint32_t seed = 1) : m_state(seed) {}
    void Seed(uint32_t seed) { m_state = seed; }
    int Next() {
        m_state = m_state * 214013u + 2531011u;
        return static_cast<int>((m_state >> 16) & 0x7FFF);
    }

private:
    uint32_t m_state;
};

// The one generator of the process, as the C runtime's srand/rand is: building the play order
// seeds it from the clock and draws from it, the playlist editor seeds it when its window
// opens and draws from it for its random order, each going on from where the other left it.
// User-interface thread only.
inline LcgRandom& SharedRandom() {
    static LcgRandom random;
    return random;
}
