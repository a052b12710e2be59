#pragma once
// What the player sounds like: a PulseAudio server of the test's own with one null sink "rec",
// whose monitor is recorded.
#include <gtest/gtest.h>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <tuple>
#include <vector>
#include "tests/e2e/PlayerProcess.h"

inline std::vector<int> ReadLeft(const std::string& raw) {  // of raw s16le stereo
    std::ifstream in(raw, std::ios::binary);
    std::vector<char> b((std::istreambuf_iterator<char>(in)), {});
    std::vector<int> left;
    for (std::size_t i = 0; i + 4 <= b.size(); i += 4)
        left.push_back(static_cast<int16_t>(static_cast<uint8_t>(b[i]) | static_cast<uint8_t>(b[i + 1]) << 8));
    return left;
}
inline double Power(const std::vector<int>& x, std::size_t at, std::size_t n, double f) {  // Goertzel, 44.1 kHz
    const double k = 2 * std::cos(2 * M_PI * f / 44100);
    double s1 = 0, s2 = 0;
    for (std::size_t i = at; i < at + n; ++i) std::tie(s1, s2) = std::make_tuple(x[i] + k * s1 - s2, s1);
    return s1 * s1 + s2 * s2 - k * s1 * s2;
}

class SoundE2E : public ::testing::Test {
protected:
    void SetUp() override { SKIP_WITHOUT("pulseaudio", "parecord", "pactl", "ffmpeg"); StartPulse(); }
    // A private runtime folder, no shared memory (its shared-memory path aborts under load); up once
    // a client gets an answer.
    void StartPulse() {
        pulse_ = std::make_unique<TestDaemon>(
            std::vector<std::string>{"pulseaudio", "-n", "--daemonize=no", "--disable-shm=yes", "--exit-idle-time=-1",
                                     "--system=no", "-L", "module-null-sink sink_name=rec", "-L",
                                     "module-native-protocol-unix auth-anonymous=1"}, pulseEnv_, false);
        const std::string info =
            "env '" + pulseEnv_[0] + "' '" + pulseEnv_[1] + "' pactl info >/dev/null 2>&1 && echo ok";
        ASSERT_TRUE(Eventually([&] { return ShellOutput(info) == "ok"; }, 5s)) << "pulseaudio did not start";
    }
    std::unique_ptr<TestDaemon> Recorder(const std::string& raw) const {
        return std::make_unique<TestDaemon>(std::vector<std::string>{"parecord", "--raw", "--format=s16le",
            "--rate=44100", "--channels=2", "-d", "rec.monitor", raw}, pulseEnv_, false);
    }
    // The left channel of `span` from the moment the recorder connected (what it had not written
    // yet when it was ended is lost).
    std::vector<int> Record(std::chrono::milliseconds span) {
        auto recorder = Recorder(home_.path() + "span.raw");
        std::this_thread::sleep_for(span);
        return recorder.reset(), ReadLeft(home_.path() + "span.raw");
    }
    // Plays `files` as the player's list (repeat off, `environment` added; the player keeps the test's HOME) while
    // recording into `raw`, until the device closes after the last entry or `during` returns; its log in `log`.
    void PlayAndRecord(const std::vector<std::string>& files, std::string& log, std::vector<std::string> environment,
                       const std::string& raw, const std::function<void(PlayerProcess&)>& during = {}) {
        WriteStateFiles(home_.path(), {}, "Repeat=0");
        environment.insert(environment.begin(), {pulseEnv_[0], pulseEnv_[1]});
        auto recorder = Recorder(raw);
        std::this_thread::sleep_for(300ms);
        {
            PlayerProcess player(home_.path(), files, environment);
            if (during) during(player);
            else player.WaitForLogAfter("mci> open \"" + files.back().substr(files.back().rfind('/') + 1) + "\"",
                                        "mci> close movie", 40s);
            log = player.Log();
            player.Quit();
        }
        std::this_thread::sleep_for(200ms);
    }
    TempFolder runtime_, media_, home_;
    const std::vector<std::string> pulseEnv_ = {"XDG_RUNTIME_DIR=" + runtime_.path(),
                                                "PULSE_RUNTIME_PATH=" + runtime_.path() + "pulse",
                                                "HOME=" + runtime_.path()};
    std::unique_ptr<TestDaemon> pulse_;
};
