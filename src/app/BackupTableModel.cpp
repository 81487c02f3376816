#include "BackupTableModel.h"

#include "AppStyle.h"

#include "discovery/BackupFiles.h"

namespace quarrow::app {

namespace {
QString textOf(const OptText& t) {
    return t ? QString::fromStdString(*t) : QString();
}
} // namespace

BackupTableModel::BackupTableModel(const PRIOSDeviceController& controller, QObject* parent)
    : QAbstractTableModel(parent), controller_(controller) {}

void BackupTableModel::reload() {
    beginResetModel();
    endResetModel();
}

int BackupTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(controller_.arrangedObjects().size());
}

int BackupTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant BackupTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) {
        return {};
    }
    const auto& node = controller_.arrangedObjects()[static_cast<std::size_t>(index.row())];
    if (role == Qt::DecorationRole && index.column() == TypeColumn) {
        const QString image = textOf(node->deviceImage());
        return imageNamed(image.isEmpty() ? QStringLiteral("iphone") : image, QSize(24, 24));
    }
    if (role == Qt::DecorationRole && index.column() == NameColumn && node->bEncrypted()) {
        return imageNamed(QStringLiteral("lock"), QSize(16, 16));
    }
    if (role == Qt::ToolTipRole) {
        if (node->bEncrypted()) {
            return textOf(node->backUpFilePath()) + "\n" +
                   QStringLiteral("Encrypted: its password is asked for when it is scanned.");
        }
        return textOf(node->backUpFilePath());
    }
    if (role != Qt::DisplayRole) {
        return {};
    }
    switch (index.column()) {
    case NameColumn:
        return textOf(node->strDeviceName());
    case TypeColumn:
        return textOf(node->strDeviceType());
    case VersionColumn:
        return textOf(node->strIOSVersion());
    case TimeColumn:
        return textOf(node->strDeviceBackUpTime());
    case SizeColumn:
        return textOf(node->strDeviceSize());
    case SerialColumn:
        return textOf(node->strDeviceSerial());
    default:
        return {};
    }
}

QVariant BackupTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) {
        return {};
    }
    static const char* const titles[] = {"Name", "Type", "iOS Version", "Backup Time", "Size", "Serial Number"};
    return section >= 0 && section < ColumnCount ? QString::fromLatin1(titles[section]) : QVariant();
}

} // namespace quarrow::app
