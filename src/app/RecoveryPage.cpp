#include "RecoveryPage.h"

#include "AppStyle.h"
#include "BackupTableModel.h"
#include "PRImageAndTextCell.h"
#include "PRResultViewController.h"
#include "PasswordSheet.h"
#include "QuarrowAppDelegate.h"

#include "discovery/BackupFiles.h"
#include "platform/LocalizedStrings.h"
#include "platform/Log.h"
#include "platform/Platform.h"
#include "results/BackupRootChoice.h"
#include "results/RecoverySession.h"

#include <QDir>
#include <QFrame>
#include <QHeaderView>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QShortcut>
#include <QTableView>
#include <QVBoxLayout>

namespace quarrow::app {

namespace {

QString qs(const std::string& s) {
    return QString::fromStdString(s);
}

QString textOf(const OptText& t) {
    return t ? QString::fromStdString(*t) : QString();
}

QLabel* makeLabel(QWidget* parent, const char* name, const QString& text, const QFont& font, const QRect& rect) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setFont(font);
    label->setGeometry(rect);
    return label;
}

QPushButton* makeButton(QWidget* parent, const char* name, const QString& title, const QRect& rect) {
    auto* b = new QPushButton(title, parent);
    b->setObjectName(name);
    b->setFont(uiFont("Lucida Grande", 12));
    b->setGeometry(rect);
    return b;
}

} // namespace

RecoveryPage::RecoveryPage(RecoverySession& session, QuarrowAppDelegate& shell, const AppOptions& options,
                           QWidget* parent)
    : QWidget(parent), session_(session), shell_(shell), commandLineRoot_(options.commandLineRoot),
      sampleRoot_(options.sampleRoot), deviceController_(Platform::current().host()) {
    setObjectName("recoveryPage");
    setFixedSize(kBackupListSize);
    buildMainView();
}

RecoveryPage::~RecoveryPage() {
    if (unlockThread_.joinable()) {
        unlockThread_.join();
    }
}

void RecoveryPage::buildMainView() {
    mainView_ = new QWidget(this);
    mainView_->setObjectName("mainView");
    mainView_->setGeometry(QRect(QPoint(0, 0), kBackupListSize));

    // Header band with the product's picture and name.
    auto* imageView = new QLabel(mainView_);
    imageView->setObjectName("imageView");
    imageView->setGeometry(0, 0, kBackupListSize.width(), 96);
    imageView->setPixmap(imageNamed("header", imageView->size(), devicePixelRatioF()));
    imageView->setScaledContents(true);
    auto* logo = new QLabel(mainView_);
    logo->setGeometry(24, 18, 58, 58);
    logo->setPixmap(imageNamed("logo", logo->size(), devicePixelRatioF()));
    auto* title =
        makeLabel(mainView_, "titlelab", "Quarrow", uiFont("Lucida Grande", 26, true), QRect(96, 18, 400, 34));
    auto* subtitle = makeLabel(mainView_, "subtitlelab", "Recover existing and deleted notes from iOS device backups",
                               uiFont("Lucida Grande", 13), QRect(97, 54, 560, 22));
    for (QLabel* l : {title, subtitle}) {
        QPalette p = l->palette();
        p.setColor(QPalette::WindowText, Qt::white);
        l->setPalette(p);
    }

    makeLabel(mainView_, "infoTextlab", "Choose a device backup from the list, then press Start Scan.",
              uiFont("Lucida Grande", 13), QRect(24, 108, 600, 22));
    auto* notelab =
        makeLabel(mainView_, "notelab",
                  "Your backup is never changed: a scan only reads its databases, in place or from a private copy.",
                  uiFont("Lucida Grande", 13), QRect(24, 132, 800, 22));
    QPalette red = notelab->palette();
    red.setColor(QPalette::WindowText, QColor(0x3d, 0x6b, 0x4f));
    notelab->setPalette(red);

    auto* titleline = new QFrame(mainView_);
    titleline->setObjectName("titleline");
    titleline->setFrameShape(QFrame::HLine);
    titleline->setFrameShadow(QFrame::Sunken);
    titleline->setGeometry(24, 160, 801, 2);

    rootLine_ = makeLabel(mainView_, "backupRootlab", {}, uiFont("Lucida Grande", 12), QRect(24, 172, 500, 24));
    auto* refresh = makeButton(mainView_, "refreshBtn", "Refresh", QRect(540, 170, 90, 28));
    auto* choose = makeButton(mainView_, "chooseFolderBtn", "Choose backup folder\u2026", QRect(638, 170, 187, 28));
    refresh->setToolTip("List the backups in the backup folder again");
    QObject::connect(refresh, &QPushButton::clicked, this, &RecoveryPage::showIphoneDiskView);
    QObject::connect(choose, &QPushButton::clicked, this, &RecoveryPage::chooseBackupFolder);

    backupModel_ = new BackupTableModel(deviceController_, this);
    diskTableView_ = new QTableView(mainView_);
    diskTableView_->setObjectName("diskTableView");
    diskTableView_->setModel(backupModel_);
    diskTableView_->setGeometry(24, 206, 801, 254);
    diskTableView_->setSelectionBehavior(QAbstractItemView::SelectRows);
    diskTableView_->setSelectionMode(QAbstractItemView::SingleSelection);
    diskTableView_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    diskTableView_->setAlternatingRowColors(true);
    diskTableView_->setShowGrid(false);
    diskTableView_->setWordWrap(false);
    diskTableView_->setFont(uiFont("Lucida Grande", 12));
    diskTableView_->verticalHeader()->hide();
    diskTableView_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    diskTableView_->verticalHeader()->setDefaultSectionSize(32);
    diskTableView_->horizontalHeader()->setFont(uiFont("Lucida Grande", 11, true));
    diskTableView_->horizontalHeader()->setStretchLastSection(true);
    diskTableView_->horizontalHeader()->setHighlightSections(false);
    diskTableView_->setItemDelegateForColumn(BackupTableModel::TypeColumn, new PRImageAndTextCell(diskTableView_));
    const int widths[] = {180, 130, 90, 140, 70, 160};
    for (int c = 0; c < BackupTableModel::ColumnCount; ++c) {
        diskTableView_->horizontalHeader()->resizeSection(c, widths[c]);
    }
    QObject::connect(diskTableView_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
                     [this] { tableViewSelectionDidChange(); });
    QObject::connect(diskTableView_, &QTableView::doubleClicked, this, [this] { actScanIOSBackupFile(); });

    // Shown over the empty table: what to do next, and the sample backups when there are some.
    auto* empty = new QWidget(diskTableView_->viewport());
    empty->setObjectName("emptyState");
    empty->setGeometry(0, 30, 799, 190);
    auto* emptyLayout = new QVBoxLayout(empty);
    emptyLayout->setAlignment(Qt::AlignCenter);
    emptyState_ = new QLabel(empty);
    emptyState_->setObjectName("emptyStatelab");
    emptyState_->setFont(uiFont("Lucida Grande", 13));
    emptyState_->setAlignment(Qt::AlignCenter);
    emptyState_->setWordWrap(true);
    emptyState_->setMinimumWidth(600);
    QPalette muted = emptyState_->palette();
    muted.setColor(QPalette::WindowText, kMutedColor);
    emptyState_->setPalette(muted);
    emptyLayout->addWidget(emptyState_);
    auto* sample = new QPushButton("Open the Sample Backups", empty);
    sample->setObjectName("sampleBtn");
    sample->setFont(uiFont("Lucida Grande", 12));
    sample->setFixedWidth(220);
    QObject::connect(sample, &QPushButton::clicked, this, &RecoveryPage::useSampleBackups);
    emptyLayout->addWidget(sample, 0, Qt::AlignCenter);
    sampleOffer_ = sample;

    auto* helpBtn = makeButton(mainView_, "helpBtn", "Help", QRect(24, 472, 80, 34));
    QObject::connect(helpBtn, &QPushButton::clicked, this, [this] { shell_.clickRecoveryHelp(); });
    auto* details = makeButton(mainView_, "drawerBtn", "Backup Details", QRect(112, 472, 130, 34));
    QObject::connect(details, &QPushButton::clicked, this, [this] { shell_.toggleLeftDrawer(); });
    button_ = makeButton(mainView_, "button", "Start Scan", QRect(675, 470, 150, 38));
    button_->setFont(uiFont("Lucida Grande", 13, true));
    button_->setDefault(true);
    button_->setEnabled(false);
    QObject::connect(button_, &QPushButton::clicked, this, &RecoveryPage::actScanIOSBackupFile);

    // The window's bottom band with the small windows' links.
    auto* bottomImageView = new QLabel(mainView_);
    bottomImageView->setObjectName("bottomImageView");
    bottomImageView->setGeometry(0, kBackupListSize.height() - 40, kBackupListSize.width(), 40);
    bottomImageView->setPixmap(imageNamed("bottom", bottomImageView->size(), devicePixelRatioF()));
    bottomImageView->setScaledContents(true);
    int x = 24;
    QuarrowAppDelegate& shell = shell_;
    const std::pair<const char*, void (QuarrowAppDelegate::*)()> links[] = {
        {"Welcome", &QuarrowAppDelegate::ClickWelcome},
        {"Preferences", &QuarrowAppDelegate::ClickPerference},
        {"About Quarrow", &QuarrowAppDelegate::ClickAbout},
        {"Home Page", &QuarrowAppDelegate::ClickHomePage}};
    for (const auto& [title, clicked] : links) {
        const auto action = clicked;
        auto* link = new QPushButton(title, mainView_);
        link->setFont(uiFont("Lucida Grande", 11));
        styleAsLink(link, false);
        link->setGeometry(x, kBackupListSize.height() - 29, link->sizeHint().width() + 4, 18);
        QObject::connect(link, &QPushButton::clicked, this, [&shell, action] { (shell.*action)(); });
        x += link->width() + 18;
    }
    auto* version = makeLabel(mainView_, "versionlab", "Version " QUARROW_VERSION, uiFont("Lucida Grande", 11),
                              QRect(kBackupListSize.width() - 124, kBackupListSize.height() - 29, 100, 18));
    version->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    version->setPalette(muted);

    auto* reload = new QShortcut(QKeySequence::Refresh, this);
    QObject::connect(reload, &QShortcut::activated, this, [this] {
        if (mainView_->isVisible()) {
            showIphoneDiskView();
        }
    });

    updateRootLine();
    updateEmptyState(false);
}

QString RecoveryPage::backupRoot() const {
    if (sessionRoot_) {
        return qs(*sessionRoot_);
    }
    const Platform& p = Platform::current();
    return qs(effectiveBackupRoot(p.host(), p.defaults(), commandLineRoot_));
}

QString RecoveryPage::backupRootSource() const {
    if (sessionRoot_) {
        return !sampleRoot_.isEmpty() && backupRoot() == sampleRoot_ ? "sample backups" : "chosen";
    }
    switch (quarrow::backupRootSource(Platform::current().defaults(), commandLineRoot_)) {
    case BackupRootSource::CommandLine:
        return "from --root";
    case BackupRootSource::Environment:
        return "from QUARROW_BACKUP_ROOT";
    case BackupRootSource::SavedChoice:
        return "chosen";
    case BackupRootSource::Default:
        break;
    }
    return "default";
}

void RecoveryPage::updateRootLine() {
    const QString root = backupRoot();
    const QString prefix = "Backup folder (" + backupRootSource() + "): ";
    const QFontMetrics fm(rootLine_->font());
    rootLine_->setText(prefix + fm.elidedText(QDir::toNativeSeparators(root), Qt::ElideMiddle,
                                              rootLine_->width() - fm.horizontalAdvance(prefix) - 4));
    rootLine_->setToolTip(root);
    emit backupRootChanged();
}

void RecoveryPage::updateEmptyState(bool refreshed) {
    const bool empty = deviceController_.arrangedObjects().empty();
    emptyState_->parentWidget()->setVisible(empty);
    const bool samples = !sampleRoot_.isEmpty() && QDir(sampleRoot_).exists() && backupRoot() != sampleRoot_;
    if (!refreshed) {
        emptyState_->setText("Press Refresh to list the backups in the folder above.");
        sampleOffer_->setVisible(false);
        return;
    }
    emptyState_->setText(samples ? "No backups were found in this folder. Choose another folder, or look "
                                   "around with the sample backups that come with Quarrow."
                                 : "No backups were found in this folder. Choose the folder that holds your "
                                   "device backups.");
    sampleOffer_->setVisible(samples);
}

void RecoveryPage::showIphoneDiskView() {
    deviceController_.removeAll();
    backupModel_->reload();
    showIphoneDisk();
}

void RecoveryPage::showIphoneDisk() {
    updateRootLine();
    deviceController_.addBackupsInRoot(backupRoot().toStdString());
    backupModel_->reload();
    diskTableView_->clearSelection();
    updateEmptyState(true);
    emit selectionChanged();
    if (deviceController_.arrangedObjects().empty()) {
        button_->setEnabled(false);
        AlertRequest alert;
        alert.messageText = localizedString("No iTunes backup files found !");
        alert.informativeText =
            "Please backup your iOS device with iTunes ,and run again after the backup operation has completed .";
        alert.buttons = {localizedString(" Ok ")};
        Platform::current().alerts().runModal(alert);
        return;
    }
    diskTableView_->selectRow(0);
    button_->setEnabled(true);
}

void RecoveryPage::tableViewSelectionDidChange() {
    button_->setEnabled(diskTableView_->selectionModel()->hasSelection());
    emit selectionChanged();
}

void RecoveryPage::chooseBackupFolder() {
    OpenPanelRequest request;
    request.title = "Choose the folder that holds the device backups";
    request.directory = backupRoot().toStdString();
    request.chooseDirectories = true;
    const auto chosen = Platform::current().alerts().runOpenPanel(request);
    if (!chosen || chosen->empty()) {
        return;
    }
    Platform::current().defaults().setString(kBackupRootDefaultsKey, *chosen);
    // The user's own choice is what this session lists, even over --root or the environment.
    sessionRoot_ = *chosen;
    showIphoneDiskView();
}

void RecoveryPage::useDefaultBackupFolder() {
    Platform::current().defaults().setString(kBackupRootDefaultsKey, "");
    sessionRoot_.reset();
    showIphoneDiskView();
}

void RecoveryPage::useSampleBackups() {
    if (sampleRoot_.isEmpty()) {
        return;
    }
    sessionRoot_ = sampleRoot_.toStdString();
    showIphoneDiskView();
}

void RecoveryPage::actScanIOSBackupFile() {
    const QModelIndexList rows = diskTableView_->selectionModel()->selectedRows();
    if (rows.isEmpty() || isScanRunning()) {
        return;
    }
    const auto row = static_cast<std::size_t>(rows.front().row());
    if (row >= deviceController_.arrangedObjects().size()) {
        return;
    }
    const PRIOSDeviceNodePtr node = deviceController_.arrangedObjects()[row];
    if (node && node->bEncrypted()) {
        unlockThenScan(node);
        return;
    }
    prepareResultView(node);
    ScanIOSBackFile(currentNode_->backUpFilePath().value_or(std::string()));
}

namespace {

// The platform's password request, asked on the GUI thread with the "Unlocking…" sheet put away
// first (a wrong password is asked again after a derivation). Once the application is closing it
// answers nothing: the GUI thread then waits for the worker, and must not be made to ask.
class SheetAwarePasswords : public PasswordRequest {
public:
    SheetAwarePasswords(PasswordRequest& inner, UnlockingSheet* sheet, const bool& closing)
        : inner_(inner), sheet_(sheet), closing_(closing) {}
    std::optional<Secret> requestPassword(const PasswordPrompt& prompt) override {
        std::optional<Secret> answer;
        Platform::current().mainThread().runAndWait([&] {
            if (sheet_) {
                sheet_->close();
            }
            if (!closing_) {
                answer = inner_.requestPassword(prompt);
            }
        });
        return answer;
    }

private:
    PasswordRequest& inner_;
    QPointer<UnlockingSheet> sheet_;
    const bool& closing_; // read and written on the GUI thread only
};

} // namespace

void RecoveryPage::unlockThenScan(const PRIOSDeviceNodePtr& node) {
    if (unlocking_) {
        return;
    }
    unlocking_ = true;
    if (unlockThread_.joinable()) {
        unlockThread_.join();
    }
    if (!unlockingSheet_) {
        unlockingSheet_ = new UnlockingSheet(this);
    }
    const std::string folder = node->backUpFilePath().value_or(std::string());
    const std::string name = node->strDeviceName().value_or(std::string());
    // The keys take seconds to derive: a worker does it, and the password sheet is shown on this
    // thread on the worker's behalf.
    unlockThread_ = std::thread([this, node, folder, name] {
        SheetAwarePasswords passwords(Platform::current().passwords(), unlockingSheet_, closing_);
        const UnlockResult result = unlockBackup(folder, name, passwords, [this] {
            QMetaObject::invokeMethod(
                this, [this] { unlockingSheet_->showUnlocking(); }, Qt::QueuedConnection);
        });
        QMetaObject::invokeMethod(
            this, [this, node, result] { unlockFinished(node, result); }, Qt::QueuedConnection);
    });
}

void RecoveryPage::unlockFinished(const PRIOSDeviceNodePtr& node, const UnlockResult& result) {
    if (unlockThread_.joinable()) {
        unlockThread_.join();
    }
    unlocking_ = false;
    unlockingSheet_->close();
    if (closing_) {
        return; // the keys go with `result`; nothing is scanned or shown
    }
    switch (result.status) {
    case UnlockStatus::Unlocked:
        prepareResultView(node);
        ScanIOSBackFile(node->backUpFilePath().value_or(std::string()), result.unlocked);
        break;
    case UnlockStatus::NoPassword:
    case UnlockStatus::WrongPassword:
        break; // the person cancelled the password sheet
    case UnlockStatus::NoKeyBag:
    case UnlockStatus::Damaged:
        Platform::current().alerts().runModal({unlockMessage(result.status), "", {localizedString(" Ok ")}});
        break;
    }
}

void RecoveryPage::prepareResultView(const PRIOSDeviceNodePtr& node) {
    currentNode_ = node;
    currentNodeIsiOS6Version_ = IOSVersionIOS6(node ? node->strIOSVersion() : OptText());
    shell_.closeLeftDrawer();
    session_.prepareScan();
    showResultWindow();
    hideMainView();
    showResultView();
}

void RecoveryPage::ScanIOSBackFile(const std::string& path, std::shared_ptr<const UnlockedBackup> unlocked) {
    // The worker ends on its own thread; the run is let go on this one.
    session_.onScanWorkerDone = [this] {
        QMetaObject::invokeMethod(
            this, [this] { session_.releaseScan(); }, Qt::QueuedConnection);
    };
    session_.startScan(path, std::move(unlocked));
}

bool RecoveryPage::isScanRunning() const {
    return session_.isScanning();
}

void RecoveryPage::showResultView() {
    if (!resultViewController_) {
        resultViewController_ = new PRResultViewController(session_, shell_, this);
        connect(resultViewController_, &PRResultViewController::wentHome, this, [this] {
            showBackupListWindow();
            showMainView();
        });
        connect(resultViewController_, &PRResultViewController::scanFinished, this, &RecoveryPage::scanFinished);
    }
    if (!resultViewController_) {
        systemLog("Create resultViewController error!");
        return;
    }
    resultViewController_->showView(this, currentNode_);
}

void RecoveryPage::hideMainView() {
    mainView_->hide();
}

void RecoveryPage::showMainView() {
    mainView_->show();
}

void RecoveryPage::showBackupListWindow() {
    setContentSize(kBackupListSize);
}

void RecoveryPage::showResultWindow() {
    setContentSize(kResultSize);
}

void RecoveryPage::setContentSize(QSize size) {
    contentSize_ = size;
    setFixedSize(size);
    emit contentSizeChanged(size);
}

void RecoveryPage::setClosing() {
    closing_ = true;
    if (resultViewController_) {
        resultViewController_->setClosing();
    }
}

QString RecoveryPage::selectedBackupDetails() const {
    const QModelIndexList rows = diskTableView_->selectionModel()->selectedRows();
    if (rows.isEmpty() || static_cast<std::size_t>(rows.front().row()) >= deviceController_.arrangedObjects().size()) {
        return "Select a backup in the list to see its details.";
    }
    const auto& n = deviceController_.arrangedObjects()[static_cast<std::size_t>(rows.front().row())];
    const std::pair<const char*, OptText> fields[] = {{"Device Name", n->strDeviceName()},
                                                      {"Device Type", n->strDeviceType()},
                                                      {"iOS Version", n->strIOSVersion()},
                                                      {"Serial Number", n->strDeviceSerial()},
                                                      {"Backup Time", n->strDeviceBackUpTime()},
                                                      {"iTunes Version", n->itunesVersion()},
                                                      {"Folder", n->backUpFilePath()}};
    QString html;
    for (const auto& [caption, value] : fields) {
        html += "<p><b>" + QString::fromLatin1(caption) + "</b><br>" + textOf(value).toHtmlEscaped() + "</p>";
    }
    return html;
}

} // namespace quarrow::app
