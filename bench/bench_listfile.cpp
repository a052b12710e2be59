// The last list at start and at quit: loading and saving a 100 000-entry "KORU.tsr",
// next to `cat FILE > /dev/null` on the same file as the floor set by the file system.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/Random.h"
#include "playlist/ListFile.h"

namespace {

constexpr int kEntries = 100000;
std::string g_folder;  // ends in '/'

const char* const kLatinArtists[] = {"The Beatles", "Miles Davis", "Radiohead", "Daft Punk", "Bjork"};
const char* const kJapaneseArtists[] = {"宇多田ヒカル", "坂本龍一", "椎名林檎", "久石譲"};

// Paths of about 80 bytes, one in four in Japanese, as a music collection has them.
std::vector<std::string> MakePaths() {
    LcgRandom random(20240601);
    std::vector<std::string> paths;
    paths.reserve(kEntries);
    for (int i = 0; i < kEntries; ++i) {
        const int album = random.Next() % 40;
        const int track = random.Next() % 20 + 1;
        char name[160];
        if (i % 4 == 3) {
            std::snprintf(name, sizeof name, "/home/user/音楽/%s/アルバム %02d/%02d 曲名 %05d.mp3",
                          kJapaneseArtists[random.Next() % 4], album, track, i);
        } else {
            std::snprintf(name, sizeof name, "/home/user/Music/%s/Album Number %02d/%02d - Track Title %05d.mp3",
                          kLatinArtists[random.Next() % 5], album, track, i);
        }
        paths.emplace_back(name);
    }
    return paths;
}

void LoadLastListBench(benchmark::State& state) {
    for (auto _ : state) {
        Playlist playlist;
        benchmark::DoNotOptimize(LoadLastList(g_folder, playlist));
        if (playlist.count != kEntries) state.SkipWithError("wrong entry count");
    }
    state.SetItemsProcessed(state.iterations() * kEntries);
    state.SetBytesProcessed(state.iterations() *
                            static_cast<int64_t>(std::filesystem::file_size(g_folder + kLastListFileName)));
}

void SaveLastListBench(benchmark::State& state) {
    Playlist playlist;
    LoadLastList(g_folder, playlist);
    for (auto _ : state) {
        if (!SaveLastList(g_folder, playlist)) state.SkipWithError("save failed");
    }
    state.SetItemsProcessed(state.iterations() * kEntries);
    state.SetBytesProcessed(state.iterations() *
                            static_cast<int64_t>(std::filesystem::file_size(g_folder + kLastListFileName)));
}

void CatBench(benchmark::State& state) {
    const std::string command = "cat '" + g_folder + kLastListFileName + "' > /dev/null";
    for (auto _ : state) {
        if (std::system(command.c_str()) != 0) state.SkipWithError("cat failed");
    }
    state.SetBytesProcessed(state.iterations() *
                            static_cast<int64_t>(std::filesystem::file_size(g_folder + kLastListFileName)));
}

BENCHMARK(LoadLastListBench)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(SaveLastListBench)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(CatBench)->Name("cat KORU.tsr > /dev/null")->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    std::string pattern = (std::filesystem::temp_directory_path() / "velkaf-bench-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        std::perror("mkdtemp");
        return 1;
    }
    g_folder = pattern + "/";
    Playlist playlist;
    for (std::string& path : MakePaths()) playlist.InsertAt(playlist.StoreSize(), std::move(path));
    if (!SaveLastList(g_folder, playlist)) {
        std::fprintf(stderr, "cannot write %s%s\n", g_folder.c_str(), kLastListFileName);
        return 1;
    }
    std::printf("%s: %d entries, %ju bytes\n", kLastListFileName, kEntries,
                static_cast<uintmax_t>(std::filesystem::file_size(g_folder + kLastListFileName)));

    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::error_code ignored;
    std::filesystem::remove_all(g_folder, ignored);
    return 0;
}
