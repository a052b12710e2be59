#include "playlist/editor/EditorWindow.h"

#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMimeData>
#include <QMouseEvent>
#include <QPushButton>
#include <QResizeEvent>
#include <QScrollBar>
#include <QUrl>
#include <algorithm>

#include "platform/Text.h"
#include "playlist/editor/EditorLineModel.h"
#include "render/DialogUnits.h"
#include "render/TextDraw.h"

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
    {kIdLoad, "読込", 44, 10, 35, 15},       {kIdSave, "保存", 44, 25, 35, 15},    {kIdNew, "新規", 44, 45, 35, 15},
    {kIdRandom, "ランダム", 44, 65, 35, 15}, {kIdSort, "ソート", 44, 85, 36, 15},  {kIdUp, "上へ", 44, 105, 35, 15},
    {kIdDown, "下へ", 44, 120, 35, 15},      {kIdDelete, "削除", 44, 140, 35, 15}, {kIdCancel, "戻る", 44, 165, 35, 15},
};

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

// Marks the window's own changes to the list, so that they are not taken for the user's selection.
class Updating {
public:
    explicit Updating(int& depth) : m_depth(depth) { ++m_depth; }
    ~Updating() { --m_depth; }
    Updating(const Updating&) = delete;
    Updating& operator=(const Updating&) = delete;

private:
    int& m_depth;
};

}  // namespace

EditorWindow::EditorWindow(EditorWindowEvents& events, const Playlist& store, QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                         Qt::WindowCloseButtonHint),
      m_events(events) {
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
    setAcceptDrops(true);

    const DialogUnits units(font);
    m_caption = new QLabel(QStringLiteral("PlayList"), this);
    m_caption->setGeometry(units.Rect(3, 2, 70, 8));

    m_list = new QListView(this);
    m_list->setObjectName(QStringLiteral("list1006"));
    m_lines = new EditorLineModel(store, m_list);
    m_list->setModel(m_lines);
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_list->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_list->verticalScrollBar()->setContextMenuPolicy(Qt::NoContextMenu);
    m_list->setUniformItemSizes(true);
    m_list->setGeometry(units.Rect(5, 10, 39, 30));
    connect(m_list, &QAbstractItemView::doubleClicked, this, [this] { m_events.OnDblclkList(); });
    connect(m_list->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        if (m_updating == 0) m_events.OnSelchangeList();
    });

    for (const ButtonDef& def : kButtons) {
        auto* button = new QPushButton(QString::fromUtf8(def.text), this);
        // The default button is the hidden OK: no visible button may look like it.
        button->setAutoDefault(false);
        button->setGeometry(units.Rect(def.x, def.y, def.w, def.h));
        m_buttons.emplace_back(def.id, button);
        connect(button, &QPushButton::clicked, this, [this, id = def.id] { m_events.OnCommand(id); });
    }

    m_status = new QLineEdit(this);
    m_status->setObjectName(QStringLiteral("status1059"));
    m_status->setReadOnly(true);
    m_status->setContextMenuPolicy(Qt::NoContextMenu);
    m_status->setGeometry(units.Rect(4, 190, 75, 12));

    // The sunken edges of the list and the status line stay grey on the black window.
    for (QWidget* framed : {static_cast<QWidget*>(m_list), static_cast<QWidget*>(m_status)}) {
        QPalette edges = framed->palette();
        edges.setColor(QPalette::Window, QColor(0xC0, 0xC0, 0xC0));
        framed->setPalette(edges);
    }
}

QPushButton* EditorWindow::Button(int id) const {
    for (const auto& [buttonId, button] : m_buttons)
        if (buttonId == id) return button;
    return nullptr;
}

// --- placement -------------------------------------------------------------------------------

void EditorWindow::Place(int x, int y, int width, int height) {
    move(x, y);
    // A size the configuration cannot mean would give a window nobody can see or grab.
    resize(width > 0 ? width : kDefaultWidth, height > 0 ? height : kDefaultHeight);
    LayOut(this->width(), this->height());
}

void EditorWindow::LayOut(int cx, int cy) {
    const int listWidth = cx - 65 <= 45 ? 45 : cx - 65;
    const int listHeight = cy - 45 <= 207 ? 207 : cy - 45;
    const int statusY = cy - 22 <= 230 ? 230 : cy - 22;
    const int statusWidth = cx - 10 <= 100 ? 100 : cx - 10;
    const int backY = (cy - 65 <= 200 ? 200 : cy - 65) + 10;
    m_list->setGeometry(5, 16, listWidth, listHeight);
    m_status->setGeometry(5, statusY, statusWidth, 20);
    const int x = listWidth + 10;
    const std::pair<int, int> column[] = {{kIdNew, 20},   {kIdLoad, 45},    {kIdSave, 65},
                                          {kIdSort, 90},  {kIdDelete, 115}, {kIdUp, 140},
                                          {kIdDown, 160}, {kIdRandom, 190}, {kIdCancel, backY}};
    for (const auto& [id, y] : column) Button(id)->setGeometry(x, y, 50, 20);
}

EditorRect EditorWindow::RectOnScreen() const {
    // Not the frame's size: the saved rectangle would grow by the frame at every opening.
    const QRect frame = frameGeometry();
    return {frame.x(), frame.y(), width(), height()};
}

// --- the list's lines ------------------------------------------------------------------------

int EditorWindow::LineCount() const { return m_lines->rowCount(); }

void EditorWindow::ReloadLines(int markedLine) {
    Updating updating(m_updating);
    m_lines->Reload(markedLine);
}

void EditorWindow::ReorderedLines(int markedLine) {
    Updating updating(m_updating);
    m_lines->Reordered(markedLine);
}

void EditorWindow::AppendedLines() {
    Updating updating(m_updating);
    m_lines->Appended();
}

void EditorWindow::MarkLine(int line) { m_lines->SetMarkedLine(line); }

// --- the selection ---------------------------------------------------------------------------

std::vector<char> EditorWindow::SelectedFlags(int lines) const {
    std::vector<char> flags(static_cast<size_t>(std::max(lines, 0)), 0);
    for (const QItemSelectionRange& range : m_list->selectionModel()->selection()) {
        if (!range.isValid()) continue;
        for (int row = std::max(range.top(), 0); row <= std::min(range.bottom(), lines - 1); ++row)
            flags[static_cast<size_t>(row)] = 1;
    }
    return flags;
}

int EditorWindow::FirstSelectedLine() const {
    int first = -1;
    for (const QItemSelectionRange& range : m_list->selectionModel()->selection())
        if (range.isValid() && (first < 0 || range.top() < first)) first = range.top();
    return first;
}

void EditorWindow::Select(const std::vector<char>& flags) {
    Updating updating(m_updating);
    QItemSelection selection;
    const int n = static_cast<int>(flags.size());
    for (int row = 0; row < n; ++row) {
        if (!flags[static_cast<size_t>(row)]) continue;
        int last = row;
        while (last + 1 < n && flags[static_cast<size_t>(last + 1)]) ++last;
        selection.append(QItemSelectionRange(m_lines->index(row, 0), m_lines->index(last, 0)));
        row = last;
    }
    // Cleared first: replacing one selection of many ranges by another in a single call makes
    // Qt compare them range against range, quadratic in their number.
    m_list->selectionModel()->clearSelection();
    if (!selection.isEmpty()) m_list->selectionModel()->select(selection, QItemSelectionModel::Select);
}

void EditorWindow::FocusLine(int line) {
    Updating updating(m_updating);
    m_list->selectionModel()->setCurrentIndex(m_lines->index(line, 0), QItemSelectionModel::NoUpdate);
}

void EditorWindow::AnchorAbove(int line) {
    if (line <= 0) return;
    Updating updating(m_updating);
    // Qt takes the anchor from the index the view last made current with a plain selection
    // (single selection makes it plain whatever keys are held).
    QItemSelectionModel& selection = *m_list->selectionModel();
    const QItemSelection kept = selection.selection();
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setCurrentIndex(m_lines->index(line - 1, 0));
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    selection.select(kept, QItemSelectionModel::ClearAndSelect);
    selection.setCurrentIndex(m_lines->index(line, 0), QItemSelectionModel::NoUpdate);
}

void EditorWindow::ShowStatus(const std::string& raw) {
    // Decoded by the title line's rule (UTF-8, else CP932); the store keeps the raw bytes.
    const std::string text = OutsideTextToUtf8(raw);
    m_status->setText(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
    m_status->setCursorPosition(0);
}

// --- events ----------------------------------------------------------------------------------

void EditorWindow::accept() { m_events.OnOK(); }
void EditorWindow::reject() { m_events.OnCancel(); }

void EditorWindow::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    m_events.OnSize(event->size().width(), event->size().height());
}

void EditorWindow::mousePressEvent(QMouseEvent* event) {
    // The client area itself: the caption lets clicks through, the other controls keep theirs.
    if (event->button() == Qt::RightButton) {
        QWidget* hit = childAt(event->position().toPoint());
        if (hit == nullptr || hit == m_caption) m_events.OnRButtonDown();
    }
    QDialog::mousePressEvent(event);
}

void EditorWindow::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        // A focused push button takes Enter itself; anywhere else Enter is OK.
        if (auto* button = qobject_cast<QPushButton*>(focusWidget())) button->click();
        else m_events.OnOK();
        return;
    case Qt::Key_Escape: m_events.OnCancel(); return;
    default: QDialog::keyPressEvent(event);
    }
}

void EditorWindow::closeEvent(QCloseEvent* event) {
    event->ignore();
    m_events.OnCancel();
}

void EditorWindow::dragEnterEvent(QDragEnterEvent* event) { dragMoveEvent(event); }

void EditorWindow::dragMoveEvent(QDragMoveEvent* event) {
    if (!LocalPaths(event->mimeData()).empty()) event->acceptProposedAction();
    else event->ignore();
}

void EditorWindow::dropEvent(QDropEvent* event) {
    const std::vector<std::string> paths = LocalPaths(event->mimeData());
    if (paths.empty()) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    m_events.OnDropFiles(paths);
}
