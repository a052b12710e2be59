#include "playlist/editor/EditorLineModel.h"

#include <algorithm>
#include <string>

#include "platform/Paths.h"
#include "platform/Text.h"
#include "playlist/Playlist.h"

QVariant EditorLineModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || !index.isValid()) return {};
    // The name decoded as the title line decodes it (UTF-8, else CP932); the store keeps its bytes.
    const std::string name = OutsideTextToUtf8(FileNameOf(m_store.Entry(index.row())));
    const std::string line = DisplayLine(index.row(), name, index.row() == m_marked);
    return QString::fromUtf8(line.data(), static_cast<qsizetype>(line.size()));
}

void EditorLineModel::Reload(int markedLine) {
    beginResetModel();
    m_rows = m_store.StoreSize();
    m_marked = markedLine;
    endResetModel();
}

void EditorLineModel::Reordered(int markedLine) {
    if (m_rows != m_store.StoreSize()) return Reload(markedLine);
    m_marked = markedLine;
    if (m_rows > 0) emit dataChanged(index(0), index(m_rows - 1), {Qt::DisplayRole});
}

void EditorLineModel::Appended() {
    const int rows = m_store.StoreSize();
    if (rows <= m_rows) return;
    beginInsertRows(QModelIndex(), m_rows, rows - 1);
    m_rows = rows;
    endInsertRows();
}

QModelIndexList EditorLineModel::match(const QModelIndex& start, int role, const QVariant& value, int hits,
                                       Qt::MatchFlags flags) const {
    const QString text = value.toString();
    const Qt::CaseSensitivity sensitivity = flags & Qt::MatchCaseSensitive ? Qt::CaseSensitive : Qt::CaseInsensitive;
    if (role != Qt::DisplayRole || hits != 1 || text.isEmpty() || start.parent().isValid() ||
        (flags & ~Qt::MatchCaseSensitive) != (Qt::MatchStartsWith | Qt::MatchWrap))
        return QAbstractListModel::match(start, role, value, hits, flags);
    for (int k = 0; k < m_rows; ++k) {
        const int row = (std::max(start.row(), 0) + k) % m_rows;
        if (text.front() != QChar(row == m_marked ? u'>' : u' ')) continue;
        if (data(index(row), Qt::DisplayRole).toString().startsWith(text, sensitivity)) return {index(row)};
    }
    return {};
}

void EditorLineModel::SetMarkedLine(int line) {
    const int old = m_marked;
    m_marked = line;
    for (const int row : {old, line})
        if (row >= 0 && row < m_rows) emit dataChanged(index(row), index(row), {Qt::DisplayRole});
}
