#include "BookGrid.h"

#include "AppStyle.h"

#include <QBuffer>
#include <QImageReader>
#include <QPainter>
#include <QPainterPath>
#include <QScrollBar>

#include <algorithm>

namespace quarrow::app {

namespace {

// The cover browser's colours: the selection band and the titles.
const QColor kSelectionColor(138, 91, 47);
const QColor kTitleColor(111, 50, 0);
const QColor kShelfBackground(246, 239, 228);
const QColor kShelfBoard(222, 204, 178);

constexpr int kCoverTop = 10;
constexpr int kTitleHeight = 34;

QString qs(const std::string& s) {
    return QString::fromStdString(s);
}

QString kindLabel(const std::string& type) {
    return type.empty() ? QString("BOOK") : qs(type).toUpper();
}

QString tooltipFor(const IKImageItem& item) {
    const PRBookNode& book = *item.bookNode;
    QStringList lines;
    lines << "<b>" + qs(book.title().value_or(item.fileName)).toHtmlEscaped() + "</b>";
    if (const auto author = book.author()) {
        lines << qs(*author).toHtmlEscaped();
    }
    QString shape = kindLabel(item.fileType);
    if (book.pageCount() > 0) {
        shape += QString(", %1 pages").arg(book.pageCount());
    } else if (const auto chapters = book.iBookArray(); !chapters.empty()) {
        shape += QString(", %1 chapters").arg(chapters.size());
    }
    lines << shape;
    lines << "<i>" + qs(item.filePath).toHtmlEscaped() + "</i>";
    return lines.join("<br>");
}

} // namespace

QImage coverImage(const BookCoverPtr& cover) {
    if (!cover || cover->bytes.empty()) {
        return {};
    }
    if (cover->form == BookCover::Form::Argb32) {
        const qsizetype need = static_cast<qsizetype>(cover->stride) * cover->height;
        if (cover->width <= 0 || cover->height <= 0 || cover->stride < cover->width * 4 ||
            need > static_cast<qsizetype>(cover->bytes.size())) {
            return {};
        }
        const auto* bits = reinterpret_cast<const uchar*>(cover->bytes.data());
        return QImage(bits, cover->width, cover->height, cover->stride, QImage::Format_RGB32).copy();
    }
    // A picture from a book is untrusted: decode it through a reader with an allocation cap and
    // straight to the small size it is shown at. Qt keeps that cap for the whole process, so it is
    // tightened for this read alone: the Photo&Video pane decodes the user's large photos under
    // Qt's own cap. Covers are read on the GUI thread only, as are those photos.
    struct AllocationCap {
        const int previous = QImageReader::allocationLimit();
        AllocationCap() { QImageReader::setAllocationLimit(kCoverAllocationMiB); }
        ~AllocationCap() { QImageReader::setAllocationLimit(previous); }
        AllocationCap(const AllocationCap&) = delete;
        AllocationCap& operator=(const AllocationCap&) = delete;
    } cap;
    QByteArray bytes = QByteArray::fromRawData(cover->bytes.data(), static_cast<qsizetype>(cover->bytes.size()));
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    const QSize full = reader.size();
    if (full.isValid() && (full.width() > kCoverSize.width() * 4 || full.height() > kCoverSize.height() * 4)) {
        reader.setScaledSize(full.scaled(kCoverSize * 4, Qt::KeepAspectRatio));
    }
    return reader.read();
}

QPixmap defaultCover(const QString& name, const QString& kind, const QSize& size, qreal devicePixelRatio) {
    QPixmap pixmap(size * devicePixelRatio);
    pixmap.setDevicePixelRatio(devicePixelRatio);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    // A binding whose colour follows the name, so that books without covers still differ.
    const int hue = static_cast<int>(qHash(name) % 360u);
    const QRectF r(0.5, 0.5, size.width() - 1.0, size.height() - 1.0);
    p.setPen(QColor::fromHsl(hue, 60, 70));
    p.setBrush(QColor::fromHsl(hue, 70, 110));
    p.drawRoundedRect(r, 3, 3);
    p.fillRect(QRectF(4, 0.5, 3, size.height() - 1.0), QColor::fromHsl(hue, 60, 80));
    p.setPen(QColor(255, 255, 255, 230));
    QFont title = uiFont("Lucida Grande", 9, true);
    p.setFont(title);
    const QRectF text(11, 10, size.width() - 16, size.height() - 34);
    // The name without its extension (the kind is printed below it), by words where it can.
    const QString shown = name.contains('.') ? name.section('.', 0, -2) : name;
    const bool words = shown.split(' ').size() > 1;
    const int wrap = words ? Qt::TextWordWrap : Qt::TextWrapAnywhere;
    p.drawText(text, static_cast<int>(Qt::AlignHCenter | Qt::AlignTop) | wrap,
               QFontMetrics(title).elidedText(shown, Qt::ElideRight, static_cast<int>(text.width() * 4)));
    p.setFont(uiFont("Lucida Grande", 8, true));
    p.setPen(QColor(255, 255, 255, 180));
    p.drawText(QRectF(8, size.height() - 20, size.width() - 12, 14), Qt::AlignHCenter, kind);
    return pixmap;
}

BookGridModel::BookGridModel(BookLibrary& library, QObject* parent) : QAbstractListModel(parent), library_(library) {
    reload();
}

int BookGridModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(shown_.size());
}

IKImageItemPtr BookGridModel::itemAt(int row) const {
    return row >= 0 && row < static_cast<int>(shown_.size()) ? shown_[static_cast<std::size_t>(row)] : nullptr;
}

QVariant BookGridModel::data(const QModelIndex& index, int role) const {
    const IKImageItemPtr item = itemAt(index.row());
    if (!item || index.column() != 0) {
        return {};
    }
    switch (role) {
    case Qt::DisplayRole:
        return qs(item->fileName);
    case Qt::DecorationRole:
        return coverFor(*item);
    case Qt::ToolTipRole:
        return tooltipFor(*item);
    default:
        return {};
    }
}

QPixmap BookGridModel::coverFor(const IKImageItem& item) const {
    if (const auto it = covers_.constFind(&item); it != covers_.constEnd()) {
        return *it;
    }
    constexpr qreal kRatio = 2.0; // sharp on high-density screens, small everywhere
    QPixmap pixmap;
    if (const QImage image = coverImage(item.fileImage); !image.isNull()) {
        pixmap = QPixmap::fromImage(image.scaled(kCoverSize * kRatio, Qt::KeepAspectRatio, Qt::SmoothTransformation)
                                        .convertToFormat(QImage::Format_ARGB32_Premultiplied));
        pixmap.setDevicePixelRatio(kRatio);
    } else {
        pixmap = defaultCover(qs(item.fileName), kindLabel(item.fileType), kCoverSize, kRatio);
    }
    covers_.insert(&item, pixmap);
    return pixmap;
}

void BookGridModel::reload() {
    std::vector<IKImageItemPtr> next;
    next.reserve(library_.numberOfItemsInImageBrowser());
    for (std::size_t i = 0; i < library_.numberOfItemsInImageBrowser(); ++i) {
        next.push_back(library_.imageBrowserItemAtIndex(i));
    }
    const bool grew = next.size() > shown_.size() && std::equal(shown_.begin(), shown_.end(), next.begin());
    if (next == shown_) {
        return;
    }
    if (grew) {
        beginInsertRows({}, static_cast<int>(shown_.size()), static_cast<int>(next.size()) - 1);
        shown_ = std::move(next);
        endInsertRows();
        return;
    }
    beginResetModel();
    shown_ = std::move(next);
    // Forget the covers of items no longer shown (their addresses may be reused).
    QHash<const IKImageItem*, QPixmap> kept;
    for (const auto& item : shown_) {
        if (const auto it = covers_.constFind(item.get()); it != covers_.constEnd()) {
            kept.insert(item.get(), *it);
        }
    }
    covers_.swap(kept);
    endResetModel();
}

void BookCoverDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const {
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    const QRect cell = option.rect.adjusted(4, 2, -4, -2);
    const bool selected = option.state.testFlag(QStyle::State_Selected);
    if (selected) {
        QColor band = kSelectionColor;
        band.setAlpha(option.state.testFlag(QStyle::State_Active) ? 255 : 190);
        painter->setPen(Qt::NoPen);
        painter->setBrush(band);
        painter->drawRoundedRect(cell, 6, 6);
    }
    const QPixmap cover = index.data(Qt::DecorationRole).value<QPixmap>();
    const QSize drawn = cover.deviceIndependentSize().toSize();
    const QRect coverRect(cell.center().x() - drawn.width() / 2,
                          cell.top() + kCoverTop + kCoverSize.height() - drawn.height(), drawn.width(), drawn.height());
    // A soft shadow under the cover, as books standing on a shelf.
    painter->setPen(Qt::NoPen);
    for (int i = 3; i >= 1; --i) {
        painter->setBrush(QColor(60, 35, 10, 22 * (4 - i)));
        painter->drawRoundedRect(coverRect.adjusted(-i + 2, -i + 3, i + 2, i + 3), 3, 3);
    }
    painter->drawPixmap(coverRect, cover);

    const QRect title(cell.left() + 4, cell.top() + kCoverTop + kCoverSize.height() + 6, cell.width() - 8,
                      kTitleHeight);
    painter->setFont(uiFont("Lucida Grande", 12));
    painter->setPen(selected ? QColor(Qt::white) : kTitleColor);
    const QFontMetrics metrics(painter->font());
    // Two lines at most, the second elided.
    const QString name = index.data(Qt::DisplayRole).toString();
    QString first = name;
    QString second;
    if (metrics.horizontalAdvance(name) > title.width()) {
        auto cut = name.size();
        while (cut > 1 && metrics.horizontalAdvance(name.left(cut)) > title.width()) {
            --cut;
        }
        if (const auto space = name.lastIndexOf(' ', cut - 1); space > 0) {
            cut = space + 1;
        }
        first = name.left(cut).trimmed();
        second = metrics.elidedText(name.mid(cut).trimmed(), Qt::ElideMiddle, title.width());
    }
    const int line = metrics.height();
    painter->drawText(QRect(title.left(), title.top(), title.width(), line), Qt::AlignHCenter, first);
    if (!second.isEmpty()) {
        painter->drawText(QRect(title.left(), title.top() + line, title.width(), line), Qt::AlignHCenter, second);
    }
    if (option.state.testFlag(QStyle::State_HasFocus) && !selected) {
        painter->setPen(QPen(kSelectionColor, 1, Qt::DotLine));
        painter->setBrush(Qt::NoBrush);
        painter->drawRoundedRect(cell, 6, 6);
    }
    painter->restore();
}

QSize BookCoverDelegate::sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const {
    return BookGridView::kGridSize;
}

BookGridView::BookGridView(QWidget* parent) : QListView(parent) {
    setObjectName("imageViewBrower");
    setViewMode(QListView::IconMode);
    setMovement(QListView::Static);
    setResizeMode(QListView::Adjust);
    setFlow(QListView::LeftToRight);
    setWrapping(true);
    setUniformItemSizes(true);
    setGridSize(kGridSize);
    setIconSize(kCoverSize);
    setSpacing(0);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    // Icon mode turns on moving covers by dragging; the grid keeps the list's order, and files
    // dropped on it go to the page, which imports them.
    setDragEnabled(false);
    setAcceptDrops(false);
    viewport()->setAcceptDrops(false);
    setSelectionRectVisible(true);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    verticalScrollBar()->setSingleStep(24);
    setFrameShape(QFrame::NoFrame);
    setItemDelegate(new BookCoverDelegate(this));
    setContextMenuPolicy(Qt::CustomContextMenu);
    QPalette p = palette();
    p.setColor(QPalette::Base, kShelfBackground);
    setPalette(p);
}

void BookGridView::setEmptyText(const QString& text) {
    emptyText_ = text;
    viewport()->update();
}

void BookGridView::paintEvent(QPaintEvent* event) {
    {
        // A shelf board under each row of covers; it moves with them when the grid scrolls.
        QPainter p(viewport());
        const int offset = verticalScrollBar()->value();
        const int rowHeight = kGridSize.height();
        const int boardTop = kCoverTop + kCoverSize.height() + 4;
        for (int top = -(offset % rowHeight); top < viewport()->height(); top += rowHeight) {
            p.fillRect(QRect(0, top + boardTop, viewport()->width(), 5), kShelfBoard);
            p.fillRect(QRect(0, top + boardTop + 5, viewport()->width(), 1), kShelfBoard.darker(115));
        }
        if (model() && model()->rowCount() == 0 && !emptyText_.isEmpty()) {
            p.setPen(kMutedColor);
            p.setFont(uiFont("Lucida Grande", 13));
            p.drawText(viewport()->rect().adjusted(60, 0, -60, 0), Qt::AlignCenter | Qt::TextWordWrap, emptyText_);
        }
    }
    QListView::paintEvent(event);
}

} // namespace quarrow::app
