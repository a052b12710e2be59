#pragma once
#include <cstdint>
#include <vector>
#include "platform/WaveVolume.h"

// A wave volume that holds `value` and remembers every write; an unreadable one fails Get.
struct FakeWaveVolume final : WaveVolume {
    explicit FakeWaveVolume(uint32_t start = 0xFFFFFFFFu, bool readable = true) : value(start), readable(readable) {}
    bool Get(uint32_t& volume) override { if (readable) volume = value; return readable; }
    bool Set(uint32_t volume) override { writes.push_back(value = volume); return true; }
    uint32_t value;
    bool readable;
    std::vector<uint32_t> writes;
};
