// The desktop application driven through its real widgets on the offscreen platform. Alerts are
// answered from a script and every test checks that the alerts it expects were really shown.

#include "AppTestSupport.h"

#include "CategoryTableModel.h"
#include "FeedbackWindow.h"
#include "Links.h"
#include "MainWindow.h"
#include "PRButton.h"
#include "PRFeedBackView.h"
#include "PRResultViewController.h"
#include "PRTextView.h"
#include "QtPlatform.h"
#include "QuarrowAppDelegate.h"

#include "platform/NotificationCenter.h"
#include "scan/ScanRun.h"

#include <QCheckBox>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QtTest>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

using namespace quarrow;
using quarrow::app::QuarrowAppDelegate;

namespace {

PRNoteNodePtr note(const std::string& title, const std::string& content) {
    auto n = std::make_shared<PRNoteNode>();
    n->setNoteTitle(title);
    n->setNoteContent(content);
    n->setNoteDate("01-02-2013 10:00");
    return n;
}

QStringList alertMessages(const ScriptedAlertPresenter& alerts) {
    QStringList out;
    for (const auto& a : alerts.alertsShown()) {
        out << QString::fromStdString(a.messageText);
    }
    return out;
}

const char* const kFinishAlert = "If you have not found the deleted files, please use iTunes to back up your iOS "
                                 "device, after completing the backup, and reopen the software to start again.";
const char* const kHomeAlert =
    "Are you sure you want to go back to Home? If Back, the scanning results will not be saved.";

} // namespace

class AppShellTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<apptest::PlatformScope> platform;
    std::unique_ptr<QTemporaryDir> root;
    std::unique_ptr<QuarrowAppDelegate> delegate;

    // A delegate over `root`, its result view up with the given notes in the Notes pane.
    app::PRResultViewController* resultsWithNotes(const std::vector<PRNoteNodePtr>& existing,
                                                  const std::vector<PRNoteNodePtr>& deleted) {
        delegate->prepareResultView(nullptr);
        auto* rv = delegate->resultViewController();
        for (const auto& n : existing) {
            rv->collection().ScanNoteInfomationHandle(n);
        }
        for (const auto& n : deleted) {
            rv->collection().ScanDelNoteInfomationHandle(n);
        }
        rv->collection().ScanFinishOnMainThread();
        return rv;
    }

    void clickTick(QTableView* table, int row) {
        const QRect cell = table->visualRect(table->model()->index(row, 0));
        QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, cell.center());
    }

private slots:
    void init() {
        platform = std::make_unique<apptest::PlatformScope>();
        root = std::make_unique<QTemporaryDir>();
        app::AppOptions options;
        options.commandLineRoot = root->path().toStdString();
        delegate = std::make_unique<QuarrowAppDelegate>(options);
        delegate->window()->show();
    }

    void cleanup() {
        delegate.reset();
        root.reset();
        platform.reset();
    }

    void emptyFolderShowsTheNoBackupAlertOnceAndDisablesScan() {
        delegate->showIphoneDiskView();
        const auto alerts = platform->alerts.alertsShown();
        QCOMPARE(alerts.size(), 1u);
        QCOMPARE(alerts[0].messageText, std::string("No iTunes backup files found !"));
        QCOMPARE(alerts[0].informativeText, std::string("Please backup your iOS device with iTunes ,and run again "
                                                        "after the backup operation has completed ."));
        QCOMPARE(alerts[0].buttons, std::vector<std::string>{" Ok "});
        QVERIFY(!delegate->button()->isEnabled());
        // With no selection the scan button does nothing.
        delegate->actScanIOSBackupFile();
        QVERIFY(!delegate->isScanRunning());
        QCOMPARE(delegate->window()->size(), QSize(849, 560));
    }

    void scanFlowFromPickingABackupToTheNotesPane() {
        apptest::makeBackup(root->path(), "aa11", "Test iPhone", "iPhone5,2", "6.1.3", apptest::sampleNotes());
        delegate->showIphoneDiskView();
        QVERIFY(platform->alerts.alertsShown().empty());
        QVERIFY(delegate->button()->isEnabled());
        QCOMPARE(delegate->diskTableView()->model()->index(0, 1).data().toString(), QString("Iphone 5"));

        QTest::mouseClick(delegate->button(), Qt::LeftButton);
        QCOMPARE(delegate->window()->size(), QSize(850, 620));
        QCOMPARE(delegate->window()->minimumSize(), delegate->window()->maximumSize());
        QVERIFY(delegate->currentNodeIsiOS6Version());
        QTRY_VERIFY_WITH_TIMEOUT(!delegate->isScanRunning(), 20000);

        auto* rv = delegate->resultViewController();
        QCOMPARE(alertMessages(platform->alerts), QStringList{kFinishAlert});
        QCOMPARE(platform->alerts.alertsShown()[0].buttons, std::vector<std::string>{"Ok"});
        QCOMPARE(rv->currentTableView(), rv->tableFor(Category::Note));
        const auto& notes = rv->collection().noteArray();
        int existing = 0, carved = 0;
        for (const auto& n : notes) {
            (n->bDeleted() ? carved : existing)++;
        }
        QCOMPARE(existing, 3);
        // Carved notes appear once the scan runs the deleted-note carver.
        if (ScanRun::editionScanners().size() > 1) {
            QVERIFY(carved >= 2);
        }
        QCOMPARE(rv->tableFor(Category::Note)->model()->rowCount(), static_cast<int>(notes.size()));
        QVERIFY(rv->findChild<QPushButton*>("saveBtn") && !rv->findChild<QPushButton*>("saveBtn")->isEnabled());
        QVERIFY(rv->findChild<QWidget*>("noteBtn")->isEnabled());
        QVERIFY(!rv->findChild<QWidget*>("contactBtn")->isEnabled());
        QVERIFY(rv->findChild<QCheckBox*>("checkBtn")->isVisible());
        // Row 0 is selected and its note is in the detail area.
        auto* content = rv->findChild<app::PRTextView*>("noteContentView");
        QCOMPARE(content->toPlainText().toStdString(), *notes[0]->noteContent());
        QCOMPARE(rv->findChild<QLabel*>("noteTitlelab")->text(),
                 QString::fromStdString("Title: " + *notes[0]->noteTitle()));
        // The progress labels kept the counts of the scan.
        QCOMPARE(rv->findChild<QLabel*>("noteNumlab")->text(), QString("Notes:  3"));
    }

    void tickingAppliesToTheWholeSelection() {
        std::vector<PRNoteNodePtr> notes;
        for (int i = 0; i < 5; ++i) {
            notes.push_back(note("t" + std::to_string(i), "c" + std::to_string(i)));
        }
        auto* rv = resultsWithNotes(notes, {});
        auto* table = rv->tableFor(Category::Note);
        auto* line = rv->findChild<QLabel*>("selecteFilelab");
        auto* save = rv->findChild<QPushButton*>("saveBtn");

        clickTick(table, 1); // selects row 1 alone, then ticks it
        QCOMPARE(rv->collection().counters().selectedFilesNum, 1);
        QVERIFY(line->isVisible());
        QCOMPARE(line->text(), QString("You select 1 files in the recovery results."));

        QItemSelection range(table->model()->index(0, 0), table->model()->index(2, 0));
        table->selectionModel()->select(range, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        clickTick(table, 0); // one of three already ticked: the count rises by 2
        QCOMPARE(rv->collection().counters().selectedFilesNum, 3);
        QCOMPARE(table->selectionModel()->selectedRows().size(), 3);
        for (int i = 0; i < 3; ++i) {
            QVERIFY(notes[static_cast<std::size_t>(i)]->bSelected());
        }
        QVERIFY(!notes[3]->bSelected());
        QVERIFY(save->isEnabled());

        clickTick(table, 2); // untick all three
        QCOMPARE(rv->collection().counters().selectedFilesNum, 0);
        QVERIFY(!line->isVisible());
        QVERIFY(!save->isEnabled());
    }

    void filterShowsDeletedOnlyAndCategorySwitchResetsIt() {
        auto* rv = resultsWithNotes({note("a", "1"), note("b", "2")}, {note("c", "3"), note("dup", "1")});
        auto* table = rv->tableFor(Category::Note);
        QCOMPARE(table->model()->rowCount(), 3); // the duplicate carved note was dropped
        auto* check = rv->findChild<QCheckBox*>("checkBtn");
        QCOMPARE(check->text(), QString("Only dispaly deleted files"));
        QTest::mouseClick(check, Qt::LeftButton);
        QVERIFY(check->isChecked());
        QCOMPARE(table->model()->rowCount(), 1);
        QCOMPARE(table->model()->index(0, 1).data().toString(), QString("c"));
        QCOMPARE(rv->findChild<QLabel*>("noteTitlelab")->text(), QString("Title: c"));
        rv->actNote();
        QVERIFY(!check->isChecked());
        QCOMPARE(table->model()->rowCount(), 3);
    }

    void sortSwitchesAreSharedBetweenTables() {
        auto* rv = resultsWithNotes({}, {});
        auto& c = rv->collection();
        for (const char* name : {"b", "c", "a"}) {
            auto contact = std::make_shared<PRContactNode>();
            contact->setContactName(name);
            c.ScanContactInfomationHandle(contact);
            auto message = std::make_shared<PRMessageNode>();
            message->setMessageName(name);
            c.ScanMessageInfomationHandle(message);
        }
        SortDirectionSwitches::shared() = {};
        rv->actContact();
        auto* contacts = rv->tableFor(Category::Contact);
        QTest::mouseClick(contacts->horizontalHeader()->viewport(), Qt::LeftButton, {},
                          QPoint(contacts->horizontalHeader()->sectionViewportPosition(1) + 10, 5));
        QCOMPARE(contacts->model()->index(0, 1).data().toString(), QString("a"));
        QCOMPARE(contacts->selectionModel()->selectedRows().first().row(), 0);

        rv->actMessage();
        rv->tableViewDidClickTableColumn(Category::Message, 2); // shared name switch: now descending
        auto* messages = rv->tableFor(Category::Message);
        QCOMPARE(messages->model()->index(0, 1).data().toString(), QString("c"));
        rv->tableViewDidClickTableColumn(Category::Message, 0); // the tick-box header changes nothing
        QCOMPARE(messages->model()->index(0, 1).data().toString(), QString("c"));
        QCOMPARE(rv->findChild<QLabel*>("messageNamelab")->text(), QString("Name: c"));
    }

    void detailAreaOfEachCategory() {
        auto* rv = resultsWithNotes({}, {});
        auto& c = rv->collection();
        auto contact = std::make_shared<PRContactNode>();
        contact->setContactName("Ann");
        contact->setContactPhone("555-0101");
        c.ScanContactInfomationHandle(contact);
        auto message = std::make_shared<PRMessageNode>();
        message->setMessageName("");
        message->setMessageContent("See you at eight");
        message->setMessageDate("03-04-2013 20:00");
        c.ScanMessageInfomationHandle(message);
        auto call = std::make_shared<PRCallHistoryNode>();
        call->setCallName("Bob");
        call->setCallDuration("00:02:10");
        c.ScanCallHistoryInfomationHandle(call);
        const QString photoPath = root->filePath("7.JPG");
        QImage(8, 8, QImage::Format_RGB32).save(photoPath, "PNG");
        c.ScanMovNodeToMainThreadHandle(photoPath.toStdString());

        rv->actContact();
        QCOMPARE(rv->findChild<QLabel*>("contactNamelab")->text(), QString("Name: Ann"));
        QVERIFY(rv->findChild<QLabel*>("contactPhonelab")->isVisible());
        QVERIFY(!rv->findChild<QLabel*>("contactEmaillab")->isVisible());
        QVERIFY(!rv->findChild<app::PRTextView*>("contactNotelab")->isVisible());

        rv->actMessage();
        QCOMPARE(rv->findChild<QLabel*>("messageNamelab")->text(), QString("Name: "));
        QCOMPARE(rv->findChild<QLabel*>("messageDatelab")->text(), QString("Date: 03-04-2013 20:00"));
        QCOMPARE(rv->findChild<app::PRTextView*>("messageConteView")->toPlainText(), QString("See you at eight"));

        rv->actCallHistory();
        QCOMPARE(rv->findChild<QLabel*>("callTimelab")->text(), QString("Duration: 00:02:10"));
        QCOMPARE(rv->findChild<QLabel*>("callNamelab")->text(), QString("Name: Bob"));

        rv->actPhoto();
        QVERIFY(!rv->findChild<QCheckBox*>("checkBtn")->isVisible());
        QCOMPARE(rv->findChild<QLabel*>("imageFileNamelab")->text(), QString("Name: 7.JPG"));
        QVERIFY(rv->findChild<QLabel*>("imageView")->isVisible());

        // The note text view takes no input.
        rv->actNote();
        auto* view = rv->findChild<app::PRTextView*>("noteContentView");
        view->setPlainText("kept");
        QTest::keyClicks(view, "typed");
        QTest::mouseClick(view->viewport(), Qt::LeftButton);
        QCOMPARE(view->toPlainText(), QString("kept"));
        QCOMPARE(view->contextMenuPolicy(), Qt::NoContextMenu);
    }

    void goingHomeAsksThenEmptiesEverything() {
        auto* rv = resultsWithNotes({note("a", "1"), note("b", "2")}, {note("c", "3")});
        rv->tableViewSetObjectValue(true); // ticks row 0
        QCOMPARE(rv->collection().counters().selectedFilesNum, 1);
        auto* home = rv->findChild<QWidget*>("homeBtn");
        QVERIFY(home->isEnabled());

        platform->alerts.answerNextAlert(1); // "Cancel"
        QTest::mouseClick(home, Qt::LeftButton);
        QCOMPARE(delegate->window()->size(), QSize(850, 620));
        QCOMPARE(rv->collection().noteArray().size(), 3u);

        platform->alerts.answerNextAlert(0); // " Back "
        rv->actHome();
        const auto alerts = platform->alerts.alertsShown();
        QCOMPARE(alerts.size(), 3u); // finish, cancelled home, home
        QCOMPARE(alerts[2].messageText, std::string(kHomeAlert));
        QCOMPARE(alerts[2].buttons, (std::vector<std::string>{" Back ", "Cancel"}));
        QCOMPARE(delegate->window()->size(), QSize(849, 560));
        QCOMPARE(delegate->window()->minimumSize(), QSize(849, 560));
        QCOMPARE(delegate->window()->maximumSize(), QSize(849, 560));
        QVERIFY(!rv->isVisible());
        QVERIFY(delegate->window()->findChild<QWidget*>("mainView")->isVisible());
        QVERIFY(rv->collection().noteArray().empty());
        QCOMPARE(rv->tableFor(Category::Note)->model()->rowCount(), 0);
        const auto& counters = rv->collection().counters();
        QCOMPARE(counters.BackUpFilesNum, 0);
        QCOMPARE(counters.deleteeFilesNum, 0);
        QCOMPARE(counters.selectedFilesNum, 0);
        QCOMPARE(counters.recovredFilesNum, 0);
    }

    void exitQuestionKeepsTheWindowOnCancel() {
        platform->alerts.answerNextAlert(1);
        QVERIFY(!delegate->window()->close());
        QVERIFY(delegate->window()->isVisible());
        const auto alerts = platform->alerts.alertsShown();
        QCOMPARE(alerts.size(), 1u);
        QCOMPARE(alerts[0].messageText, std::string("Are you sure you want to Exit ?"));
        QCOMPARE(alerts[0].buttons, (std::vector<std::string>{" Exit ", "Cancel"}));
        platform->alerts.answerNextAlert(0);
        QVERIFY(delegate->windowShouldClose());
    }

    void feedbackSendHandsTheTextToTheMailClientOnly() {
        auto* rv = resultsWithNotes({}, {});
        auto* feedback = rv->feedbackWindow();
        rv->clickFeedBack();
        QVERIFY(feedback->isVisible());
        QCOMPARE(feedback->feedbackView()->toPlainText(), QString(app::kFeedbackPlaceholder));
        QTest::mouseClick(feedback->feedbackView()->viewport(), Qt::LeftButton);
        QVERIFY(feedback->feedbackView()->toPlainText().isEmpty());

        // Nothing typed: nothing is handed on and the window stays.
        QTest::mouseClick(feedback->sendButton(), Qt::LeftButton);
        QVERIFY(feedback->isVisible());
        QVERIFY(platform->workspace.opened().empty());

        QTest::mouseClick(feedback->feedbackView()->viewport(), Qt::LeftButton);
        QTest::keyClicks(feedback->feedbackView(), "Great & quick");
        QTest::mouseClick(feedback->feedbackView()->viewport(), Qt::LeftButton); // typed text stays
        feedback->feedbackEmailVaule()->setText("me@example.org");

        platform->workspace.succeed = false; // no mail client: not sent, window stays
        QTest::mouseClick(feedback->sendButton(), Qt::LeftButton);
        QVERIFY(feedback->isVisible());
        QVERIFY(!delegate->bFeedBack());

        platform->workspace.succeed = true;
        QTest::mouseClick(feedback->sendButton(), Qt::LeftButton);
        QVERIFY(!feedback->isVisible());
        QVERIFY(delegate->bFeedBack());
        const auto opened = platform->workspace.opened();
        QCOMPARE(opened.size(), 2u);
        const QUrl mail(QString::fromStdString(opened.back()));
        QCOMPARE(mail.scheme(), QString("mailto"));
        QVERIFY(mail.query(QUrl::FullyDecoded).contains("Great & quick"));
        QVERIFY(mail.query(QUrl::FullyDecoded).contains("Reply to: me@example.org"));

        rv->clickFeedBack();
        QTest::mouseClick(feedback->dontSendButton(), Qt::LeftButton);
        QVERIFY(!feedback->isVisible());
        QCOMPARE(platform->workspace.opened().size(), 2u);
    }

    void hoverUnderlinesOnlyTheLinkButtons() {
        auto* rv = resultsWithNotes({}, {});
        auto* feedbackBtn = rv->findChild<app::PRButton*>("feedBackBtn");
        auto* noteBtn = rv->findChild<app::PRButton*>("noteBtn");
        const QFont noteFont = noteBtn->font();
        auto& nc = NotificationCenter::defaultCenter();
        nc.post(app::kButtonMouseEntered, std::string("feedBackBtn"));
        nc.post(app::kButtonMouseEntered, std::string("noteBtn"));
        QVERIFY(feedbackBtn->font().underline());
        QCOMPARE(feedbackBtn->cursor().shape(), Qt::PointingHandCursor);
        QCOMPARE(noteBtn->font(), noteFont);
        nc.post(app::kButtonMouseExited, std::string("feedBackBtn"));
        QVERIFY(!feedbackBtn->font().underline());
        QCOMPARE(feedbackBtn->text(), QString("Feedback"));
    }

    void linksOpenShippedHelpPages() {
        auto* rv = resultsWithNotes({}, {});
        rv->clickSupport();
        rv->clickFacebook();
        delegate->ClickHomePage();
        delegate->ClickLearnMore();
        delegate->ClickHelp();
        const auto opened = platform->workspace.opened();
        QCOMPARE(opened.size(), 5u);
        for (const auto& address : opened) {
            const QUrl url(QString::fromStdString(address));
            QVERIFY2(url.isLocalFile(), address.c_str());
            QVERIFY2(QFileInfo::exists(url.toLocalFile()), address.c_str());
        }
    }

    void firstStartOpensTheGuideOnce() {
        platform->defaults.setString("FirstStartData", "NO");
        delegate->awakeFromNib();
        delegate->awakeFromNib();
        QCOMPARE(platform->workspace.opened().size(), 1u);
        QVERIFY(QString::fromStdString(platform->workspace.opened()[0]).contains("guide.html"));
        QCOMPARE(platform->defaults.stringForKey("FirstStartData"), std::optional<std::string>("YES"));
    }

    void sheetsHang80PointsLower() {
        QCOMPARE(app::windowWillPositionSheet(QRect(10, 20, 300, 200)), QRect(10, 100, 300, 200));
    }

    void mainThreadHandOffRunsOnTheGuiThread() {
        app::QtMainThread mainThread;
        std::atomic<bool> ranOnGui{false};
        std::thread worker(
            [&] { mainThread.runAndWait([&] { ranOnGui = QThread::currentThread() == qApp->thread(); }); });
        QTRY_VERIFY(ranOnGui.load());
        worker.join();
        bool posted = false;
        mainThread.post([&] { posted = true; });
        QVERIFY(!posted);
        QTRY_VERIFY(posted);
    }

    void chosenBackupFolderIsSavedAndListed() {
        QTemporaryDir other;
        apptest::makeBackup(other.path(), "bb22", "Other iPad", "iPad3,4", "6.0", {});
        platform->alerts.answerNextPanel(other.path().toStdString());
        delegate->chooseBackupFolder();
        QCOMPARE(platform->defaults.stringForKey("BackupRootFolder"), std::optional(other.path().toStdString()));
        QCOMPARE(delegate->diskTableView()->model()->rowCount(), 1);
        QVERIFY(delegate->window()->findChild<QLabel*>("backupRootlab")->text().contains("chosen"));
    }

    void recoveryExportsTheTickedNotesBehindAProgressSheet() {
        auto* rv = resultsWithNotes({note("Keep", "Keep me"), note("Skip", "Not me")}, {});
        rv->tableViewSetObjectValue(true); // row 0
        auto* save = rv->findChild<QPushButton*>("saveBtn");
        QVERIFY(save->isEnabled());

        QTest::mouseClick(save, Qt::LeftButton); // panel cancelled: nothing happens
        QCOMPARE(platform->alerts.panelsShown(), 1u);
        QVERIFY(!rv->isExporting());

        const QString target = root->filePath("Export");
        platform->alerts.answerNextPanel(target.toStdString());
        QTest::mouseClick(save, Qt::LeftButton);
        QVERIFY(rv->isExporting());
        QVERIFY(rv->saveWindow()->isVisible());
        QCOMPARE(rv->saveWindow()->windowModality(), Qt::WindowModal);
        QTRY_VERIFY_WITH_TIMEOUT(!rv->isExporting(), 10000);
        QVERIFY(!rv->saveWindow()->isVisible());
        QFile notes(target + "/Note/Notes.txt");
        QVERIFY(notes.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(notes.readAll());
        QVERIFY(text.contains("Keep me"));
        QVERIFY(!text.contains("Not me"));
        QCOMPARE(alertMessages(platform->alerts), QStringList{kFinishAlert}); // no alert at the end
    }

    void hundredThousandNotesStayResponsive() {
        std::vector<PRNoteNodePtr> notes;
        for (int i = 0; i < 100000; ++i) {
            notes.push_back(note("Note " + std::to_string(i), "body " + std::to_string(i)));
        }
        const auto start = std::chrono::steady_clock::now();
        auto* rv = resultsWithNotes(notes, {});
        auto* table = rv->tableFor(Category::Note);
        table->selectAll();
        rv->tableViewSetObjectValue(true);
        rv->findChild<QCheckBox*>("checkBtn")->click();
        rv->actNote();
        table->scrollToBottom();
        QCoreApplication::processEvents();
        const auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        QCOMPARE(rv->collection().counters().selectedFilesNum, 100000);
        QVERIFY2(seconds < 10.0, qPrintable(QString::number(seconds)));
    }
};

QTEST_MAIN(AppShellTest)
#include "AppShellTest.moc"
