#include "CategoryTableModel.h"

#include "AppStyle.h"

namespace quarrow::app {

CategoryTableModel::CategoryTableModel(CategoryView& view, QObject* parent)
    : QAbstractTableModel(parent), view_(view) {}

void CategoryTableModel::reload() {
    beginResetModel();
    endResetModel();
}

void CategoryTableModel::ticksChanged() {
    if (rowCount() > 0) {
        emit dataChanged(index(0, 0), index(rowCount() - 1, 0), {Qt::CheckStateRole});
    }
}

int CategoryTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(view_.size());
}

int CategoryTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(view_.columns().size());
}

QVariant CategoryTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) {
        return {};
    }
    const auto row = static_cast<std::size_t>(index.row());
    const ColumnSpec& column = view_.columns()[static_cast<std::size_t>(index.column())];
    const bool tickColumn = index.column() == 0;
    switch (role) {
    case Qt::DisplayRole:
        return tickColumn ? QVariant() : QString::fromStdString(view_.cellText(row, column.identifier));
    case Qt::CheckStateRole:
        return tickColumn ? QVariant(view_.isTicked(row) ? Qt::Checked : Qt::Unchecked) : QVariant();
    case Qt::DecorationRole:
        // The lock stands before the first text of a locked note.
        return index.column() == 1 && view_.isLocked(row) ? QVariant(imageNamed(QStringLiteral("lock"), QSize(14, 14)))
                                                          : QVariant();
    case Qt::ForegroundRole:
        return view_.isDeleted(row) ? QVariant(kAccentColor) : QVariant();
    case Qt::ToolTipRole:
        if (view_.isLocked(row)) {
            return QStringLiteral("Locked: the text is protected by the note's password");
        }
        return view_.isDeleted(row) ? QVariant(QStringLiteral("Deleted, recovered from free space")) : QVariant();
    default:
        return {};
    }
}

bool CategoryTableModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || index.column() != 0 || role != Qt::CheckStateRole) {
        return false;
    }
    emit tickRequested(value.toInt() == Qt::Checked);
    return true;
}

Qt::ItemFlags CategoryTableModel::flags(const QModelIndex& index) const {
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (index.column() == 0) {
        f |= Qt::ItemIsUserCheckable;
    }
    return f;
}

QVariant CategoryTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= static_cast<int>(view_.columns().size())) {
        return {};
    }
    return QString::fromLatin1(view_.columns()[static_cast<std::size_t>(section)].title);
}

} // namespace quarrow::app
