#pragma once
#include <QDialog>
#include <string>
#include <utility>
#include <vector>

class QLabel;
class QLineEdit;
class QListView;
class QPushButton;
class EditorLineModel;
class Playlist;

// Control ids of the editor's window.
enum EditorControlId {
    kIdCancel = 2,  // "戻る"
    kIdList = 1006,
    kIdRandom = 1041,  // "ランダム"
    kIdDelete = 1042,  // "削除"
    kIdDown = 1043,    // "下へ"
    kIdUp = 1044,      // "上へ"
    kIdSort = 1053,    // "ソート"
    kIdSave = 1054,    // "保存"
    kIdLoad = 1055,    // "読込"
    kIdNew = 1056,     // "新規"
    kIdStatus = 1059,
};

// The editor window's rectangle: the frame's top-left on the screen and the client size.
struct EditorRect {
    int x = 0, y = 0, width = 0, height = 0;
};

// What the editor's window hands on: every user action it does not answer itself. Called on
// the user-interface thread from the window's own event handlers.
class EditorWindowEvents {
public:
    virtual ~EditorWindowEvents() = default;
    // Enter outside a push button.
    virtual void OnOK() = 0;
    // Esc and the close box.
    virtual void OnCancel() = 0;
    // A right click on the client area itself or on the caption.
    virtual void OnRButtonDown() = 0;
    // The client size in pixels, after every resize.
    virtual void OnSize(int cx, int cy) = 0;
    // The local paths of a drop, in the drag's order; never empty.
    virtual void OnDropFiles(const std::vector<std::string>& items) = 0;
    // A push button, by its control id.
    virtual void OnCommand(int id) = 0;
    virtual void OnDblclkList() = 0;
    // The user changed the selection; the window's own changes through its methods are not handed on.
    virtual void OnSelchangeList() = 0;
};

// The editor's window "ツラネ丸": the controls of the template, black with white text, the list
// a model over the store. It draws and hands every action on to its events; it never closes
// itself (every way of closing is handed on). User-interface thread only; the store and the
// events outlive the window.
class EditorWindow final : public QDialog {
public:
    EditorWindow(EditorWindowEvents& events, const Playlist& store, QWidget* owner);

    QLabel* Caption() const { return m_caption; }
    QListView* List() const { return m_list; }
    QLineEdit* Status() const { return m_status; }
    QPushButton* Button(int id) const;

    // Moves the frame to (x, y) and sizes the client area, a size of 0 or less taking the
    // default, then lays the controls out for it.
    void Place(int x, int y, int width, int height);
    // Places the controls for a client size of cx x cy pixels.
    void LayOut(int cx, int cy);
    // Position of the frame, size of the client area: what Place takes.
    EditorRect RectOnScreen() const;

    // --- the list's lines (none of these is handed on as a change of the selection) ---
    int LineCount() const;
    // Every line read anew from the store, ">" on `markedLine` (-1: none).
    void ReloadLines(int markedLine);
    // The store was reordered in place.
    void ReorderedLines(int markedLine);
    // Entries were added at the end of the store.
    void AppendedLines();
    // Moves ">" to `line` (-1: no line).
    void MarkLine(int line);

    // --- the selection ---
    // One flag per line for the first `lines` lines.
    std::vector<char> SelectedFlags(int lines) const;
    // The topmost selected line, or -1.
    int FirstSelectedLine() const;
    // Makes `flags` the whole selection in one change.
    void Select(const std::vector<char>& flags);
    // Gives `line` the focus, leaving the selection as it is.
    void FocusLine(int line);
    // Line - 1 anchors the next shift-click; the selection and the focus on `line` stay.
    void AnchorAbove(int line);

    // Shows `raw` (file system bytes, decoded for display) in the status line from its start.
    void ShowStatus(const std::string& raw);

    // Enter, Esc and the close box end up here as well as in the key handler.
    void accept() override;
    void reject() override;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    EditorWindowEvents& m_events;
    QLabel* m_caption = nullptr;
    QListView* m_list = nullptr;
    EditorLineModel* m_lines = nullptr;
    QLineEdit* m_status = nullptr;
    std::vector<std::pair<int, QPushButton*>> m_buttons;
    int m_updating = 0;  // our own changes to the list are no selection by the user
};
