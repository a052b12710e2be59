// The editor as a user meets it on a fake main window: lines, selection and marker after each
// button, the requests the main tick reads, drops, load and save.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QDropEvent>
#include <QLineEdit>
#include <QListView>
#include <QMimeData>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <filesystem>
#include <functional>

#include "platform/Paths.h"
#include "playlist/Playlist.h"
#include "playlist/editor/CPlaylistDlg.h"
#include "state/AuxProtocol.h"
#include "state/PlayerState.h"
#include "state/Settings.h"
#include "tests/support/QtTestApp.h"
#include "tests/support/TestSupport.h"

namespace {

inline std::vector<std::string> LetterPaths(const std::string& letters) {  // "/m/a.mp3", "/m/b.mp3", ...
    std::vector<std::string> paths;
    for (const char c : letters) paths.push_back(std::string("/m/") + c + ".mp3");
    return paths;
}

struct EditorRig final : PlaylistEditorHost {
    // The load and save dialogs answer `answer` (empty: cancelled) after `whileShown`.
    struct Dialogs final : ListFileDialogs {
        explicit Dialogs(EditorRig& rig) : rig(rig) {}
        std::string ChooseListToLoad(QWidget*, const std::string& folder) override {
            rig.started.push_back(folder), rig.busyWhileShown.push_back(rig.state.busy);
            if (rig.whileShown) rig.whileShown();
            return rig.answer;
        }
        std::string ChooseListToSave(QWidget* parent, const std::string& folder) override {
            return ChooseListToLoad(parent, folder);
        }
        EditorRig& rig;
    };
    explicit EditorRig(const std::vector<std::string>& entries = {}, int current = 0) {
        TestApplication();
        for (const std::string& e : entries) playlist.InsertAt(playlist.StoreSize(), e);
        playlist.SyncCount(), playlist.currentIndex = current;
        editor.SetFileDialogs(std::make_unique<Dialogs>(*this));
    }
    Playlist& EditorPlaylist() override { return playlist; }
    Settings& EditorSettings() override { return settings; }
    PlayerState& EditorPlayerState() override { return state; }
    Clock& EditorClock() override { return clock; }
    void PostPlayerNotify(int code) override { posted.push_back(code); }
    QWidget* EditorOwner() override { return nullptr; }

    void Open() { editor.OpenWindow(), QCoreApplication::processEvents(); }
    QListView& List() const { return *editor.ListBox(); }
    QModelIndex Line(int i) const { return List().model()->index(i, 0); }
    void Click(int id) { QTest::mouseClick(editor.Button(id), Qt::LeftButton); }
    void Select(const std::vector<int>& lines) {
        List().clearSelection();
        for (const int line : lines) List().selectionModel()->select(Line(line), QItemSelectionModel::Select);
    }
    std::vector<int> Selected() const {
        std::vector<int> lines;
        for (int i = 0; i < List().model()->rowCount(); ++i)
            if (List().selectionModel()->isSelected(Line(i))) lines.push_back(i);
        return lines;
    }
    std::string Letters() const {  // the store as the first letters of its file names
        std::string letters;
        for (const std::string& e : playlist.Entries()) letters += FileNameOf(e).substr(0, 1);
        return letters;
    }
    // The lines the list shows, "|" between them.
    std::string Shown() const {
        std::string shown;
        for (int i = 0; i < List().model()->rowCount(); ++i)
            shown += (i ? "|" : "") + Line(i).data().toString().toStdString();
        return shown;
    }

    CurrentFolderGuard cwd;
    Playlist playlist;
    Settings settings;
    PlayerState state;
    FakeClock clock{1000};
    std::vector<int> posted;           // codes the main window would receive, in order
    std::string answer;                // what the load or save dialog answers; empty: cancelled
    std::function<void()> whileShown;  // runs as if inside the dialog's own loop
    std::vector<std::string> started;  // the folder each dialog started in
    std::vector<int> busyWhileShown;
    CPlaylistDlg editor{*this};
};

using Id = CPlaylistDlg::ControlId;

// Each button from a list whose current line is marked: the store, the selection, the current
// index and the lines shown afterwards (the table `shown`, in the same order).
TEST(EditorWindowTest, EachButtonChangesStoreLinesSelectionAndMarker) {
    struct Case {
        Id button;
        std::string letters, after;
        std::vector<int> selected, selectedAfter;
        int current, currentAfter;
    };
    const Case cases[] = {
        {Id::kIdUp, "abcde", "acdbe", {2, 3}, {1, 2}, 2, 1},  // the line above drops below the block
        {Id::kIdUp, "abcde", "abcde", {0, 3}, {0, 3}, 0, 0},  // line 0 selected: nothing moves
        {Id::kIdDown, "abcde", "adbce", {1, 2}, {2, 3}, 3, 1},
        {Id::kIdDelete, "abcdefghij", "bcdfghij", {0, 4}, {0}, 9, 7},
        {Id::kIdDelete, "abcdefgh", "abcdegh", {5}, {5}, 5, 5},  // the current entry itself
        {Id::kIdDelete, "abc", "", {0, 1, 2}, {}, 1, -1},
        {Id::kIdSort, "fedcba", "fbdcea", {1, 3, 4}, {1, 3, 4}, 1, 4},  // among the selected lines
        {Id::kIdSort, "cab", "abc", {1}, {}, 0, 2},  // one selected: all, moved lines unselected
        {Id::kIdRandom, "abcde", "ebadc", {1, 3}, {}, 2, 4},  // seeded from the clock at opening
        {Id::kIdNew, "abc", "", {1}, {}, 1, 1},
    };
    const char* const shown[] = {
        " 0001 a.mp3|>0002 c.mp3| 0003 d.mp3| 0004 b.mp3| 0005 e.mp3",
        ">0001 a.mp3| 0002 b.mp3| 0003 c.mp3| 0004 d.mp3| 0005 e.mp3",
        " 0001 a.mp3|>0002 d.mp3| 0003 b.mp3| 0004 c.mp3| 0005 e.mp3",
        " 0001 b.mp3| 0002 c.mp3| 0003 d.mp3| 0004 f.mp3| 0005 g.mp3| 0006 h.mp3| 0007 i.mp3|>0008 j.mp3",
        " 0001 a.mp3| 0002 b.mp3| 0003 c.mp3| 0004 d.mp3| 0005 e.mp3| 0006 g.mp3| 0007 h.mp3",
        "",
        " 0001 f.mp3| 0002 b.mp3| 0003 d.mp3| 0004 c.mp3|>0005 e.mp3| 0006 a.mp3",
        " 0001 a.mp3| 0002 b.mp3|>0003 c.mp3",
        " 0001 e.mp3| 0002 b.mp3| 0003 a.mp3| 0004 d.mp3|>0005 c.mp3",
        "",
    };
    for (const Case& c : cases) {
        EditorRig rig(LetterPaths(c.letters), c.current);
        rig.Open(), rig.Select(c.selected), rig.Click(c.button);
        EXPECT_EQ(std::make_tuple(rig.Letters(), rig.Selected(), rig.editor.GetValue(kEditorCurrent), rig.Shown()),
                  std::make_tuple(c.after, c.selectedAfter, c.currentAfter, shown[&c - cases])) << &c - cases;
        EXPECT_EQ(rig.editor.GetValue(kEditorCount), int(c.after.size())) << &c - cases;
    }
}

TEST(EditorWindowTest, RandomGoesOnWithTheGeneratorOfTheLastPlayOrderBuild) {
    EditorRig rig(LetterPaths("abcdefgh"), 0);
    rig.Open(), rig.clock.seconds = 2000, rig.playlist.BuildPlayOrder(0, rig.clock), rig.Click(Id::kIdRandom);
    EXPECT_EQ(rig.Letters(), "hcdfgbae");  // seeded at 2000, after the build's eight draws
}

TEST(EditorWindowTest, DoubleClickRequestsPlayAndAnchorsShiftClicksAboveTheLine) {
    TempFolder folder;
    EditorRig rig({"/m/a.mp3", "/m/b.mp3", "/m/c.mp3", folder.Write("ベータ/d.mp3", ""), "/m/e.mp3", "/m/f.mp3"}, 0);
    rig.Open();
    const auto centre = [&](int line) { return rig.List().visualRect(rig.Line(line)).center(); };
    QTest::mouseClick(rig.List().viewport(), Qt::LeftButton, {}, centre(3));
    // Selecting shows the entry's folder and goes there, so the file dialogs open there.
    EXPECT_EQ(rig.editor.StatusLine()->text().toStdString(), folder.path() + "ベータ/");
    EXPECT_TRUE(std::filesystem::equivalent(std::filesystem::current_path(), folder.path() + "ベータ"));
    QTest::mouseDClick(rig.List().viewport(), Qt::LeftButton, {}, centre(3));
    EXPECT_EQ(std::make_tuple(rig.editor.GetValue(kEditorRequest), rig.editor.GetValue(kEditorChosenEntry),
                              rig.editor.GetValue(kEditorCurrent)),
              std::make_tuple(int(kEditorRequestPlay), 3, 3));
    const std::string unmarked = " 0001 a.mp3| 0002 b.mp3| 0003 c.mp3| 0004 d.mp3| 0005 e.mp3| 0006 f.mp3";
    EXPECT_EQ(rig.Shown(), unmarked);  // ">" comes when the track has been opened
    QTest::mouseClick(rig.List().viewport(), Qt::LeftButton, Qt::ShiftModifier, centre(5));
    EXPECT_EQ(rig.Selected(), (std::vector<int>{2, 3, 4, 5}));
    rig.editor.MarkCurrent(3);
    EXPECT_EQ(rig.Shown(), " 0001 a.mp3| 0002 b.mp3| 0003 c.mp3|>0004 d.mp3| 0005 e.mp3| 0006 f.mp3");
    rig.List().keyboardSearch(QStringLiteral(">"));  // typing goes to the next line starting with it
    EXPECT_EQ(rig.List().currentIndex().row(), 3);
    rig.editor.Reset(kResetRequest), rig.editor.MarkCurrent(9), rig.List().clearSelection();  // 9: past the list
    emit rig.List().doubleClicked(rig.Line(2));  // nothing selected: nothing happens
    EXPECT_EQ(std::make_pair(rig.editor.GetValue(kEditorRequest), rig.editor.GetValue(kEditorCurrent)),
              std::make_pair(0, 9));
    EXPECT_EQ(rig.Shown(), unmarked);
    rig.Click(Id::kIdNew), rig.editor.MarkCurrent(4);  // an empty store changes nothing
    EXPECT_EQ(rig.editor.GetValue(kEditorCurrent), 9);
}

// A later start's command line replaces the store while the editor is open: the editor shows the
// new list, and a play request that named a line of the old one is dropped. Names that are not
// UTF-8 (CP932 from an old archive) show decoded as on the title line; the entries keep their bytes.
TEST(EditorWindowTest, AListReplacedFromOutsideIsShownAndTheOldPlayRequestDropped) {
    EditorRig rig(LetterPaths("abc"), 0);
    rig.Open();
    const QPoint third = rig.List().visualRect(rig.Line(2)).center();
    QTest::mouseClick(rig.List().viewport(), Qt::LeftButton, {}, third);
    QTest::mouseDClick(rig.List().viewport(), Qt::LeftButton, {}, third);
    ASSERT_EQ(rig.editor.GetValue(kEditorRequest), kEditorRequestPlay);
    const std::string sjis = "/m/sjis_\x93\xfa\x96\x7b\x8c\xea.mp3";
    rig.playlist.ClearStore(), rig.playlist.InsertAt(0, "/m/utf8_日本語.mp3"), rig.playlist.InsertAt(1, sjis);
    rig.playlist.SyncCount(), rig.editor.ShowNewList(), rig.editor.MarkCurrent(0);
    EXPECT_EQ(std::make_tuple(rig.Shown(), rig.playlist.Entry(1), rig.editor.GetValue(kEditorRequest)),
              std::make_tuple(std::string(">0001 utf8_日本語.mp3| 0002 sjis_日本語.mp3"), sjis, int(kEditorRequestNone)));
}

TEST(EditorWindowTest, DropAppendsTheMediaFoundInDiscoveryOrder) {
    TempFolder d;
    d.Write("m/b.mp3", ""), d.Write("m/readme.txt", ""), d.Write("m/x/c.wav", "");
    EditorRig rig(LetterPaths("p"), 0);
    rig.Open();
    QMimeData mime;  // a drag entering the window and dropped, as the window system delivers it
    mime.setUrls({QUrl::fromLocalFile(QString::fromStdString(d.path() + "m")), QUrl::fromLocalFile("/gone.mp3")});
    QDragEnterEvent enter(QPoint(20, 20), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QDropEvent drop(QPointF(20, 20), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(rig.editor.Window(), &enter), QApplication::sendEvent(rig.editor.Window(), &drop);
    EXPECT_EQ(rig.playlist.Entries(),
              (std::vector<std::string>{"/m/p.mp3", d.path() + "m/b.mp3", d.path() + "m/x/c.wav", "/gone.mp3"}));
    EXPECT_EQ(std::make_pair(rig.Shown(), rig.editor.GetValue(kEditorCount)),
              std::make_pair(std::string(">0001 p.mp3| 0002 b.mp3| 0003 c.wav| 0004 gone.mp3"), 4));
}

// The window opens at the saved rectangle and asks for the layout. Every way of closing asks the
// main window (kNotifyCloseEditor), which destroys the window and brings its current
// index back into the store; the list keeps its own right click.
TEST(EditorWindowTest, OpensWhereSavedAndEveryWayOfClosingAsksTheMainWindow) {
    const std::function<void(EditorRig&)> ways[] = {
        [](EditorRig& r) { QTest::keyClick(&r.List(), Qt::Key_Return); },
        [](EditorRig& r) { QTest::keyClick(&r.List(), Qt::Key_Escape); },
        [](EditorRig& r) { r.Click(Id::kIdCancel); },
        [](EditorRig& r) { r.editor.Window()->close(); },
        [](EditorRig& r) { QTest::mouseClick(r.editor.Window(), Qt::RightButton, {}, QPoint(1, 1)); },
    };
    for (const auto& way : ways) {
        EditorRig rig(LetterPaths("abc"), 7);
        rig.settings.editorX = 30, rig.settings.editorY = 40;
        rig.settings.editorWidth = 250, rig.settings.editorHeight = 300;
        rig.Open();
        const EditorRect at = rig.editor.WindowRectOnScreen();  // where the main tick saves it from
        EXPECT_EQ(std::make_tuple(at.x, at.y, at.width, at.height, rig.editor.GetValue(kEditorRequest)),
                  std::make_tuple(30, 40, 250, 300, int(kEditorRequestResized)));
        QTest::mouseClick(rig.List().viewport(), Qt::RightButton, {}, QPoint(5, 5)), way(rig);
        EXPECT_EQ(rig.posted, std::vector<int>{kNotifyCloseEditor});
        QPointer<QWidget> window = rig.editor.Window();
        rig.editor.CloseWindow(), rig.editor.CloseWindow();  // a second close finds nothing to destroy
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_EQ(std::make_tuple(window.isNull(), rig.state.playlistEditorOpen, rig.playlist.currentIndex),
                  std::make_tuple(true, 0, 2));
    }
}

TEST(EditorWindowTest, LoadReplacesTheListOrKeepsItWhenNoListCanBeRead) {
    TempFolder folder;
    const std::string list = folder.Write("lists/mix.M3U", "#EXTM3U\r\n/music/a.mp3\r\n/音楽/b.mp3\r\nrel/x.mp3\r\n");
    folder.Write("notes.txt", "/m/z.mp3\r\n");
    // The answer and the last list are in `folder`; the current index and the track stay either way.
    const std::string kept = " 0001 p.mp3|>0002 q.mp3| 0003 r.mp3";
    struct Case { std::string answer, letters; int count; std::string lastList, shown; };
    const Case cases[] = {
        {.answer = "lists/mix.M3U", .letters = "ab", .count = 2, .lastList = "lists/mix.M3U",
         .shown = " 0001 a.mp3| 0002 b.mp3"},
        {.answer = "", .letters = "pqr", .count = 3, .lastList = "lists", .shown = kept},
        {.answer = "notes.txt", .letters = "pqr", .count = 3, .lastList = "lists", .shown = kept},
        {.answer = "gone.tsr", .letters = "pqr", .count = 3, .lastList = "lists", .shown = kept},
    };
    for (const Case& c : cases) {
        EditorRig rig(LetterPaths("pqr"), 1);
        rig.settings.lastListFile = folder.path() + "lists";
        rig.answer = c.answer.empty() ? "" : folder.path() + c.answer;  // empty: cancelled
        rig.Open(), rig.Click(Id::kIdLoad);
        EXPECT_EQ(std::make_tuple(rig.Letters(), rig.editor.GetValue(kEditorCurrent), rig.editor.GetValue(kEditorCount),
                                  rig.settings.lastListFile, rig.Shown()),
                  std::make_tuple(c.letters, 1, c.count, folder.path() + c.lastList, c.shown)) << c.answer;
        // The last list's folder shows in the status line; busy is held while the dialog runs.
        const std::string status = rig.editor.StatusLine()->text().toStdString();
        EXPECT_EQ(std::make_tuple(status, rig.busyWhileShown.at(0), rig.state.busy),
                  std::make_tuple(folder.path() + "lists", 1, 0));
    }
    EditorRig rig(LetterPaths("pqr"), 0);  // closed while the dialog runs its own loop
    rig.answer = list, rig.whileShown = [&rig] { rig.editor.CloseWindow(); }, rig.Open();
    QPointer<QWidget> window = rig.editor.Window();
    rig.Click(Id::kIdLoad), QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(std::make_tuple(window.isNull(), rig.Letters(), rig.state.busy), std::make_tuple(true, "pqr", 0));
}

// After a load or a save the next list dialog opens where the last one ended, also when the file
// chosen there was not a list; a cancelled dialog changes nothing.
TEST(EditorWindowTest, ListDialogsOpenWhereTheLastOneEnded) {
    TempFolder folder;
    const std::string notes = folder.Write("docs/notes.txt", "/m/z.mp3\r\n");
    const std::string list = folder.Write("lists/mix.tsr", "/m/a.mp3\r\n"), saved = folder.Write("saved/.keep", "");
    struct Step { Id button; std::string answer; std::string startedIn; };
    const Step steps[] = {
        {.button = Id::kIdLoad, .answer = notes, .startedIn = "lists"},  // the stored list folder at first
        {.button = Id::kIdLoad, .answer = list, .startedIn = "docs"},
        {.button = Id::kIdSave, .answer = folder.path() + "saved/new.tsr", .startedIn = "lists"},
        {.button = Id::kIdLoad, .answer = "", .startedIn = "saved"},
        {.button = Id::kIdSave, .answer = "", .startedIn = "saved"},
    };
    EditorRig rig(LetterPaths("pq"), 0);
    rig.settings.lastListFile = folder.path() + "lists";
    rig.Open();
    for (const Step& step : steps) {
        rig.answer = step.answer, rig.started.clear();
        ASSERT_EQ(::chdir("/"), 0);  // the current folder alone must not lead the dialog
        rig.Click(step.button);
        ASSERT_EQ(rig.started.size(), 1u);
        EXPECT_TRUE(std::filesystem::equivalent(rig.started[0], folder.path() + step.startedIn))
            << step.answer << " then " << rig.started[0];
    }
}

TEST(EditorWindowTest, SaveWritesTheStoreAsCrLfLinesWhereTheUserSays) {
    struct Case { const char* typed; const char* written; };  // written "": nothing (the folder is missing)
    const Case cases[] = {
        {.typed = "mix", .written = "mix.tsr"},
        {.typed = "lists/old.m3u", .written = "lists/old.m3u"},
        {.typed = "gone/mix.tsr", .written = ""},
    };
    for (const auto& [typed, written] : cases) {
        TempFolder folder;
        folder.Write("lists/old.m3u", "/stale.mp3\r\n");
        EditorRig rig({"/a.mp3", "/曲/b.wav"}, 0);
        rig.settings.lastListFile = folder.path() + "lists/old.m3u", rig.answer = folder.path() + typed;
        rig.Open(), rig.Click(Id::kIdSave);
        const std::string saved = *written ? written : typed;
        EXPECT_EQ(std::make_pair(folder.Read(saved), rig.settings.lastListFile),
                  std::make_pair(std::string(*written ? "/a.mp3\r\n/曲/b.wav\r\n" : "<missing>"),
                                 folder.path() + saved));
        EXPECT_TRUE(std::filesystem::equivalent(rig.started.at(0), folder.path() + "lists"));  // the list's folder
        EXPECT_EQ(std::make_tuple(rig.busyWhileShown.at(0), rig.state.busy), std::make_tuple(1, 0));
    }
}

}  // namespace
