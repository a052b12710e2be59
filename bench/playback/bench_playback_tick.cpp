// One full playback tick while playing at normal speed, and while searching, against the
// scripted media device and a host that draws nothing: the cost of the tick's own logic and
// command traffic, without the rendering behind the host.
#include <benchmark/benchmark.h>

#include "bench/support/HeadlessPlaybackHost.h"

#include "playback/MciSession.h"
#include "playback/PlaybackContext.h"
#include "playback/PlaybackTick.h"
#include "platform/Clock.h"
#include "state/PlayerState.h"
#include "playlist/Playlist.h"
#include "state/Settings.h"
#include "tests/support/ScriptedMediaDevice.h"

namespace {

class QuietHost final : public HeadlessPlaybackHost {
public:
    void ComposeDisplayAndPresent(int devicePosition) override { benchmark::DoNotOptimize(devicePosition); }
};

struct Player {
    ScriptedMediaDevice device;
    PlayerState state;
    Settings settings;
    Playlist playlist;
    MciSession mci{device, state};
    QuietHost host;
    VideoGeometry video;
    SystemClock clock;
    PlaybackContext context{state, settings, playlist, mci, host, video, clock};

    Player() {
        device.Answer("status movie position", "123456");
        device.Answer("status movie time format", "milliseconds");
        playlist.InsertAt(0, "/music/a.mp3");
        playlist.SyncCount();
    }
    void Tick(benchmark::State& state) {
        int n = 0;
        for (auto _ : state) {
            PlaybackTick(context);
            if (++n == 1024) {  // the scripted device keeps every command
                n = 0;
                device.ClearSent();
            }
        }
    }
};

void BM_PlaybackTickPlaying(benchmark::State& state) {
    Player p;
    p.Tick(state);
}
BENCHMARK(BM_PlaybackTickPlaying);

void BM_PlaybackTickSearching(benchmark::State& state) {
    Player p;
    p.state.mouseButtonDown = 1;
    p.state.buttonCounters[kCounterSearchForward] = 1;  // search forward held: a relative seek every tick
    p.Tick(state);
}
BENCHMARK(BM_PlaybackTickSearching);

}  // namespace

BENCHMARK_MAIN();
