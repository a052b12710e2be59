#pragma once
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "playlist/editor/EditorFileDialogs.h"
#include "playlist/editor/EditorWindow.h"

class QWidget;
class QListView;
class QPushButton;
class QLineEdit;
class QLabel;
class Playlist;
struct Settings;
struct PlayerState;
class Clock;
struct EditorList;

// What the playlist editor needs from the main window. CPlayerDlg implements it; tests fake it.
// Every call happens on the user-interface thread.
class PlaylistEditorHost {
public:
    virtual ~PlaylistEditorHost() = default;
    // The entry store the editor edits in place.
    virtual Playlist& EditorPlaylist() = 0;
    // lastListFile (load and save), editorX/Y/Width/Height (where the window opens).
    virtual Settings& EditorSettings() = 0;
    // playlistEditorOpen (set on open, cleared on close) and busy (held while a file dialog of
    // the editor runs its own event loop, so that the full tick stays out).
    virtual PlayerState& EditorPlayerState() = 0;
    // Seeds the process's generator when the window opens.
    virtual Clock& EditorClock() = 0;
    // A queued call of CPlayerDlg::OnPlayerNotify(code), never a direct one; kNotifyCloseEditor
    // (state/AuxProtocol.h) closes the editor, whose own handler is still on the stack then.
    virtual void PostPlayerNotify(int code) = 0;
    // The window the editor belongs to (it stays above it); null for none.
    virtual QWidget* EditorOwner() = 0;
};

// The playlist editor "ツラネ丸". The object lives as long as the main window; its window is
// created on opening and destroyed on closing, and the members keep their values in between.
// Line i of the editor's list always shows entry i of the store (" %04d name", ">" marking
// the current entry); the lines are a model over the store, made as the view shows them, and
// each command changes the view in one update, so every command stays fast at 100 000 lines.
// The editor never calls playback: the main tick reads its requests through GetValue and clears
// them with Reset. The window (EditorWindow) draws and hands the user's actions on to the
// handlers here; the load and save dialogs are a ListFileDialogs.
class CPlaylistDlg : private EditorWindowEvents {
public:
    using ControlId = EditorControlId;
    using enum EditorControlId;

    explicit CPlaylistDlg(PlaylistEditorHost& host);
    ~CPlaylistDlg() override;
    CPlaylistDlg(const CPlaylistDlg&) = delete;
    CPlaylistDlg& operator=(const CPlaylistDlg&) = delete;

    // --- opening and closing (the main window calls these) ---
    // The open button's right click: closes the window when it exists, else opens it.
    void ToggleWindow();
    // Creates and shows the window: lines built from the store, playlistEditorOpen = 1,
    // MarkCurrent(currentIndex), placed at editorX/Y with editorWidth x editorHeight.
    void OpenWindow();
    // Destroys the window (when it exists), playlistEditorOpen = 0, count re-read from the
    // store and a current index past it brought back to count - 1. Safe to call twice.
    void CloseWindow();
    bool WindowExists() const;

    // --- what the main tick and opening a track use ---
    // Moves the ">" from line m_nCurrent to line `index`; m_nCurrent = index. Lines outside
    // the list are left alone; an empty store changes nothing.
    void MarkCurrent(int index);
    // The EditorSlot values (state/AuxProtocol.h); any other kind comes back as it went in.
    // Nothing is cleared by reading.
    int GetValue(int kind) const;
    // Clears the request (kResetRequest) or the entry to play (kResetChosenEntry).
    void Reset(int which);
    // The store was replaced from outside (a later start's hand-over): the lines are read anew
    // and the count taken from the store; no line carries ">" until MarkCurrent.
    void ShowNewList();
    // Places the controls for the client size of the last size message.
    void LayOut();
    // Where the window is now (the saved rectangle's values while there is no window).
    EditorRect WindowRectOnScreen() const;

    // Replaces the load and save dialogs (tests).
    void SetFileDialogs(std::unique_ptr<ListFileDialogs> dialogs);

    // The window and its controls while the window exists, else null.
    QWidget* Window() const;
    QListView* ListBox() const;
    QPushButton* Button(int id) const;
    QLineEdit* StatusLine() const;
    QLabel* Caption() const;

private:
    // Message handlers, called by the window.
    bool OnInitDialog();
    void OnOK() override;
    void OnCancel() override;
    void OnRButtonDown() override;
    void OnSize(int cx, int cy) override;
    void OnDropFiles(const std::vector<std::string>& items) override;
    void OnCommand(int id) override;
    void OnDblclkList() override;
    void OnSelchangeList() override;
    void OnLoad();
    void OnSave();
    void OnNew();
    void OnRandom();
    void OnSort();
    void OnUp();
    void OnDown();
    void OnDelete();

    void SendCloseMessage();
    // Runs `dialog` (modal, with its own event loop) with busy held; afterwards deletes a window
    // closed meanwhile.
    void RunNestedDialog(const std::function<void(QWidget* parent)>& dialog);
    // A load or save dialog that way; the next one starts where this one ended.
    std::string RunFileDialog(bool save, const std::string& folder);

    // Lines of the list, kept in step with the store.
    int LineCount() const;
    int MarkedLine() const;  // the line showing ">", or -1
    // A command takes the store and the selection out, changes them as plain vectors, and
    // puts them back: PutBack alone when nothing changed, ShowList also to the view (lines
    // reordered in place, or read anew when `reload`; the selection applied at once).
    EditorList TakeList();
    void PutBack(EditorList& list);
    void ShowList(EditorList& list, bool reload);

    PlaylistEditorHost& m_host;
    struct WindowSlot;
    std::unique_ptr<WindowSlot> m_wnd;

    int m_nCurrent = 0;       // the line that carries ">"
    int m_nCount = 0;         // the entry count as last set by the editor
    int m_nRequest = 0;       // an EditorRequest
    int m_nRequestIndex = 0;  // the entry to play for kEditorRequestPlay
    int m_nClientCx = 0;
    int m_nClientCy = 0;
    int m_nSortMode = 0;             // next sort: 0 path up, 1 path down, 2 name up, 3 name down
    bool m_bMarked = false;          // line m_nCurrent carries ">" (no other line ever does)
    int m_nNestedLoops = 0;          // dialogs running under one of our handlers
    std::string m_listDialogFolder;  // where the last list dialog ended; empty before the first
};
