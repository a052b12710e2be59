// The editor's window and its link with the main window: opening and closing, the close
// message, the resize request and the layout, the saved rectangle, load and save, the look.
#include <gtest/gtest.h>

#include <QCloseEvent>
#include <QFileDialog>
#include <QImage>
#include <QLabel>
#include <QPointer>
#include <QTimer>
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>

#include "tests/playlist_editor/EditorRig.h"

namespace {

TEST(EditorWindowTest, OpeningShowsNumberedLinesAndMarksTheCurrentEntry) {
    EditorRig rig({"/m/a.mp3", "/音楽/曲 一.wav", "/m/Track One.wma"}, 1);
    EXPECT_FALSE(rig.editor.WindowExists());
    rig.Open();
    ASSERT_TRUE(rig.editor.WindowExists());
    EXPECT_TRUE(rig.editor.Window()->isVisible());
    EXPECT_EQ(rig.editor.Window()->windowTitle(), QStringLiteral("ツラネ丸"));
    EXPECT_EQ(rig.Lines(), (std::vector<std::string>{" 0001 a.mp3", ">0002 曲 一.wav", " 0003 Track One.wma"}));
    EXPECT_EQ(rig.host.state.playlistEditorOpen, 1);
    EXPECT_EQ(rig.editor.GetValue(2), 1);
    EXPECT_EQ(rig.editor.GetValue(3), 3);
    // Showing the window is a size message: the main tick lays it out and saves its place.
    EXPECT_EQ(rig.editor.GetValue(0), CPlaylistDlg::kRequestResized);
}

TEST(EditorWindowTest, ControlsCarryTheirTextsAndStandInLayoutOrder) {
    EditorRig rig(LetterPaths("ab"), 0);
    rig.Open();
    EXPECT_EQ(rig.editor.Caption()->text(), QStringLiteral("PlayList"));
    EXPECT_TRUE(rig.List().selectionMode() == QAbstractItemView::ExtendedSelection);
    EXPECT_TRUE(rig.editor.StatusLine()->isReadOnly());
    const int ids[] = {CPlaylistDlg::kIdLoad, CPlaylistDlg::kIdSave, CPlaylistDlg::kIdNew,
                       CPlaylistDlg::kIdRandom, CPlaylistDlg::kIdSort, CPlaylistDlg::kIdUp,
                       CPlaylistDlg::kIdDown, CPlaylistDlg::kIdDelete, CPlaylistDlg::kIdCancel};
    std::vector<std::pair<int, std::string>> byHeight;
    for (const int id : ids) {
        QPushButton* button = rig.editor.Button(id);
        ASSERT_NE(button, nullptr) << id;
        EXPECT_TRUE(button->isVisible()) << id;
        byHeight.emplace_back(button->y(), button->text().toStdString());
    }
    std::sort(byHeight.begin(), byHeight.end());
    std::vector<std::string> texts;
    for (const auto& [y, text] : byHeight) texts.push_back(text);
    EXPECT_EQ(texts, (std::vector<std::string>{"新規", "読込", "保存", "ソート", "削除", "上へ", "下へ", "ランダム", "戻る"}));
}

TEST(EditorWindowTest, OpensAtTheSavedRectangleAndReportsWhereItIs) {
    EditorRig rig(LetterPaths("ab"), 0);
    rig.host.settings.editorX = 30;
    rig.host.settings.editorY = 40;
    rig.host.settings.editorWidth = 260;
    rig.host.settings.editorHeight = 380;
    rig.Open();
    EditorRect rect = rig.editor.WindowRectOnScreen();
    EXPECT_EQ(std::make_tuple(rect.x, rect.y, rect.width, rect.height), std::make_tuple(30, 40, 260, 380));

    rig.editor.Window()->move(50, 60);
    rig.editor.Window()->resize(300, 410);
    QCoreApplication::processEvents();
    rect = rig.editor.WindowRectOnScreen();
    EXPECT_EQ(std::make_tuple(rect.x, rect.y, rect.width, rect.height), std::make_tuple(50, 60, 300, 410));

    // Reopened at what the main tick saved, it comes back the same size.
    rig.host.settings.editorX = rect.x;
    rig.host.settings.editorY = rect.y;
    rig.host.settings.editorWidth = rect.width;
    rig.host.settings.editorHeight = rect.height;
    rig.editor.CloseWindow();
    rig.Open();
    rect = rig.editor.WindowRectOnScreen();
    EXPECT_EQ(std::make_tuple(rect.width, rect.height), std::make_tuple(300, 410));

    // A size the settings cannot mean opens at the default size.
    rig.host.settings.editorWidth = 0;
    rig.host.settings.editorHeight = -40;
    rig.editor.CloseWindow();
    rig.Open();
    EXPECT_EQ(rig.editor.Window()->size(), QSize(200, 320));
}

struct CloseCase {
    int entries;
    int staleCount;
    int currentIndex;
    int currentAfter;
};

TEST(EditorWindowTest, ClosingDestroysTheWindowAndBringsBackTheIndex) {
    const CloseCase cases[] = {
        {3, 7, 5, 2},  // past the count: the last entry
        {3, 7, 3, 3},  // equal to the count: left for opening to clamp
        {3, 7, 1, 1},
        {0, 4, 4, 0},  // an empty store
    };
    for (const CloseCase& c : cases) {
        SCOPED_TRACE(c.currentIndex);
        EditorRig rig(LetterPaths(std::string("abcdefg").substr(0, static_cast<size_t>(c.entries))), 0);
        rig.Open();
        rig.host.playlist.count = c.staleCount;
        rig.host.playlist.currentIndex = c.currentIndex;
        QPointer<QWidget> window = rig.editor.Window();
        rig.editor.CloseWindow();
        EXPECT_FALSE(rig.editor.WindowExists());
        EXPECT_EQ(rig.editor.ListBox(), nullptr);
        EXPECT_EQ(rig.host.state.playlistEditorOpen, 0);
        EXPECT_EQ(rig.host.playlist.count, c.entries);
        EXPECT_EQ(rig.host.playlist.currentIndex, c.currentAfter);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_TRUE(window.isNull());
        rig.editor.CloseWindow();  // a second close message finds nothing to destroy
        EXPECT_EQ(rig.host.state.playlistEditorOpen, 0);
    }
}

TEST(EditorWindowTest, ToggleOpensAndClosesAndMembersOutliveTheWindow) {
    EditorRig rig(LetterPaths("bca"), 0);
    rig.editor.ToggleWindow();
    EXPECT_TRUE(rig.editor.WindowExists());
    rig.Click(CPlaylistDlg::kIdSort);  // mode 0: ascending
    EXPECT_EQ(rig.Letters(), "abc");
    rig.editor.ToggleWindow();
    EXPECT_FALSE(rig.editor.WindowExists());
    EXPECT_EQ(rig.editor.GetValue(2), 1);  // b, the current entry, went to line 1; kept by the object

    // The store changed while the editor was closed: the lines are built afresh.
    rig.host.playlist.InsertAt(3, "/m/d.mp3");
    rig.host.playlist.currentIndex = 3;
    rig.editor.ToggleWindow();
    EXPECT_EQ(rig.editor.GetValue(3), 4);
    EXPECT_TRUE(rig.LinesFollowStore(3));
    rig.Click(CPlaylistDlg::kIdSort);  // the sort mode went on: mode 1, descending
    EXPECT_EQ(rig.Letters(), "dcba");
}

// Every way of closing asks the main window with code 20 and leaves the window to it.
TEST(EditorWindowTest, EveryWayOfClosingSendsTheCloseMessage) {
    const std::map<std::string, std::function<void(EditorRig&)>> ways = {
        {"Enter in the list", [](EditorRig& r) { QTest::keyClick(&r.List(), Qt::Key_Return); }},
        {"Esc in the list", [](EditorRig& r) { QTest::keyClick(&r.List(), Qt::Key_Escape); }},
        {"戻る", [](EditorRig& r) { r.Click(CPlaylistDlg::kIdCancel); }},
        {"the close box", [](EditorRig& r) { r.editor.Window()->close(); }},
        {"right click on the background",
         [](EditorRig& r) { QTest::mouseClick(r.editor.Window(), Qt::RightButton, {}, QPoint(1, 1)); }},
        {"right click on the caption", [](EditorRig& r) {
             QTest::mouseClick(r.editor.Window(), Qt::RightButton, {}, r.editor.Caption()->geometry().center());
         }},
    };
    for (const auto& [name, act] : ways) {
        SCOPED_TRACE(name);
        EditorRig rig(LetterPaths("abc"), 0);
        rig.Open();
        act(rig);
        EXPECT_EQ(rig.host.posted, std::vector<int>{20});
        EXPECT_TRUE(rig.editor.WindowExists());
        EXPECT_TRUE(rig.editor.Window()->isVisible());
        EXPECT_EQ(rig.Letters(), "abc");
    }
}

TEST(EditorWindowTest, ControlsKeepTheirOwnClicksAndKeys) {
    EditorRig rig(LetterPaths("abc"), 0);
    rig.Open();
    QTest::mouseClick(rig.editor.Button(CPlaylistDlg::kIdDelete), Qt::RightButton);
    QTest::mouseClick(rig.List().viewport(), Qt::RightButton, {}, QPoint(5, 5));
    EXPECT_TRUE(rig.host.posted.empty());

    // Enter on a focused button presses that button.
    rig.Select({1});
    rig.editor.Window()->activateWindow();
    rig.editor.Button(CPlaylistDlg::kIdDelete)->setFocus();
    QTest::keyClick(rig.editor.Button(CPlaylistDlg::kIdDelete), Qt::Key_Return);
    EXPECT_EQ(rig.Letters(), "ac");
    EXPECT_TRUE(rig.host.posted.empty());
}

struct LayoutCase {
    int width, height;
    QRect list, status;
    int buttonX, backY;
};

TEST(EditorWindowTest, ResizingAsksForLayoutAndLayOutPlacesTheControls) {
    const LayoutCase cases[] = {
        {200, 320, {5, 16, 135, 275}, {5, 298, 190, 20}, 145, 265},
        {100, 100, {5, 16, 45, 207}, {5, 230, 100, 20}, 55, 210},
        {400, 500, {5, 16, 335, 455}, {5, 478, 390, 20}, 345, 445},
        {110, 252, {5, 16, 45, 207}, {5, 230, 100, 20}, 55, 210},  // every limit just reached
    };
    for (const LayoutCase& c : cases) {
        SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height));
        EditorRig rig(LetterPaths("ab"), 0);
        rig.host.settings.editorWidth = 333;  // a size none of the cases has
        rig.Open();
        rig.editor.Reset(0);
        rig.editor.Window()->resize(c.width, c.height);
        QCoreApplication::processEvents();
        EXPECT_EQ(rig.editor.GetValue(0), CPlaylistDlg::kRequestResized);
        rig.editor.LayOut();
        EXPECT_EQ(rig.List().geometry(), c.list);
        EXPECT_EQ(rig.editor.StatusLine()->geometry(), c.status);
        const std::pair<int, int> column[] = {
            {CPlaylistDlg::kIdNew, 20},   {CPlaylistDlg::kIdLoad, 45},    {CPlaylistDlg::kIdSave, 65},
            {CPlaylistDlg::kIdSort, 90},  {CPlaylistDlg::kIdDelete, 115}, {CPlaylistDlg::kIdUp, 140},
            {CPlaylistDlg::kIdDown, 160}, {CPlaylistDlg::kIdRandom, 190}, {CPlaylistDlg::kIdCancel, c.backY}};
        for (const auto& [id, y] : column) EXPECT_EQ(rig.editor.Button(id)->geometry(), QRect(c.buttonX, y, 50, 20)) << id;
    }
}

// --- load ------------------------------------------------------------------------------------

const char kExtendedM3u[] = "#EXTM3U\r\n#EXTINF:215,Artist - Title\r\n/music/a.mp3\r\n/音楽/曲.mp3\r\nrelative/x.mp3\r\n";

TEST(EditorWindowTest, LoadReplacesTheListWithTheFileInItsOrder) {
    TempFolder folder;
    const std::string list = folder.Write("lists/mix.m3u", kExtendedM3u);
    EditorRig rig(LetterPaths("pqr"), 1);
    rig.host.settings.lastListFile = folder.path() + "lists";
    rig.dialogs->answer = list;
    rig.Open();
    rig.Click(CPlaylistDlg::kIdLoad);
    EXPECT_EQ(rig.host.playlist.Entries(), (std::vector<std::string>{"/music/a.mp3", "/音楽/曲.mp3"}));
    EXPECT_EQ(rig.Lines(), (std::vector<std::string>{" 0001 a.mp3", " 0002 曲.mp3"}));
    EXPECT_EQ(rig.host.settings.lastListFile, list);
    EXPECT_EQ(rig.editor.GetValue(3), 2);
    EXPECT_EQ(rig.editor.GetValue(2), 1);  // the current index and the device are not touched
    // The dialog started in the last list's folder, with busy held while it ran.
    ASSERT_EQ(rig.dialogs->folders.size(), 1u);
    EXPECT_TRUE(std::filesystem::equivalent(rig.dialogs->folders[0], folder.path() + "lists"));
    EXPECT_EQ(rig.dialogs->busyWhileShown, std::vector<int>{1});
    EXPECT_EQ(rig.host.state.busy, 0);
    EXPECT_EQ(rig.editor.StatusLine()->text().toStdString(), folder.path() + "lists");
}

TEST(EditorWindowTest, LoadStartsWhereWeAreWhenTheLastListIsAFile) {
    TempFolder folder;
    TempFolder elsewhere;
    const std::string list = folder.Write("old.TSR", "/x/y.wav\r\n");
    EditorRig rig;
    ASSERT_EQ(::chdir(elsewhere.path().c_str()), 0);
    rig.host.settings.lastListFile = list;
    rig.dialogs->answer = list;  // upper-case extensions count
    rig.Open();
    rig.Click(CPlaylistDlg::kIdLoad);
    ASSERT_EQ(rig.dialogs->folders.size(), 1u);
    EXPECT_TRUE(std::filesystem::equivalent(rig.dialogs->folders[0], elsewhere.path()));
    EXPECT_EQ(rig.host.playlist.Entries(), std::vector<std::string>{"/x/y.wav"});
    EXPECT_EQ(rig.editor.StatusLine()->text().toStdString(), list);
}

TEST(EditorWindowTest, LoadThatCannotReadAListKeepsThePlaylist) {
    TempFolder folder;
    const std::string previous = folder.path() + "previous.tsr";
    struct Case {
        const char* name;
        std::string answer;
    };
    const Case cases[] = {
        {"cancelled", ""},
        {"not a list file", folder.Write("notes.txt", "/m/z.mp3\r\n")},
        {"a list that vanished", folder.path() + "gone.tsr"},
        {"a folder named like a list", (std::filesystem::create_directories(folder.path() + "dir.tsr"), folder.path() + "dir.tsr")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EditorRig rig(LetterPaths("pqr"), 0);
        rig.host.settings.lastListFile = previous;
        rig.dialogs->answer = c.answer;
        rig.Open();
        rig.Click(CPlaylistDlg::kIdLoad);
        EXPECT_EQ(rig.Letters(), "pqr");
        EXPECT_TRUE(rig.LinesFollowStore(0));
        EXPECT_EQ(rig.editor.GetValue(3), 3);
        EXPECT_EQ(rig.host.settings.lastListFile, previous);
        EXPECT_EQ(rig.host.state.busy, 0);
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
    rig.Click(CPlaylistDlg::kIdLoad);
    EXPECT_FALSE(rig.editor.WindowExists());
    EXPECT_EQ(rig.Letters(), "pqr");
    EXPECT_EQ(rig.host.state.playlistEditorOpen, 0);
    EXPECT_EQ(rig.host.state.busy, 0);
    QTest::qWait(1);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(window.isNull());
}

// --- save ------------------------------------------------------------------------------------

TEST(EditorWindowTest, SaveWritesTheStoreAsCrLfLines) {
    struct Case {
        std::vector<std::string> entries;
        std::string typed;
        std::string written;
        std::string bytes;
    };
    const std::string two = "/a.mp3\r\n/曲/b.wav\r\n";
    const Case cases[] = {
        {{"/a.mp3", "/曲/b.wav"}, "mix", "mix.tsr", two},
        {{"/a.mp3", "/曲/b.wav"}, "mix.m3u", "mix.m3u", two},
        {{"/a.mp3", "/曲/b.wav"}, "my.mix", "my.mix", two},
        {{}, "old.tsr", "old.tsr", ""},  // over a file that held a list
        {{"/a.mp3"}, "gone/mix.tsr", "gone/mix.tsr", "<missing>"},  // a folder that is not there
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        TempFolder folder;
        folder.Write("old.tsr", "/stale.mp3\r\n");
        EditorRig rig(c.entries, 0);
        rig.dialogs->answer = folder.path() + c.typed;
        rig.Open();
        rig.Click(CPlaylistDlg::kIdSave);
        EXPECT_EQ(folder.Read(c.written), c.bytes);
        EXPECT_EQ(rig.host.settings.lastListFile, folder.path() + c.written);
        EXPECT_EQ(rig.host.playlist.Entries(), c.entries);
        EXPECT_EQ(rig.dialogs->busyWhileShown, std::vector<int>{1});
        EXPECT_EQ(rig.host.state.busy, 0);
    }
}

TEST(EditorWindowTest, SaveStartsInTheLastListsFolder) {
    TempFolder folder;
    folder.Write("lists/old.tsr", "");
    EditorRig rig(LetterPaths("a"), 0);
    rig.host.settings.lastListFile = folder.path() + "lists/old.tsr";
    rig.Open();
    rig.Click(CPlaylistDlg::kIdSave);  // cancelled
    ASSERT_EQ(rig.dialogs->folders.size(), 1u);
    EXPECT_TRUE(std::filesystem::equivalent(rig.dialogs->folders[0], folder.path() + "lists"));
    EXPECT_EQ(rig.host.settings.lastListFile, folder.path() + "lists/old.tsr");
    EXPECT_EQ(folder.Read("lists/old.tsr"), "");
}

// The real dialogs, driven as a user would: a name typed without an extension gets ".tsr".
TEST(EditorWindowTest, TheSaveDialogAddsTheDefaultSuffix) {
    App();
    TempFolder folder;
    std::unique_ptr<ListFileDialogs> dialogs = MakeQtListFileDialogs();
    QTimer typing;
    typing.setInterval(20);
    QObject::connect(&typing, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (dialog == nullptr || !dialog->isVisible()) return;
        typing.stop();
        EXPECT_EQ(dialog->windowTitle(), QStringLiteral("名前を付けて保存"));
        dialog->selectFile(QStringLiteral("mix"));
        static_cast<QDialog*>(dialog)->accept();
    });
    typing.start();
    const std::string chosen = dialogs->ChooseListToSave(nullptr, folder.path());
    EXPECT_EQ(chosen, folder.path() + "mix.tsr");
}

// --- the look --------------------------------------------------------------------------------

TEST(EditorWindowTest, BlackWindowWithWhiteTextAndTheMarkedLine) {
    std::vector<std::string> entries;
    const char* names[] = {"01 夜明けの歌.mp3", "02 Morning Light.wav", "03 さくら さくら.mp3", "04 東京の空.wma",
                           "05 Intro.mpg",       "06 風の谷.mp3",         "07 Blue Moon.mp3",      "08 祭り囃子.wav",
                           "09 Outro.avi",       "10 雨音.mp3",           "11 月光.mp3",           "12 Finale.mpeg"};
    for (const char* name : names) entries.push_back(std::string("/home/user/音楽/") + name);
    EditorRig rig(entries, 3);
    rig.Open();
    rig.Select({5});
    rig.editor.LayOut();
    QCoreApplication::processEvents();
    const QImage picture = rig.editor.Window()->grab().toImage();
    if (const char* out = std::getenv("VELKAF_EDITOR_SCREENSHOT")) picture.save(QString::fromLocal8Bit(out));

    EXPECT_EQ(picture.pixelColor(1, 1), QColor(Qt::black));
    // The caption and the unselected lines are white on black.
    const auto hasWhite = [&](const QRect& r) {
        for (int y = r.top(); y <= r.bottom(); ++y)
            for (int x = r.left(); x <= r.right(); ++x)
                if (picture.pixelColor(x, y).lightness() > 200) return true;
        return false;
    };
    EXPECT_TRUE(hasWhite(rig.editor.Caption()->geometry()));
    // Line 1: neither the current item (with its focus frame) nor selected.
    const QRect line1 = rig.List().visualItemRect(rig.List().item(1)).translated(rig.List().geometry().topLeft() +
                                                                                    rig.List().viewport()->pos());
    EXPECT_TRUE(hasWhite(line1));
    EXPECT_EQ(picture.pixelColor(line1.left() + 1, line1.center().y()), QColor(Qt::black));
    EXPECT_EQ(rig.Lines()[3], ">0004 04 東京の空.wma");
}

}  // namespace
