#pragma once

#include "audiobook/BookLibrary.h"

#include <QAbstractListModel>
#include <QHash>
#include <QListView>
#include <QPixmap>
#include <QStyledItemDelegate>

#include <vector>

namespace quarrow::app {

// The size a cover is drawn at in the grid (points).
inline constexpr QSize kCoverSize(68, 100);
// The most a cover's picture may take once decoded, in MiB: a book is untrusted input.
inline constexpr int kCoverAllocationMiB = 64;

// A book's cover as an image: the encoded picture an ePub or the system library carries, or the
// pixels drawn from a PDF's first page. A null image when there is none or it cannot be decoded.
QImage coverImage(const BookCoverPtr& cover);
// The picture of a book without a cover of its own: a plain binding with its name and kind.
QPixmap defaultCover(const QString& name, const QString& kind, const QSize& size, qreal devicePixelRatio);

// The covers the grid shows: the library's current view (the system library or the imported
// books), read on the main thread. Books added at the end are inserted as rows, so the selection
// survives an import; any other change resets the model.
class BookGridModel : public QAbstractListModel {
    Q_OBJECT
public:
    explicit BookGridModel(BookLibrary& library, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;

    IKImageItemPtr itemAt(int row) const;
    // Takes the library's current view.
    void reload();

private:
    QPixmap coverFor(const IKImageItem& item) const;

    BookLibrary& library_;
    std::vector<IKImageItemPtr> shown_;
    mutable QHash<const IKImageItem*, QPixmap> covers_;
};

// Draws a cover with its shadow and the book's name under it; the selection is a warm brown band.
class BookCoverDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

// The cover grid: a list view in icon mode over shelves that scroll with the covers, and a hint in
// the middle while the view is empty.
class BookGridView : public QListView {
    Q_OBJECT
public:
    static constexpr QSize kGridSize{132, 158};

    explicit BookGridView(QWidget* parent = nullptr);
    void setEmptyText(const QString& text);
    QString emptyText() const { return emptyText_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString emptyText_;
};

} // namespace quarrow::app
