#include "PRImageAndTextCell.h"

#include <QApplication>
#include <QPainter>
#include <QPixmap>

namespace quarrow::app {

namespace {
constexpr int kGap = 3;
constexpr int kTextInset = 5;

QSize decorationSize(const QModelIndex& index) {
    const QVariant v = index.data(Qt::DecorationRole);
    if (v.canConvert<QPixmap>()) {
        const QPixmap p = v.value<QPixmap>();
        return p.isNull() ? QSize() : p.deviceIndependentSize().toSize();
    }
    return {};
}
} // namespace

QRect PRImageAndTextCell::imageRectForBounds(const QRect& bounds, const QSize& imageSize) {
    if (imageSize.isEmpty()) {
        return {};
    }
    const int y = bounds.y() + (bounds.height() - imageSize.height() + 1) / 2;
    return QRect(QPoint(bounds.x() + kGap, y), imageSize);
}

QRect PRImageAndTextCell::titleRectForBounds(const QRect& bounds, const QSize& imageSize) {
    if (imageSize.isEmpty()) {
        return {};
    }
    return bounds.adjusted(imageSize.width() + kGap, 0, 0, 0);
}

void PRImageAndTextCell::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const {
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    const QSize imageSize = decorationSize(index);
    // Background and selection as the style draws them, without text or picture.
    opt.text.clear();
    opt.icon = QIcon();
    opt.features &= ~QStyleOptionViewItem::HasDecoration;
    QApplication::style()->drawControl(QStyle::CE_ItemViewItem, &opt, painter, opt.widget);

    QRect textRect = option.rect;
    if (!imageSize.isEmpty()) {
        painter->drawPixmap(imageRectForBounds(option.rect, imageSize),
                            index.data(Qt::DecorationRole).value<QPixmap>());
        textRect = titleRectForBounds(option.rect, imageSize);
    }
    textRect.adjust(kTextInset, 0, -2, 0);
    painter->save();
    painter->setFont(opt.font);
    const bool selected = option.state & QStyle::State_Selected;
    painter->setPen(option.palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
    const QString text = index.data(Qt::DisplayRole).toString();
    painter->drawText(textRect, Qt::AlignVCenter | Qt::AlignLeft,
                      opt.fontMetrics.elidedText(text, Qt::ElideRight, textRect.width()));
    painter->restore();
}

QSize PRImageAndTextCell::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const {
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    const QSize imageSize = decorationSize(index);
    size.rwidth() += (imageSize.isEmpty() ? 0 : imageSize.width()) + kGap;
    size.setHeight(std::max(size.height(), imageSize.height() + 4));
    return size;
}

} // namespace quarrow::app
