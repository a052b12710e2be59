#pragma once
// The playlist editor on a fake main window: the records it edits, the close messages it
// posts, and scripted load and save dialogs.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <clocale>
#include <functional>
#include <string>
#include <vector>

#include "platform/Paths.h"
#include "state/PlayerState.h"
#include "playlist/Playlist.h"
#include "playlist/editor/CPlaylistDlg.h"
#include "state/Settings.h"
#include "tests/support/QtTestApp.h"
#include "tests/support/TestSupport.h"

inline QApplication& App() { return TestApplication(); }

class FakeHost final : public PlaylistEditorHost {
public:
    Playlist& EditorPlaylist() override { return playlist; }
    Settings& EditorSettings() override { return settings; }
    PlayerState& EditorPlayerState() override { return state; }
    Clock& EditorClock() override { return clock; }
    void PostPlayerNotify(int code) override { posted.push_back(code); }
    QWidget* EditorOwner() override { return nullptr; }

    Playlist playlist;
    Settings settings;
    PlayerState state;
    FakeClock clock{1000};
    std::vector<int> posted;  // codes the main window would receive, in order
};

// Answers the editor's file dialogs without showing any, and remembers how they were asked.
class ScriptedDialogs final : public ListFileDialogs {
public:
    explicit ScriptedDialogs(PlayerState& state) : state_(state) {}
    std::string ChooseListToLoad(QWidget*, const std::string& folder) override { return Answer(folder); }
    std::string ChooseListToSave(QWidget*, const std::string& folder) override { return Answer(folder); }

    std::string answer;                  // empty: the user cancels
    std::function<void()> whileShown;    // runs as if inside the dialog's event loop
    std::vector<std::string> folders;    // the folder each dialog started in
    std::vector<int> busyWhileShown;

private:
    std::string Answer(const std::string& folder) {
        folders.push_back(folder);
        busyWhileShown.push_back(state_.busy);
        if (whileShown) whileShown();
        return answer;
    }
    PlayerState& state_;
};

// "/m/a.mp3", "/m/b.mp3", ... one entry per letter.
inline std::vector<std::string> LetterPaths(const std::string& letters) {
    std::vector<std::string> paths;
    for (const char c : letters) paths.push_back(std::string("/m/") + c + ".mp3");
    return paths;
}

struct EditorRig {
    explicit EditorRig(const std::vector<std::string>& entries = {}, int current = 0) {
        App();
        for (const std::string& e : entries) host.playlist.InsertAt(host.playlist.StoreSize(), e);
        host.playlist.SyncCount();
        host.playlist.currentIndex = current;
        auto scripted = std::make_unique<ScriptedDialogs>(host.state);
        dialogs = scripted.get();
        editor.SetFileDialogs(std::move(scripted));
    }

    void Open() {
        editor.OpenWindow();
        QCoreApplication::processEvents();
    }
    QListWidget& List() const { return *editor.ListBox(); }
    void Click(int id) { QTest::mouseClick(editor.Button(id), Qt::LeftButton); }
    void Select(const std::vector<int>& lines) {
        List().clearSelection();
        for (const int line : lines) List().item(line)->setSelected(true);
    }

    std::vector<std::string> Lines() const {
        std::vector<std::string> lines;
        for (int i = 0; i < List().count(); ++i) lines.push_back(List().item(i)->text().toStdString());
        return lines;
    }
    std::vector<int> Selected() const {
        std::vector<int> lines;
        for (int i = 0; i < List().count(); ++i)
            if (List().item(i)->isSelected()) lines.push_back(i);
        return lines;
    }
    // The store as the letters of LetterPaths, or the file names otherwise.
    std::string Letters() const {
        std::string letters;
        for (const std::string& e : host.playlist.Entries()) letters += FileNameOf(e).substr(0, 1);
        return letters;
    }
    // Line i shows entry i, numbered i + 1; ">" only on `marked`.
    ::testing::AssertionResult LinesFollowStore(int marked) const {
        if (List().count() != host.playlist.StoreSize())
            return ::testing::AssertionFailure() << List().count() << " lines for " << host.playlist.StoreSize() << " entries";
        for (int i = 0; i < List().count(); ++i) {
            const std::string want = DisplayLine(i, host.playlist.Entry(i), i == marked);
            const std::string line = List().item(i)->text().toStdString();
            if (line != want) return ::testing::AssertionFailure() << "line " << i << " is \"" << line << "\", want \"" << want << "\"";
        }
        return ::testing::AssertionSuccess();
    }

    CurrentFolderGuard cwd;
    FakeHost host;
    CPlaylistDlg editor{host};
    ScriptedDialogs* dialogs = nullptr;
};
