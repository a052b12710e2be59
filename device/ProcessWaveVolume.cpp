#include "device/ProcessWaveVolume.h"

#include <atomic>
#include <map>
#include <mutex>
#include <vector>

namespace {
std::atomic<uint32_t> g_volume{0xFFFFFFFFu};

struct Listeners {
    std::mutex mutex;
    std::map<int, std::function<void(uint32_t)>> byToken;
    int next = 1;
};

Listeners& TheListeners() {
    static Listeners listeners;
    return listeners;
}
}  // namespace

bool ProcessWaveVolume::Get(uint32_t& volume) {
    volume = g_volume.load();
    return true;
}

bool ProcessWaveVolume::Set(uint32_t volume) {
    g_volume.store(volume);
    // Copy first: a listener may (un)subscribe while being told.
    std::vector<std::function<void(uint32_t)>> toTell;
    {
        Listeners& l = TheListeners();
        std::lock_guard<std::mutex> lock(l.mutex);
        for (auto& [token, f] : l.byToken) toTell.push_back(f);
    }
    for (auto& f : toTell) f(volume);
    return true;
}

uint32_t ProcessWaveVolume::Current() { return g_volume.load(); }

double ProcessWaveVolume::AmplitudeFactor(uint32_t volume) {
    const double left = static_cast<double>(volume & 0xFFFFu) / 65535.0;
    const double right = static_cast<double>(volume >> 16) / 65535.0;
    return (left + right) / 2.0;
}

int ProcessWaveVolume::Subscribe(std::function<void(uint32_t)> listener) {
    Listeners& l = TheListeners();
    std::lock_guard<std::mutex> lock(l.mutex);
    const int token = l.next++;
    l.byToken[token] = std::move(listener);
    return token;
}

void ProcessWaveVolume::Unsubscribe(int token) {
    Listeners& l = TheListeners();
    std::lock_guard<std::mutex> lock(l.mutex);
    l.byToken.erase(token);
}
