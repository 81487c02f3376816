#pragma once

#include "results/CategoryView.h"

#include <QAbstractTableModel>

namespace quarrow::app {

// A category table over the core's shown list: no widget per row, so a hundred thousand records
// scroll as smoothly as ten. Column 0 is the tick box; a change to it is not applied here but
// handed to the result view, which applies it to the whole selection.
class CategoryTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit CategoryTableModel(CategoryView& view, QObject* parent = nullptr);

    CategoryView& view() { return view_; }
    // Call after the shown list changed (filled, filtered, sorted, emptied).
    void reload();
    // Call after ticks changed.
    void ticksChanged();

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

signals:
    void tickRequested(bool ticked);

private:
    CategoryView& view_;
};

} // namespace quarrow::app
