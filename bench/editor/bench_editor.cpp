// Every command of the playlist editor on lists of 10 000 and 100 000 entries, timed as the
// user waits for it: the button's handler and the view's layout and repaint that follow.
// Linear commands take about 10 times as long on the larger list, quadratic ones about 100.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <QListView>
#include <QApplication>
#include <QItemSelectionModel>
#include <QPushButton>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/Clock.h"
#include "platform/Random.h"
#include "playlist/ListFile.h"
#include "playlist/Playlist.h"
#include "playlist/editor/CPlaylistDlg.h"
#include "state/PlayerState.h"
#include "state/Settings.h"

namespace {

std::string g_folder;  // ends in '/'

class BenchClock final : public Clock {
public:
    int64_t NowSeconds() override { return 1000; }
};

class BenchHost final : public PlaylistEditorHost {
public:
    Playlist& EditorPlaylist() override { return playlist; }
    Settings& EditorSettings() override { return settings; }
    PlayerState& EditorPlayerState() override { return state; }
    Clock& EditorClock() override { return clock; }
    void PostPlayerNotify(int) override {}
    QWidget* EditorOwner() override { return nullptr; }
    Playlist playlist;
    Settings settings;
    PlayerState state;
    BenchClock clock;
};

// The load and save dialogs answer at once with a file in the bench's folder.
class AnsweringDialogs final : public ListFileDialogs {
public:
    std::string ChooseListToLoad(QWidget*, const std::string&) override { return g_folder + "list" + suffix + ".tsr"; }
    std::string ChooseListToSave(QWidget*, const std::string&) override { return g_folder + "saved.tsr"; }
    void TellListNotSaved(QWidget*, const std::string& path) override {  // a bench that saved nothing measured nothing
        std::fprintf(stderr, "the list was not saved to %s\n", path.c_str());
        std::exit(1);
    }
    std::string suffix;
};

// Paths of a music collection: long shared folder prefixes, one in four Japanese, and many
// file names that occur in several albums ("01 - Intro.mp3"), so sorting meets equal keys.
std::vector<std::string> MakePaths(int count) {
    static const char* const artists[] = {"The Beatles", "Miles Davis", "Radiohead", "宇多田ヒカル", "坂本龍一"};
    LcgRandom random(20240601);
    std::vector<std::string> paths;
    for (int i = 0; i < count; ++i) {
        char path[200];
        std::snprintf(path, sizeof path, "/home/user/Music/%s/Album %03d/%02d - %s %d.mp3", artists[random.Next() % 5],
                      random.Next() % 500, random.Next() % 20 + 1, i % 4 == 3 ? "曲名" : "Track", random.Next() % 300);
        paths.emplace_back(path);
    }
    return paths;
}

const std::vector<std::string>& Paths(int count) {
    static std::map<int, std::vector<std::string>> made;
    auto found = made.find(count);
    if (found == made.end()) found = made.emplace(count, MakePaths(count)).first;
    return found->second;
}

// An editor whose window is open on `count` entries.
struct OpenEditor {
    explicit OpenEditor(int count) : count(count) {
        auto answering = std::make_unique<AnsweringDialogs>();
        dialogs = answering.get();
        dialogs->suffix = std::to_string(count);
        editor.SetFileDialogs(std::move(answering));
        Reopen();
    }
    // A fresh window on the unchanged list (outside the timing).
    void Reopen() {
        editor.CloseWindow();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        std::vector<std::string> entries = Paths(count);
        host.playlist.SwapEntries(entries);
        host.playlist.currentIndex = count / 2;
        editor.OpenWindow();
        QCoreApplication::processEvents();
    }
    void Press(int id) {
        editor.Button(id)->click();
        QCoreApplication::processEvents();
    }
    // Selects every `step`-th line from line `first`, `lines` lines in all, in one change.
    void SelectEvery(int step, int first, int lines) {
        QAbstractItemView& view = *editor.ListBox();
        QItemSelection selection;
        for (int k = 0; k < lines; ++k) {
            const QModelIndex line = view.model()->index(first + k * step, 0);
            selection.select(line, line);
        }
        view.selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
    }

    int count;
    BenchHost host;
    CPlaylistDlg editor{host};
    AnsweringDialogs* dialogs = nullptr;
    int sortPresses = 0;
};

// Runs `command` once per iteration on a freshly opened editor; `prepare` runs untimed first.
template <class Prepare, class Command>
void Run(benchmark::State& state, Prepare prepare, Command command) {
    OpenEditor open(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        state.PauseTiming();
        open.Reopen();
        prepare(open);
        state.ResumeTiming();
        command(open);
    }
    state.SetItemsProcessed(state.iterations() * open.count);
}

void Nothing(OpenEditor&) {}

void Open(benchmark::State& state) {
    Run(
        state,
        [](OpenEditor& e) {
            e.editor.CloseWindow();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        },
        [](OpenEditor& e) {
            e.editor.OpenWindow();
            QCoreApplication::processEvents();
        });
}

void Sort(benchmark::State& state) {
    const int mode = static_cast<int>(state.range(1));
    Run(
        state,
        [mode](OpenEditor& e) {
            // The sort mode advances with every press: presses on an empty list bring it round.
            if (e.sortPresses % 4 == mode) return;
            std::vector<std::string> none;
            e.host.playlist.SwapEntries(none);
            e.editor.CloseWindow();
            e.editor.OpenWindow();
            for (; e.sortPresses % 4 != mode; ++e.sortPresses) e.Press(CPlaylistDlg::kIdSort);
            e.Reopen();
        },
        [](OpenEditor& e) {
            e.Press(CPlaylistDlg::kIdSort);
            ++e.sortPresses;
        });
}

void Random(benchmark::State& state) {
    Run(state, Nothing, [](OpenEditor& e) { e.Press(CPlaylistDlg::kIdRandom); });
}

void DeleteLineZero(benchmark::State& state) {
    Run(
        state, [](OpenEditor& e) { e.SelectEvery(1, 0, 1); }, [](OpenEditor& e) { e.Press(CPlaylistDlg::kIdDelete); });
}

void Delete1000ScatteredLines(benchmark::State& state) {
    Run(
        state, [](OpenEditor& e) { e.SelectEvery(e.count / 1000, 1, 1000); },
        [](OpenEditor& e) { e.Press(CPlaylistDlg::kIdDelete); });
}

// Every tenth line: 1 000 lines of 10 000, 10 000 of 100 000, each a run of its own.
void MoveUpEveryTenthLine(benchmark::State& state) {
    Run(
        state, [](OpenEditor& e) { e.SelectEvery(10, 1, e.count / 10); },
        [](OpenEditor& e) { e.Press(CPlaylistDlg::kIdUp); });
}

void MoveDownEveryTenthLine(benchmark::State& state) {
    Run(
        state, [](OpenEditor& e) { e.SelectEvery(10, 1, e.count / 10); },
        [](OpenEditor& e) { e.Press(CPlaylistDlg::kIdDown); });
}

void Clear(benchmark::State& state) {
    Run(state, Nothing, [](OpenEditor& e) { e.Press(CPlaylistDlg::kIdNew); });
}

void Load(benchmark::State& state) {
    Run(state, Nothing, [](OpenEditor& e) { e.Press(CPlaylistDlg::kIdLoad); });
}

void Save(benchmark::State& state) {
    Run(state, Nothing, [](OpenEditor& e) { e.Press(CPlaylistDlg::kIdSave); });
}

// A typed letter that starts no line: the view's search looks at every line.
void TypeToScroll(benchmark::State& state) {
    Run(state, Nothing, [](OpenEditor& e) {
        e.editor.ListBox()->keyboardSearch(QStringLiteral("x"));
        QCoreApplication::processEvents();
    });
}

// What the main tick does with the open editor on a full tick after a new track opened (the
// window's first tick, which lays it out, before the timing).
void Tick(OpenEditor& e, int current) {
    for (int kind = 0; kind < 4; ++kind) benchmark::DoNotOptimize(e.editor.GetValue(kind));
    e.editor.LayOut();
    benchmark::DoNotOptimize(e.editor.WindowRectOnScreen());
    e.editor.MarkCurrent(current);
    QCoreApplication::processEvents();
}

void TickWithNewTrack(benchmark::State& state) {
    Run(
        state, [](OpenEditor& e) { Tick(e, e.count / 2); }, [](OpenEditor& e) { Tick(e, e.count / 2 + 1); });
}

void Sizes(benchmark::internal::Benchmark* b) {
    b->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
}
void SortModes(benchmark::internal::Benchmark* b) {
    for (const int size : {10000, 100000})
        for (int mode = 0; mode < 4; ++mode) b->Args({size, mode});
    b->ArgNames({"", "mode"})->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
}

BENCHMARK(Open)->Apply(Sizes);
BENCHMARK(Sort)->Apply(SortModes);
BENCHMARK(Random)->Apply(Sizes);
BENCHMARK(DeleteLineZero)->Apply(Sizes);
BENCHMARK(Delete1000ScatteredLines)->Apply(Sizes);
BENCHMARK(MoveUpEveryTenthLine)->Apply(Sizes);
BENCHMARK(MoveDownEveryTenthLine)->Apply(Sizes);
BENCHMARK(Clear)->Apply(Sizes);
BENCHMARK(Load)->Apply(Sizes);
BENCHMARK(Save)->Apply(Sizes);
BENCHMARK(TypeToScroll)->Apply(Sizes);
BENCHMARK(TickWithNewTrack)->Apply(Sizes);

}  // namespace

// The bench's folder with the list files that "読込" reads; removed at the end.
struct ListFolder {
    ListFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "velkaf-bench-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) return;
        g_folder = pattern + "/";
        ready = true;
        for (const int count : {10000, 100000}) {
            Playlist list;
            std::vector<std::string> entries = Paths(count);
            list.SwapEntries(entries);
            ready = WriteListFile(g_folder + "list" + std::to_string(count) + ".tsr", list) && ready;
        }
    }
    ~ListFolder() {
        std::error_code ignored;
        if (!g_folder.empty()) std::filesystem::remove_all(g_folder, ignored);
    }
    bool ready = false;
};

int main(int argc, char** argv) {
    // Measured without a display unless one is asked for.
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    const ListFolder folder;
    if (!folder.ready) {
        std::fprintf(stderr, "cannot write the list files in %s\n", std::filesystem::temp_directory_path().c_str());
        return 1;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
