// Opening a track with the real device: from OpenCurrentTrack to the device reporting
// "playing" with its position moving, for an MP3 and an MPEG-1 file made here with ffmpeg.
// Prints the median of N opens of each. Usage: bench_open_track [opens=15]
#include <QGuiApplication>
#include <QThread>
#include <algorithm>
#include <chrono>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/support/HeadlessPlaybackHost.h"
#include "device/MpvMediaDevice.h"
#include "platform/Clock.h"
#include "playback/MciSession.h"
#include "playback/OpenTrack.h"
#include "playback/PlaybackContext.h"
#include "state/PlayerState.h"
#include "playlist/Playlist.h"
#include "state/Settings.h"

namespace {

using Steady = std::chrono::steady_clock;

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    const int opens = argc > 1 ? std::atoi(argv[1]) : 15;
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QGuiApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C");  // libmpv needs C number formatting

    char pattern[] = "/tmp/velkaf-open-XXXXXX";
    const std::string folder = std::string(mkdtemp(pattern)) + "/";
    const std::string mp3 = folder + "song.mp3";
    const std::string mpg = folder + "clip.mpg";
    const std::string make =
        "ffmpeg -v error -y -f lavfi -i sine=frequency=440:duration=20 -c:a libmp3lame '" + mp3 +
        "' && "
        "ffmpeg -v error -y -f lavfi -i testsrc=size=640x480:rate=25:duration=20 -f lavfi -i sine=duration=20 "
        "-c:v mpeg1video -b:v 2M -c:a mp2 -f mpeg '" +
        mpg + "'";
    if (std::system(make.c_str()) != 0) return 1;

    MpvMediaDevice device;
    if (!device.Ready()) return 1;
    PlayerState state;
    Settings settings;
    Playlist playlist;
    MciSession mci(device, state);
    HeadlessPlaybackHost host;
    VideoGeometry video;
    SystemClock clock;
    PlaybackContext context{state, settings, playlist, mci, host, video, clock};

    for (const std::string& file : {mp3, mpg}) {
        playlist.ClearStore();
        playlist.InsertAt(0, file);
        playlist.SyncCount();
        std::vector<double> returned, moving;
        for (int i = 0; i < opens; ++i) {
            const auto t0 = Steady::now();
            OpenCurrentTrack(context);
            returned.push_back(std::chrono::duration<double, std::milli>(Steady::now() - t0).count());
            for (int spin = 0; spin < 2000; ++spin) {
                if (device.SendString("status movie mode") == "playing" &&
                    std::atoi(device.SendString("status movie position").c_str()) > 0)
                    break;
                QThread::usleep(500);
            }
            moving.push_back(std::chrono::duration<double, std::milli>(Steady::now() - t0).count());
        }
        std::printf(
            "%s: OpenCurrentTrack returns after %.1f ms (median of %d), playing with the position "
            "moving after %.1f ms\n",
            file.substr(file.rfind('/') + 1).c_str(), Median(returned), opens, Median(moving));
    }
    mci.Close();
    std::system(("rm -rf '" + folder + "'").c_str());
    return 0;
}
