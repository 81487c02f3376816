#pragma once

#include "discovery/PRIOSDeviceController.h"

#include <QAbstractTableModel>

namespace quarrow::app {

// The backup table: one PRIOSDeviceNode of the controller per row.
class BackupTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { NameColumn, TypeColumn, VersionColumn, TimeColumn, SizeColumn, SerialColumn, ColumnCount };

    explicit BackupTableModel(const PRIOSDeviceController& controller, QObject* parent = nullptr);

    // Call after the controller's rows changed.
    void reload();

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    const PRIOSDeviceController& controller_;
};

} // namespace quarrow::app
