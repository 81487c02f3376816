#pragma once

#include <QRect>
#include <QSize>
#include <QStyledItemDelegate>

namespace quarrow::app {

// Draws a table cell as a picture at its left edge (the item's decoration) and its text beside it,
// the text truncated at the tail. Without a picture the text takes the whole cell.
class PRImageAndTextCell : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    // The picture 3 points from the left edge, centred vertically; empty without a picture.
    static QRect imageRectForBounds(const QRect& bounds, const QSize& imageSize);
    // The cell less the picture and 3 points at its left; empty without a picture.
    static QRect titleRectForBounds(const QRect& bounds, const QSize& imageSize);

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

} // namespace quarrow::app
