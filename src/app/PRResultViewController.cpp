#include "PRResultViewController.h"

#include "AppStyle.h"
#include "CategoryTableModel.h"
#include "FeedbackWindow.h"
#include "Links.h"
#include "PRButton.h"
#include "PRFeedBackView.h"
#include "PRTextView.h"
#include "QtPlatform.h"
#include "QuarrowAppDelegate.h"

#include "platform/LocalizedStrings.h"
#include "platform/Platform.h"
#include "results/ExportNames.h"
#include "results/ItemDetails.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDialog>
#include <QDir>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QStackedWidget>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

namespace quarrow::app {

namespace {

constexpr int kWidth = 850;
constexpr int kTopBand = 92;
constexpr int kBottomBand = 56;
constexpr int kPaneHeight = 620 - kTopBand - kBottomBand;

struct CategoryLook {
    Category category;
    const char* caption; // button caption, "&" doubled for the button's mnemonic rule
    const char* normalImage;
    const char* highlightedImage;
    const char* buttonName;
    const char* paneName;
    const char* tableName;
};

const CategoryLook kLooks[] = {
    {Category::PhotoAndVideo, "Photo&&Video", "phone&videoNom", "phone&videoOn", "photoBtn", "photoView",
     "photoTableView"},
    {Category::Contact, "Contacts", "contactNom", "contactOn", "contactBtn", "contactView", "contactTableView"},
    {Category::Message, "Messages", "messageNom", "messageOn", "messageBtn", "messageView", "messageTableView"},
    {Category::Note, "Notes", "noteNom", "noteOn", "noteBtn", "noteView", "noteTableView"},
    {Category::CallHistory, "Call History", "callNom", "callOn", "callBtn", "callHistoryView", "callHistoryTableView"},
};

// The bare captions of the count labels, each ending in two blanks.
const char* const kCountCaptions[] = {"Photo&Video:  ", "Contacts:  ", "Messages:  ", "Notes:  ", "Call History:  "};

// The detail-area lines of each category, by label name, in display order.
std::vector<const char*> detailLineNames(Category c) {
    switch (c) {
    case Category::Contact:
        return {"contactNamelab",    "contactPhonelab",    "contactEmaillab",   "contactHomePagelab",
                "contactCompanylab", "contactJobTitlelab", "contactBirthdaylab"};
    case Category::Message:
        return {"messageNamelab", "messagePhonelab", "messageTypelab", "messageDatelab"};
    case Category::CallHistory:
        return {"callNamelab", "callPhonelab", "callTypelab", "callTimelab", "callDatelab"};
    case Category::Note:
        return {"noteTitlelab", "noteDatelab"};
    case Category::PhotoAndVideo:
        break;
    }
    return {"imageFileNamelab", "imageFileSizelab"};
}

const char* longTextName(Category c) {
    switch (c) {
    case Category::Contact:
        return "contactNotelab";
    case Category::Message:
        return "messageConteView";
    case Category::Note:
        return "noteContentView";
    default:
        return nullptr;
    }
}

QLabel* backgroundImage(QWidget* parent, const QString& image, const QRect& rect) {
    auto* label = new QLabel(parent);
    label->setGeometry(rect);
    label->setPixmap(imageNamed(image, rect.size(), parent->devicePixelRatioF()));
    label->setScaledContents(true);
    label->lower();
    return label;
}

QLabel* textLabel(QWidget* parent, const char* name, const QString& text, const QFont& font) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setFont(font);
    label->setTextFormat(Qt::PlainText);
    return label;
}

QString qs(const std::string& s) {
    return QString::fromStdString(s);
}

QString textOf(const OptText& t) {
    return t ? QString::fromStdString(*t) : QString();
}

} // namespace

PRResultViewController::PRResultViewController(QuarrowAppDelegate& app, QWidget* parent) : QWidget(parent), app_(app) {
    setObjectName("ResulutView");
    setFixedSize(kWidth, 620);
    setAutoFillBackground(true);

    for (std::size_t i = 0; i < panes_.size(); ++i) {
        panes_[i].category = kAllCategories[i];
        panes_[i].view = std::make_unique<CategoryView>(kAllCategories[i], collection_);
    }

    buildTopBand();
    CustomView_ = new QStackedWidget(this);
    CustomView_->setObjectName("CustomView");
    CustomView_->setGeometry(0, kTopBand, kWidth, kPaneHeight);
    buildProgressPane();
    for (Pane& pane : panes_) {
        buildCategoryPane(pane);
    }
    buildBottomBand();
    buildSaveWindow();

    // The collection reports progress on the scan's worker thread: the texts are copied there and
    // the widgets are updated on the GUI thread.
    collection_.onProgress = [this](long long percent) {
        const QString text = qs(collection_.progressText());
        const CountLabels labels = collection_.countLabels();
        QMetaObject::invokeMethod(
            this, [this, percent, text, labels] { applyProgress(percent, text, labels); }, Qt::QueuedConnection);
    };
    collection_.onFinish = [this] { finishStep(); };

    auto& nc = Platform::current().notificationCenter();
    hoverTokens_.push_back(nc.addObserver(kButtonMouseEntered, [this](const Notification& n) {
        if (const auto* name = n.text()) {
            PRbuttonMouseEnteredHandle(*name);
        }
    }));
    hoverTokens_.push_back(nc.addObserver(kButtonMouseExited, [this](const Notification& n) {
        if (const auto* name = n.text()) {
            PRbuttonMouseExitedHandle(*name);
        }
    }));
    hide();
}

PRResultViewController::~PRResultViewController() {
    // A running export hands its finish step to this thread: serve it before the run is joined.
    while (exportRun_ && !exportRun_->isFinished()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    exportRun_.reset();
    for (auto token : hoverTokens_) {
        Platform::current().notificationCenter().removeObserver(token);
    }
}

void PRResultViewController::buildTopBand() {
    backgroundImage(this, "topband", QRect(0, 0, kWidth, kTopBand));
    int x = 18;
    for (Pane& pane : panes_) {
        const CategoryLook& look = kLooks[index(pane.category)];
        auto* button = new PRButton(look.buttonName, this);
        button->setText(look.caption);
        button->setIcon(iconNamed(look.normalImage));
        button->setIconSize(QSize(44, 44));
        button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        button->setAutoRaise(true);
        button->setFont(uiFont("Lucida Grande", 11));
        button->setGeometry(x, 6, 96, 80);
        button->setFocusPolicy(Qt::NoFocus);
        connect(button, &QAbstractButton::clicked, this, [this, c = pane.category] { showCategory(c); });
        pane.button = button;
        x += 100;
    }
    deviceSummarylab_ = textLabel(this, "deviceSummarylab", {}, uiFont("Lucida Grande", 12));
    deviceSummarylab_->setGeometry(530, 20, 200, 52);
    deviceSummarylab_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    deviceSummarylab_->setWordWrap(true);
    QPalette p = deviceSummarylab_->palette();
    p.setColor(QPalette::WindowText, kMutedColor);
    deviceSummarylab_->setPalette(p);

    homeBtn_ = new PRButton("homeBtn", this);
    homeBtn_->setText("Home");
    homeBtn_->setIcon(iconNamed("homeNom"));
    homeBtn_->setIconSize(QSize(44, 44));
    homeBtn_->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    homeBtn_->setAutoRaise(true);
    homeBtn_->setFont(uiFont("Lucida Grande", 11));
    homeBtn_->setGeometry(kWidth - 18 - 96, 6, 96, 80);
    homeBtn_->setFocusPolicy(Qt::NoFocus);
    homeBtn_->setToolTip("Back to the backup list");
    connect(homeBtn_, &QAbstractButton::clicked, this, &PRResultViewController::actHome);
}

void PRResultViewController::buildProgressPane() {
    scanproView_ = new QWidget;
    scanproView_->setObjectName("scanproView");
    backgroundImage(scanproView_, "progressGorund", QRect(0, 0, kWidth, kPaneHeight));

    const QString card = "QFrame#%1 { background: white; border: 1px solid #d3dbe5; border-radius: 8px; }";
    auto* info = new QFrame(scanproView_);
    info->setObjectName("backupInfoCard");
    info->setStyleSheet(card.arg("backupInfoCard"));
    info->setGeometry(30, 24, 420, 230);
    auto* heading = textLabel(info, "BackUpInfolab", "Backup Information", uiFont("Lucida Grande", 14, true));
    heading->setGeometry(20, 14, 380, 24);
    const char* captions[] = {"Device Name:", "Serial Number:", "Device Type:", "iOS Version:", "Backup Date:"};
    const char* names[] = {"backupNameInfolab", "backupSerialInfolab", "deviceTypeInfolab", "iOSTypeInfolab",
                           "backupDateInfolab"};
    for (int i = 0; i < 5; ++i) {
        auto* caption = textLabel(info, "", captions[i], uiFont("Lucida Grande", 12));
        caption->setGeometry(20, 56 + i * 32, 130, 22);
        QPalette p = caption->palette();
        p.setColor(QPalette::WindowText, kMutedColor);
        caption->setPalette(p);
        backupDetailLabels_[static_cast<std::size_t>(i)] = textLabel(info, names[i], {}, uiFont("Lucida Grande", 12));
        backupDetailLabels_[static_cast<std::size_t>(i)]->setGeometry(150, 56 + i * 32, 255, 22);
    }

    auto* counts = new QFrame(scanproView_);
    counts->setObjectName("countCard");
    counts->setStyleSheet(card.arg("countCard"));
    counts->setGeometry(470, 24, 350, 230);
    auto* backuplab = textLabel(counts, "backuplab", "Existing Files", uiFont("Lucida Grande", 14, true));
    backuplab->setGeometry(20, 14, 150, 24);
    auto* deletedlab = textLabel(counts, "deletedlab", "Deleted Files", uiFont("Lucida Grande", 14, true));
    deletedlab->setGeometry(190, 14, 150, 24);
    QPalette red = deletedlab->palette();
    red.setColor(QPalette::WindowText, kAccentColor);
    deletedlab->setPalette(red);
    const char* countNames[] = {"photovideoNumlab", "contactNumlab", "messageNumlab", "noteNumlab", "callNumlab"};
    const char* delNames[] = {"delPhotovideoNumlab", "delContactNumlab", "delMessageNumlab", "delNoteNumlab",
                              "delCallNumlab"};
    for (int i = 0; i < 5; ++i) {
        const auto k = static_cast<std::size_t>(i);
        countLabels_[k] = textLabel(counts, countNames[i], kCountCaptions[i], systemFont(12, true));
        countLabels_[k]->setGeometry(20, 56 + i * 32, 165, 22);
        delCountLabels_[k] = textLabel(counts, delNames[i], kCountCaptions[i], systemFont(12, true));
        delCountLabels_[k]->setGeometry(190, 56 + i * 32, 155, 22);
    }

    scanInfolab_ = textLabel(scanproView_, "scanInfolab",
                             "Scanning the backup for notes. This can take a few minutes; please wait.",
                             uiFont("Lucida Grande", 12));
    scanInfolab_->setGeometry(30, 290, 700, 22);
    scanProgressor_ = new QProgressBar(scanproView_);
    scanProgressor_->setObjectName("scanProgressor");
    scanProgressor_->setRange(0, 100);
    scanProgressor_->setTextVisible(false);
    scanProgressor_->setGeometry(30, 322, 720, 18);
    progressTextField_ = textLabel(scanproView_, "progressTextField", "1%", uiFont("Lucida Grande", 12, true));
    progressTextField_->setGeometry(764, 318, 60, 24);

    CustomView_->addWidget(scanproView_);
}

void PRResultViewController::buildCategoryPane(Pane& pane) {
    const CategoryLook& look = kLooks[index(pane.category)];
    pane.pane = new QWidget;
    pane.pane->setObjectName(look.paneName);

    pane.model = new CategoryTableModel(*pane.view, this);
    auto* table = new QTableView(pane.pane);
    table->setObjectName(look.tableName);
    table->setModel(pane.model);
    table->setGeometry(12, 12, 506, kPaneHeight - 24);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::ExtendedSelection);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setAlternatingRowColors(true);
    table->setShowGrid(false);
    table->setWordWrap(false);
    table->setFont(uiFont("Lucida Grande", 11));
    table->verticalHeader()->hide();
    table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table->verticalHeader()->setDefaultSectionSize(22);
    auto* header = table->horizontalHeader();
    header->setSectionsClickable(true);
    header->setHighlightSections(false);
    header->setStretchLastSection(true);
    header->setFont(uiFont("Lucida Grande", 11, true));
    const auto& columns = pane.view->columns();
    for (std::size_t c = 0; c < columns.size(); ++c) {
        header->resizeSection(static_cast<int>(c), columns[c].width);
    }
    header->setSectionResizeMode(0, QHeaderView::Fixed);
    connect(header, &QHeaderView::sectionClicked, this,
            [this, c = pane.category](int column) { tableViewDidClickTableColumn(c, column); });
    connect(pane.model, &CategoryTableModel::tickRequested, this, &PRResultViewController::tableViewSetObjectValue);
    connect(table->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { tableViewSelectionDidChange(); });
    connect(table->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this] { tableViewSelectionDidChange(); });
    table->viewport()->installEventFilter(this);
    pane.table = table;

    // The detail area: labelled lines over a long-text view, on a white card.
    const QRect area(530, 12, 308, kPaneHeight - 24);
    backgroundImage(pane.pane, "whiteimg", area);
    pane.detailArea = new QWidget(pane.pane);
    pane.detailArea->setObjectName(QString(look.paneName) + "Detail");
    pane.detailArea->setGeometry(area.adjusted(14, 12, -10, -10));
    auto* layout = new QVBoxLayout(pane.detailArea);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    if (pane.category == Category::PhotoAndVideo) {
        pane.imageView = new QLabel(pane.detailArea);
        pane.imageView->setObjectName("imageView");
        pane.imageView->setFixedSize(280, 210);
        pane.imageView->setAlignment(Qt::AlignCenter);
        pane.imageView->hide();
        layout->addWidget(pane.imageView);
    }
    for (const char* name : detailLineNames(pane.category)) {
        auto* line = textLabel(pane.detailArea, name, {}, uiFont("Lucida Grande", 12));
        line->setMinimumHeight(20);
        line->setMaximumWidth(area.width() - 24);
        layout->addWidget(line);
        pane.lines.push_back(line);
    }
    if (const char* name = longTextName(pane.category)) {
        pane.longText = new PRTextView(pane.detailArea);
        pane.longText->setObjectName(name);
        pane.longText->setFont(uiFont("Lucida Grande", 12));
        pane.longText->setStyleSheet("QPlainTextEdit { background: #f8fafc; border-top: 1px solid #e1e7ee; }");
        layout->addWidget(pane.longText, 1);
    } else {
        layout->addStretch(1);
    }
    CustomView_->addWidget(pane.pane);
}

void PRResultViewController::buildBottomBand() {
    const int top = 620 - kBottomBand;
    backgroundImage(this, "bottom", QRect(0, top, kWidth, kBottomBand));

    checkBtn_ = new QCheckBox("Only dispaly deleted files", this);
    checkBtn_->setObjectName("checkBtn");
    checkBtn_->setFont(uiFont("Lucida Grande", 11));
    QPalette red = checkBtn_->palette();
    red.setColor(QPalette::WindowText, kAccentColor);
    red.setColor(QPalette::ButtonText, kAccentColor);
    checkBtn_->setPalette(red);
    checkBtn_->setGeometry(18, top + 7, 240, 20);
    connect(checkBtn_, &QCheckBox::clicked, this, [this] { actCheck(); });

    selecteFilelab_ = textLabel(this, "selecteFilelab", {}, uiFont("Lucida Grande", 11));
    selecteFilelab_->setGeometry(20, top + 29, 330, 20);

    auto* support = new QPushButton("Support", this);
    support->setObjectName("supprotBtn");
    support->setFont(uiFont("Lucida Grande", 11));
    styleAsLink(support, true);
    support->setGeometry(380, top + 18, 60, 20);
    connect(support, &QPushButton::clicked, this, &PRResultViewController::clickSupport);
    supprotBtn_ = support;

    auto link = [this, top](const char* name, const char* title, int x, void (PRResultViewController::*action)()) {
        auto* b = new PRButton(name, this);
        b->setText(title);
        b->setFont(uiFont("Lucida Grande", 11));
        b->setToolButtonStyle(Qt::ToolButtonTextOnly);
        b->setAutoRaise(true);
        b->setStyleSheet(QStringLiteral("QToolButton { border: none; color: %1; padding: 0px; }"
                                        "QToolButton:disabled { color: #a0a8b2; }")
                             .arg(kLinkColor.name()));
        b->setGeometry(x, top + 18, 70, 20);
        connect(b, &QAbstractButton::clicked, this, action);
        return b;
    };
    facebookBtn_ = link("facebookBtn", "Facebook", 450, &PRResultViewController::clickFacebook);
    twitterBtn_ = link("twitterBtn", "Twitter", 522, &PRResultViewController::clickTwitter);
    feedBackBtn_ = link("feedBackBtn", "Feedback", 586, &PRResultViewController::clickFeedBack);

    auto* save = new QPushButton("Recover", this);
    save->setObjectName("saveBtn");
    save->setFont(uiFont("Lucida Grande", 12, true));
    save->setGeometry(kWidth - 18 - 120, top + 11, 120, 34);
    save->setToolTip("Save the ticked records into a folder");
    connect(save, &QPushButton::clicked, this, &PRResultViewController::actRecovery);
    saveBtn_ = save;

    feedbackWindow_ = new FeedbackWindow(this);
    feedbackWindow_->setWindowFlag(Qt::Window, true);
    connect(feedbackWindow_, &FeedbackWindow::sendRequested, this, &PRResultViewController::clickSendFeedBack);
    connect(feedbackWindow_, &FeedbackWindow::dontSendRequested, this, &PRResultViewController::ClickDontSendFeedBack);
}

QWidget* PRResultViewController::currentPane() const {
    return CustomView_->currentWidget();
}

void PRResultViewController::showView(QWidget* parentView) {
    if (parentView && parentWidget() != parentView) {
        setParent(parentView);
    }
    move(0, 0);
    show();
    raise();

    CustomView_->setCurrentWidget(scanproView_);
    scanProgressor_->setValue(1);
    progressTextField_->setText("1%");
    scanProgressor_->show();
    progressTextField_->show();
    scanInfolab_->show();

    checkBtn_->setChecked(false);
    checkBtn_->hide();
    selecteFilelab_->hide();

    collection_.showView();

    saveBtn_->setEnabled(false);
    homeBtn_->setEnabled(false);
    for (Pane& pane : panes_) {
        pane.button->setEnabled(false);
    }
    facebookBtn_->setEnabled(false);
    twitterBtn_->setEnabled(false);
    feedBackBtn_->setEnabled(false);

    const PRIOSDeviceNodePtr node = app_.currentNode();
    const OptText values[] = {node ? node->strDeviceName() : OptText(), node ? node->strDeviceSerial() : OptText(),
                              node ? node->strDeviceType() : OptText(), node ? node->strIOSVersion() : OptText(),
                              node ? node->strDeviceBackUpTime() : OptText()};
    for (std::size_t i = 0; i < 5; ++i) {
        backupDetailLabels_[i]->setText(textOf(values[i]));
    }
    QString summary = textOf(values[0]);
    if (!textOf(values[3]).isEmpty()) {
        summary += "\niOS " + textOf(values[3]);
    }
    deviceSummarylab_->setText(summary);

    setCategoryImages(std::nullopt);
    for (std::size_t i = 0; i < 5; ++i) {
        countLabels_[i]->setText(kCountCaptions[i]);
        delCountLabels_[i]->setText(kCountCaptions[i]);
    }
    currentTableView_ = nullptr;
}

void PRResultViewController::setCategoryImages(std::optional<Category> highlighted) {
    for (Pane& pane : panes_) {
        const CategoryLook& look = kLooks[index(pane.category)];
        const bool on = highlighted && *highlighted == pane.category;
        pane.button->setIcon(iconNamed(on ? look.highlightedImage : look.normalImage));
    }
}

void PRResultViewController::releaseUIMemory() {
    collection_.releaseUIMemory();
    for (Pane& pane : panes_) {
        pane.view->clear();
        pane.model->reload();
    }
}

void PRResultViewController::applyProgress(long long percent, const QString& text, const CountLabels& labels) {
    scanProgressor_->setValue(static_cast<int>(percent));
    progressTextField_->setText(text);
    const std::string* existing[] = {&labels.photovideoNumlab, &labels.contactNumlab, &labels.messageNumlab,
                                     &labels.noteNumlab, &labels.callNumlab};
    const std::string* deleted[] = {&labels.delPhotovideoNumlab, &labels.delContactNumlab, &labels.delMessageNumlab,
                                    &labels.delNoteNumlab, &labels.delCallNumlab};
    for (std::size_t i = 0; i < 5; ++i) {
        countLabels_[i]->setText(qs(*existing[i]));
        delCountLabels_[i]->setText(qs(*deleted[i]));
    }
}

void PRResultViewController::finishStep() {
    if (closing_) {
        return;
    }
    scanProgressor_->setValue(0);
    progressTextField_->setText("0%");
    scanProgressor_->hide();
    progressTextField_->hide();
    scanInfolab_->hide();
    checkBtn_->show();

    homeBtn_->setEnabled(true);
    panes_[index(Category::Note)].button->setEnabled(true);
    facebookBtn_->setEnabled(true);
    twitterBtn_->setEnabled(true);
    feedBackBtn_->setEnabled(true);

    actNote();

    AlertRequest alert;
    alert.messageText = localizedString("If you have not found the deleted files, please use iTunes to back up your "
                                        "iOS device, after completing the backup, and reopen the software to start "
                                        "again.");
    alert.buttons = {localizedString("Ok")};
    Platform::current().alerts().runModal(alert);
}

void PRResultViewController::showCategory(Category category) {
    Pane& pane = panes_[index(category)];
    checkBtn_->setVisible(pane.view->filterApplies());
    checkBtn_->setChecked(false);
    setCategoryImages(category);
    currentTableView_ = pane.table;
    CustomView_->setCurrentWidget(pane.pane);
    pane.view->showCategory();
    pane.model->reload();
    selectFirstRow(pane.table);
}

void PRResultViewController::selectFirstRow(QTableView* table) {
    if (table->model()->rowCount() < 1) {
        return;
    }
    table->selectionModel()->clearSelection();
    table->selectionModel()->setCurrentIndex(table->model()->index(0, 1),
                                             QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    table->scrollToTop();
    tableViewSelectionDidChange();
}

PRResultViewController::Pane* PRResultViewController::currentPaneInfo() {
    for (Pane& pane : panes_) {
        if (pane.table == currentTableView_) {
            return &pane;
        }
    }
    return nullptr;
}

void PRResultViewController::actCheck() {
    Pane* pane = currentPaneInfo();
    if (!pane || !pane->view->filterApplies()) {
        return;
    }
    pane->view->setDeletedOnly(checkBtn_->isChecked());
    pane->model->reload();
    selectFirstRow(pane->table);
}

void PRResultViewController::tableViewDidClickTableColumn(Category category, int column) {
    Pane& pane = panes_[index(category)];
    const auto& columns = pane.view->columns();
    if (column < 0 || column >= static_cast<int>(columns.size())) {
        return;
    }
    if (!pane.view->sortByColumn(columns[static_cast<std::size_t>(column)].identifier)) {
        return;
    }
    pane.model->reload();
    selectFirstRow(pane.table);
}

void PRResultViewController::tableViewSetObjectValue(bool ticked) {
    Pane* pane = currentPaneInfo();
    if (!pane) {
        return;
    }
    std::vector<std::size_t> rows;
    for (const QModelIndex& i : pane->table->selectionModel()->selectedRows()) {
        rows.push_back(static_cast<std::size_t>(i.row()));
    }
    pane->view->setTicked(rows, ticked);
    pane->model->ticksChanged();
    updateSelectionLine();
}

void PRResultViewController::updateSelectionLine() {
    const auto line = selectionLineText(collection_.counters().selectedFilesNum);
    selecteFilelab_->setVisible(line.has_value());
    selecteFilelab_->setText(line ? qs(*line) : QString());
    saveBtn_->setEnabled(line.has_value());
}

void PRResultViewController::tableViewSelectionDidChange() {
    Pane* pane = currentPaneInfo();
    if (!pane) {
        return;
    }
    QItemSelectionModel* selection = pane->table->selectionModel();
    int row = -1;
    const QModelIndex current = selection->currentIndex();
    if (current.isValid() && selection->isRowSelected(current.row(), QModelIndex())) {
        row = current.row();
    } else if (const auto rows = selection->selectedRows(); !rows.isEmpty()) {
        row = rows.last().row();
    }
    if (row < 0 || static_cast<std::size_t>(row) >= pane->view->size()) {
        return;
    }
    fillDetail(*pane, static_cast<std::size_t>(row));
}

void PRResultViewController::fillDetail(Pane& pane, std::size_t row) {
    const CategoryView::RecordPtr& record = pane.view->at(row);
    ItemDetail detail;
    switch (pane.category) {
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
    for (std::size_t i = 0; i < detail.lines.size() && i < pane.lines.size(); ++i) {
        QLabel* label = pane.lines[i];
        const QString text = qs(detail.lines[i].text);
        label->setText(label->fontMetrics().elidedText(text, Qt::ElideRight, label->maximumWidth()));
        label->setToolTip(text);
        label->setVisible(detail.lines[i].visible);
    }
    if (pane.longText && detail.hasLongText) {
        pane.longText->setPlainText(qs(detail.longText.text));
        pane.longText->setVisible(detail.longText.visible);
    }
    if (pane.imageView) {
        const QPixmap picture(qs(detail.longText.text));
        pane.imageView->setVisible(!picture.isNull());
        if (!picture.isNull()) {
            pane.imageView->setPixmap(
                picture.scaled(pane.imageView->size(), Qt::KeepAspectRatio, Qt::SmoothTransformation));
        }
    }
}

bool PRResultViewController::eventFilter(QObject* watched, QEvent* event) {
    const auto type = event->type();
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseButtonRelease && type != QEvent::MouseButtonDblClick) {
        return QWidget::eventFilter(watched, event);
    }
    for (Pane& pane : panes_) {
        if (watched != pane.table->viewport()) {
            continue;
        }
        auto* mouse = static_cast<QMouseEvent*>(event);
        const QModelIndex hit = pane.table->indexAt(mouse->position().toPoint());
        if (!hit.isValid() || hit.column() != 0 || mouse->button() != Qt::LeftButton) {
            return false;
        }
        // A click on a tick box ticks the whole selection when its row is part of it, and selects
        // just that row first otherwise. The selection itself is left alone either way.
        if (type == QEvent::MouseButtonPress) {
            QItemSelectionModel* selection = pane.table->selectionModel();
            if (!selection->isRowSelected(hit.row(), QModelIndex())) {
                selection->setCurrentIndex(hit, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
            }
            tableViewSetObjectValue(!pane.view->isTicked(static_cast<std::size_t>(hit.row())));
        }
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void PRResultViewController::actHome() {
    AlertRequest alert;
    alert.messageText =
        localizedString("Are you sure you want to go back to Home? If Back, the scanning results will not be saved.");
    alert.buttons = {localizedString(" Back "), localizedString("Cancel")};
    if (Platform::current().alerts().runModal(alert) != 0) {
        return;
    }
    releaseUIMemory();
    app_.showBackupListWindow();
    hide();
    app_.showMainView();
    ResultCounters& c = collection_.counters();
    c.BackUpFilesNum = 0;
    c.deleteeFilesNum = 0;
    c.selectedFilesNum = 0;
    c.recovredFilesNum = 0;
    currentTableView_ = nullptr;
}

void PRResultViewController::buildSaveWindow() {
    saveWindow_ = new QDialog(this);
    saveWindow_->setObjectName("saveWindow");
    saveWindow_->setWindowTitle("Recovering");
    saveWindow_->setWindowModality(Qt::WindowModal);
    saveWindow_->setWindowFlag(Qt::WindowCloseButtonHint, false);
    saveWindow_->setFixedSize(420, 120);
    auto* layout = new QVBoxLayout(saveWindow_);
    layout->setContentsMargins(22, 18, 22, 18);
    auto* caption =
        textLabel(saveWindow_, "saveInfolab", "Saving the ticked records\u2026", uiFont("Lucida Grande", 12));
    layout->addWidget(caption);
    auto* row = new QHBoxLayout;
    saveProgressor_ = new QProgressBar(saveWindow_);
    saveProgressor_->setObjectName("saveProgressor");
    saveProgressor_->setRange(0, 100);
    saveProgressor_->setTextVisible(false);
    savepercentlab_ = textLabel(saveWindow_, "savepercentlab", "0%", uiFont("Lucida Grande", 12, true));
    savepercentlab_->setFixedWidth(48);
    row->addWidget(saveProgressor_, 1);
    row->addWidget(savepercentlab_);
    layout->addLayout(row);
    recoverTimer_ = new QTimer(this);
    recoverTimer_->setInterval(1000);
    connect(recoverTimer_, &QTimer::timeout, this, &PRResultViewController::IphonerecoveryTimer_hander);
}

// The save button: a save panel as a sheet offers the default name; on a chosen path the export
// runs on its worker while the modal progress sheet keeps the window from taking input.
void PRResultViewController::actRecovery() {
    if (exportRun_) {
        return;
    }
    collection_.counters().recovredFilesNum = 0;
    saveProgressor_->setValue(0);
    savepercentlab_->setText("0%");
    SavePanelRequest request;
    request.title = "Save the recovered files";
    request.directory = QDir::homePath().toStdString();
    request.defaultName = defaultExportName(std::time(nullptr));
    const auto path = Platform::current().alerts().runSavePanel(request);
    if (!path || path->empty()) {
        return;
    }
    exportRun_ = std::make_unique<ExportRun>(collection_, *path);
    exportRun_->onFinish = [this](ExportRun& run) { saveProgressorHanderToMainThreadHandle(run); };
    positionAsSheet(saveWindow_, window());
    saveWindow_->open();
    recoverTimer_->start();
    exportRun_->start();
}

void PRResultViewController::IphonerecoveryTimer_hander() {
    if (!exportRun_) {
        return;
    }
    const int percent = exportRun_->progressPercent();
    saveProgressor_->setValue(percent);
    savepercentlab_->setText(QString::number(percent) + "%");
}

void PRResultViewController::saveProgressorHanderToMainThreadHandle(ExportRun& run) {
    recoverTimer_->stop();
    saveWindow_->close();
    saveProgressor_->setValue(0);
    savepercentlab_->setText("0%");
    const auto failures = run.failures();
    // The run waits for this step on its worker; it is released once the worker has ended.
    QTimer::singleShot(0, this, [this] { exportRun_.reset(); });
    if (!failures.empty()) {
        Platform::current().alerts().runModal(exportFailureAlert(failures));
    }
}

void PRResultViewController::clickFacebook() {
    app_.openLink(Links::kFacebookPage);
}

void PRResultViewController::clickTwitter() {
    app_.openLink(Links::kTwitterPage);
}

void PRResultViewController::clickSupport() {
    app_.openLink(Links::kSupportPage);
}

void PRResultViewController::clickFeedBack() {
    feedbackWindow_->feedbackView()->showPlaceholder();
    feedbackWindow_->feedbackEmailVaule()->clear();
    feedbackWindow_->setStatus("Send opens your mail program with this text; you send it from there.");
    if (!feedbackWindow_->isVisible()) {
        feedbackWindow_->show();
        if (const QWidget* w = window()) {
            feedbackWindow_->move(w->geometry().center() - feedbackWindow_->rect().center());
        }
    }
    feedbackWindow_->raise();
}

// Sending hands the text to the user's mail client; the window closes only once the client has
// been handed the message, and nothing here claims that the message itself was sent.
void PRResultViewController::clickSendFeedBack() {
    const QString text = feedbackWindow_->feedbackView()->typedText().trimmed();
    if (text.isEmpty()) {
        feedbackWindow_->feedbackView()->setPlainText(QString::fromLatin1(kFeedbackPrompt));
        return;
    }
    const QUrl mail = Links::feedbackMailUrl(text, feedbackWindow_->feedbackEmailVaule()->text());
    if (!Platform::current().workspace().openURL(mail.toString(QUrl::FullyEncoded).toStdString())) {
        feedbackWindow_->setStatus("No mail program could be opened, so your feedback was not sent. You can copy "
                                   "the text and send it yourself.");
        return;
    }
    app_.setBFeedBack(true);
    feedbackWindow_->hide();
}

void PRResultViewController::ClickDontSendFeedBack() {
    feedbackWindow_->hide();
}

void PRResultViewController::PRbuttonMouseEnteredHandle(const std::string& name) {
    for (PRButton* b : {facebookBtn_, twitterBtn_, feedBackBtn_}) {
        if (b->objectName().toStdString() == name) {
            b->setCursor(Qt::PointingHandCursor);
            QFont f = uiFont("Lucida Grande", 11);
            f.setUnderline(true);
            b->setFont(f);
        }
    }
}

void PRResultViewController::PRbuttonMouseExitedHandle(const std::string& name) {
    for (PRButton* b : {facebookBtn_, twitterBtn_, feedBackBtn_}) {
        if (b->objectName().toStdString() == name) {
            b->setCursor(Qt::ArrowCursor);
            b->setFont(uiFont("Lucida Grande", 11));
        }
    }
}

} // namespace quarrow::app
