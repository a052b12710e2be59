#include <gtest/gtest.h>
#include <unistd.h>
#include <QDropEvent>
#include <QLineEdit>
#include <QListView>
#include <QMimeData>
#include <QPointer>
#include <QPushButton>
#include <QTest>
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
std::vector<std::string> LetterPaths(const std::string& letters) {  // "/m/a.mp3", "/m/b.mp3", ...
    std::vector<std::string> paths;
    for (const char c : letters) paths.push_back(std::string("/m/") + c + ".mp3");
    return paths;
}

struct EditorRig final : PlaylistEditorHost {
    struct Dialogs final : ListFileDialogs {  // answer `answer` (empty: cancelled) after `whileShown`
        explicit Dialogs(EditorRig& rig) : rig(rig) {}
        std::string ChooseListToLoad(QWidget*, const std::string& folder) override {
            rig.started.push_back(folder); rig.busyWhileShown.push_back(rig.state.busy);
            if (rig.whileShown) rig.whileShown();
            return rig.answer;
        }
        std::string ChooseListToSave(QWidget* p, const std::string& f) override { return ChooseListToLoad(p, f); }
        void TellListNotSaved(QWidget*, const std::string& path) override { rig.notSaved.push_back(path); }
        EditorRig& rig;
    };
    explicit EditorRig(const std::vector<std::string>& entries = {}, int current = 0, bool open = true) {
        TestApplication();
        for (const std::string& e : entries) playlist.InsertAt(playlist.StoreSize(), e);
        playlist.SyncCount(); playlist.currentIndex = current;
        editor.SetFileDialogs(std::make_unique<Dialogs>(*this));
        if (open) Open();
    }
    Playlist& EditorPlaylist() override { return playlist; } Settings& EditorSettings() override { return settings; }
    PlayerState& EditorPlayerState() override { return state; } Clock& EditorClock() override { return clock; }
    void PostPlayerNotify(int code) override { posted.push_back(code); } QWidget* EditorOwner() override { return {}; }
    void Open() { editor.OpenWindow(); QCoreApplication::processEvents(); }
    int Get(int kind) const { return editor.GetValue(kind); }
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
    std::string Shown() const {  // the lines the list shows, "|" between them
        std::string shown;
        for (int i = 0; i < List().model()->rowCount(); ++i)
            shown += (i ? "|" : "") + Line(i).data().toString().toStdString();
        return shown;
    }
    CurrentFolderGuard cwd; Playlist playlist; Settings settings; PlayerState state; FakeClock clock{1000};
    std::vector<int> posted;           // codes the main window would receive, in order
    std::string answer;                // what the load or save dialog answers; empty: cancelled
    std::function<void()> whileShown;  // runs as if inside the dialog's own loop
    std::vector<std::string> started, notSaved;  // the folder each dialog started in; the saves said to fail
    std::vector<int> busyWhileShown;
    CPlaylistDlg editor{*this};
};

using Id = CPlaylistDlg::ControlId;

TEST(EditorWindowTest, EachButtonChangesStoreLinesSelectionAndMarker) {
    struct Case { const char* what; Id button; std::string letters, after; std::vector<int> selected, selectedAfter;
                  int current, currentAfter; std::string shown; };  // the lines the list shows after the button
    const Case cases[] = {
        {"up: the line above drops below the block", Id::kIdUp, "abcde", "acdbe", {2, 3}, {1, 2}, 2, 1,
         " 0001 a.mp3|>0002 c.mp3| 0003 d.mp3| 0004 b.mp3| 0005 e.mp3"},
        {"down", Id::kIdDown, "abcde", "adbce", {1, 2}, {2, 3}, 3, 1,
         " 0001 a.mp3|>0002 d.mp3| 0003 b.mp3| 0004 c.mp3| 0005 e.mp3"},
        {"delete above the current", Id::kIdDelete, "abcdefghij", "bcdfghij", {0, 4}, {0}, 9, 7,
         " 0001 b.mp3| 0002 c.mp3| 0003 d.mp3| 0004 f.mp3| 0005 g.mp3| 0006 h.mp3| 0007 i.mp3|>0008 j.mp3"},
        {"sort among the selected lines", Id::kIdSort, "fedcba", "fbdcea", {1, 3, 4}, {1, 3, 4}, 1, 4,
         " 0001 f.mp3| 0002 b.mp3| 0003 d.mp3| 0004 c.mp3|>0005 e.mp3| 0006 a.mp3"},
        {"random, seeded from the clock at opening", Id::kIdRandom, "abcde", "ebadc", {1, 3}, {}, 2, 4,
         " 0001 e.mp3| 0002 b.mp3| 0003 a.mp3| 0004 d.mp3|>0005 c.mp3"},
        {"new", Id::kIdNew, "abc", "", {1}, {}, 1, 1, ""},
    };
    for (const Case& c : cases) {
        EditorRig r(LetterPaths(c.letters), c.current);
        r.Select(c.selected); r.Click(c.button);
        EXPECT_EQ(std::tuple(r.Letters(), r.Selected(), r.Get(kEditorCurrent), r.Shown(), r.Get(kEditorCount)),
                  std::tuple(c.after, c.selectedAfter, c.currentAfter, c.shown, int(c.after.size()))) << c.what;
    }
    EditorRig rig(LetterPaths("abcdefgh"), 0);  // random goes on with the generator of the last play-order build
    rig.clock.seconds = 2000; rig.playlist.BuildPlayOrder(0, rig.clock); rig.Click(Id::kIdRandom);
    EXPECT_EQ(rig.Letters(), "hcdfgbae");  // seeded at 2000, after the build's eight draws
}

// Names that are not UTF-8 (CP932 from an old archive) show decoded; the entries keep their bytes. A drop appends the
// media found, in discovery order.
TEST(EditorWindowTest, DoubleClickRequestsPlayAndAnchorsShiftClicksAboveTheLineAndANewListDropsTheRequestADropAppends) {
    TempFolder folder;
    EditorRig rig({"/m/a.mp3", "/m/b.mp3", "/m/c.mp3", folder.Write("ベータ/d.mp3", ""), "/m/e.mp3", "/m/f.mp3"}, 0);
    const auto centre = [&](int line) { return rig.List().visualRect(rig.Line(line)).center(); };
    QTest::mouseClick(rig.List().viewport(), Qt::LeftButton, {}, centre(3));
    // Selecting shows the entry's folder and goes there, so the file dialogs open there.
    EXPECT_EQ(rig.editor.StatusLine()->text().toStdString(), folder.path() + "ベータ/");
    EXPECT_TRUE(std::filesystem::equivalent(std::filesystem::current_path(), folder.path() + "ベータ"));
    QTest::mouseDClick(rig.List().viewport(), Qt::LeftButton, {}, centre(3));
    const std::string unmarked = " 0001 a.mp3| 0002 b.mp3| 0003 c.mp3| 0004 d.mp3| 0005 e.mp3| 0006 f.mp3";
    EXPECT_EQ(std::tuple(rig.Get(kEditorRequest), rig.Get(kEditorChosenEntry), rig.Get(kEditorCurrent), rig.Shown()),
              std::tuple(+kEditorRequestPlay, 3, 3, unmarked));  // ">" comes when the track has been opened
    QTest::mouseClick(rig.List().viewport(), Qt::LeftButton, Qt::ShiftModifier, centre(5));
    EXPECT_EQ(rig.Selected(), (std::vector<int>{2, 3, 4, 5}));
    rig.editor.MarkCurrent(3);
    EXPECT_EQ(rig.Shown(), " 0001 a.mp3| 0002 b.mp3| 0003 c.mp3|>0004 d.mp3| 0005 e.mp3| 0006 f.mp3");
    rig.List().keyboardSearch(QStringLiteral(">"));  // typing goes to the next line starting with it
    EXPECT_EQ(rig.List().currentIndex().row(), 3);
    rig.editor.Reset(kResetRequest); rig.editor.MarkCurrent(9); rig.List().clearSelection();  // 9: past the list
    emit rig.List().doubleClicked(rig.Line(2));  // nothing selected: nothing happens
    EXPECT_EQ(std::tuple(rig.Get(kEditorRequest), rig.Get(kEditorCurrent), rig.Shown()), std::tuple(0, 9, unmarked));
    rig.Select({2});
    emit rig.List().doubleClicked(rig.Line(2));
    ASSERT_EQ(rig.Get(kEditorRequest), kEditorRequestPlay);
    const std::string sjis = "/m/sjis_\x93\xfa\x96\x7b\x8c\xea.mp3";  // a list replaced from outside
    rig.playlist.ClearStore(); rig.playlist.InsertAt(0, "/m/utf8_日本語.mp3"); rig.playlist.InsertAt(1, sjis);
    rig.playlist.SyncCount(); rig.editor.ShowNewList(); rig.editor.MarkCurrent(0);
    EXPECT_EQ(std::tuple(rig.Shown(), rig.playlist.Entry(1), rig.Get(kEditorRequest)),
              std::tuple(std::string(">0001 utf8_日本語.mp3| 0002 sjis_日本語.mp3"), sjis, +kEditorRequestNone));
    folder.Write("m/b.mp3", ""); folder.Write("m/readme.txt", ""); folder.Write("m/x/c.wav", "");
    QMimeData mime;  // a drag entering the window and dropped, as the window system delivers it
    mime.setUrls({QUrl::fromLocalFile(QString::fromStdString(folder.path() + "m")), QUrl::fromLocalFile("/gone.mp3")});
    QDragEnterEvent enter(QPoint(20, 20), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QDropEvent drop(QPointF(20, 20), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(rig.editor.Window(), &enter); QApplication::sendEvent(rig.editor.Window(), &drop);
    const std::vector<std::string> dropped = {"/m/utf8_日本語.mp3", sjis, folder.path() + "m/b.mp3",
                                              folder.path() + "m/x/c.wav", "/gone.mp3"};
    EXPECT_EQ(rig.playlist.Entries(), dropped);
    const std::string shown =
        ">0001 utf8_日本語.mp3| 0002 sjis_日本語.mp3| 0003 b.mp3| 0004 c.wav| 0005 gone.mp3";
    EXPECT_EQ(std::pair(rig.Shown(), rig.Get(kEditorCount)), std::pair(shown, 5));
    rig.Click(Id::kIdNew); rig.editor.MarkCurrent(4);  // an empty store changes nothing
    EXPECT_EQ(rig.Get(kEditorCurrent), 0);
}

// Closing destroys the window and brings its current index back; the list keeps its own right click.
TEST(EditorWindowTest, OpensWhereSavedAndEveryWayOfClosingAsksTheMainWindow) {
    const std::pair<const char*, std::function<void(EditorRig&)>> ways[] = {
        {"Enter", [](EditorRig& r) { QTest::keyClick(&r.List(), Qt::Key_Return); }},
        {"Esc", [](EditorRig& r) { QTest::keyClick(&r.List(), Qt::Key_Escape); }},
        {"back button", [](EditorRig& r) { r.Click(Id::kIdCancel); }},
        {"close box", [](EditorRig& r) { r.editor.Window()->close(); }},
        {"right click", [](EditorRig& r) { QTest::mouseClick(r.editor.Window(), Qt::RightButton, {}, QPoint(1, 1)); }},
    };
    for (const auto& [what, way] : ways) {
        EditorRig rig(LetterPaths("abc"), 7, false);
        rig.settings.editorX = 30; rig.settings.editorY = 40;
        rig.settings.editorWidth = 250; rig.settings.editorHeight = 300; rig.Open();
        const EditorRect at = rig.editor.WindowRectOnScreen();  // where the main tick saves it from
        EXPECT_EQ(std::tuple(at.x, at.y, at.width, at.height, rig.Get(kEditorRequest)),
                  std::tuple(30, 40, 250, 300, +kEditorRequestResized)) << what;
        QTest::mouseClick(rig.List().viewport(), Qt::RightButton, {}, QPoint(5, 5)); way(rig);
        EXPECT_EQ(rig.posted, std::vector<int>{kNotifyCloseEditor}) << what;
        QPointer<QWidget> window = rig.editor.Window();
        rig.editor.CloseWindow(); rig.editor.CloseWindow();  // a second close finds nothing to destroy
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_EQ(std::tuple(window.isNull(), rig.state.playlistEditorOpen, rig.playlist.currentIndex),
                  std::tuple(true, 0, 2)) << what;
    }
}

// A file that is not a list, an unreadable list or a cancel leaves the list; a save adds ".tsr" to a
// bare name. The first dialog opens in the last list's folder, never the current one; busy is held.
TEST(EditorWindowTest, LoadAndSaveThroughListDialogsThatOpenWhereTheLastOneEnded) {
    TempFolder f;
    f.Write("docs/notes.txt", "/m/z.mp3\r\n"); f.Write("lists/old.m3u", "/stale.mp3\r\n"); f.Write("saved/.keep", "");
    const std::string list = f.Write("lists/mix.M3U", "#EXTM3U\r\n/music/a.mp3\r\n/音楽/b.mp3\r\nrel/x.mp3\r\n");
    const std::string kept = " 0001 p.mp3|>0002 q.mp3| 0003 r.mp3", loaded = " 0001 a.mp3| 0002 b.mp3";
    struct Step { const char* what; Id button; std::string lastBefore, answer, startedIn, letters, lastList, shown; };
    const Step steps[] = {
        {"save cancelled, from a file", Id::kIdSave, "lists/old.m3u", "", "lists", "pqr", "lists/old.m3u", kept},
        {"load a text file", Id::kIdLoad, "lists", "docs/notes.txt", "lists", "pqr", "lists", kept},
        {"load a missing list", Id::kIdLoad, "", "docs/gone.tsr", "docs", "pqr", "lists", kept},
        {"load cancelled", Id::kIdLoad, "", "", "docs", "pqr", "lists", kept},
        {"load a list", Id::kIdLoad, "", "lists/mix.M3U", "docs", "ab", "lists/mix.M3U", loaded},
        {"save a bare name", Id::kIdSave, "", "saved/new", "lists", "ab", "saved/new.tsr", loaded},
        {"save over a list", Id::kIdSave, "", "lists/old.m3u", "saved", "ab", "lists/old.m3u", loaded},
        {"save to a missing folder", Id::kIdSave, "", "gone/mix.tsr", "lists", "ab", "gone/mix.tsr", loaded},
    };
    EditorRig rig(LetterPaths("pqr"), 1);
    for (const Step& step : steps) {
        if (!step.lastBefore.empty()) rig.settings.lastListFile = f.path() + step.lastBefore;
        rig.answer = step.answer.empty() ? "" : f.path() + step.answer;
        rig.started.clear(); rig.busyWhileShown.clear();
        ASSERT_EQ(::chdir("/"), 0);  // the current folder alone must not lead the dialog
        rig.Click(step.button);
        ASSERT_EQ(rig.started.size(), 1u) << step.what;
        EXPECT_TRUE(std::filesystem::equivalent(rig.started[0], f.path() + step.startedIn)) << step.what;
        EXPECT_EQ(std::tuple(rig.Letters(), rig.Get(kEditorCurrent), rig.Get(kEditorCount), rig.settings.lastListFile,
                             rig.Shown(), rig.busyWhileShown.at(0), rig.state.busy),
                  std::tuple(step.letters, 1, int(step.letters.size()), f.path() + step.lastList, step.shown, 1, 0))
            << step.what;
    }
    // The saves wrote CR LF lines; a load shows the last list's folder in the status line while it runs.
    const std::string ab = "/music/a.mp3\r\n/音楽/b.mp3\r\n";
    EXPECT_EQ(std::make_tuple(f.Read("saved/new.tsr"), f.Read("lists/old.m3u"), f.Read("gone/mix.tsr"),
                              rig.editor.StatusLine()->text().toStdString()),
              std::make_tuple(ab, ab, std::string("<missing>"), f.path() + "lists"));
    EXPECT_EQ(rig.notSaved, std::vector<std::string>{f.path() + "gone/mix.tsr"}) << "the one failed save is said";
    EditorRig closing(LetterPaths("pqr"), 0);  // closed while the dialog runs its own loop
    closing.answer = list; closing.whileShown = [&closing] { closing.editor.CloseWindow(); };
    QPointer<QWidget> window = closing.editor.Window();
    closing.Click(Id::kIdLoad); QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(std::make_tuple(window.isNull(), closing.Letters(), closing.state.busy), std::make_tuple(true, "pqr", 0));
}
}  // namespace
