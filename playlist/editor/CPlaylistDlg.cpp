#include "playlist/editor/CPlaylistDlg.h"

#include <unistd.h>

#include <QPointer>
#include <algorithm>
#include <cstdlib>

#include "platform/Clock.h"
#include "platform/Log.h"
#include "platform/Paths.h"
#include "platform/Random.h"
#include "state/AuxProtocol.h"
#include "state/PlayerState.h"
#include "playlist/Discovery.h"
#include "playlist/ListFile.h"
#include "playlist/Playlist.h"
#include "playlist/editor/EditorCommands.h"
#include "state/Settings.h"

namespace {

std::string CurrentFolder() {
    char* cwd = ::getcwd(nullptr, 0);
    std::string folder = cwd != nullptr ? cwd : "";
    std::free(cwd);
    return folder;
}

// A name typed without an extension gets ".tsr".
std::string WithDefaultSuffix(const std::string& path) {
    if (path.empty() || path.back() == '/' || !ExtensionOf(path).empty()) return path;
    return path + ".tsr";
}

}  // namespace

struct CPlaylistDlg::WindowSlot {
    QPointer<EditorWindow> open;                  // the window while the editor is open
    std::vector<QPointer<EditorWindow>> closing;  // closed while a file dialog of ours ran in it
    std::unique_ptr<ListFileDialogs> dialogs = MakeQtListFileDialogs();
};

CPlaylistDlg::CPlaylistDlg(PlaylistEditorHost& host) : m_host(host), m_wnd(std::make_unique<WindowSlot>()) {}

CPlaylistDlg::~CPlaylistDlg() {
    delete m_wnd->open.data();
    for (const QPointer<EditorWindow>& wnd : m_wnd->closing) delete wnd.data();
}

void CPlaylistDlg::SetFileDialogs(std::unique_ptr<ListFileDialogs> dialogs) {
    if (dialogs) m_wnd->dialogs = std::move(dialogs);
}

QWidget* CPlaylistDlg::Window() const { return m_wnd->open.data(); }
QListView* CPlaylistDlg::ListBox() const { return m_wnd->open ? m_wnd->open->List() : nullptr; }
QPushButton* CPlaylistDlg::Button(int id) const { return m_wnd->open ? m_wnd->open->Button(id) : nullptr; }
QLineEdit* CPlaylistDlg::StatusLine() const { return m_wnd->open ? m_wnd->open->Status() : nullptr; }
QLabel* CPlaylistDlg::Caption() const { return m_wnd->open ? m_wnd->open->Caption() : nullptr; }
bool CPlaylistDlg::WindowExists() const { return !m_wnd->open.isNull(); }

// --- opening and closing ---------------------------------------------------------------------

void CPlaylistDlg::ToggleWindow() {
    if (WindowExists()) CloseWindow();
    else OpenWindow();
}

void CPlaylistDlg::OpenWindow() {
    if (WindowExists()) return;
    auto* wnd = new EditorWindow(*this, m_host.EditorPlaylist(), m_host.EditorOwner());
    m_wnd->open = wnd;
    OnInitDialog();
    m_host.EditorPlayerState().playlistEditorOpen = 1;
    MarkCurrent(m_host.EditorPlaylist().currentIndex);
    const Settings& settings = m_host.EditorSettings();
    // Laid out before it shows, so the template's placement never flashes; the size message
    // of showing still asks the main tick for the layout and the saved rectangle.
    wnd->Place(settings.editorX, settings.editorY, settings.editorWidth, settings.editorHeight);
    wnd->show();
}

void CPlaylistDlg::CloseWindow() {
    if (EditorWindow* wnd = m_wnd->open.data()) {
        m_wnd->open = nullptr;
        wnd->hide();
        // A file dialog of ours may still run inside the window, with our handler below it on
        // the stack: that handler deletes it once the dialog returns.
        if (m_nNestedLoops > 0) m_wnd->closing.emplace_back(wnd);
        else wnd->deleteLater();
    }
    m_host.EditorPlayerState().playlistEditorOpen = 0;
    m_host.EditorPlaylist().BringBackCurrentIndex();
}

// --- the main window's accessors -------------------------------------------------------------

void CPlaylistDlg::ShowNewList() {
    m_nCount = m_host.EditorPlaylist().StoreSize();
    if (m_nRequest == kEditorRequestPlay) m_nRequest = kEditorRequestNone;  // it named a line of the old list
    if (!WindowExists()) return;
    m_bMarked = false;
    m_wnd->open->ReloadLines(-1);
}

void CPlaylistDlg::MarkCurrent(int index) {
    const Playlist& playlist = m_host.EditorPlaylist();
    if (playlist.StoreSize() == 0) return;
    if (WindowExists()) {
        // The old line loses ">"; a line outside the list is neither made nor changed.
        m_bMarked = index >= 0 && index < LineCount();
        m_wnd->open->MarkLine(m_bMarked ? index : -1);
    }
    m_nCurrent = index;
}

int CPlaylistDlg::GetValue(int kind) const {
    switch (kind) {
    case kEditorRequest: return m_nRequest;
    case kEditorChosenEntry: return m_nRequestIndex;
    case kEditorCurrent: return m_nCurrent;
    case kEditorCount: return m_nCount;
    default: return kind;
    }
}

void CPlaylistDlg::Reset(int which) {
    if (which == kResetRequest) m_nRequest = kEditorRequestNone;
    else if (which == kResetChosenEntry) m_nRequestIndex = 0;
}

void CPlaylistDlg::LayOut() {
    if (WindowExists()) m_wnd->open->LayOut(m_nClientCx, m_nClientCy);
}

EditorRect CPlaylistDlg::WindowRectOnScreen() const {
    if (const EditorWindow* wnd = m_wnd->open.data()) return wnd->RectOnScreen();
    const Settings& s = m_host.EditorSettings();
    return {s.editorX, s.editorY, s.editorWidth, s.editorHeight};
}

// --- the list's lines ------------------------------------------------------------------------

int CPlaylistDlg::LineCount() const { return WindowExists() ? m_wnd->open->LineCount() : 0; }

int CPlaylistDlg::MarkedLine() const {
    return m_bMarked && m_nCurrent >= 0 && m_nCurrent < m_host.EditorPlaylist().StoreSize() ? m_nCurrent : -1;
}

EditorList CPlaylistDlg::TakeList() {
    EditorList list;
    m_host.EditorPlaylist().SwapEntries(list.entries);
    list.selected = m_wnd->open->SelectedFlags(static_cast<int>(list.entries.size()));
    list.current = m_nCurrent;
    list.marked = m_bMarked;
    return list;
}

void CPlaylistDlg::PutBack(EditorList& list) {
    m_host.EditorPlaylist().SwapEntries(list.entries);
    m_nCurrent = list.current;
    m_bMarked = list.marked;
}

void CPlaylistDlg::ShowList(EditorList& list, bool reload) {
    PutBack(list);
    EditorWindow& wnd = *m_wnd->open;
    if (reload) wnd.ReloadLines(MarkedLine());
    else wnd.ReorderedLines(MarkedLine());
    wnd.Select(list.selected);
}

// --- message handlers ------------------------------------------------------------------------

bool CPlaylistDlg::OnInitDialog() {
    m_nCount = m_host.EditorPlaylist().StoreSize();
    // No line carries ">" until MarkCurrent.
    m_bMarked = false;
    m_wnd->open->ReloadLines(-1);
    SharedRandom().Seed(static_cast<uint32_t>(m_host.EditorClock().NowSeconds()));
    return true;
}

void CPlaylistDlg::SendCloseMessage() {
    // Queued: the main window destroys this window after the handler has returned.
    m_host.PostPlayerNotify(kNotifyCloseEditor);
}

void CPlaylistDlg::OnOK() { SendCloseMessage(); }
void CPlaylistDlg::OnCancel() { SendCloseMessage(); }
void CPlaylistDlg::OnRButtonDown() { SendCloseMessage(); }

void CPlaylistDlg::OnCommand(int id) {
    switch (id) {
    case kIdLoad: OnLoad(); break;
    case kIdSave: OnSave(); break;
    case kIdNew: OnNew(); break;
    case kIdRandom: OnRandom(); break;
    case kIdSort: OnSort(); break;
    case kIdUp: OnUp(); break;
    case kIdDown: OnDown(); break;
    case kIdDelete: OnDelete(); break;
    case kIdCancel: OnCancel(); break;
    default: break;
    }
}

void CPlaylistDlg::OnSize(int cx, int cy) {
    m_nClientCx = cx;
    m_nClientCy = cy;
    // The layout and the saved rectangle follow at the main window's next full tick.
    m_nRequest = kEditorRequestResized;
}

void CPlaylistDlg::OnDropFiles(const std::vector<std::string>& items) {
    if (!WindowExists()) return;
    Playlist& playlist = m_host.EditorPlaylist();
    for (const std::string& item : items)
        SearchDroppedItem(item, [&](const std::string& path) { playlist.InsertAt(playlist.StoreSize(), path); });
    m_wnd->open->AppendedLines();
    m_nCount = playlist.StoreSize();
}

void CPlaylistDlg::RunNestedDialog(const std::function<void(QWidget* parent)>& dialog) {
    // The dialog's own event loop keeps the timer ticking; busy keeps the full tick (and with
    // it the quit path, which deletes this object) out until the dialog has returned.
    PlayerState& state = m_host.EditorPlayerState();
    const int busy = state.busy;
    state.busy = 1;
    ++m_nNestedLoops;
    dialog(Window());
    --m_nNestedLoops;
    state.busy = busy;
    if (m_nNestedLoops == 0) {
        // Closed meanwhile: gone once this handler has returned to the event loop.
        for (const QPointer<EditorWindow>& wnd : m_wnd->closing)
            if (!wnd.isNull()) wnd->deleteLater();
        m_wnd->closing.clear();
    }
}

std::string CPlaylistDlg::RunFileDialog(bool save, const std::string& folder) {
    std::string chosen;
    RunNestedDialog([&](QWidget* parent) {
        chosen =
            save ? m_wnd->dialogs->ChooseListToSave(parent, folder) : m_wnd->dialogs->ChooseListToLoad(parent, folder);
    });
    // The next list dialog opens where this one ended, whatever was chosen there.
    if (!chosen.empty()) m_listDialogFolder = FolderOf(MakeAbsolute(chosen, CurrentFolder()));
    return chosen;
}

void CPlaylistDlg::OnLoad() {
    Settings& settings = m_host.EditorSettings();
    if (WindowExists()) m_wnd->open->ShowStatus(settings.lastListFile);
    if (!m_listDialogFolder.empty()) {
        ChangeFolderByPrefixes(m_listDialogFolder);
    } else if (!settings.lastListFile.empty() && ::chdir(settings.lastListFile.c_str()) != 0) {
        // The path as a whole: only a folder becomes the current folder; for a file's path
        // the current folder stays where it was.
    }
    const std::string chosen = RunFileDialog(false, CurrentFolder());
    if (chosen.empty() || !WindowExists()) return;
    // Read before anything is emptied: a file that is not a list, or cannot be read, leaves
    // the playlist as it was instead of losing it.
    if (!IsListFilePath(chosen)) {
        LogLine("not a list file, nothing loaded: " + chosen);
        return;
    }
    Playlist loaded;
    if (ReadListFile(chosen, loaded, 0) < 0) return;

    std::vector<std::string> entries;
    loaded.SwapEntries(entries);
    m_host.EditorPlaylist().SwapEntries(entries);
    settings.lastListFile = chosen;
    // New lines without ">"; the current index and the device stay: the open track plays on.
    m_bMarked = false;
    m_wnd->open->ReloadLines(-1);
    m_nCount = m_host.EditorPlaylist().StoreSize();
}

void CPlaylistDlg::OnSave() {
    Settings& settings = m_host.EditorSettings();
    ChangeFolderByPrefixes(m_listDialogFolder.empty() ? settings.lastListFile : m_listDialogFolder);
    std::string chosen = RunFileDialog(true, CurrentFolder());
    if (chosen.empty()) return;
    chosen = WithDefaultSuffix(chosen);
    settings.lastListFile = chosen;
    if (WriteListFile(chosen, m_host.EditorPlaylist())) return;
    LogLine("the list was not saved to " + chosen);
    // Said, not only logged: the user would take the list for saved.
    RunNestedDialog([&](QWidget* parent) { m_wnd->dialogs->TellListNotSaved(parent, chosen); });
}

void CPlaylistDlg::OnNew() {
    if (!WindowExists()) return;
    m_host.EditorPlaylist().ClearStore();
    // m_nCurrent, the device and the playing track are left alone.
    m_bMarked = false;
    m_wnd->open->ReloadLines(-1);
    m_nCount = 0;
}

void CPlaylistDlg::OnRandom() {
    if (!WindowExists()) return;
    EditorList list = TakeList();
    RandomOrder(list, SharedRandom());
    ShowList(list, false);
}

void CPlaylistDlg::OnSort() {
    if (!WindowExists()) return;
    EditorList list = TakeList();
    SortLines(list, m_nSortMode);
    ShowList(list, false);
    m_nSortMode = (m_nSortMode + 1) % 4;
}

void CPlaylistDlg::OnUp() {
    if (!WindowExists()) return;
    EditorList list = TakeList();
    if (MoveUp(list)) ShowList(list, false);
    else PutBack(list);
}

void CPlaylistDlg::OnDown() {
    if (!WindowExists()) return;
    EditorList list = TakeList();
    if (MoveDown(list)) ShowList(list, false);
    else PutBack(list);
}

void CPlaylistDlg::OnDelete() {
    if (!WindowExists()) return;
    EditorList list = TakeList();
    if (!DeleteSelected(list)) {
        PutBack(list);
    } else {
        // The lines are read anew (the view keeps its scroll place); the line selected
        // afterwards gets the focus and is brought into sight.
        ShowList(list, true);
        const auto selected = std::find(list.selected.begin(), list.selected.end(), 1);
        if (selected != list.selected.end()) m_wnd->open->FocusLine(static_cast<int>(selected - list.selected.begin()));
    }
    m_nCount = m_host.EditorPlaylist().StoreSize();
}

void CPlaylistDlg::OnDblclkList() {
    if (!WindowExists()) return;
    EditorWindow& wnd = *m_wnd->open;
    const int line = wnd.FirstSelectedLine();
    if (line < 0) return;
    // The line above anchors the next shift-click.
    wnd.AnchorAbove(line);
    m_nRequest = kEditorRequestPlay;
    m_nRequestIndex = line;
    // Unmarked now; the line gets its ">" when the track has been opened (MarkCurrent).
    m_bMarked = false;
    wnd.MarkLine(-1);
    m_nCurrent = line;
}

void CPlaylistDlg::OnSelchangeList() {
    if (!WindowExists()) return;
    const int line = m_wnd->open->FirstSelectedLine();
    if (line < 0) return;
    const std::string folder = FolderOf(m_host.EditorPlaylist().Entry(line));
    // Into the entry's folder, so that the file dialogs open there.
    ChangeFolderByPrefixes(folder);
    m_wnd->open->ShowStatus(folder);
}
