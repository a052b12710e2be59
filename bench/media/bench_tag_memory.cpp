// Peak memory and time of one tag read (ReadTrackTagFromBytes: ID3v1, TagLib, libavformat), per
// input: each read runs in a child process of its own whose peak resident set is reset before
// the read, so a read is charged with exactly what it makes resident (release build, glibc
// malloc). Every input is read once beforehand, and the freed memory handed back, so that the
// code's pages do not count. Inputs: two built-in damaged ASF headers (an attribute count of
// 65 535 in an object that holds none, at the top level and inside the header extension), two
// Matroska files that claim 200 MB for an element, an Ogg comment packet of 8 MB that never
// ends, then each file named or found in each folder named, in the fuzz target's layout (the first byte
// picks the name, the rest is the file). Default: the tag fuzz seeds. Prints the figures over
// all inputs, over those libavformat reads (Matroska, WebM, Ogg), and the worst inputs.
// Usage: bench_tag_memory [file-or-folder...]   (e.g. build-fuzz/tests/fuzz/fuzz_tags-corpus)
#include <malloc.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "media/TrackTag.h"

namespace {

std::string Le(uint64_t value, int width) {
    std::string bytes;
    for (int i = 0; i < width; ++i) bytes += static_cast<char>(value >> (8 * i) & 0xFF);
    return bytes;
}
std::string Object(const char (&guid)[17], const std::string& body) {
    return std::string(guid, 16) + Le(24 + body.size(), 8) + body;
}
const char kHeader[] = "\x30\x26\xB2\x75\x8E\x66\xCF\x11\xA6\xD9\x00\xAA\x00\x62\xCE\x6C";
const char kFileProperties[] = "\xA1\xDC\xAB\x8C\x47\xA9\xCF\x11\x8E\xE4\x00\xC0\x0C\x20\x53\x65";
const char kStreamProperties[] = "\x91\x07\xDC\xB7\xB7\xA9\xCF\x11\x8E\xE6\x00\xC0\x0C\x20\x53\x65";
const char kExtended[] = "\x40\xA4\xD0\xD2\x07\xE3\xD2\x11\x97\xF0\x00\xA0\xC9\x5E\xA8\x50";
const char kHeaderExtension[] = "\xB5\x03\xBF\x5F\x2E\xA9\xCF\x11\x8E\xE3\x00\xC0\x0C\x20\x53\x65";
const char kMetadata[] = "\xEA\xCB\xF8\xC5\xAF\x5B\x77\x48\x84\x67\xAA\x8C\x44\xFA\x4C\xCA";

// The two objects every file has (zeroed), then `last`: an ASF header of three objects.
std::string Asf(const std::string& last) {
    const std::string all =
        Object(kFileProperties, std::string(80, '\0')) + Object(kStreamProperties, std::string(80, '\0')) + last;
    return std::string(kHeader, 16) + Le(30 + all.size(), 8) + Le(3, 4) + "\x01\x02" + all;
}

// An EBML element: its id, its size as 8 bytes (`size`, or the body's), its body.
std::string Ebml(const std::string& id, const std::string& body, uint64_t size = UINT64_MAX) {
    const uint64_t n = size == UINT64_MAX ? body.size() : size;
    std::string out = id + '\x01';
    for (int i = 6; i >= 0; --i) out += static_cast<char>(n >> (8 * i) & 0xFF);
    return out + body;
}
// A Matroska file whose segment (of unknown size) holds `inside`.
std::string Matroska(const std::string& inside) {
    return Ebml("\x1A\x45\xDF\xA3", Ebml("\x42\x82", "matroska")) + "\x18\x53\x80\x67\x01\xFF\xFF\xFF\xFF\xFF\xFF\xFF" +
           inside;
}
constexpr uint64_t k200Mb = 200ull << 20;

// An Ogg page of stream 1234 (its checksum computed) holding `body` in `segments` lacing values.
std::string OggPage(uint32_t sequence, char flags, const std::vector<unsigned char>& segments,
                    const std::string& body) {
    std::string page = std::string("OggS\0", 5) + flags + Le(flags == 1 ? UINT64_MAX : 0, 8) + Le(1234, 4) +
                       Le(sequence, 4) + Le(0, 4) + static_cast<char>(segments.size()) +
                       std::string(segments.begin(), segments.end()) + body;
    uint32_t crc = 0;
    for (const char c : page) {
        crc ^= static_cast<uint32_t>(static_cast<unsigned char>(c)) << 24;
        for (int bit = 0; bit < 8; ++bit) crc = crc & 0x80000000u ? crc << 1 ^ 0x04C11DB7u : crc << 1;
    }
    return page.replace(22, 4, Le(crc, 4));
}
// A Vorbis stream whose comment packet runs on over `pages` full pages and never ends.
std::string EndlessOggComment(int pages) {
    const std::string id =
        "\x01vorbis" + Le(0, 4) + "\x02" + Le(44100, 4) + Le(0, 4) + Le(128000, 4) + Le(0, 4) + "\xB8\x01";
    std::string file = OggPage(0, 2, {static_cast<unsigned char>(id.size())}, id);
    const std::vector<unsigned char> full(255, 255);
    for (int i = 1; i <= pages; ++i)
        file += OggPage(i, i == 1 ? 0 : 1, full,
                        (i == 1 ? "\x03vorbis" : "") + std::string(255 * 255 - (i == 1 ? 7 : 0), 'z'));
    return file;
}

long StatusKb(const char* field) {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind(field, 0) == 0) return std::stol(line.substr(line.find_first_of("0123456789")));
    return -1;
}

struct Figure {
    long peakKb = -1;
    double microseconds = 0;
};

// One read in a child: what it made resident at its peak, and how long it took.
Figure Measure(const std::string& bytes, const std::string& name) {
    int pipeEnds[2];
    if (::pipe(pipeEnds) != 0) return {};
    const pid_t child = ::fork();
    if (child == 0) {
        std::ofstream("/proc/self/clear_refs") << "5";  // the peak starts from now
        const long before = StatusKb("VmRSS:");
        const auto start = std::chrono::steady_clock::now();
        ReadTrackTagFromBytes(bytes, name);
        const std::chrono::duration<double, std::micro> took = std::chrono::steady_clock::now() - start;
        const Figure f{StatusKb("VmHWM:") - before, took.count()};
        (void)!::write(pipeEnds[1], &f, sizeof f);
        ::_exit(0);
    }
    ::close(pipeEnds[1]);
    Figure f;
    if (::read(pipeEnds[0], &f, sizeof f) != sizeof f) f = {};
    ::close(pipeEnds[0]);
    ::waitpid(child, nullptr, 0);
    return f;
}

}  // namespace

int main(int argc, char** argv) {
    static const char* const kNames[] = {"t.mp3", "t.flac", "t.ogg", "t.opus", "t.m4a", "t.wma",  "t.wv", "t.ape",
                                         "t.wav", "t.aiff", "t.mpc", "t",      "t.mkv", "t.webm", "t.ogv"};
    std::vector<std::pair<std::string, std::string>> inputs = {
        // label, fuzz layout
        {"asf: 65535 attributes counted in an empty object", "\x05" + Asf(Object(kExtended, Le(65535, 2)))},
        {"asf: 65535 metadata attributes in the header extension",
         "\x05" + Asf(Object(kHeaderExtension,
                             std::string(16, '\0') + Le(6, 2) + Le(26, 4) + Object(kMetadata, Le(65535, 2))))},
        {"matroska: a codec private of 200 MB claimed",
         "\x0C" + Matroska(Ebml("\x16\x54\xAE\x6B", Ebml("\xAE", Ebml("\xD7", "\x01") + Ebml("\x63\xA2", "x", k200Mb)),
                                k200Mb + 100))},
        {"matroska: a tag string of 200 MB claimed",
         "\x0C" + Matroska(Ebml(
                      "\x12\x54\xC3\x67",
                      Ebml("\x73\x73",
                           Ebml("\x67\xC8", Ebml("\x45\xA3", "TITLE") + Ebml("\x44\x87", "y", k200Mb), k200Mb + 50),
                           k200Mb + 100),
                      k200Mb + 200))},
        {"ogg: a comment packet that never ends, 8 MB", "\x0E" + EndlessOggComment(128)},
    };
    const size_t builtIn = inputs.size();
    std::vector<std::string> places(argv + 1, argv + argc);
    if (places.empty()) places.push_back(VELKAF_SOURCE_DIR "/tests/fuzz/corpus/fuzz_tags");
    for (const std::string& place : places) {
        std::vector<std::filesystem::path> files;
        if (std::filesystem::is_directory(place))
            for (const auto& entry : std::filesystem::directory_iterator(place)) files.push_back(entry.path());
        else files.push_back(place);
        for (const auto& file : files) {
            std::ifstream in(file, std::ios::binary);
            inputs.emplace_back(file.filename().string(), std::string(std::istreambuf_iterator<char>(in), {}));
        }
    }
    const auto name = [](const std::string& data) {
        return kNames[static_cast<unsigned char>(data[0]) % std::size(kNames)];
    };
    // The inputs libavformat reads: Matroska and WebM always, Ogg when TagLib makes nothing of it.
    const auto avFormat = [](const std::string& data) {
        return data.compare(1, 4, "\x1A\x45\xDF\xA3") == 0 || data.compare(1, 4, "OggS") == 0;
    };
    for (const auto& [label, data] : inputs)
        if (!data.empty()) ReadTrackTagFromBytes(data.substr(1), name(data));
    ::malloc_trim(0);
    struct Row {
        long peakKb;
        std::string label;
        size_t size;
        bool avFormat;
    };
    std::vector<Row> rows;
    double totalUs = 0;
    for (size_t i = 0; i < inputs.size(); ++i) {
        const auto& [label, data] = inputs[i];
        if (data.empty()) continue;
        const Figure f = Measure(data.substr(1), name(data));
        if (i < builtIn)
            std::printf("%-56s %8zu bytes as %-6s %8ld kB peak %10.1f us\n", label.c_str(), data.size() - 1, name(data),
                        f.peakKb, f.microseconds);
        rows.push_back({f.peakKb, label, data.size() - 1, avFormat(data)});
        totalUs += f.microseconds;
    }
    std::sort(rows.begin(), rows.end(), [](const Row& a, const Row& b) { return a.peakKb > b.peakKb; });
    for (const bool onlyAv : {false, true}) {
        std::vector<long> peaks;
        const Row* worst = nullptr;
        for (const Row& row : rows) {
            if (onlyAv && !row.avFormat) continue;
            peaks.push_back(row.peakKb);
            if (worst == nullptr) worst = &row;
        }
        if (peaks.empty()) continue;
        std::printf("%zu inputs%s: peak per read median %ld kB, max %ld kB (%s)\n", peaks.size(),
                    onlyAv ? " read by libavformat" : "", peaks[peaks.size() / 2], worst->peakKb, worst->label.c_str());
    }
    std::printf("%.0f reads/s; the worst:\n", rows.size() / (totalUs / 1e6));
    for (size_t i = 0; i < rows.size() && i < 8; ++i)
        std::printf("  %8ld kB  %8zu bytes  %-11s %s\n", rows[i].peakKb, rows[i].size,
                    rows[i].avFormat ? "libavformat" : "TagLib", rows[i].label.c_str());
    return 0;
}
