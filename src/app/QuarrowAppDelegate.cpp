#include "QuarrowAppDelegate.h"

#include "AboutWindow.h"
#include "AppStyle.h"
#include "AudiobookPage.h"
#include "Links.h"
#include "MainWindow.h"
#include "PreferencesWindow.h"
#include "RecoveryPage.h"
#include "WelcomeWindow.h"

#include "audiobook/BookListStore.h"
#include "platform/LocalizedStrings.h"
#include "platform/Log.h"
#include "platform/Platform.h"

#include <QCoreApplication>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QTimer>
#include <QVBoxLayout>

namespace quarrow::app {

namespace {

constexpr QSize kDrawerSize(333, 562);

} // namespace

QuarrowAppDelegate::QuarrowAppDelegate(const AppOptions& options) : session_(Platform::current().notificationCenter()) {
    const bool everyCategory = Platform::current().defaults().boolForKey(kScanEveryCategoryKey);
    session_.setEdition(options.edition.value_or(everyCategory ? Edition::Full : Edition::Notes));
    window_ = new MainWindow;
    window_->setWindowTitle("Quarrow");
    window_->windowShouldClose = [this] { return windowShouldClose(); };

    jobSwitcher_ = new JobSwitcher(window_);
    recovery_ = new RecoveryPage(session_, *this, options, window_);
    AudiobookOptions books;
    books.homeFolder = Platform::current().host().homeFolder();
    books.bookListPath = options.bookListPath.value_or(BookListStore::defaultPath(books.homeFolder));
    audiobooks_ = new AudiobookPage(Platform::current().mainThread(), books, window_);
    for (QWidget* page : {static_cast<QWidget*>(recovery_), static_cast<QWidget*>(audiobooks_)}) {
        page->move(0, JobSwitcher::kHeight);
    }
    QObject::connect(jobSwitcher_, &JobSwitcher::jobChosen, this, &QuarrowAppDelegate::showJob);
    QObject::connect(recovery_, &RecoveryPage::contentSizeChanged, this, [this] { fitWindowToJob(); });
    QObject::connect(recovery_, &RecoveryPage::selectionChanged, this, [this] { fillDrawer(); });
    QObject::connect(recovery_, &RecoveryPage::backupRootChanged, this, [this] { updatePreferences(); });
    // A finished scan shows its results, whichever job was in front.
    QObject::connect(recovery_, &RecoveryPage::scanFinished, this, [this] { showJob(Job::Recovery); });
    showJob(Job::Recovery);

    auto* quit = new QShortcut(QKeySequence::Quit, window_);
    QObject::connect(quit, &QShortcut::activated, window_, &QWidget::close);
    auto* help = new QShortcut(QKeySequence::HelpContents, window_);
    QObject::connect(help, &QShortcut::activated, this,
                     [this] { currentJob() == Job::Recovery ? clickRecoveryHelp() : ClickHelp(); });
    auto* prefs = new QShortcut(QKeySequence::Preferences, window_);
    QObject::connect(prefs, &QShortcut::activated, this, &QuarrowAppDelegate::ClickPerference);
    setupLeftDrawer();
}

QuarrowAppDelegate::~QuarrowAppDelegate() {
    // A scan still running waits for its finish step on the GUI thread, and an unlocking for its
    // password question: let them through without alert or question, then let the workers end.
    recovery_->setClosing();
    while (session_.isScanning() || recovery_->isUnlocking()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    session_.releaseScan();
    delete resultDrawer_;
    delete window_;
}

void QuarrowAppDelegate::showJob(Job job) {
    jobSwitcher_->setCurrentJob(job);
    recovery_->setVisible(job == Job::Recovery);
    audiobooks_->setVisible(job == Job::Audiobooks);
    if (job != Job::Recovery) {
        closeLeftDrawer();
    }
    fitWindowToJob();
}

// The window takes the size of the job in front, fixed, with the switcher above it.
void QuarrowAppDelegate::fitWindowToJob() {
    const QSize page = currentJob() == Job::Recovery ? recovery_->contentSize() : audiobooks_->contentSize();
    jobSwitcher_->setGeometry(0, 0, page.width(), JobSwitcher::kHeight);
    window_->setFixedContentSize(page + QSize(0, JobSwitcher::kHeight));
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

void QuarrowAppDelegate::updatePreferences() {
    if (prefernceWindow_) {
        prefernceWindow_->setBackupFolder(recovery_->backupRoot(), recovery_->backupRootSource());
        prefernceWindow_->setScanEveryCategory(session_.edition() == Edition::Full);
    }
}

// Remembered for the next start, and chosen for the next scan (a running one keeps its scanners).
void QuarrowAppDelegate::setScanEveryCategory(bool on) {
    Platform::current().defaults().setBool(kScanEveryCategoryKey, on);
    session_.setEdition(on ? Edition::Full : Edition::Notes);
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
        QObject::connect(prefernceWindow_, &PreferencesWindow::chooseBackupFolder, recovery_,
                         &RecoveryPage::chooseBackupFolder);
        QObject::connect(prefernceWindow_, &PreferencesWindow::useDefaultBackupFolder, recovery_,
                         &RecoveryPage::useDefaultBackupFolder);
        QObject::connect(prefernceWindow_, &PreferencesWindow::scanEveryCategoryChanged, this,
                         &QuarrowAppDelegate::setScanEveryCategory);
    }
    updatePreferences();
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
    drawerView_->setText(recovery_->selectedBackupDetails());
}

// Beside the window's left edge, centred on it; on the right edge when the screen ends first.
QPoint QuarrowAppDelegate::drawerPosition() const {
    const QRect frame = window_->frameGeometry();
    const int top = frame.top() + (frame.height() - kDrawerSize.height()) / 2;
    const QPoint left(frame.left() - kDrawerSize.width() - 1, top);
    const QScreen* screen = window_->screen();
    if (screen && left.x() < screen->availableGeometry().left()) {
        return {frame.right() + 1, top};
    }
    return left;
}

void QuarrowAppDelegate::openLeftDrawer() {
    fillDrawer();
    resultDrawer_->move(drawerPosition());
    resultDrawer_->show();
}

void QuarrowAppDelegate::closeLeftDrawer() {
    resultDrawer_->hide();
}

void QuarrowAppDelegate::toggleLeftDrawer() {
    if (resultDrawer_->isVisible()) {
        closeLeftDrawer();
    } else {
        openLeftDrawer();
    }
}

} // namespace quarrow::app
