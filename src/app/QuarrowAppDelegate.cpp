#include "QuarrowAppDelegate.h"

#include "AboutWindow.h"
#include "AppStyle.h"
#include "BackupTableModel.h"
#include "Links.h"
#include "MainWindow.h"
#include "PRImageAndTextCell.h"
#include "PRResultViewController.h"
#include "PreferencesWindow.h"
#include "WelcomeWindow.h"

#include "platform/Host.h"
#include "platform/LocalizedStrings.h"
#include "platform/Log.h"
#include "platform/Platform.h"
#include "results/BackupRootChoice.h"

#include <QCoreApplication>
#include <QDir>
#include <QFrame>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

namespace quarrow::app {

namespace {

QuarrowAppDelegate* sharedDelegate = nullptr;

constexpr QSize kBackupListSize(849, 560);
constexpr QSize kResultSize(850, 620);
constexpr QSize kDrawerSize(333, 562);

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

QuarrowAppDelegate::QuarrowAppDelegate(AppOptions options)
    : options_(std::move(options)), deviceController_(Platform::current().host()) {
    sharedDelegate = this;
    window_ = new MainWindow;
    window_->setWindowTitle("Quarrow");
    window_->setFixedContentSize(kBackupListSize);
    window_->windowShouldClose = [this] { return windowShouldClose(); };
    buildMainView();
    setupLeftDrawer();
}

QuarrowAppDelegate::~QuarrowAppDelegate() {
    // A scan still running waits for its finish step on the GUI thread: let it through without
    // its alert, then let the worker end.
    if (resultViewController_) {
        resultViewController_->setClosing();
    }
    while (scanRun_ && !scanRun_->isFinished()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    scanRun_.reset();
    delete resultDrawer_;
    delete window_;
    if (sharedDelegate == this) {
        sharedDelegate = nullptr;
    }
}

QuarrowAppDelegate* QuarrowAppDelegate::GetAppControllor() {
    return sharedDelegate;
}

void QuarrowAppDelegate::buildMainView() {
    mainView_ = new QWidget(window_);
    mainView_->setObjectName("mainView");
    mainView_->setGeometry(QRect(QPoint(0, 0), kBackupListSize));

    // Header band with the product's picture and name.
    auto* imageView = new QLabel(mainView_);
    imageView->setObjectName("imageView");
    imageView->setGeometry(0, 0, kBackupListSize.width(), 96);
    imageView->setPixmap(imageNamed("header", imageView->size(), window_->devicePixelRatioF()));
    imageView->setScaledContents(true);
    auto* logo = new QLabel(mainView_);
    logo->setGeometry(24, 18, 58, 58);
    logo->setPixmap(imageNamed("logo", logo->size(), window_->devicePixelRatioF()));
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
    auto* notelab = makeLabel(mainView_, "notelab",
                              "Your backup is never changed: each scan reads a private copy of its databases.",
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
    QObject::connect(refresh, &QPushButton::clicked, this, &QuarrowAppDelegate::showIphoneDiskView);
    QObject::connect(choose, &QPushButton::clicked, this, &QuarrowAppDelegate::chooseBackupFolder);

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
    QObject::connect(sample, &QPushButton::clicked, this, &QuarrowAppDelegate::useSampleBackups);
    emptyLayout->addWidget(sample, 0, Qt::AlignCenter);
    sampleOffer_ = sample;

    auto* helpBtn = makeButton(mainView_, "helpBtn", "Help", QRect(24, 472, 80, 34));
    QObject::connect(helpBtn, &QPushButton::clicked, this, &QuarrowAppDelegate::clickRecoveryHelp);
    auto* details = makeButton(mainView_, "drawerBtn", "Backup Details", QRect(112, 472, 130, 34));
    QObject::connect(details, &QPushButton::clicked, this, &QuarrowAppDelegate::toggleLeftDrawer);
    button_ = makeButton(mainView_, "button", "Start Scan", QRect(675, 470, 150, 38));
    button_->setFont(uiFont("Lucida Grande", 13, true));
    button_->setDefault(true);
    button_->setEnabled(false);
    QObject::connect(button_, &QPushButton::clicked, this, &QuarrowAppDelegate::actScanIOSBackupFile);

    // The window's bottom band with the small windows' links.
    auto* bottomImageView = new QLabel(window_);
    bottomImageView->setObjectName("bottomImageView");
    bottomImageView->setGeometry(0, kBackupListSize.height() - 40, kBackupListSize.width(), 40);
    bottomImageView->setPixmap(imageNamed("bottom", bottomImageView->size(), window_->devicePixelRatioF()));
    bottomImageView->setScaledContents(true);
    bottomImageView->setParent(mainView_);
    int x = 24;
    const std::pair<const char*, void (QuarrowAppDelegate::*)()> links[] = {
        {"Welcome", &QuarrowAppDelegate::ClickWelcome},
        {"Preferences", &QuarrowAppDelegate::ClickPerference},
        {"About Quarrow", &QuarrowAppDelegate::ClickAbout},
        {"Home Page", &QuarrowAppDelegate::ClickHomePage}};
    for (const auto& [title, action] : links) {
        auto* link = new QPushButton(title, mainView_);
        link->setFont(uiFont("Lucida Grande", 11));
        styleAsLink(link, false);
        link->setGeometry(x, kBackupListSize.height() - 29, link->sizeHint().width() + 4, 18);
        QObject::connect(link, &QPushButton::clicked, this, action);
        x += link->width() + 18;
    }
    auto* version = makeLabel(mainView_, "versionlab", "Version " QUARROW_VERSION, uiFont("Lucida Grande", 11),
                              QRect(kBackupListSize.width() - 124, kBackupListSize.height() - 29, 100, 18));
    version->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    version->setPalette(muted);

    auto* quit = new QShortcut(QKeySequence::Quit, window_);
    QObject::connect(quit, &QShortcut::activated, window_, &QWidget::close);
    auto* help = new QShortcut(QKeySequence::HelpContents, window_);
    QObject::connect(help, &QShortcut::activated, this, &QuarrowAppDelegate::clickRecoveryHelp);
    auto* prefs = new QShortcut(QKeySequence::Preferences, window_);
    QObject::connect(prefs, &QShortcut::activated, this, &QuarrowAppDelegate::ClickPerference);
    auto* reload = new QShortcut(QKeySequence::Refresh, window_);
    QObject::connect(reload, &QShortcut::activated, this, [this] {
        if (mainView_->isVisible()) {
            showIphoneDiskView();
        }
    });

    updateRootLine();
    updateEmptyState(false);
}

void QuarrowAppDelegate::awakeFromNib() {
    UserDefaults& defaults = Platform::current().defaults();
    if (!defaults.boolForKey("FirstStartData")) {
        openLink(Links::kGuidePage);
        defaults.setString("FirstStartData", "YES");
    }
}

void QuarrowAppDelegate::applicationDidFinishLaunching() {
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        window_->move(area.center() - window_->rect().center());
    }
}

QString QuarrowAppDelegate::backupRoot() const {
    if (sessionRoot_) {
        return qs(*sessionRoot_);
    }
    const Platform& p = Platform::current();
    return qs(effectiveBackupRoot(p.host(), p.defaults(), options_.commandLineRoot));
}

void QuarrowAppDelegate::updateRootLine() {
    QString source;
    const QString root = backupRoot();
    if (sessionRoot_) {
        source = !options_.sampleRoot.isEmpty() && root == options_.sampleRoot ? "sample backups" : "chosen";
    } else {
        switch (backupRootSource(Platform::current().defaults(), options_.commandLineRoot)) {
        case BackupRootSource::CommandLine:
            source = "from --root";
            break;
        case BackupRootSource::Environment:
            source = "from QUARROW_BACKUP_ROOT";
            break;
        case BackupRootSource::SavedChoice:
            source = "chosen";
            break;
        case BackupRootSource::Default:
            source = "default";
            break;
        }
    }
    const QString prefix = "Backup folder (" + source + "): ";
    const QFontMetrics fm(rootLine_->font());
    rootLine_->setText(prefix + fm.elidedText(QDir::toNativeSeparators(root), Qt::ElideMiddle,
                                              rootLine_->width() - fm.horizontalAdvance(prefix) - 4));
    rootLine_->setToolTip(root);
    if (prefernceWindow_) {
        prefernceWindow_->setBackupFolder(root, source);
    }
}

void QuarrowAppDelegate::updateEmptyState(bool refreshed) {
    const bool empty = deviceController_.arrangedObjects().empty();
    emptyState_->parentWidget()->setVisible(empty);
    const bool samples =
        !options_.sampleRoot.isEmpty() && QDir(options_.sampleRoot).exists() && backupRoot() != options_.sampleRoot;
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

void QuarrowAppDelegate::showIphoneDiskView() {
    deviceController_.removeAll();
    backupModel_->reload();
    showIphoneDisk();
}

void QuarrowAppDelegate::showIphoneDisk() {
    updateRootLine();
    deviceController_.addBackupsInRoot(backupRoot().toStdString());
    backupModel_->reload();
    diskTableView_->clearSelection();
    updateEmptyState(true);
    fillDrawer();
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

void QuarrowAppDelegate::tableViewSelectionDidChange() {
    button_->setEnabled(diskTableView_->selectionModel()->hasSelection());
    fillDrawer();
}

void QuarrowAppDelegate::chooseBackupFolder() {
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

void QuarrowAppDelegate::useDefaultBackupFolder() {
    Platform::current().defaults().setString(kBackupRootDefaultsKey, "");
    sessionRoot_.reset();
    showIphoneDiskView();
}

void QuarrowAppDelegate::useSampleBackups() {
    if (options_.sampleRoot.isEmpty()) {
        return;
    }
    sessionRoot_ = options_.sampleRoot.toStdString();
    showIphoneDiskView();
}

void QuarrowAppDelegate::actScanIOSBackupFile() {
    const QModelIndexList rows = diskTableView_->selectionModel()->selectedRows();
    if (rows.isEmpty() || scanRun_) {
        return;
    }
    const auto row = static_cast<std::size_t>(rows.front().row());
    if (row >= deviceController_.arrangedObjects().size()) {
        return;
    }
    prepareResultView(deviceController_.arrangedObjects()[row]);
    ScanIOSBackFile(currentNode_->backUpFilePath().value_or(std::string()));
}

void QuarrowAppDelegate::prepareResultView(const PRIOSDeviceNodePtr& node) {
    currentNode_ = node;
    currentNodeIsiOS6Version_ = IOSVersionIOS6(node ? node->strIOSVersion() : OptText());
    closeLeftDrawer();
    showResultWindow();
    hideMainView();
    showResultView();
}

void QuarrowAppDelegate::ScanIOSBackFile(const std::string& path) {
    PRResultViewController* view = resultViewController_;
    scanRun_ = std::make_unique<ScanRun>(Platform::current().notificationCenter(), [view] {
        if (view) {
            view->collection().ScanThreadFinish();
        }
    });
    scanRun_->onWorkerDone = [this] {
        QMetaObject::invokeMethod(
            this,
            [this] {
                if (scanRun_ && scanRun_->isFinished()) {
                    scanRun_.reset();
                }
            },
            Qt::QueuedConnection);
    };
    scanRun_->ScanIOSBackFile(path);
}

void QuarrowAppDelegate::showResultView() {
    if (!resultViewController_) {
        resultViewController_ = new PRResultViewController(*this, window_);
    }
    if (!resultViewController_) {
        systemLog("Create resultViewController error!");
        return;
    }
    resultViewController_->showView(window_);
}

void QuarrowAppDelegate::hideMainView() {
    mainView_->hide();
}

void QuarrowAppDelegate::showMainView() {
    mainView_->show();
}

void QuarrowAppDelegate::showBackupListWindow() {
    window_->setFixedContentSize(kBackupListSize);
}

void QuarrowAppDelegate::showResultWindow() {
    window_->setFixedContentSize(kResultSize);
}

bool QuarrowAppDelegate::windowShouldClose() {
    AlertRequest alert;
    alert.messageText = localizedString("Are you sure you want to Exit ?");
    alert.buttons = {localizedString(" Exit "), localizedString("Cancel")};
    if (Platform::current().alerts().runModal(alert) != 0) {
        return false;
    }
    QTimer::singleShot(0, QCoreApplication::instance(), [] { QCoreApplication::quit(); });
    return true;
}

void QuarrowAppDelegate::ActClickClose() {
    windowShouldClose();
}

void QuarrowAppDelegate::ClickPerference() {
    if (!prefernceWindow_) {
        prefernceWindow_ = new PreferencesWindow(window_);
        QObject::connect(prefernceWindow_, &PreferencesWindow::chooseBackupFolder, this,
                         &QuarrowAppDelegate::chooseBackupFolder);
        QObject::connect(prefernceWindow_, &PreferencesWindow::useDefaultBackupFolder, this,
                         &QuarrowAppDelegate::useDefaultBackupFolder);
    }
    updateRootLine();
    if (!prefernceWindow_->isVisible()) {
        prefernceWindow_->show();
    }
    prefernceWindow_->raise();
}

void QuarrowAppDelegate::ClickAbout() {
    if (!aboutWindow_) {
        aboutWindow_ = new AboutWindow(window_);
        QObject::connect(aboutWindow_->supportBtn(), &QPushButton::clicked, this,
                         [this] { openLink(Links::kSupportPage); });
        QObject::connect(aboutWindow_->homeBtn(), &QPushButton::clicked, this, &QuarrowAppDelegate::ClickHomePage);
    }
    if (!aboutWindow_->isVisible()) {
        aboutWindow_->show();
    }
    aboutWindow_->raise();
}

void QuarrowAppDelegate::ClickWelcome() {
    if (!leadWindow_) {
        leadWindow_ = new WelcomeWindow(window_);
        QObject::connect(leadWindow_->learnmoreBtn(), &QPushButton::clicked, this, &QuarrowAppDelegate::ClickLearnMore);
        QObject::connect(leadWindow_->startBtn(), &QPushButton::clicked, this, &QuarrowAppDelegate::ClickStart);
    }
    leadWindow_->show();
    leadWindow_->raise();
}

void QuarrowAppDelegate::ClickStart() {
    if (leadWindow_) {
        leadWindow_->close();
    }
}

void QuarrowAppDelegate::ClickHomePage() {
    openLink(Links::kHomePage);
}

void QuarrowAppDelegate::ClickHelp() {
    openLink(Links::kGuidePage);
}

void QuarrowAppDelegate::ClickLearnMore() {
    openLink(Links::kResourcePage);
}

void QuarrowAppDelegate::clickRecoveryHelp() {
    openLink(Links::kRecoveryGuidePage);
}

void QuarrowAppDelegate::openLink(const char* page) {
    const QUrl url = Links::helpPageUrl(page);
    if (!Platform::current().workspace().openURL(url.toString(QUrl::FullyEncoded).toStdString())) {
        systemLog("Could not open " + url.toString().toStdString());
    }
}

void QuarrowAppDelegate::setupLeftDrawer() {
    resultDrawer_ = new QFrame(nullptr, Qt::Tool | Qt::FramelessWindowHint);
    resultDrawer_->setObjectName("resultDrawer");
    resultDrawer_->setFixedSize(kDrawerSize);
    resultDrawer_->setStyleSheet("QFrame#resultDrawer { background: #f7f9fc; border: 1px solid #c5cfda; }");
    auto* layout = new QVBoxLayout(resultDrawer_);
    layout->setContentsMargins(18, 16, 18, 16);
    auto* heading = new QLabel("Backup Details", resultDrawer_);
    heading->setFont(uiFont("Lucida Grande", 14, true));
    layout->addWidget(heading);
    drawerView_ = new QLabel(resultDrawer_);
    drawerView_->setObjectName("drawerView");
    drawerView_->setFont(uiFont("Lucida Grande", 12));
    drawerView_->setWordWrap(true);
    drawerView_->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    drawerView_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(drawerView_, 1);
    auto* close = new QPushButton("Close", resultDrawer_);
    QObject::connect(close, &QPushButton::clicked, this, &QuarrowAppDelegate::closeLeftDrawer);
    layout->addWidget(close, 0, Qt::AlignRight);
    resultDrawer_->hide();
}

void QuarrowAppDelegate::fillDrawer() {
    const QModelIndexList rows = diskTableView_->selectionModel()->selectedRows();
    if (rows.isEmpty() || static_cast<std::size_t>(rows.front().row()) >= deviceController_.arrangedObjects().size()) {
        drawerView_->setText("Select a backup in the list to see its details.");
        return;
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
    drawerView_->setText(html);
}

void QuarrowAppDelegate::openLeftDrawer() {
    fillDrawer();
    const QRect frame = window_->frameGeometry();
    resultDrawer_->move(frame.right() + 1, frame.top() + (frame.height() - kDrawerSize.height()) / 2);
    resultDrawer_->show();
}

void QuarrowAppDelegate::closeLeftDrawer() {
    resultDrawer_->hide();
}

void QuarrowAppDelegate::toggleLeftDrawer() {
    if (resultDrawer_->isVisible()) {
        closeLeftDrawer();
        return;
    }
    fillDrawer();
    const QRect frame = window_->frameGeometry();
    resultDrawer_->move(frame.left() - kDrawerSize.width() - 1,
                        frame.top() + (frame.height() - kDrawerSize.height()) / 2);
    resultDrawer_->show();
}

} // namespace quarrow::app
