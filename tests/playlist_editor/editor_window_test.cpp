// The editor as a user meets it: lines, selection and marker after each button, the link
// with the main window, drops, load and save, the layout and the look.
#include <QDropEvent>
#include <QFileDialog>
#include <QImage>
#include <QLineEdit>
#include <QMimeData>
#include <QPointer>
#include <QScrollBar>
#include <QUrl>
#include <filesystem>
#include <functional>

#include "platform/Random.h"
#include "playlist/editor/EditorCommands.h"
#include "tests/playlist_editor/EditorRig.h"
#include "tests/support/ModalAnswer.h"

namespace {

using Id = CPlaylistDlg::ControlId;

TEST(EditorWindowTest, OpensWithNumberedLinesAndTheMarkerOnTheCurrentEntry) {
    EditorRig rig({"/m/a.mp3", "/音楽/曲 一.wav", "/m/Track One.wma"}, 1);
    rig.Open();
    EXPECT_EQ(rig.editor.Window()->windowTitle(), QStringLiteral("ツラネ丸"));
    EXPECT_EQ(rig.Lines(), (std::vector<std::string>{" 0001 a.mp3", ">0002 曲 一.wav", " 0003 Track One.wma"}));
    EXPECT_EQ(rig.host.state.playlistEditorOpen, 1);
    EXPECT_EQ(std::make_tuple(rig.editor.GetValue(2), rig.editor.GetValue(3)), std::make_tuple(1, 3));
    // Showing the window is a size message: the main tick lays it out and saves its place.
    EXPECT_EQ(rig.editor.GetValue(0), CPlaylistDlg::kRequestResized);
}

TEST(EditorWindowTest, EachButtonChangesStoreLinesSelectionAndMarker) {
    struct Case {
        const char* name;
        Id button;
        std::string letters;
        std::vector<int> selected;
        int current;  // marked when it is a line
        std::string after;
        std::vector<int> selectedAfter;
        int currentAfter, markedAfter;
    };
    const Case cases[] = {
        {"up: the line above drops below the block", Id::kIdUp, "abcde", {2, 3}, 2, "acdbe", {1, 2}, 1, 1},
        {"up with line 0 selected: nothing moves", Id::kIdUp, "abcde", {0, 3}, 0, "abcde", {0, 3}, 0, 0},
        {"down", Id::kIdDown, "abcde", {1, 2}, 3, "adbce", {2, 3}, 1, 1},
        {"delete lines 0 and 4 of ten", Id::kIdDelete, "abcdefghij", {0, 4}, 9, "bcdfghij", {0}, 7, 7},
        {"delete the current line", Id::kIdDelete, "abcdefgh", {5}, 5, "abcdegh", {5}, 5, -1},
        {"delete every line", Id::kIdDelete, "abc", {0, 1, 2}, 1, "", {}, -1, -1},
        {"sort three selected among themselves", Id::kIdSort, "fedcba", {1, 3, 4}, 1, "fbdcea", {1, 3, 4}, 4, 4},
        {"sort with one selected: all, moved lines unselected", Id::kIdSort, "cab", {1}, 0, "abc", {}, 2, 2},
        {"random, seeded from the clock at opening", Id::kIdRandom, "abcde", {1, 3}, 2, "ebadc", {}, 4, 4},
        {"new: the current index stays", Id::kIdNew, "abc", {1}, 1, "", {}, 1, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EditorRig rig(LetterPaths(c.letters), c.current);
        rig.Open();
        rig.Select(c.selected);
        rig.Click(c.button);
        EXPECT_EQ(rig.Letters(), c.after);
        EXPECT_EQ(rig.Selected(), c.selectedAfter);
        EXPECT_EQ(rig.editor.GetValue(2), c.currentAfter);
        EXPECT_EQ(rig.editor.GetValue(3), static_cast<int>(c.after.size()));
        EXPECT_TRUE(rig.LinesFollowStore(c.markedAfter));
    }
}

// Presses of "ソート" cycle through the four keys and directions, also across reopening.
TEST(EditorWindowTest, SortCyclesThroughFourModes) {
    EditorRig rig({"/b/x.mp3", "/a/y.mp3", "/a/X.mp3"}, 0);
    rig.Open();
    const std::vector<std::vector<std::string>> presses = {
        {"/a/X.mp3", "/a/y.mp3", "/b/x.mp3"},  // path, ascending
        {"/b/x.mp3", "/a/y.mp3", "/a/X.mp3"},  // path, descending
        {"/b/x.mp3", "/a/X.mp3", "/a/y.mp3"},  // name, ascending; x.mp3 and X.mp3 equal
        {"/a/y.mp3", "/a/X.mp3", "/b/x.mp3"},  // name, descending
        {"/a/X.mp3", "/a/y.mp3", "/b/x.mp3"},  // path, ascending again
    };
    for (size_t press = 0; press < presses.size(); ++press) {
        if (press == 2) rig.editor.ToggleWindow(), rig.editor.ToggleWindow();
        rig.Click(Id::kIdSort);
        EXPECT_EQ(rig.host.playlist.Entries(), presses[press]) << "press " << press + 1;
        EXPECT_TRUE(rig.LinesFollowStore(rig.editor.GetValue(2)));
    }
}

TEST(EditorWindowTest, RandomGoesOnWithTheGeneratorOfTheLastPlayOrderBuild) {
    EditorRig rig(LetterPaths("abcdefgh"), 0);
    rig.Open();
    FakeClock later(2000);
    rig.host.playlist.BuildPlayOrder(0, later);
    rig.Click(Id::kIdRandom);
    EditorList want{LetterPaths("abcdefgh"), std::vector<char>(8), 0, false};
    LcgRandom generator(2000);
    for (int draw = 0; draw < 8; ++draw) generator.Next();  // the build's draws
    RandomOrder(want, generator);
    EXPECT_EQ(rig.host.playlist.Entries(), want.entries);
}

TEST(EditorWindowTest, DoubleClickRequestsPlayAndAnchorsShiftClicksAboveTheLine) {
    EditorRig rig(LetterPaths("abcdef"), 0);
    rig.Open();
    const auto centre = [&](int line) { return rig.List().visualRect(rig.Line(line)).center(); };
    QTest::mouseClick(rig.List().viewport(), Qt::LeftButton, {}, centre(3));
    QTest::mouseDClick(rig.List().viewport(), Qt::LeftButton, {}, centre(3));
    EXPECT_EQ(std::make_tuple(rig.editor.GetValue(0), rig.editor.GetValue(1), rig.editor.GetValue(2)),
              std::make_tuple(int(CPlaylistDlg::kRequestPlay), 3, 3));
    EXPECT_TRUE(rig.LinesFollowStore(-1));  // ">" comes when the track has been opened
    QTest::mouseClick(rig.List().viewport(), Qt::LeftButton, Qt::ShiftModifier, centre(5));
    EXPECT_EQ(rig.Selected(), (std::vector<int>{2, 3, 4, 5}));
    rig.editor.MarkCurrent(3);
    EXPECT_TRUE(rig.LinesFollowStore(3));

    // Past the list (after "新規" or a shorter load) no line is made or marked.
    rig.editor.Reset(0);
    rig.editor.MarkCurrent(9);
    rig.List().clearSelection();
    emit rig.List().doubleClicked(rig.Line(2));  // nothing selected: nothing happens
    EXPECT_EQ(rig.editor.GetValue(0), CPlaylistDlg::kRequestNone);
    EXPECT_TRUE(rig.LinesFollowStore(-1));
    EXPECT_EQ(rig.editor.GetValue(2), 9);
    rig.Click(Id::kIdNew);
    rig.editor.MarkCurrent(4);  // an empty store changes nothing
    EXPECT_EQ(rig.editor.GetValue(2), 9);
}

TEST(EditorWindowTest, SelectingALineShowsItsFolderAndGoesThere) {
    TempFolder folder;
    EditorRig rig({folder.Write("alpha/one.mp3", ""), folder.Write("ベータ/two.mp3", "")}, 0);
    rig.Open();
    QTest::mouseClick(rig.List().viewport(), Qt::LeftButton, {}, rig.List().visualRect(rig.Line(1)).center());
    EXPECT_EQ(rig.editor.StatusLine()->text().toStdString(), folder.path() + "ベータ/");
    EXPECT_TRUE(std::filesystem::equivalent(std::filesystem::current_path(), folder.path() + "ベータ"));
}

// A hundred thousand lines, read anew after a delete: the view keeps its scroll place while
// the line selected afterwards is in sight, and numbers every line for its new position.
TEST(EditorWindowTest, DeletingFromALongListKeepsTheScrollPlace) {
    std::vector<std::string> entries;
    for (int i = 0; i < 100000; ++i) entries.push_back("/m/" + std::to_string(i) + ".mp3");
    EditorRig rig(entries, 99999);
    rig.Open();
    rig.List().verticalScrollBar()->setValue(50000);
    rig.Select({50001, 50002, 99998});
    rig.Click(Id::kIdDelete);
    QCoreApplication::processEvents();
    EXPECT_EQ(rig.List().verticalScrollBar()->value(), 50000);
    EXPECT_EQ(rig.Line(50001).data().toString(), QStringLiteral(" 50002 50003.mp3"));
    EXPECT_EQ(rig.Line(99996).data().toString(), QStringLiteral(">99997 99999.mp3"));
    EXPECT_EQ(rig.Selected(), std::vector<int>{50001});
}

// A drag entering the window and dropped, as the window system delivers it.
void SendDrop(QWidget* window, const std::vector<std::string>& items) {
    QMimeData mime;
    QList<QUrl> urls;
    for (const std::string& item : items) urls.push_back(QUrl::fromLocalFile(QString::fromStdString(item)));
    mime.setUrls(urls);
    QDragEnterEvent enter(QPoint(20, 20), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window, &enter);
    QDropEvent drop(QPointF(20, 20), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window, &drop);
}

TEST(EditorWindowTest, DropAppendsTheMediaFoundInDiscoveryOrder) {
    TempFolder d;
    d.Write("m/b.mp3", ""), d.Write("m/readme.txt", ""), d.Write("m/x/c.wav", ""), d.Write("notes.avi/a.txt", "");
    std::filesystem::create_directories(d.path() + "clip.avi");
    const auto at = [&](const char* name) { return d.path() + name; };
    const std::pair<std::vector<std::string>, std::vector<std::string>> cases[] = {
        {{at("m")}, {at("m/b.mp3"), at("m/x/c.wav")}},  // the folder's files, then its subfolders'
        {{at("m/readme.txt"), at("notes.avi")}, {}},    // no media; a media-named folder of text
        {{at("clip.avi"), at("gone.mp3"), at("gone")}, {at("clip.avi"), at("gone.mp3")}},
    };
    for (const auto& [items, added] : cases) {
        EditorRig rig(LetterPaths("p"), 0);
        rig.Open();
        SendDrop(rig.editor.Window(), items);
        std::vector<std::string> want = {"/m/p.mp3"};
        want.insert(want.end(), added.begin(), added.end());
        EXPECT_EQ(rig.host.playlist.Entries(), want);
        EXPECT_TRUE(rig.LinesFollowStore(0));
        EXPECT_EQ(rig.editor.GetValue(3), static_cast<int>(want.size()));
    }
}

// Every way of closing asks the main window with code 20 and leaves the window to it; the
// main window's close brings its index back into the store.
TEST(EditorWindowTest, EveryWayOfClosingAsksTheMainWindowWhichDestroysIt) {
    const std::function<void(EditorRig&)> ways[] = {
        [](EditorRig& r) { QTest::keyClick(&r.List(), Qt::Key_Return); },
        [](EditorRig& r) { QTest::keyClick(&r.List(), Qt::Key_Escape); },
        [](EditorRig& r) { r.Click(Id::kIdCancel); },
        [](EditorRig& r) { r.editor.Window()->close(); },
        [](EditorRig& r) { QTest::mouseClick(r.editor.Window(), Qt::RightButton, {}, QPoint(1, 1)); },
    };
    for (const auto& way : ways) {
        EditorRig rig(LetterPaths("abc"), 0);
        rig.Open();
        way(rig);
        EXPECT_EQ(rig.host.posted, std::vector<int>{20});
        EXPECT_TRUE(rig.editor.Window()->isVisible());
        rig.host.playlist.currentIndex = 7;
        QPointer<QWidget> window = rig.editor.Window();
        rig.editor.CloseWindow();
        rig.editor.CloseWindow();  // a second close message finds nothing to destroy
        EXPECT_EQ(std::make_tuple(rig.host.state.playlistEditorOpen, rig.host.playlist.count, rig.host.playlist.currentIndex),
                  std::make_tuple(0, 3, 2));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_TRUE(window.isNull());
    }
    EditorRig rig(LetterPaths("abc"), 0);  // the controls keep their own right clicks
    rig.Open();
    QTest::mouseClick(rig.editor.Button(Id::kIdDelete), Qt::RightButton);
    QTest::mouseClick(rig.List().viewport(), Qt::RightButton, {}, QPoint(5, 5));
    EXPECT_TRUE(rig.host.posted.empty());
}

TEST(EditorWindowTest, OpensAtTheSavedRectangleAndLaysOutForItsSize) {
    struct Case {
        int width, height;
        QRect list, status;
        int buttonX, backY;
    };
    const Case cases[] = {
        {200, 320, {5, 16, 135, 275}, {5, 298, 190, 20}, 145, 265},
        {100, 100, {5, 16, 45, 207}, {5, 230, 100, 20}, 55, 210},
        {110, 252, {5, 16, 45, 207}, {5, 230, 100, 20}, 55, 210},  // every limit just reached
        {400, 500, {5, 16, 335, 455}, {5, 478, 390, 20}, 345, 445},
    };
    for (const Case& c : cases) {
        EditorRig rig(LetterPaths("ab"), 0);
        rig.host.settings.editorX = 30, rig.host.settings.editorY = 40;
        rig.host.settings.editorWidth = c.width, rig.host.settings.editorHeight = c.height;
        rig.Open();
        const EditorRect rect = rig.editor.WindowRectOnScreen();
        EXPECT_EQ(std::make_tuple(rect.x, rect.y, rect.width, rect.height), std::make_tuple(30, 40, c.width, c.height));
        rig.editor.Reset(0);
        rig.editor.Window()->resize(c.width + 1, c.height);
        rig.editor.Window()->resize(c.width, c.height);
        QCoreApplication::processEvents();
        EXPECT_EQ(rig.editor.GetValue(0), CPlaylistDlg::kRequestResized);
        rig.editor.LayOut();
        EXPECT_EQ(rig.List().geometry(), c.list);
        EXPECT_EQ(rig.editor.StatusLine()->geometry(), c.status);
        const std::pair<Id, int> column[] = {{Id::kIdNew, 20},   {Id::kIdLoad, 45},    {Id::kIdSave, 65},
                                             {Id::kIdSort, 90},  {Id::kIdDelete, 115}, {Id::kIdUp, 140},
                                             {Id::kIdDown, 160}, {Id::kIdRandom, 190}, {Id::kIdCancel, c.backY}};
        for (const auto& [id, y] : column) EXPECT_EQ(rig.editor.Button(id)->geometry(), QRect(c.buttonX, y, 50, 20)) << id;
    }
}

TEST(EditorWindowTest, LoadReplacesTheListOrKeepsItWhenNoListCanBeRead) {
    TempFolder folder;
    const std::string list = folder.Write("lists/mix.M3U", "#EXTM3U\r\n/music/a.mp3\r\n/音楽/b.mp3\r\nrel/x.mp3\r\n");
    std::filesystem::create_directories(folder.path() + "dir.tsr");
    const std::pair<std::string, std::string> cases[] = {
        {list, "ab"},  {"", "pqr"},  // cancelled
        {folder.Write("notes.txt", "/m/z.mp3\r\n"), "pqr"},
        {folder.path() + "gone.tsr", "pqr"},  {folder.path() + "dir.tsr", "pqr"},
    };
    for (const auto& [answer, letters] : cases) {
        SCOPED_TRACE(answer);
        EditorRig rig(LetterPaths("pqr"), 1);
        rig.host.settings.lastListFile = folder.path() + "lists";
        rig.dialogs->answer = answer;
        rig.Open();
        rig.Click(Id::kIdLoad);
        EXPECT_EQ(rig.Letters(), letters);
        EXPECT_TRUE(rig.LinesFollowStore(letters == "pqr" ? 1 : -1));
        EXPECT_EQ(std::make_tuple(rig.editor.GetValue(2), rig.editor.GetValue(3)), std::make_tuple(1, int(letters.size())));
        EXPECT_EQ(rig.host.settings.lastListFile, letters == "pqr" ? folder.path() + "lists" : list);
        EXPECT_EQ(rig.editor.StatusLine()->text().toStdString(), folder.path() + "lists");
        // The dialog started in the last list's folder, with busy held while it ran.
        EXPECT_TRUE(std::filesystem::equivalent(rig.dialogs->folders.at(0), folder.path() + "lists"));
        EXPECT_EQ(std::make_tuple(rig.dialogs->busyWhileShown.at(0), rig.host.state.busy), std::make_tuple(1, 0));
    }
}

// A close message handled while the load dialog runs its own loop: the window goes, the
// playlist stays as it was, nothing crashes.
TEST(EditorWindowTest, ClosingWhileTheLoadDialogRunsLoadsNothing) {
    TempFolder folder;
    EditorRig rig(LetterPaths("pqr"), 0);
    rig.dialogs->answer = folder.Write("mix.tsr", "/music/a.mp3\r\n");
    rig.dialogs->whileShown = [&rig] { rig.editor.CloseWindow(); };
    rig.Open();
    QPointer<QWidget> window = rig.editor.Window();
    rig.Click(Id::kIdLoad);
    EXPECT_EQ(std::make_tuple(rig.editor.WindowExists(), rig.Letters(), rig.host.state.busy), std::make_tuple(false, "pqr", 0));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(window.isNull());
}

TEST(EditorWindowTest, SaveWritesTheStoreAsCrLfLinesWhereTheUserSays) {
    const std::string two = "/a.mp3\r\n/曲/b.wav\r\n";
    const std::tuple<std::vector<std::string>, std::string, std::string, std::string> cases[] = {
        {{"/a.mp3", "/曲/b.wav"}, "mix", "mix.tsr", two},
        {{"/a.mp3", "/曲/b.wav"}, "my.mix", "my.mix", two},
        {{}, "lists/old.tsr", "lists/old.tsr", ""},  // over a file that held a list
        {{"/a.mp3"}, "gone/mix.tsr", "gone/mix.tsr", "<missing>"},
    };
    for (const auto& [entries, typed, written, bytes] : cases) {
        TempFolder folder;
        folder.Write("lists/old.tsr", "/stale.mp3\r\n");
        EditorRig rig(entries, 0);
        rig.host.settings.lastListFile = folder.path() + "lists/old.tsr";
        rig.dialogs->answer = folder.path() + typed;
        rig.Open();
        rig.Click(Id::kIdSave);
        EXPECT_EQ(folder.Read(written), bytes);
        EXPECT_EQ(rig.host.settings.lastListFile, folder.path() + written);
        EXPECT_TRUE(std::filesystem::equivalent(rig.dialogs->folders.at(0), folder.path() + "lists"));
        EXPECT_EQ(std::make_tuple(rig.dialogs->busyWhileShown.at(0), rig.host.state.busy), std::make_tuple(1, 0));
    }
}

// The real dialog, answered inside its own loop: a name typed without an extension gets ".tsr".
TEST(EditorWindowTest, TheSaveDialogAddsTheDefaultSuffix) {
    TestApplication();
    TempFolder folder;
    ModalAnswer<QFileDialog> answer([](QFileDialog& dialog) {
        EXPECT_EQ(dialog.windowTitle(), QStringLiteral("名前を付けて保存"));
        // Into the name field itself: selectFile leaves a field that has the focus alone.
        auto* name = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        ASSERT_NE(name, nullptr);
        name->setText(QStringLiteral("mix"));
        static_cast<QDialog&>(dialog).accept();
    });
    EXPECT_EQ(MakeQtListFileDialogs()->ChooseListToSave(nullptr, folder.path()), folder.path() + "mix.tsr");
    EXPECT_TRUE(answer.Shown());
}

TEST(EditorWindowTest, BlackWindowWithWhiteText) {
    EditorRig rig(LetterPaths("abcdefgh"), 3);
    rig.Open();
    rig.Select({5});
    const QImage picture = rig.editor.Window()->grab().toImage();
    EXPECT_EQ(picture.pixelColor(1, 1), QColor(Qt::black));
    // Line 1: neither the focus line nor selected; white text on black.
    const QRect line = rig.List().visualRect(rig.Line(1)).translated(rig.List().geometry().topLeft() + rig.List().viewport()->pos());
    int white = 0;
    for (int x = line.left(); x <= line.right(); ++x) white += picture.pixelColor(x, line.center().y()).lightness() > 200;
    EXPECT_GT(white, 0);
    EXPECT_EQ(picture.pixelColor(line.left() + 1, line.center().y()), QColor(Qt::black));
}

}  // namespace
