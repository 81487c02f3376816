#include "PRResultViewController.h"

#include "AppStyle.h"
#include "CategoryPane.h"
#include "CategoryTableModel.h"
#include "ExportSheet.h"
#include "FeedbackWindow.h"
#include "Links.h"
#include "PRButton.h"
#include "PRFeedBackView.h"
#include "ProgressPane.h"
#include "QuarrowAppDelegate.h"

#include "platform/LocalizedStrings.h"
#include "platform/Platform.h"
#include "results/ExportNames.h"
#include "results/RecoverySession.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QTableView>

#include <ctime>

namespace quarrow::app {

namespace {

constexpr int kWidth = 850;
constexpr int kTopBand = 92;
constexpr int kBottomBand = 56;

struct CategoryLook {
    Category category;
    const char* caption; // button caption, "&" doubled for the button's mnemonic rule
    const char* normalImage;
    const char* highlightedImage;
    const char* buttonName;
};

const CategoryLook kLooks[] = {
    {Category::PhotoAndVideo, "Photo&&Video", "phone&videoNom", "phone&videoOn", "photoBtn"},
    {Category::Contact, "Contacts", "contactNom", "contactOn", "contactBtn"},
    {Category::Message, "Messages", "messageNom", "messageOn", "messageBtn"},
    {Category::Note, "Notes", "noteNom", "noteOn", "noteBtn"},
    {Category::CallHistory, "Call History", "callNom", "callOn", "callBtn"},
};

} // namespace

PRResultViewController::PRResultViewController(RecoverySession& session, QuarrowAppDelegate& shell, QWidget* parent)
    : QWidget(parent), session_(session), shell_(shell) {
    setObjectName("ResulutView");
    setFixedSize(kWidth, 620);
    setAutoFillBackground(true);

    buildTopBand();
    CustomView_ = new QStackedWidget(this);
    CustomView_->setObjectName("CustomView");
    CustomView_->setGeometry(0, kTopBand, kWidth, CategoryPane::kHeight);
    progressPane_ = new ProgressPane;
    CustomView_->addWidget(progressPane_);
    for (Category category : kAllCategories) {
        auto* pane = new CategoryPane(category, session_.collection());
        connect(pane, &CategoryPane::tickClicked, this, &PRResultViewController::tableViewSetObjectValue);
        connect(pane->model(), &CategoryTableModel::tickRequested, this,
                &PRResultViewController::tableViewSetObjectValue);
        connect(pane->table()->horizontalHeader(), &QHeaderView::sectionClicked, this,
                [this, category](int column) { tableViewDidClickTableColumn(category, column); });
        panes_[index(category)] = pane;
        CustomView_->addWidget(pane);
    }
    buildBottomBand();
    exportSheet_ = new ExportSheet(session_, this);

    // The collection reports progress on the scan's worker thread: the texts are copied there and
    // the widgets are updated on the GUI thread.
    ResultCollection& collection = session_.collection();
    collection.onProgress = [this, &collection](long long percent) {
        const QString text = QString::fromStdString(collection.progressText());
        const CountLabels labels = collection.countLabels();
        QMetaObject::invokeMethod(
            this, [this, percent, text, labels] { progressPane_->applyProgress(percent, text, labels); },
            Qt::QueuedConnection);
    };
    collection.onFinish = [this] { finishStep(); };

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
    // A running export hands its finish step to this thread: serve it before the run goes.
    while (session_.isExporting() && session_.exportRun() && !session_.exportRun()->isFinished()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    session_.releaseExport();
    session_.collection().onProgress = {};
    session_.collection().onFinish = {};
    for (auto token : hoverTokens_) {
        Platform::current().notificationCenter().removeObserver(token);
    }
}

ResultCollection& PRResultViewController::collection() {
    return session_.collection();
}

CategoryView& PRResultViewController::viewFor(Category category) {
    return paneFor(category).view();
}

QTableView* PRResultViewController::tableFor(Category category) const {
    return paneFor(category).table();
}

CategoryTableModel* PRResultViewController::modelFor(Category category) const {
    return paneFor(category).model();
}

QTableView* PRResultViewController::currentTableView() const {
    return current_ ? current_->table() : nullptr;
}

QWidget* PRResultViewController::scanproView() const {
    return progressPane_;
}

QDialog* PRResultViewController::saveWindow() const {
    return exportSheet_;
}

bool PRResultViewController::isExporting() const {
    return session_.isExporting();
}

void PRResultViewController::buildTopBand() {
    backgroundImage(this, "topband", QRect(0, 0, kWidth, kTopBand));
    int x = 18;
    for (Category category : kAllCategories) {
        const CategoryLook& look = kLooks[index(category)];
        auto* button = new PRButton(look.buttonName, this);
        button->setText(look.caption);
        button->setIcon(iconNamed(look.normalImage));
        button->setIconSize(QSize(44, 44));
        button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        button->setAutoRaise(true);
        button->setFont(uiFont("Lucida Grande", 11));
        button->setGeometry(x, 6, 96, 80);
        button->setFocusPolicy(Qt::NoFocus);
        connect(button, &QAbstractButton::clicked, this, [this, category] { showCategory(category); });
        buttons_[index(category)] = button;
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

void PRResultViewController::buildBottomBand() {
    constexpr int top = 620 - kBottomBand;
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

    auto link = [this](const char* name, const char* title, int x, void (PRResultViewController::*action)()) {
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

void PRResultViewController::showView(QWidget* parentView, const PRIOSDeviceNodePtr& node) {
    if (parentView && parentWidget() != parentView) {
        setParent(parentView);
    }
    move(0, 0);
    show();
    raise();

    CustomView_->setCurrentWidget(progressPane_);
    const auto& ran = session_.categoriesRan();
    progressPane_->reset(node, ran.size() == 1 && ran.contains(Category::Note));

    checkBtn_->setChecked(false);
    checkBtn_->hide();
    selecteFilelab_->hide();

    saveBtn_->setEnabled(false);
    homeBtn_->setEnabled(false);
    for (PRButton* button : buttons_) {
        button->setEnabled(false);
    }
    facebookBtn_->setEnabled(false);
    twitterBtn_->setEnabled(false);
    feedBackBtn_->setEnabled(false);

    QString summary = node ? QString::fromStdString(node->strDeviceName().value_or("")) : QString();
    if (const auto version = node ? node->strIOSVersion() : OptText(); version && !version->empty()) {
        summary += "\niOS " + QString::fromStdString(*version);
    }
    deviceSummarylab_->setText(summary);

    setCategoryImages(std::nullopt);
    current_ = nullptr;
}

void PRResultViewController::setCategoryImages(std::optional<Category> highlighted) {
    for (Category category : kAllCategories) {
        const CategoryLook& look = kLooks[index(category)];
        const bool on = highlighted && *highlighted == category;
        buttons_[index(category)]->setIcon(iconNamed(on ? look.highlightedImage : look.normalImage));
    }
}

void PRResultViewController::releaseUIMemory() {
    for (CategoryPane* pane : panes_) {
        pane->clear();
    }
}

void PRResultViewController::finishStep() {
    if (closing_) {
        return;
    }
    progressPane_->finish();
    checkBtn_->show();

    homeBtn_->setEnabled(true);
    // The categories whose scanners ran, and only those.
    std::optional<Category> first;
    for (Category category : kAllCategories) {
        const bool ran = session_.categoryRan(category);
        buttons_[index(category)]->setEnabled(ran);
        if (ran && !first) {
            first = category;
        }
    }
    facebookBtn_->setEnabled(true);
    twitterBtn_->setEnabled(true);
    feedBackBtn_->setEnabled(true);

    if (session_.categoryRan(Category::Note)) {
        actNote();
    } else if (first) {
        showCategory(*first);
    }
    emit scanFinished();

    AlertRequest alert;
    alert.messageText = localizedString("If you have not found the deleted files, please use iTunes to back up your "
                                        "iOS device, after completing the backup, and reopen the software to start "
                                        "again.");
    alert.buttons = {localizedString("Ok")};
    Platform::current().alerts().runModal(alert);
}

void PRResultViewController::showCategory(Category category) {
    CategoryPane& pane = paneFor(category);
    checkBtn_->setVisible(pane.view().filterApplies());
    checkBtn_->setChecked(false);
    setCategoryImages(category);
    current_ = &pane;
    CustomView_->setCurrentWidget(&pane);
    pane.showCategory();
}

CategoryPane* PRResultViewController::currentPaneInfo() const {
    return current_;
}

void PRResultViewController::actCheck() {
    if (CategoryPane* pane = currentPaneInfo()) {
        pane->setDeletedOnly(checkBtn_->isChecked());
    }
}

void PRResultViewController::tableViewDidClickTableColumn(Category category, int column) {
    paneFor(category).sortByColumn(column);
}

void PRResultViewController::tableViewSetObjectValue(bool ticked) {
    CategoryPane* pane = currentPaneInfo();
    if (!pane) {
        return;
    }
    pane->tickSelection(ticked);
    updateSelectionLine();
}

void PRResultViewController::updateSelectionLine() {
    const auto line = selectionLineText(session_.collection().counters().selectedFilesNum);
    selecteFilelab_->setVisible(line.has_value());
    selecteFilelab_->setText(line ? QString::fromStdString(*line) : QString());
    saveBtn_->setEnabled(line.has_value());
}

void PRResultViewController::tableViewSelectionDidChange() {
    if (CategoryPane* pane = currentPaneInfo()) {
        pane->showSelectedDetail();
    }
}

void PRResultViewController::actHome() {
    AlertRequest alert;
    alert.messageText =
        localizedString("Are you sure you want to go back to Home? If Back, the scanning results will not be saved.");
    alert.buttons = {localizedString(" Back "), localizedString("Cancel")};
    if (Platform::current().alerts().runModal(alert) != 0) {
        return;
    }
    session_.goHome();
    releaseUIMemory();
    hide();
    current_ = nullptr;
    emit wentHome();
}

// The save button: a save panel offers the default name; on a chosen path the export runs on its
// worker while the modal progress sheet keeps the window from taking input.
void PRResultViewController::actRecovery() {
    if (session_.isExporting()) {
        return;
    }
    SavePanelRequest request;
    request.title = "Save the recovered files";
    request.directory = QDir::homePath().toStdString();
    request.defaultName = defaultExportName(std::time(nullptr));
    const auto path = Platform::current().alerts().runSavePanel(request);
    if (!path || path->empty()) {
        return;
    }
    exportSheet_->start(*path);
}

void PRResultViewController::clickFacebook() {
    shell_.openLink(Links::kFacebookPage);
}

void PRResultViewController::clickTwitter() {
    shell_.openLink(Links::kTwitterPage);
}

void PRResultViewController::clickSupport() {
    shell_.openLink(Links::kSupportPage);
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
    shell_.setBFeedBack(true);
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
