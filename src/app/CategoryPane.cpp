#include "CategoryPane.h"

#include "AppStyle.h"
#include "CategoryTableModel.h"
#include "PRTextView.h"

#include "results/ItemDetails.h"

#include <QHeaderView>
#include <QImage>
#include <QImageReader>
#include <QLabel>
#include <QMouseEvent>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>

namespace quarrow::app {

namespace {

struct PaneNames {
    const char* pane;
    const char* table;
    std::vector<const char*> lines; // the detail-area lines, in display order
    const char* longText;           // the long-text view, if the category has one
};

PaneNames namesFor(Category c) {
    switch (c) {
    case Category::Contact:
        return {"contactView",
                "contactTableView",
                {"contactNamelab", "contactPhonelab", "contactEmaillab", "contactHomePagelab", "contactCompanylab",
                 "contactJobTitlelab", "contactBirthdaylab"},
                "contactNotelab"};
    case Category::Message:
        return {"messageView",
                "messageTableView",
                {"messageNamelab", "messagePhonelab", "messageTypelab", "messageDatelab"},
                "messageConteView"};
    case Category::CallHistory:
        return {"callHistoryView",
                "callHistoryTableView",
                {"callNamelab", "callPhonelab", "callTypelab", "callTimelab", "callDatelab"},
                nullptr};
    case Category::Note:
        return {"noteView",
                "noteTableView",
                {"noteTitlelab", "noteDatelab", "noteFolderlab", "noteAttachmentslab", "noteRecoveredFromlab"},
                "noteContentView"};
    case Category::PhotoAndVideo:
        break;
    }
    return {"photoView", "photoTableView", {"imageFileNamelab", "imageFileSizelab"}, nullptr};
}

} // namespace

CategoryPane::CategoryPane(Category category, ResultCollection& collection, QWidget* parent)
    : QWidget(parent), category_(category), view_(std::make_unique<CategoryView>(category, collection)) {
    const PaneNames names = namesFor(category);
    setObjectName(names.pane);

    model_ = new CategoryTableModel(*view_, this);
    table_ = new QTableView(this);
    table_->setObjectName(names.table);
    table_->setModel(model_);
    table_->setGeometry(12, 12, 506, kHeight - 24);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setAlternatingRowColors(true);
    table_->setShowGrid(false);
    table_->setWordWrap(false);
    table_->setFont(uiFont("Lucida Grande", 11));
    table_->verticalHeader()->hide();
    table_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table_->verticalHeader()->setDefaultSectionSize(22);
    auto* header = table_->horizontalHeader();
    header->setSectionsClickable(true);
    header->setHighlightSections(false);
    header->setStretchLastSection(true);
    header->setFont(uiFont("Lucida Grande", 11, true));
    const auto& columns = view_->columns();
    for (std::size_t c = 0; c < columns.size(); ++c) {
        header->resizeSection(static_cast<int>(c), columns[c].width);
    }
    header->setSectionResizeMode(0, QHeaderView::Fixed);
    connect(table_->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] { showSelectedDetail(); });
    connect(table_->selectionModel(), &QItemSelectionModel::currentChanged, this, [this] { showSelectedDetail(); });
    table_->viewport()->installEventFilter(this);

    // The detail area: labelled lines over a long-text view, on a white card.
    const QRect area(530, 12, 308, kHeight - 24);
    backgroundImage(this, "whiteimg", area);
    detailArea_ = new QWidget(this);
    detailArea_->setObjectName(QString(names.pane) + "Detail");
    detailArea_->setGeometry(area.adjusted(14, 12, -10, -10));
    auto* layout = new QVBoxLayout(detailArea_);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    if (category == Category::PhotoAndVideo) {
        imageView_ = new QLabel(detailArea_);
        imageView_->setObjectName("imageView");
        imageView_->setFixedSize(280, 210);
        imageView_->setAlignment(Qt::AlignCenter);
        imageView_->hide();
        layout->addWidget(imageView_);
    }
    for (const char* name : names.lines) {
        auto* line = textLabel(detailArea_, name, {}, uiFont("Lucida Grande", 12));
        line->setMinimumHeight(20);
        line->setMaximumWidth(area.width() - 24);
        layout->addWidget(line);
        lines_.push_back(line);
    }
    if (names.longText) {
        longText_ = new PRTextView(detailArea_);
        longText_->setObjectName(names.longText);
        longText_->setFont(uiFont("Lucida Grande", 12));
        longText_->setStyleSheet("QPlainTextEdit { background: #f8fafc; border-top: 1px solid #e1e7ee; }");
        layout->addWidget(longText_, 1);
    } else {
        layout->addStretch(1);
    }
}

CategoryPane::~CategoryPane() = default;

void CategoryPane::showCategory() {
    view_->showCategory();
    model_->reload();
    selectFirstRow();
}

bool CategoryPane::setDeletedOnly(bool deletedOnly) {
    if (!view_->filterApplies()) {
        return false;
    }
    view_->setDeletedOnly(deletedOnly);
    model_->reload();
    selectFirstRow();
    return true;
}

bool CategoryPane::sortByColumn(int column) {
    const auto& columns = view_->columns();
    if (column < 0 || column >= static_cast<int>(columns.size()) ||
        !view_->sortByColumn(columns[static_cast<std::size_t>(column)].identifier)) {
        return false;
    }
    model_->reload();
    selectFirstRow();
    return true;
}

void CategoryPane::tickSelection(bool ticked) {
    std::vector<std::size_t> rows;
    for (const QModelIndex& i : table_->selectionModel()->selectedRows()) {
        rows.push_back(static_cast<std::size_t>(i.row()));
    }
    view_->setTicked(rows, ticked);
    model_->ticksChanged();
}

void CategoryPane::clear() {
    view_->clear();
    model_->reload();
}

void CategoryPane::selectFirstRow() {
    if (model_->rowCount() < 1) {
        return;
    }
    table_->selectionModel()->clearSelection();
    table_->selectionModel()->setCurrentIndex(model_->index(0, 1),
                                              QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    table_->scrollToTop();
    showSelectedDetail();
}

void CategoryPane::showSelectedDetail() {
    QItemSelectionModel* selection = table_->selectionModel();
    int row = -1;
    const QModelIndex current = selection->currentIndex();
    if (current.isValid() && selection->isRowSelected(current.row(), QModelIndex())) {
        row = current.row();
    } else if (const auto rows = selection->selectedRows(); !rows.isEmpty()) {
        row = rows.last().row();
    }
    if (row >= 0 && static_cast<std::size_t>(row) < view_->size()) {
        fillDetail(static_cast<std::size_t>(row));
    }
}

void CategoryPane::fillDetail(std::size_t row) {
    const CategoryView::RecordPtr& record = view_->at(row);
    ItemDetail detail;
    switch (category_) {
    case Category::Contact:
        detail = contactDetail(static_cast<const PRContactNode&>(*record));
        break;
    case Category::Message:
        detail = messageDetail(static_cast<const PRMessageNode&>(*record));
        break;
    case Category::CallHistory:
        detail = callHistoryDetail(static_cast<const PRCallHistoryNode&>(*record));
        break;
    case Category::Note:
        detail = noteDetail(static_cast<const PRNoteNode&>(*record));
        break;
    case Category::PhotoAndVideo:
        detail = photoDetail(static_cast<const PRPhotoAndVideoNode&>(*record));
        break;
    }
    for (std::size_t i = 0; i < detail.lines.size() && i < lines_.size(); ++i) {
        QLabel* label = lines_[i];
        const QString text = QString::fromStdString(detail.lines[i].text);
        label->setText(label->fontMetrics().elidedText(text, Qt::ElideRight, label->maximumWidth()));
        label->setToolTip(text);
        label->setVisible(detail.lines[i].visible);
    }
    if (longText_ && detail.hasLongText) {
        longText_->setPlainText(QString::fromStdString(detail.longText.text));
        longText_->setVisible(detail.longText.visible);
    }
    if (imageView_) {
        const QImage picture = photoPreview(QString::fromStdString(detail.longText.text), imageView_->size());
        imageView_->setVisible(!picture.isNull());
        if (!picture.isNull()) {
            imageView_->setPixmap(QPixmap::fromImage(picture));
        }
    }
}

QImage photoPreview(const QString& path, const QSize& box) {
    QImageReader reader(path);
    reader.setAutoTransform(true);
    // Twice the box, for a smooth last step down; the reader's size is that of the stored pixels,
    // before any turn, so the box is taken square enough for either way up.
    const int side = 2 * std::max(box.width(), box.height());
    const QSize full = reader.size();
    if (full.isValid() && (full.width() > side || full.height() > side)) {
        reader.setScaledSize(full.scaled(side, side, Qt::KeepAspectRatio));
    }
    const QImage image = reader.read();
    return image.isNull() ? image : image.scaled(box, Qt::KeepAspectRatio, Qt::SmoothTransformation);
}

bool CategoryPane::eventFilter(QObject* watched, QEvent* event) {
    const auto type = event->type();
    if (watched != table_->viewport() || (type != QEvent::MouseButtonPress && type != QEvent::MouseButtonRelease &&
                                          type != QEvent::MouseButtonDblClick)) {
        return QWidget::eventFilter(watched, event);
    }
    auto* mouse = static_cast<QMouseEvent*>(event);
    const QModelIndex hit = table_->indexAt(mouse->position().toPoint());
    if (!hit.isValid() || hit.column() != 0 || mouse->button() != Qt::LeftButton) {
        return false;
    }
    // A click on a tick box ticks the whole selection when its row is part of it, and selects just
    // that row first otherwise. The selection itself is left alone either way.
    if (type == QEvent::MouseButtonPress) {
        QItemSelectionModel* selection = table_->selectionModel();
        if (!selection->isRowSelected(hit.row(), QModelIndex())) {
            selection->setCurrentIndex(hit, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        }
        emit tickClicked(!view_->isTicked(static_cast<std::size_t>(hit.row())));
    }
    return true;
}

} // namespace quarrow::app
