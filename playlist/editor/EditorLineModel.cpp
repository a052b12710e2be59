#include "playlist/editor/EditorLineModel.h"

#include <algorithm>
#include <string>

#include "playlist/Playlist.h"

QVariant EditorLineModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || !index.isValid()) return {};
    const std::string line = DisplayLine(index.row(), store_.Entry(index.row()), index.row() == marked_);
    return QString::fromUtf8(line.data(), static_cast<qsizetype>(line.size()));
}

void EditorLineModel::Reload(int markedLine) {
    beginResetModel();
    rows_ = store_.StoreSize();
    marked_ = markedLine;
    endResetModel();
}

void EditorLineModel::Reordered(int markedLine) {
    if (rows_ != store_.StoreSize()) return Reload(markedLine);
    marked_ = markedLine;
    if (rows_ > 0) emit dataChanged(index(0), index(rows_ - 1), {Qt::DisplayRole});
}

void EditorLineModel::Appended() {
    const int rows = store_.StoreSize();
    if (rows <= rows_) return;
    beginInsertRows(QModelIndex(), rows_, rows - 1);
    rows_ = rows;
    endInsertRows();
}

QModelIndexList EditorLineModel::match(const QModelIndex& start, int role, const QVariant& value, int hits,
                                       Qt::MatchFlags flags) const {
    const QString text = value.toString();
    const Qt::CaseSensitivity sensitivity = flags & Qt::MatchCaseSensitive ? Qt::CaseSensitive : Qt::CaseInsensitive;
    if (role != Qt::DisplayRole || hits != 1 || text.isEmpty() || start.parent().isValid() ||
        (flags & ~Qt::MatchCaseSensitive) != (Qt::MatchStartsWith | Qt::MatchWrap))
        return QAbstractListModel::match(start, role, value, hits, flags);
    for (int k = 0; k < rows_; ++k) {
        const int row = (std::max(start.row(), 0) + k) % rows_;
        if (text.front() != QChar(row == marked_ ? u'>' : u' ')) continue;
        if (data(index(row), Qt::DisplayRole).toString().startsWith(text, sensitivity)) return {index(row)};
    }
    return {};
}

void EditorLineModel::SetMarkedLine(int line) {
    const int old = marked_;
    marked_ = line;
    for (const int row : {old, line})
        if (row >= 0 && row < rows_) emit dataChanged(index(row), index(row), {Qt::DisplayRole});
}
