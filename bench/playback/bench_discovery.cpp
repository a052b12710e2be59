// Searching a dropped folder of 20 000 files in 2 000 folders, next to `find` listing the
// same tree in the same run (the floor set by the file system), and the main window's whole
// fill with its sort.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "playlist/Discovery.h"
#include "playlist/Playlist.h"

namespace {

constexpr int kTopFolders = 20;
constexpr int kSubfoldersEach = 99;  // 20 + 20 x 99 = 2 000 folders
constexpr int kFilesPerFolder = 10;  // 20 000 files: 7 ".mp3", 1 ".WAV", 2 others
std::string g_root;
int g_mediaFiles = 0;

void Touch(const std::string& path) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd >= 0) ::close(fd);
}

void FillFolder(const std::string& folder, int serial) {
    std::filesystem::create_directories(folder);
    static const char* const kNames[kFilesPerFolder] = {
        "01 Opening %05d.mp3", "02 曲名 %05d.mp3",   "03 Track %05d.mp3", "04 Interlude %05d.mp3", "05 Song %05d.mp3",
        "06 歌 %05d.mp3",      "07 Finale %05d.mp3", "08 Live %05d.WAV",  "cover %05d.jpg",        "notes %05d.txt"};
    for (int i = 0; i < kFilesPerFolder; ++i) {
        char name[64];
        std::snprintf(name, sizeof name, kNames[i], serial);
        Touch(folder + "/" + name);
        if (i < 8) ++g_mediaFiles;
    }
}

void MakeTree() {
    std::string pattern = (std::filesystem::temp_directory_path() / "velkaf-bench-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) std::abort();
    g_root = pattern + "/Music";
    int serial = 0;
    for (int t = 0; t < kTopFolders; ++t) {
        const std::string top = g_root + "/Artist " + std::to_string(t);
        FillFolder(top, serial++);
        for (int s = 0; s < kSubfoldersEach; ++s) FillFolder(top + "/Album " + std::to_string(s), serial++);
    }
}

void BM_SearchDroppedFolder(benchmark::State& state) {
    std::vector<std::string> found;
    for (auto _ : state) {
        found.clear();
        SearchDroppedItem(g_root, [&found](const std::string& p) { found.push_back(p); });
        benchmark::DoNotOptimize(found.data());
    }
    if (static_cast<int>(found.size()) != g_mediaFiles) state.SkipWithError("wrong number of media files");
    state.counters["files"] = static_cast<double>(kTopFolders * (kSubfoldersEach + 1) * kFilesPerFolder);
    state.counters["media"] = static_cast<double>(found.size());
}
BENCHMARK(BM_SearchDroppedFolder)->Unit(benchmark::kMillisecond);

// The peer: `find` walking the same tree, its listing thrown away. Includes starting the
// process (about a millisecond).
void BM_FindPeer(benchmark::State& state) {
    const std::string command = "find '" + g_root + "' -type f > /dev/null";
    for (auto _ : state) {
        if (std::system(command.c_str()) != 0) state.SkipWithError("find failed");
    }
}
BENCHMARK(BM_FindPeer)->Unit(benchmark::kMillisecond);

// The main window's drop as a whole: search, case-blind collation sort, store filled.
void BM_MainWindowDropFill(benchmark::State& state) {
    Playlist playlist;
    for (auto _ : state) {
        FillFromMainWindowDrop(playlist, {g_root});
        benchmark::DoNotOptimize(playlist.count);
    }
    if (playlist.count != g_mediaFiles) state.SkipWithError("wrong number of entries");
}
BENCHMARK(BM_MainWindowDropFill)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "");  // the player sorts in the user's collation
    MakeTree();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::filesystem::remove_all(std::filesystem::path(g_root).parent_path());
    return 0;
}
