#include "tests/device/TestMedia.h"
#include <QCoreApplication>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <stdexcept>
#include <thread>

namespace {
const std::string kDir = VELKAF_TEST_MEDIA_DIR;

// Name, then the ffmpeg inputs and encoding; the output path is appended.
#define PICTURE "-f lavfi -i testsrc2=size=320x240:rate=25,hue=h=n*37:s=1.5 "
#define SOUND "-f lavfi -i sine=frequency=440:sample_rate=44100 "
#define COVER "-f lavfi -i testsrc2=size=64x64 -map 0:a -map 1:v -frames:v 1 -disposition:v attached_pic "
const std::map<std::string, const char*> kRecipes = {
    {"tone.mp3", SOUND "-t 2 -c:a libmp3lame -b:a 128k -write_id3v1 1 -metadata title=Tone -metadata artist=Test"},
    {"video.mpg", PICTURE SOUND "-t 4 -c:v mpeg1video -g 12 -bf 2 -q:v 3 -c:a mp2 -b:a 128k -f mpeg"},
    {"videoonly.mpeg", PICTURE "-t 4 -c:v mpeg1video -g 12 -bf 2 -q:v 3 -f mpeg"},
    {"mpeg2.mpeg", PICTURE SOUND "-t 2 -c:v mpeg2video -c:a mp2 -f vob"},
    {"clip.ts", PICTURE SOUND "-t 2 -c:v mpeg2video -c:a mp2 -f mpegts"},
    {"vcd.dat", "-f lavfi -i testsrc2=size=352x288:rate=25 " SOUND "-t 2 -target pal-vcd"},
    {"clip.avi", PICTURE SOUND "-t 2 -c:v mpeg4 -c:a pcm_s16le"},
    {"clip.mov", PICTURE SOUND "-t 2 -c:v mpeg4 -c:a aac"},
    {"clip.asf", PICTURE SOUND "-t 2 -c:v wmv2 -c:a wmav2 -f asf"},
    {"clip.rmp", PICTURE "-f lavfi -i sine=frequency=440:sample_rate=8000 -t 2 -ac 1 -c:v rv10 -c:a real_144 -f rm"},
    {"tone.wma", SOUND "-t 2 -c:a wmav2 -f asf"},
    {"tone.ra", SOUND "-t 2 -c:a ac3 -f rm"},  // RealAudio "dnet": ffmpeg writes its duration
    {"clip.mp4", PICTURE SOUND "-t 1 -c:v libx264 -preset veryfast -g 12 -bf 2 -pix_fmt yuv420p -c:a aac"},
    {"clip.m4v", PICTURE "-t 1 -c:v libx265 -preset ultrafast -x265-params log-level=error -tag:v hvc1 -f mp4"},
    {"clip.mkv", PICTURE SOUND "-t 1 -c:v libsvtav1 -preset 12 -pix_fmt yuv420p -c:a libopus"},
    {"clip.webm", PICTURE SOUND "-t 1 -c:v libvpx-vp9 -deadline realtime -cpu-used 8 -g 12 -c:a libopus"},
    {"clip.wmv", PICTURE SOUND "-t 1 -c:v wmv2 -c:a wmav2 -f asf"},
    {"clip.flv", PICTURE SOUND "-t 1 -c:v flv1 -c:a libmp3lame"},
    {"clip.ogv", PICTURE SOUND "-t 1 -c:v libtheora -q:v 5 -c:a libvorbis"},
    {"tone.m4a", SOUND "-t 1 -c:a aac"},
    {"tone.aac", SOUND "-t 1 -c:a aac -f adts"},
    {"tone.flac", SOUND "-t 1 -c:a flac"},
    {"tone.ogg", SOUND "-t 1 -c:a libvorbis"},
    {"tone.oga", SOUND "-t 1 -c:a flac -f ogg"},
    {"tone.opus", SOUND "-t 1 -c:a libopus"},
    {"tone.mka", SOUND "-t 1 -c:a aac -f matroska"},
    {"tone.wv", SOUND "-t 1 -c:a wavpack"},
    {"tone.mp2", SOUND "-t 1 -c:a mp2 -f mp2"},
    {"cover.mp3", SOUND COVER "-t 1 -c:a libmp3lame -c:v png -id3v2_version 3"},
    {"stream.mp3", SOUND "-t 1 -c:a libmp3lame -write_xing 0 -id3v2_version 0 -f mp3"},
    {"stream.mpg", PICTURE "-t 4 -c:v mpeg1video -q:v 2 -f mpeg1video"},
    {"long.mp3", SOUND "-t 20 -c:a libmp3lame -b:a 320k"},
};

bool Exists(const std::string& path) { return std::filesystem::exists(path) && std::filesystem::file_size(path) > 0; }
void Run(const std::string& c) { if (std::system(c.c_str()) != 0) throw std::runtime_error("failed: " + c); }

// Made under the lock (closing the file lets go of it), written to a temporary name and renamed, so a half-made file is
// never seen; `ffmpeg`: its inputs and encoding, the output path appended (none: tone.wav, written here).
std::string Make(const std::string& name, const std::string& ffmpeg) {
    const std::string out = kDir + "/" + name;
    if (Exists(out)) return out;
    std::filesystem::create_directories(kDir);
    const int lock = ::open((kDir + "/.lock").c_str(), O_CREAT | O_RDWR, 0644);
    if (lock < 0 || ::flock(lock, LOCK_EX) != 0) throw std::runtime_error("cannot lock " + kDir);
    struct Closer { int fd; ~Closer() { ::close(fd); } } closer{lock};
    const std::string part = kDir + "/part-" + name;
    if (Exists(out)) return out;
    // (SVT-AV1 prints its banner unless told to keep to errors.)
    if (ffmpeg.empty()) WriteToneWav(part, 2.0, 1000.0, 0.5);
    else Run("SVT_LOG=1 ffmpeg -nostdin -v error -y " + ffmpeg + " '" + part + "'");
    std::filesystem::rename(part, out);
    return out;
}
}  // namespace

std::string MediaPath(const std::string& name) { return Make(name, name == "tone.wav" ? "" : kRecipes.at(name)); }

QImage DecodedFrame(const std::string& name, int n) {
    const std::string frame = std::to_string(n), select = "-vf 'select=eq(n\\," + frame + ")' -vsync 0 -frames:v 1";
    const std::string out = Make("frame-" + name + "-" + frame + ".png", "-i '" + MediaPath(name) + "' " + select);
    return QImage(QString::fromStdString(out)).convertToFormat(QImage::Format_RGB32);
}

bool WaitUntil(const std::function<bool()>& done, int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (; !done(); std::this_thread::sleep_for(std::chrono::milliseconds(2))) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

void WriteToneWav(const std::string& path, double seconds, double frequency, double amplitude) {
    const uint32_t rate = 44100, frames = uint32_t(seconds * rate), bytes = frames * 4;  // 16-bit stereo
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    auto put = [&](uint32_t v, int size) { out.write(reinterpret_cast<const char*>(&v), size); };
    out.write("RIFF", 4); put(36 + bytes, 4); out.write("WAVEfmt ", 8);
    for (const auto& [v, size] : {std::pair{16u, 4}, {1u, 2}, {2u, 2}, {rate, 4}, {rate * 4, 4}, {4u, 2}, {16u, 2}})
        put(v, size);  // PCM, 2 channels, rate, bytes per second, bytes per frame, bits
    out.write("data", 4); put(bytes, 4);
    for (uint32_t i = 0; i < frames; ++i)  // the same sample left and right
        put(uint16_t(std::lround(amplitude * 32767 * std::sin(2 * M_PI * frequency * i / rate))) * 0x10001u, 4);
}
