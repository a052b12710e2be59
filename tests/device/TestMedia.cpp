#include "tests/device/TestMedia.h"

#include <QCoreApplication>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <thread>

namespace {
const std::string kDir = VELKAF_TEST_MEDIA_DIR;

struct Recipe {
    const char* name;
    const char* ffmpegArgs;  // inputs and encoding; the output path is appended
};

// Picture: testsrc2 with its hue turned 37 degrees a frame, so neighbouring frames differ
// all over.
#define PICTURE "-f lavfi -i testsrc2=size=320x240:rate=25,hue=h=n*37:s=1.5 "
#define SOUND "-f lavfi -i sine=frequency=440:sample_rate=44100 "
const Recipe kRecipes[] = {
    {"tone.mp3", SOUND "-t 2 -c:a libmp3lame -b:a 128k -write_id3v1 1 -metadata title=Tone -metadata artist=Test"},
    {"video.mpg", PICTURE SOUND "-t 4 -c:v mpeg1video -g 12 -bf 2 -q:v 3 -c:a mp2 -b:a 128k -f mpeg"},
    {"videoonly.mpeg", PICTURE "-t 4 -c:v mpeg1video -g 12 -bf 2 -q:v 3 -f mpeg"},
    {"mpeg2.mpeg", PICTURE SOUND "-t 2 -c:v mpeg2video -c:a mp2 -f vob"},
    {"vcd.dat", "-f lavfi -i testsrc2=size=352x288:rate=25 " SOUND "-t 2 -target pal-vcd"},
    {"clip.avi", PICTURE SOUND "-t 2 -c:v mpeg4 -c:a pcm_s16le"},
    {"clip.mov", PICTURE SOUND "-t 2 -c:v mpeg4 -c:a aac"},
    {"clip.asf", PICTURE SOUND "-t 2 -c:v wmv2 -c:a wmav2 -f asf"},
    {"clip.rmp", PICTURE "-f lavfi -i sine=frequency=440:sample_rate=8000 -t 2 -ac 1 -c:v rv10 -c:a real_144 -f rm"},
    {"tone.wma", SOUND "-t 2 -c:a wmav2 -f asf"},
    // RealAudio with AC-3 ("dnet"): ffmpeg writes its duration into the header.
    {"tone.ra", SOUND "-t 2 -c:a ac3 -f rm"},
};
#undef PICTURE
#undef SOUND

bool Exists(const std::string& path) {
    std::error_code ec;
    return std::filesystem::file_size(path, ec) > 0 && !ec;
}

void Run(const std::string& command) {
    if (std::system(command.c_str()) != 0) throw std::runtime_error("failed: " + command);
}

// Made under the lock, written to a temporary name and renamed, so a half-made file is
// never seen.
void MakeAll() {
    static bool done = false;
    if (done) return;
    std::filesystem::create_directories(kDir);
    const int lock = ::open((kDir + "/.lock").c_str(), O_CREAT | O_RDWR, 0644);
    if (lock < 0 || ::flock(lock, LOCK_EX) != 0) throw std::runtime_error("cannot lock " + kDir);
    try {
        const std::string wav = kDir + "/tone.wav";
        if (!Exists(wav)) {
            WriteToneWav(wav + ".part", 2.0, 1000.0, 0.5);
            std::filesystem::rename(wav + ".part", wav);
        }
        for (const Recipe& r : kRecipes) {
            const std::string out = kDir + "/" + r.name;
            if (Exists(out)) continue;
            const std::string part = kDir + "/part-" + r.name;
            Run("ffmpeg -nostdin -v error -y " + std::string(r.ffmpegArgs) + " '" + part + "'");
            std::filesystem::rename(part, out);
        }
    } catch (...) {
        ::close(lock);
        throw;
    }
    ::close(lock);
    done = true;
}
}  // namespace

std::string MediaPath(const std::string& name) {
    MakeAll();
    return kDir + "/" + name;
}

QImage DecodedFrame(const std::string& name, int n) {
    const std::string source = MediaPath(name);
    const std::string out = kDir + "/frame-" + name + "-" + std::to_string(n) + ".png";
    if (!Exists(out)) {
        const std::string part = kDir + "/part-" + std::to_string(::getpid()) + "-frame.png";
        Run("ffmpeg -nostdin -v error -y -i '" + source + "' -vf 'select=eq(n\\," + std::to_string(n) +
            ")' -vsync 0 -frames:v 1 '" + part + "'");
        std::filesystem::rename(part, out);
    }
    return QImage(QString::fromStdString(out)).convertToFormat(QImage::Format_RGB32);
}

double MeanDifference(const QImage& a, const QImage& b) {
    if (a.size() != b.size() || a.isNull()) return 255.0;
    const QImage x = a.convertToFormat(QImage::Format_RGB32);
    const QImage y = b.convertToFormat(QImage::Format_RGB32);
    double sum = 0;
    for (int row = 0; row < x.height(); ++row) {
        const auto* p = reinterpret_cast<const QRgb*>(x.constScanLine(row));
        const auto* q = reinterpret_cast<const QRgb*>(y.constScanLine(row));
        for (int col = 0; col < x.width(); ++col) {
            sum += std::abs(qRed(p[col]) - qRed(q[col])) + std::abs(qGreen(p[col]) - qGreen(q[col])) +
                   std::abs(qBlue(p[col]) - qBlue(q[col]));
        }
    }
    return sum / (3.0 * x.width() * x.height());
}

double PcmRms(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const size_t count = bytes.size() / 2;
    if (count == 0) return 0;
    double sum = 0;
    for (size_t i = 0; i < count; ++i) {
        int16_t s = 0;
        std::memcpy(&s, bytes.data() + 2 * i, 2);
        sum += static_cast<double>(s) * s;
    }
    return std::sqrt(sum / static_cast<double>(count));
}

bool WaitUntil(const std::function<bool()>& done, int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

void WriteToneWav(const std::string& path, double seconds, double frequency, double amplitude) {
    const uint32_t rate = 44100;
    const uint16_t channels = 2;
    const uint32_t frames = static_cast<uint32_t>(seconds * rate);
    const uint32_t dataBytes = frames * channels * 2;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    auto u32 = [&](uint32_t v) { out.write(reinterpret_cast<const char*>(&v), 4); };
    auto u16 = [&](uint16_t v) { out.write(reinterpret_cast<const char*>(&v), 2); };
    out.write("RIFF", 4);
    u32(36 + dataBytes);
    out.write("WAVEfmt ", 8);
    u32(16);
    u16(1);  // PCM
    u16(channels);
    u32(rate);
    u32(rate * channels * 2);
    u16(channels * 2);
    u16(16);
    out.write("data", 4);
    u32(dataBytes);
    for (uint32_t i = 0; i < frames; ++i) {
        const double v = amplitude * 32767.0 * std::sin(2.0 * M_PI * frequency * i / rate);
        const auto s = static_cast<int16_t>(std::lround(v));
        u16(static_cast<uint16_t>(s));
        u16(static_cast<uint16_t>(s));
    }
}
