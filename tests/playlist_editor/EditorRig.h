#pragma once
// The playlist editor on a fake main window: the records it edits, the close messages it
// posts, and scripted load and save dialogs.
#include <gtest/gtest.h>

#include <QListView>
#include <QPushButton>
#include <QTest>
#include <string>
#include <vector>

#include "platform/Paths.h"
#include "playlist/Playlist.h"
#include "playlist/editor/CPlaylistDlg.h"
#include "state/PlayerState.h"
#include "state/Settings.h"
#include "tests/support/QtTestApp.h"
#include "tests/support/TestSupport.h"

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

// Answers the editor's file dialogs without showing any: `answer` (empty: cancelled), after
// running `whileShown` as if inside the dialog's loop; remembers the folder and busy.
class ScriptedDialogs final : public ListFileDialogs {
public:
    explicit ScriptedDialogs(PlayerState& state) : state_(state) {}
    std::string ChooseListToLoad(QWidget*, const std::string& folder) override { return Answer(folder); }
    std::string ChooseListToSave(QWidget*, const std::string& folder) override { return Answer(folder); }
    std::string answer;
    std::function<void()> whileShown;
    std::vector<std::string> folders;
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
        TestApplication();
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
    QListView& List() const { return *editor.ListBox(); }
    QModelIndex Line(int i) const { return List().model()->index(i, 0); }
    void Click(int id) { QTest::mouseClick(editor.Button(id), Qt::LeftButton); }
    void Select(const std::vector<int>& lines) {
        List().clearSelection();
        for (const int line : lines) List().selectionModel()->select(Line(line), QItemSelectionModel::Select);
    }
    std::vector<std::string> Lines() const {
        std::vector<std::string> lines;
        for (int i = 0; i < List().model()->rowCount(); ++i) lines.push_back(Line(i).data().toString().toStdString());
        return lines;
    }
    std::vector<int> Selected() const {
        std::vector<int> lines;
        for (int i = 0; i < List().model()->rowCount(); ++i)
            if (List().selectionModel()->isSelected(Line(i))) lines.push_back(i);
        return lines;
    }
    // The store as the first letters of its file names.
    std::string Letters() const {
        std::string letters;
        for (const std::string& e : host.playlist.Entries()) letters += FileNameOf(e).substr(0, 1);
        return letters;
    }
    // Line i shows entry i, numbered i + 1; ">" only on `marked`.
    ::testing::AssertionResult LinesFollowStore(int marked) const {
        const std::vector<std::string> lines = Lines();
        if (static_cast<int>(lines.size()) != host.playlist.StoreSize())
            return ::testing::AssertionFailure() << lines.size() << " lines for " << host.playlist.StoreSize() << " entries";
        for (int i = 0; i < host.playlist.StoreSize(); ++i)
            if (lines[i] != DisplayLine(i, host.playlist.Entry(i), i == marked))
                return ::testing::AssertionFailure() << "line " << i << " is \"" << lines[i] << "\"";
        return ::testing::AssertionSuccess();
    }

    CurrentFolderGuard cwd;
    FakeHost host;
    CPlaylistDlg editor{host};
    ScriptedDialogs* dialogs = nullptr;
};
