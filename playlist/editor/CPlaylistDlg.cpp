#include "playlist/editor/CPlaylistDlg.h"

#include <unistd.h>

#include <QAbstractListModel>
#include <QCloseEvent>
#include <QDialog>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QFontMetrics>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMimeData>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>
#include <QResizeEvent>
#include <QScrollBar>
#include <QUrl>
#include <algorithm>
#include <cstdlib>

#include "platform/Clock.h"
#include "platform/Log.h"
#include "platform/Paths.h"
#include "platform/Random.h"
#include "platform/Text.h"
#include "state/AuxProtocol.h"
#include "state/PlayerState.h"
#include "playlist/Discovery.h"
#include "playlist/ListFile.h"
#include "playlist/Playlist.h"
#include "playlist/editor/EditorCommands.h"
#include "playlist/editor/EditorLineModel.h"
#include "render/DialogUnits.h"
#include "render/TextDraw.h"
#include "state/Settings.h"

namespace {

constexpr int kDefaultWidth = 200;
constexpr int kDefaultHeight = 320;

// The dialog font: the proportional Gothic face at 9 points, antialiased like any dialog.
QFont EditorFont() {
    QFont font;
    font.setFamilies(UiFontFamilies());
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(kDialogFontPixels);
    return font;
}

struct ButtonDef {
    int id;
    const char* text;
    int x, y, w, h;  // template, dialog units
};

// In template order, which is also the focus order.
constexpr ButtonDef kButtons[] = {
    {CPlaylistDlg::kIdLoad, "読込", 44, 10, 35, 15},    {CPlaylistDlg::kIdSave, "保存", 44, 25, 35, 15},
    {CPlaylistDlg::kIdNew, "新規", 44, 45, 35, 15},     {CPlaylistDlg::kIdRandom, "ランダム", 44, 65, 35, 15},
    {CPlaylistDlg::kIdSort, "ソート", 44, 85, 36, 15},  {CPlaylistDlg::kIdUp, "上へ", 44, 105, 35, 15},
    {CPlaylistDlg::kIdDown, "下へ", 44, 120, 35, 15},   {CPlaylistDlg::kIdDelete, "削除", 44, 140, 35, 15},
    {CPlaylistDlg::kIdCancel, "戻る", 44, 165, 35, 15},
};

QString ToQString(const std::string& utf8) {
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

// Names are decoded for display by the title line's rule (UTF-8, else CP932); the store keeps
// the raw bytes the file system knows.
QString ForDisplay(const std::string& raw) { return ToQString(OutsideTextToUtf8(raw)); }

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

std::vector<std::string> LocalPaths(const QMimeData* mime) {
    std::vector<std::string> paths;
    if (mime == nullptr || !mime->hasUrls()) return paths;
    for (const QUrl& url : mime->urls()) {
        if (!url.isLocalFile()) continue;
        const QString file = url.toLocalFile();
        if (!file.isEmpty()) paths.push_back(QFile::encodeName(file).toStdString());
    }
    return paths;
}

// Marks our own changes to the list, so that they are not taken for the user's selection.
class Updating {
public:
    explicit Updating(int& depth) : depth_(depth) { ++depth_; }
    ~Updating() { --depth_; }
    Updating(const Updating&) = delete;
    Updating& operator=(const Updating&) = delete;

private:
    int& depth_;
};

// The selected lines, one flag per line.
std::vector<char> SelectedFlags(const QListView& list, int lines) {
    std::vector<char> flags(static_cast<size_t>(std::max(lines, 0)), 0);
    for (const QItemSelectionRange& range : list.selectionModel()->selection()) {
        if (!range.isValid()) continue;
        for (int row = std::max(range.top(), 0); row <= std::min(range.bottom(), lines - 1); ++row)
            flags[static_cast<size_t>(row)] = 1;
    }
    return flags;
}

int FirstSelectedLine(const QListView& list) {
    int first = -1;
    for (const QItemSelectionRange& range : list.selectionModel()->selection())
        if (range.isValid() && (first < 0 || range.top() < first)) first = range.top();
    return first;
}

// Makes `flags` the whole selection in one change, one range per run of selected lines.
void SelectFlags(QListView& list, const std::vector<char>& flags) {
    const QAbstractItemModel* model = list.model();
    QItemSelection selection;
    const int n = static_cast<int>(flags.size());
    for (int row = 0; row < n; ++row) {
        if (!flags[static_cast<size_t>(row)]) continue;
        int last = row;
        while (last + 1 < n && flags[static_cast<size_t>(last + 1)]) ++last;
        selection.append(QItemSelectionRange(model->index(row, 0), model->index(last, 0)));
        row = last;
    }
    // Cleared first: replacing one selection of many ranges by another in a single call makes
    // Qt compare them range against range, quadratic in their number.
    list.selectionModel()->clearSelection();
    if (!selection.isEmpty()) list.selectionModel()->select(selection, QItemSelectionModel::Select);
}

class QtListFileDialogs final : public ListFileDialogs {
public:
    std::string ChooseListToLoad(QWidget* parent, const std::string& folder) override {
        return Run(parent, folder, false);
    }
    std::string ChooseListToSave(QWidget* parent, const std::string& folder) override {
        return Run(parent, folder, true);
    }

private:
    static std::string Run(QWidget* parent, const std::string& folder, bool save) {
        // Windows' pattern matching ignores case; ours must say so.
        const QString filter = QStringLiteral("Select List File (*.[tT][sS][rR] *.[mM]3[uU])");
        // On the heap: the owner may go away while the dialog runs, and takes the dialog along.
        QPointer<QFileDialog> dialog =
            new QFileDialog(parent, save ? QStringLiteral("名前を付けて保存") : QStringLiteral("開く"),
                            QFile::decodeName(QByteArray::fromStdString(folder)), filter);
        dialog->setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
        dialog->setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
        dialog->setDefaultSuffix(QStringLiteral("tsr"));
        dialog->setOption(QFileDialog::HideNameFilterDetails);
        const int result = dialog->exec();
        if (dialog.isNull()) return {};
        std::string chosen;
        const QStringList files = dialog->selectedFiles();
        if (result == QDialog::Accepted && !files.isEmpty()) chosen = QFile::encodeName(files.front()).toStdString();
        delete dialog.data();
        return chosen;
    }
};

}  // namespace

std::unique_ptr<ListFileDialogs> MakeQtListFileDialogs() { return std::make_unique<QtListFileDialogs>(); }

// The editor's window: the controls of the template, black with white text, and the events
// handed to CPlaylistDlg's handlers. It never closes itself: every way of closing asks the
// main window, which destroys it.
class CPlaylistWnd final : public QDialog {
public:
    CPlaylistWnd(CPlaylistDlg& dlg, const Playlist& store, QWidget* owner)
        : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                             Qt::WindowCloseButtonHint),
          m_dlg(dlg) {
        setWindowTitle(QStringLiteral("ツラネ丸"));
        setModal(false);
        setSizeGripEnabled(false);
        const QFont font = EditorFont();
        setFont(font);
        QPalette colours = palette();
        colours.setColor(QPalette::Window, Qt::black);
        colours.setColor(QPalette::WindowText, Qt::white);
        colours.setColor(QPalette::Base, Qt::black);
        colours.setColor(QPalette::AlternateBase, Qt::black);
        colours.setColor(QPalette::Text, Qt::white);
        setPalette(colours);
        setAutoFillBackground(true);

        const DialogUnits units(font);
        caption = new QLabel(QStringLiteral("PlayList"), this);
        caption->setGeometry(units.Rect(3, 2, 70, 8));

        list = new QListView(this);
        list->setObjectName(QStringLiteral("list1006"));
        lines = new EditorLineModel(store, list);
        list->setModel(lines);
        list->setSelectionMode(QAbstractItemView::ExtendedSelection);
        list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        list->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
        list->verticalScrollBar()->setContextMenuPolicy(Qt::NoContextMenu);
        list->setUniformItemSizes(true);
        list->setGeometry(units.Rect(5, 10, 39, 30));
        connect(list, &QAbstractItemView::doubleClicked, this, [this] { m_dlg.OnDblclkList(); });
        connect(list->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
            if (m_dlg.m_nUpdating == 0) m_dlg.OnSelchangeList();
        });

        for (const ButtonDef& def : kButtons) {
            auto* button = new QPushButton(QString::fromUtf8(def.text), this);
            // The default button is the hidden OK: no visible button may look like it.
            button->setAutoDefault(false);
            button->setGeometry(units.Rect(def.x, def.y, def.w, def.h));
            buttons.emplace_back(def.id, button);
            connect(button, &QPushButton::clicked, this, [this, id = def.id] { Command(id); });
        }

        status = new QLineEdit(this);
        status->setObjectName(QStringLiteral("status1059"));
        status->setReadOnly(true);
        status->setContextMenuPolicy(Qt::NoContextMenu);
        status->setGeometry(units.Rect(4, 190, 75, 12));

        // The sunken edges of the list and the status line stay grey on the black window.
        for (QWidget* framed : {static_cast<QWidget*>(list), static_cast<QWidget*>(status)}) {
            QPalette edges = framed->palette();
            edges.setColor(QPalette::Window, QColor(0xC0, 0xC0, 0xC0));
            framed->setPalette(edges);
        }
    }

    QPushButton* ButtonById(int id) const {
        for (const auto& [buttonId, button] : buttons)
            if (buttonId == id) return button;
        return nullptr;
    }

    // Enter, Esc and the close box end up here as well as in the key handler.
    void accept() override { m_dlg.OnOK(); }
    void reject() override { m_dlg.OnCancel(); }

    QLabel* caption = nullptr;
    QListView* list = nullptr;
    EditorLineModel* lines = nullptr;
    QLineEdit* status = nullptr;
    std::vector<std::pair<int, QPushButton*>> buttons;

protected:
    void resizeEvent(QResizeEvent* event) override {
        QDialog::resizeEvent(event);
        m_dlg.OnSize(event->size().width(), event->size().height());
    }

    void mousePressEvent(QMouseEvent* event) override {
        // The client area itself: the caption lets clicks through, the other controls keep theirs.
        if (event->button() == Qt::RightButton) {
            QWidget* hit = childAt(event->position().toPoint());
            if (hit == nullptr || hit == caption) m_dlg.OnRButtonDown();
        }
        QDialog::mousePressEvent(event);
    }

    void keyPressEvent(QKeyEvent* event) override {
        switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            // A focused push button takes Enter itself; anywhere else Enter is OK.
            if (auto* button = qobject_cast<QPushButton*>(focusWidget())) button->click();
            else m_dlg.OnOK();
            return;
        case Qt::Key_Escape: m_dlg.OnCancel(); return;
        default: QDialog::keyPressEvent(event);
        }
    }

    void closeEvent(QCloseEvent* event) override {
        event->ignore();
        m_dlg.OnCancel();
    }

    void dragEnterEvent(QDragEnterEvent* event) override {
        if (!LocalPaths(event->mimeData()).empty()) event->acceptProposedAction();
        else event->ignore();
    }

    void dragMoveEvent(QDragMoveEvent* event) override {
        if (!LocalPaths(event->mimeData()).empty()) event->acceptProposedAction();
        else event->ignore();
    }

    void dropEvent(QDropEvent* event) override {
        const std::vector<std::string> paths = LocalPaths(event->mimeData());
        if (paths.empty()) {
            event->ignore();
            return;
        }
        event->acceptProposedAction();
        m_dlg.OnDropFiles(paths);
    }

private:
    void Command(int id) {
        switch (id) {
        case CPlaylistDlg::kIdLoad: m_dlg.OnLoad(); break;
        case CPlaylistDlg::kIdSave: m_dlg.OnSave(); break;
        case CPlaylistDlg::kIdNew: m_dlg.OnNew(); break;
        case CPlaylistDlg::kIdRandom: m_dlg.OnRandom(); break;
        case CPlaylistDlg::kIdSort: m_dlg.OnSort(); break;
        case CPlaylistDlg::kIdUp: m_dlg.OnUp(); break;
        case CPlaylistDlg::kIdDown: m_dlg.OnDown(); break;
        case CPlaylistDlg::kIdDelete: m_dlg.OnDelete(); break;
        case CPlaylistDlg::kIdCancel: m_dlg.OnCancel(); break;
        default: break;
        }
    }

    CPlaylistDlg& m_dlg;
};

struct CPlaylistDlg::WindowSlot {
    QPointer<CPlaylistWnd> open;                  // the window while the editor is open
    std::vector<QPointer<CPlaylistWnd>> closing;  // closed while a file dialog of ours ran in it
    std::unique_ptr<ListFileDialogs> dialogs = MakeQtListFileDialogs();
};

CPlaylistDlg::CPlaylistDlg(PlaylistEditorHost& host) : m_host(host), m_wnd(std::make_unique<WindowSlot>()) {}

CPlaylistDlg::~CPlaylistDlg() {
    delete m_wnd->open.data();
    for (const QPointer<CPlaylistWnd>& wnd : m_wnd->closing) delete wnd.data();
}

void CPlaylistDlg::SetFileDialogs(std::unique_ptr<ListFileDialogs> dialogs) {
    if (dialogs) m_wnd->dialogs = std::move(dialogs);
}

QWidget* CPlaylistDlg::Window() const { return m_wnd->open.data(); }
QListView* CPlaylistDlg::ListBox() const { return m_wnd->open ? m_wnd->open->list : nullptr; }
QPushButton* CPlaylistDlg::Button(int id) const { return m_wnd->open ? m_wnd->open->ButtonById(id) : nullptr; }
QLineEdit* CPlaylistDlg::StatusLine() const { return m_wnd->open ? m_wnd->open->status : nullptr; }
QLabel* CPlaylistDlg::Caption() const { return m_wnd->open ? m_wnd->open->caption : nullptr; }
bool CPlaylistDlg::WindowExists() const { return !m_wnd->open.isNull(); }

// --- opening and closing ---------------------------------------------------------------------

void CPlaylistDlg::ToggleWindow() {
    if (WindowExists()) CloseWindow();
    else OpenWindow();
}

void CPlaylistDlg::OpenWindow() {
    if (WindowExists()) return;
    auto* wnd = new CPlaylistWnd(*this, m_host.EditorPlaylist(), m_host.EditorOwner());
    m_wnd->open = wnd;
    OnInitDialog();
    m_host.EditorPlayerState().playlistEditorOpen = 1;
    MarkCurrent(m_host.EditorPlaylist().currentIndex);
    const Settings& settings = m_host.EditorSettings();
    wnd->move(settings.editorX, settings.editorY);
    // A size the configuration cannot mean would give a window nobody can see or grab.
    wnd->resize(settings.editorWidth > 0 ? settings.editorWidth : kDefaultWidth,
                settings.editorHeight > 0 ? settings.editorHeight : kDefaultHeight);
    // Laid out before it shows, so the template's placement never flashes; the size message
    // of showing still asks the main tick for the layout and the saved rectangle.
    PlaceControls(wnd->width(), wnd->height());
    wnd->show();
}

void CPlaylistDlg::CloseWindow() {
    if (CPlaylistWnd* wnd = m_wnd->open.data()) {
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
    Updating updating(m_nUpdating);
    m_wnd->open->lines->Reload(-1);
}

void CPlaylistDlg::MarkCurrent(int index) {
    const Playlist& playlist = m_host.EditorPlaylist();
    if (playlist.StoreSize() == 0) return;
    if (WindowExists()) {
        // The old line loses ">"; a line outside the list is neither made nor changed.
        m_bMarked = index >= 0 && index < LineCount();
        m_wnd->open->lines->SetMarkedLine(m_bMarked ? index : -1);
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
    if (WindowExists()) PlaceControls(m_nClientCx, m_nClientCy);
}

EditorRect CPlaylistDlg::WindowRectOnScreen() const {
    const CPlaylistWnd* wnd = m_wnd->open.data();
    if (wnd == nullptr) {
        const Settings& s = m_host.EditorSettings();
        return {s.editorX, s.editorY, s.editorWidth, s.editorHeight};
    }
    // Position of the frame, size of the client area: what OpenWindow places, so the saved
    // rectangle does not grow by the frame at every opening.
    const QRect frame = wnd->frameGeometry();
    return {frame.x(), frame.y(), wnd->width(), wnd->height()};
}

void CPlaylistDlg::PlaceControls(int cx, int cy) {
    CPlaylistWnd* wnd = m_wnd->open.data();
    if (wnd == nullptr) return;
    const int listWidth = cx - 65 <= 45 ? 45 : cx - 65;
    const int listHeight = cy - 45 <= 207 ? 207 : cy - 45;
    const int statusY = cy - 22 <= 230 ? 230 : cy - 22;
    const int statusWidth = cx - 10 <= 100 ? 100 : cx - 10;
    const int backY = (cy - 65 <= 200 ? 200 : cy - 65) + 10;
    wnd->list->setGeometry(5, 16, listWidth, listHeight);
    wnd->status->setGeometry(5, statusY, statusWidth, 20);
    const int x = listWidth + 10;
    const std::pair<int, int> column[] = {{kIdNew, 20},   {kIdLoad, 45},    {kIdSave, 65},
                                          {kIdSort, 90},  {kIdDelete, 115}, {kIdUp, 140},
                                          {kIdDown, 160}, {kIdRandom, 190}, {kIdCancel, backY}};
    for (const auto& [id, y] : column) wnd->ButtonById(id)->setGeometry(x, y, 50, 20);
}

// --- the list's lines ------------------------------------------------------------------------

int CPlaylistDlg::LineCount() const { return WindowExists() ? m_wnd->open->lines->rowCount() : 0; }

int CPlaylistDlg::MarkedLine() const {
    return m_bMarked && m_nCurrent >= 0 && m_nCurrent < m_host.EditorPlaylist().StoreSize() ? m_nCurrent : -1;
}

EditorList CPlaylistDlg::TakeList() {
    EditorList list;
    m_host.EditorPlaylist().SwapEntries(list.entries);
    list.selected = SelectedFlags(*ListBox(), static_cast<int>(list.entries.size()));
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
    Updating updating(m_nUpdating);
    EditorLineModel* lines = m_wnd->open->lines;
    if (reload) lines->Reload(MarkedLine());
    else lines->Reordered(MarkedLine());
    SelectFlags(*ListBox(), list.selected);
}

// --- message handlers ------------------------------------------------------------------------

bool CPlaylistDlg::OnInitDialog() {
    CPlaylistWnd* wnd = m_wnd->open.data();
    wnd->setAcceptDrops(true);
    m_nCount = m_host.EditorPlaylist().StoreSize();
    // No line carries ">" until MarkCurrent.
    m_bMarked = false;
    Updating updating(m_nUpdating);
    wnd->lines->Reload(-1);
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
    Updating updating(m_nUpdating);
    m_wnd->open->lines->Appended();
    m_nCount = playlist.StoreSize();
}

std::string CPlaylistDlg::RunFileDialog(bool save, const std::string& folder) {
    // The dialog's own event loop keeps the timer ticking; busy keeps the full tick (and with
    // it the quit path, which deletes this object) out until the dialog has returned.
    PlayerState& state = m_host.EditorPlayerState();
    const int busy = state.busy;
    state.busy = 1;
    ++m_nNestedLoops;
    QWidget* parent = Window();
    const std::string chosen =
        save ? m_wnd->dialogs->ChooseListToSave(parent, folder) : m_wnd->dialogs->ChooseListToLoad(parent, folder);
    --m_nNestedLoops;
    state.busy = busy;
    // The next list dialog opens where this one ended, whatever was chosen there.
    if (!chosen.empty()) m_listDialogFolder = FolderOf(MakeAbsolute(chosen, CurrentFolder()));
    if (m_nNestedLoops == 0) {
        // Closed meanwhile: gone once this handler has returned to the event loop.
        for (const QPointer<CPlaylistWnd>& wnd : m_wnd->closing)
            if (!wnd.isNull()) wnd->deleteLater();
        m_wnd->closing.clear();
    }
    return chosen;
}

void CPlaylistDlg::OnLoad() {
    Settings& settings = m_host.EditorSettings();
    if (QLineEdit* status = StatusLine()) {
        status->setText(ForDisplay(settings.lastListFile));
        status->setCursorPosition(0);
    }
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
    Updating updating(m_nUpdating);
    m_wnd->open->lines->Reload(-1);
    m_nCount = m_host.EditorPlaylist().StoreSize();
}

void CPlaylistDlg::OnSave() {
    Settings& settings = m_host.EditorSettings();
    ChangeFolderByPrefixes(m_listDialogFolder.empty() ? settings.lastListFile : m_listDialogFolder);
    std::string chosen = RunFileDialog(true, CurrentFolder());
    if (chosen.empty()) return;
    chosen = WithDefaultSuffix(chosen);
    settings.lastListFile = chosen;
    if (!WriteListFile(chosen, m_host.EditorPlaylist())) LogLine("the list was not saved to " + chosen);
}

void CPlaylistDlg::OnNew() {
    if (!WindowExists()) return;
    m_host.EditorPlaylist().ClearStore();
    // m_nCurrent, the device and the playing track are left alone.
    m_bMarked = false;
    Updating updating(m_nUpdating);
    m_wnd->open->lines->Reload(-1);
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
        QListView& view = *ListBox();
        // The lines are read anew (the view keeps its scroll place); the line selected
        // afterwards gets the focus and is brought into sight.
        ShowList(list, true);
        const auto selected = std::find(list.selected.begin(), list.selected.end(), 1);
        if (selected != list.selected.end()) {
            Updating updating(m_nUpdating);
            view.selectionModel()->setCurrentIndex(
                view.model()->index(static_cast<int>(selected - list.selected.begin()), 0),
                QItemSelectionModel::NoUpdate);
        }
    }
    m_nCount = m_host.EditorPlaylist().StoreSize();
}

void CPlaylistDlg::OnDblclkList() {
    if (!WindowExists()) return;
    QListView& view = *ListBox();
    const int line = FirstSelectedLine(view);
    if (line < 0) return;
    Updating updating(m_nUpdating);
    if (line > 0) {
        // Line - 1 anchors the next shift-click. Qt takes that anchor from the index the view
        // last made current with a plain selection (single selection makes it plain whatever
        // keys are held); the selection and the focus on the chosen line are put back.
        QItemSelectionModel& selection = *view.selectionModel();
        const QItemSelection kept = selection.selection();
        view.setSelectionMode(QAbstractItemView::SingleSelection);
        view.setCurrentIndex(view.model()->index(line - 1, 0));
        view.setSelectionMode(QAbstractItemView::ExtendedSelection);
        selection.select(kept, QItemSelectionModel::ClearAndSelect);
        selection.setCurrentIndex(view.model()->index(line, 0), QItemSelectionModel::NoUpdate);
    }
    m_nRequest = kEditorRequestPlay;
    m_nRequestIndex = line;
    // Unmarked now; the line gets its ">" when the track has been opened (MarkCurrent).
    m_bMarked = false;
    m_wnd->open->lines->SetMarkedLine(-1);
    m_nCurrent = line;
}

void CPlaylistDlg::OnSelchangeList() {
    if (!WindowExists()) return;
    const int line = FirstSelectedLine(*ListBox());
    if (line < 0) return;
    const std::string folder = FolderOf(m_host.EditorPlaylist().Entry(line));
    // Into the entry's folder, so that the file dialogs open there.
    ChangeFolderByPrefixes(folder);
    if (QLineEdit* status = StatusLine()) {
        status->setText(ForDisplay(folder));
        status->setCursorPosition(0);
    }
}
