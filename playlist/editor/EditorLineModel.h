#pragma once
#include <QAbstractListModel>

class Playlist;

// Line i of the editor's list: the display line of entry i of the store, numbered i + 1, with
// ">" on the marked line. Lines are made when the view shows them, so numbering, moving and
// reordering cost nothing per line. The row count changes only through Reload and Appended:
// a store changed behind the editor's back never gives the view rows that are not there.
// User-interface thread only; the store outlives the model.
class EditorLineModel final : public QAbstractListModel {
public:
    EditorLineModel(const Playlist& store, QObject* parent) : QAbstractListModel(parent), m_store(store) {}

    int rowCount(const QModelIndex& parent = QModelIndex()) const override { return parent.isValid() ? 0 : m_rows; }
    QVariant data(const QModelIndex& index, int role) const override;

    // Every line read anew from the store: one reset.
    void Reload(int markedLine);
    // The store was reordered in place: one change over all lines.
    void Reordered(int markedLine);
    // Entries were added at the end of the store: one insertion.
    void Appended();
    // The view's search for typed text (the next line starting with it) looks at each line's
    // first character, ">" or a blank, before making the line: a long list stays fast to type in.
    QModelIndexList match(const QModelIndex& start, int role, const QVariant& value, int hits,
                          Qt::MatchFlags flags) const override;
    // Moves ">" to `line` (-1: no line).
    void SetMarkedLine(int line);

private:
    const Playlist& m_store;
    int m_rows = 0;
    int m_marked = -1;
};
