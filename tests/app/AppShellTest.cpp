// The desktop application driven through its real widgets on the offscreen platform. Alerts are
// answered from a script, so nothing blocks, and each test checks the alerts it expects were shown.

#include "AppTestSupport.h"
#include "CategoryPane.h"

#include "AudiobookPage.h"
#include "FeedbackWindow.h"
#include "JobSwitcher.h"
#include "MainWindow.h"
#include "PRButton.h"
#include "PRFeedBackView.h"
#include "PRResultViewController.h"
#include "PasswordSheet.h"
#include "QuarrowAppDelegate.h"
#include "RecoveryPage.h"

#include "platform/WorkFolder.h"
#include "results/CategoryView.h"
#include "results/NoteText.h"
#include "results/RecoverySession.h"
#include "scan/ScannerRegistry.h"

#include <QBuffer>
#include <QCheckBox>
#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>
#include <QtTest>

#include "DeviceDb.h"
#include "EncryptedBackup.h"
#include "ModernBackup.h"
#include "PhoneDbs.h"

#include <functional>
#include <memory>

using namespace quarrow;
using app::PRResultViewController;

namespace {

PRNoteNodePtr note(const std::string& title, const std::string& content) {
    auto n = std::make_shared<PRNoteNode>();
    n->setNoteTitle(title);
    n->setNoteContent(content);
    n->setNoteDate("01-02-2013 10:00");
    return n;
}

// Every alert shown so far as "message [button|button]": one comparison checks text and buttons.
QStringList shown(const ScriptedAlertPresenter& alerts) {
    QStringList out;
    for (const auto& a : alerts.alertsShown()) {
        QStringList buttons;
        for (const auto& b : a.buttons) {
            buttons << QString::fromStdString(b);
        }
        out << QString::fromStdString(a.messageText) + " [" + buttons.join('|') + "]";
    }
    return out;
}

const QString kFinish = "If you have not found the deleted files, please use iTunes to back up your iOS device, after "
                        "completing the backup, and reopen the software to start again. [Ok]";
// The window: the job's page under the job switcher.
const QSize kStrip(0, app::JobSwitcher::kHeight);
const QSize kHomeSize = QSize(849, 560) + kStrip;
const QSize kResultSize = QSize(850, 620) + kStrip;

} // namespace

class AppShellTest : public QObject {
    Q_OBJECT

    std::unique_ptr<apptest::PlatformScope> platform;
    std::unique_ptr<QTemporaryDir> root;
    QTemporaryDir data; // the Audiobooks page's saved list
    std::unique_ptr<app::QuarrowAppDelegate> delegate;

    // The result view after a scan that found these notes and whatever `more` adds.
    PRResultViewController* results(const std::vector<PRNoteNodePtr>& existing,
                                    const std::vector<PRNoteNodePtr>& deleted = {},
                                    const std::function<void(ResultCollection&)>& more = {}) {
        recovery()->prepareResultView(nullptr);
        auto& c = recovery()->resultViewController()->collection();
        for (const auto& n : existing) {
            c.ScanNoteInfomationHandle(n);
        }
        for (const auto& n : deleted) {
            c.ScanDelNoteInfomationHandle(n);
        }
        if (more) {
            more(c);
        }
        c.ScanFinishOnMainThread();
        return recovery()->resultViewController();
    }

    app::RecoveryPage* recovery() const { return delegate->recovery(); }

    static void clickTick(QTableView* table, int row) {
        const QRect cell = table->visualRect(table->model()->index(row, 0));
        QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, cell.center());
    }

    // The window is fixed at its size: shown, smallest and largest alike.
    QList<QSize> windowSizes() const {
        return {delegate->window()->size(), delegate->window()->minimumSize(), delegate->window()->maximumSize()};
    }

private slots:
    void init() {
        platform = std::make_unique<apptest::PlatformScope>();
        root = std::make_unique<QTemporaryDir>();
        app::AppOptions options;
        options.commandLineRoot = root->path().toStdString();
        options.sampleRoot = QString::fromUtf8(QUARROW_SAMPLE_ROOT);
        options.bookListPath = data.filePath("imported-books").toStdString();
        delegate = std::make_unique<app::QuarrowAppDelegate>(options);
        delegate->window()->show();
    }

    void cleanup() {
        delegate.reset();
        root.reset();
        platform.reset();
    }

    void emptyFolderAlertsOnceAndCannotScanUntilSamplesAreChosen() {
        recovery()->showIphoneDiskView();
        QCOMPARE(shown(platform->alerts), QStringList{"No iTunes backup files found ! [ Ok ]"});
        QVERIFY(!recovery()->button()->isEnabled());
        recovery()->actScanIOSBackupFile();
        QVERIFY(!recovery()->isScanRunning());
        recovery()->useSampleBackups();
        const int samples = static_cast<int>(
            QDir(QString::fromUtf8(QUARROW_SAMPLE_ROOT)).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size());
        QCOMPARE(recovery()->diskTableView()->model()->rowCount(), samples);
        QVERIFY(recovery()->button()->isEnabled());
        QCOMPARE(platform->alerts.alertsShown().size(), 1u);
    }

    // The encrypted sample is listed with a lock and read with its password, "tortoise".
    void theEncryptedSampleIsLockedAndReadWithItsPassword() {
        recovery()->useSampleBackups();
        const auto& backups = recovery()->deviceController().arrangedObjects();
        const auto noah = std::find_if(backups.begin(), backups.end(), [](const auto& b) { return b->bEncrypted(); });
        QVERIFY(noah != backups.end());
        const int row = static_cast<int>(noah - backups.begin());
        const QAbstractItemModel* model = recovery()->diskTableView()->model();
        QVERIFY(!model->index(row, 0).data(Qt::DecorationRole).value<QPixmap>().isNull());
        QVERIFY(model->index(row == 0 ? 1 : 0, 0).data(Qt::DecorationRole).isNull());
        platform->passwords.answerNext("tortoise");
        recovery()->diskTableView()->selectRow(row);
        QTest::mouseClick(recovery()->button(), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!recovery()->isUnlocking(), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(!recovery()->isScanRunning(), 20000);
        const auto prompts = platform->passwords.prompts();
        QCOMPARE(prompts.size(), 1u);
        QCOMPARE(prompts[0].backupName, std::string("Noah\u2019s iPhone"));
        const auto& notes = recovery()->resultViewController()->collection().noteArray();
        QVERIFY(std::any_of(notes.begin(), notes.end(),
                            [](const auto& n) { return n->noteTitle() == std::optional<std::string>("Bike lock"); }));
    }

    // A backup whose key bag cannot be read: asking to scan it says so, asks for no password and
    // starts nothing, rather than showing an empty result.
    void anEncryptedBackupThatCannotBeUnlockedIsRefusedWithAnAlert() {
        fixtures::ModernBackupBuilder b(root->path().toStdString() + "/00008120-0019644E3A78C01E");
        fixtures::ModernDevice device;
        device.encrypted = true; // a stand-in key bag of a few bytes
        b.writePropertyLists(device);
        b.writeManifest();
        recovery()->showIphoneDiskView();
        recovery()->diskTableView()->selectRow(0);
        const std::size_t before = platform->alerts.alertsShown().size();
        QTest::mouseClick(recovery()->button(), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!recovery()->isUnlocking(), 10000);
        QVERIFY(!recovery()->isScanRunning());
        QCOMPARE(windowSizes(), QList<QSize>(3, kHomeSize));
        QCOMPARE(platform->alerts.alertsShown().size(), before + 1);
        QCOMPARE(shown(platform->alerts).last(),
                 QString("This backup is encrypted, and what unlocks it is damaged. [ Ok ]"));
        QVERIFY(platform->passwords.prompts().empty());
    }

    void scanFlowFromPickingABackupToTheNotesPane() {
        recovery()->useSampleBackups();
        const auto& backups = recovery()->deviceController().arrangedObjects();
        const auto sofia = std::find_if(backups.begin(), backups.end(), [](const auto& b) {
            return b->strDeviceName() == std::optional<std::string>("Sofia's iPhone"); // iOS 6, 4 notes, 1 deleted
        });
        QVERIFY(sofia != backups.end());
        const int row = static_cast<int>(sofia - backups.begin());
        recovery()->diskTableView()->selectRow(row);
        QCOMPARE(recovery()->diskTableView()->model()->index(row, 1).data().toString(), QString("Iphone 5"));
        QTest::mouseClick(recovery()->button(), Qt::LeftButton);
        QCOMPARE(windowSizes(), QList<QSize>(3, kResultSize));
        QTRY_VERIFY_WITH_TIMEOUT(!recovery()->isScanRunning(), 20000);

        auto* rv = recovery()->resultViewController();
        QCOMPARE(shown(platform->alerts), QStringList{kFinish});
        QCOMPARE(rv->currentTableView(), rv->tableFor(Category::Note));
        const auto& notes = rv->collection().noteArray();
        const auto carved = std::count_if(notes.begin(), notes.end(), [](const auto& n) { return n->bDeleted(); });
        QCOMPARE(notes.size() - static_cast<std::size_t>(carved), 4u);
        if (ScannerRegistry::shared().edition(Edition::Notes).size() > 1) { // the edition runs the carver
            QVERIFY(carved >= 1);
        }
        QCOMPARE(rv->tableFor(Category::Note)->model()->rowCount(), static_cast<int>(notes.size()));
        QCOMPARE(rv->findChild<QLabel*>("noteNumlab")->text(), QString("Notes:  4"));
        QVERIFY(!rv->findChild<QPushButton*>("saveBtn")->isEnabled());

        // Row 0 is in the detail area, whose text takes no input.
        QCOMPARE(rv->findChild<QLabel*>("noteTitlelab")->text(),
                 QString::fromStdString("Title: " + *notes[0]->noteTitle()));
        auto* content = rv->findChild<QPlainTextEdit*>("noteContentView");
        QTest::keyClicks(content, "typed");
        QCOMPARE(content->toPlainText().toStdString(), visibleText(*notes[0]->noteContent()));
    }

    // An encrypted backup of today's layout with one note (and the camera roll's pictures, when
    // given), alone in the backup root.
    std::string makeEncryptedBackup(const std::vector<std::pair<std::string, std::string>>& pictures = {}) {
        const std::string folder = root->path().toStdString() + "/00008120-0019644E3A78C01E";
        const std::string notes = data.filePath("notes.sqlite").toStdString();
        {
            fixtures::NotesDbBuilder db(notes);
            db.addNote({1, "Locker", "<div>Locker</div><div>code 2468</div>", 352803900, 352803900});
        }
        fixtures::ModernBackupBuilder b(folder);
        fixtures::ModernDevice device;
        device.name = "Noah's iPhone";
        device.encrypted = true;
        b.writePropertyLists(device);
        b.addDatabase("HomeDomain", "Library/Notes/notes.sqlite", notes);
        for (const auto& [relativePath, bytes] : pictures) {
            b.addFile("CameraRollDomain", relativePath, bytes);
        }
        b.writeManifest();
        fixtures::encryptBackup(folder);
        QFile::remove(QString::fromStdString(notes));
        return folder;
    }

    void encryptedBackupAsksForItsPasswordAgainUntilItIsRight() {
        makeEncryptedBackup();
        platform->passwords.answerNext("hare");
        platform->passwords.answerNext("tortoise");
        recovery()->showIphoneDiskView();
        recovery()->diskTableView()->selectRow(0);
        QTest::mouseClick(recovery()->button(), Qt::LeftButton);
        QVERIFY(recovery()->isUnlocking());
        QTRY_VERIFY_WITH_TIMEOUT(!recovery()->isUnlocking(), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(!recovery()->isScanRunning(), 20000);
        const auto prompts = platform->passwords.prompts();
        QCOMPARE(prompts.size(), 2u);
        QCOMPARE(prompts[0].backupName, std::string("Noah's iPhone"));
        QVERIFY(!prompts[0].afterWrongPassword);
        QVERIFY(prompts[1].afterWrongPassword);
        const auto& notes = recovery()->resultViewController()->collection().noteArray();
        QVERIFY(std::any_of(notes.begin(), notes.end(),
                            [](const auto& n) { return n->noteTitle() == std::optional<std::string>("Locker"); }));
        QVERIFY(!recovery()->unlockingSheet()->isVisible());
        // The scan's decrypted copy went with its work folder.
        const QString work = QString::fromStdString(WorkFolder::cacheRoot());
        QVERIFY(QDir(work)
                    .entryList({"scan-" + QString::number(QCoreApplication::applicationPid()) + "-*"},
                               QDir::AllEntries | QDir::NoDotAndDotDot)
                    .isEmpty());
    }

    // With every category scanned, an encrypted backup's pictures are in the Photo&Video list under
    // the device's names and sizes, and Save writes them decrypted.
    void encryptedBackupsPicturesAreListedAndSavedDecrypted() {
        const std::string picture = fixtures::jpegLikeBytes(80000, 4);
        makeEncryptedBackup({{"Media/DCIM/100APPLE/IMG_0004.JPG", picture}});
        delegate->recoverySession().setEdition(Edition::Full);
        platform->passwords.answerNext("tortoise");
        recovery()->showIphoneDiskView();
        recovery()->diskTableView()->selectRow(0);
        QTest::mouseClick(recovery()->button(), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!recovery()->isUnlocking(), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(!recovery()->isScanRunning(), 20000);

        auto* rv = recovery()->resultViewController();
        rv->actPhoto();
        auto* table = rv->tableFor(Category::PhotoAndVideo);
        QCOMPARE(table->model()->rowCount(), 1);
        QCOMPARE(rv->findChild<QLabel*>("imageFileNamelab")->text(), QString("Name: IMG_0004.JPG"));
        QCOMPARE(rv->findChild<QLabel*>("imageFileSizelab")->text(), QString("Size: 80.00K"));
        QVERIFY(!rv->findChild<QWidget*>("imageView")->isVisible()); // no preview of ciphertext

        clickTick(table, 0);
        const QString target = root->filePath("Export");
        platform->alerts.answerNextPanel(target.toStdString());
        QTest::mouseClick(rv->findChild<QPushButton*>("saveBtn"), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!rv->isExporting(), 10000);
        QFile saved(target + "/Photo&Video/IMG_0004.JPG");
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QVERIFY(saved.readAll().toStdString() == picture);
        QCOMPARE(QDir(target + "/Photo&Video").entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
                 QStringList{"IMG_0004.JPG"});
    }

    void cancellingThePasswordScansNothing() {
        makeEncryptedBackup();
        recovery()->showIphoneDiskView();
        recovery()->diskTableView()->selectRow(0);
        recovery()->actScanIOSBackupFile(); // the script answers nothing: cancelled
        QTRY_VERIFY_WITH_TIMEOUT(!recovery()->isUnlocking(), 10000);
        QVERIFY(!recovery()->isScanRunning());
        QCOMPARE(windowSizes(), QList<QSize>(3, kHomeSize));
        QVERIFY(platform->alerts.alertsShown().empty());
    }

    // Quitting while the worker is about to ask for the password: the window goes at once, no sheet
    // is shown and no scan starts (the worker waits for the GUI thread, which must not wait for it).
    void closingWhileUnlockingAsksNothingAndScansNothing() {
        makeEncryptedBackup();
        platform->passwords.answerNext("tortoise");
        recovery()->showIphoneDiskView();
        recovery()->diskTableView()->selectRow(0);
        recovery()->actScanIOSBackupFile();
        QVERIFY(recovery()->isUnlocking());
        delegate.reset();
        QVERIFY(platform->passwords.prompts().empty());
        const QString work = QString::fromStdString(WorkFolder::cacheRoot());
        QVERIFY(QDir(work)
                    .entryList({"scan-" + QString::number(QCoreApplication::applicationPid()) + "-*"},
                               QDir::AllEntries | QDir::NoDotAndDotDot)
                    .isEmpty());
    }

    void passwordSheetGivesWhatIsTypedAndSaysWhenTheLastWasWrong() {
        app::QtPasswordRequest request;
        request.setWindow(delegate->window());
        bool wrongShown = false;
        bool found = false;
        QTimer::singleShot(50, this, [&] {
            auto* sheet = delegate->window()->findChild<app::PasswordSheet*>("passwordSheet");
            found = sheet != nullptr;
            if (sheet) {
                wrongShown = sheet->wrongPasswordLabel()->isVisible();
                QTest::keyClicks(sheet->passwordField(), "tortoise");
                QTest::mouseClick(sheet->unlockButton(), Qt::LeftButton);
            }
        });
        const auto answer = request.requestPassword({"Noah's iPhone", "/backup", true});
        QVERIFY(found);
        QVERIFY(wrongShown);
        QVERIFY(answer);
        QCOMPARE(answer->view(), std::string_view("tortoise"));

        QTimer::singleShot(50, this, [&] {
            if (auto* sheet = delegate->window()->findChild<app::PasswordSheet*>("passwordSheet")) {
                wrongShown = sheet->wrongPasswordLabel()->isVisible();
                sheet->reject();
            }
        });
        QVERIFY(!request.requestPassword({"Noah's iPhone", "/backup", false}));
        QVERIFY(!wrongShown);
    }

    void ticksApplyToTheWholeSelectionAndSaveExportsThem() {
        std::vector<PRNoteNodePtr> notes;
        for (int i = 0; i < 5; ++i) {
            notes.push_back(note("t" + std::to_string(i), "body " + std::to_string(i)));
        }
        auto* rv = results(notes);
        auto* table = rv->tableFor(Category::Note);
        auto* line = rv->findChild<QLabel*>("selecteFilelab");
        auto* save = rv->findChild<QPushButton*>("saveBtn");
        clickTick(table, 1); // selects row 1 alone, then ticks it
        QCOMPARE(line->text(), QString("You select 1 files in the recovery results."));
        QVERIFY(line->isVisible());
        table->selectionModel()->select(QItemSelection(table->model()->index(0, 0), table->model()->index(2, 0)),
                                        QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        clickTick(table, 0); // one of three already ticked: the count rises by 2, the selection stays
        QCOMPARE(rv->collection().counters().selectedFilesNum, 3);
        QCOMPARE(table->selectionModel()->selectedRows().size(), 3);

        QTest::mouseClick(save, Qt::LeftButton); // panel cancelled: nothing happens
        QCOMPARE(platform->alerts.panelsShown(), 1u);
        QVERIFY(!rv->isExporting());
        const QString target = root->filePath("Export");
        platform->alerts.answerNextPanel(target.toStdString());
        QTest::mouseClick(save, Qt::LeftButton);
        QVERIFY(rv->saveWindow()->isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(!rv->isExporting(), 10000);
        QVERIFY(!rv->saveWindow()->isVisible());
        QFile file(target + "/Note/Notes.txt");
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(file.readAll());
        QVERIFY(text.contains("body 0") && text.contains("body 1") && text.contains("body 2"));
        QVERIFY(!text.contains("body 3") && !text.contains("body 4"));
        QCOMPARE(shown(platform->alerts), QStringList{kFinish}); // no alert at the end

        clickTick(table, 2); // unticks all three
        QCOMPARE(rv->collection().counters().selectedFilesNum, 0);
        QVERIFY(!line->isVisible());
        QVERIFY(!save->isEnabled());
    }

    void filterShowsDeletedOnlyAndCategorySwitchResetsIt() {
        auto* rv = results({note("a", "1"), note("b", "2")}, {note("c", "3"), note("dup", "1")});
        auto* table = rv->tableFor(Category::Note);
        QCOMPARE(table->model()->rowCount(), 3); // the carved duplicate was dropped
        auto* check = rv->findChild<QCheckBox*>("checkBtn");
        QTest::mouseClick(check, Qt::LeftButton);
        QCOMPARE(table->model()->rowCount(), 1);
        QCOMPARE(rv->findChild<QLabel*>("noteTitlelab")->text(), QString("Title: c"));
        rv->actNote();
        QVERIFY(!check->isChecked());
        QCOMPARE(table->model()->rowCount(), 3);
    }

    void sortSwitchesAreSharedBetweenTables() {
        auto* rv = results({}, {}, [](ResultCollection& c) {
            for (const char* name : {"b", "c", "a"}) {
                auto contact = std::make_shared<PRContactNode>();
                contact->setContactName(name);
                c.ScanContactInfomationHandle(contact);
                auto message = std::make_shared<PRMessageNode>();
                message->setMessageName(name);
                c.ScanMessageInfomationHandle(message);
            }
        });
        SortDirectionSwitches::shared() = {};
        rv->actContact();
        auto* contacts = rv->tableFor(Category::Contact);
        QTest::mouseClick(contacts->horizontalHeader()->viewport(), Qt::LeftButton, {},
                          QPoint(contacts->horizontalHeader()->sectionViewportPosition(1) + 10, 5));
        QCOMPARE(contacts->model()->index(0, 1).data().toString(), QString("a"));
        QCOMPARE(contacts->selectionModel()->selectedRows().first().row(), 0);

        rv->actMessage();
        auto* messages = rv->tableFor(Category::Message);
        rv->tableViewDidClickTableColumn(Category::Message, 2); // the shared name switch: now descending
        rv->tableViewDidClickTableColumn(Category::Message, 0); // the tick-box header sorts nothing
        QCOMPARE(messages->model()->index(0, 1).data().toString(), QString("c"));
        QCOMPARE(rv->findChild<QLabel*>("messageNamelab")->text(), QString("Name: c"));
    }

    void detailArea_data() {
        QTest::addColumn<Category>("category");
        QTest::addColumn<QString>("widget");
        QTest::addColumn<bool>("visible");
        QTest::addColumn<QString>("text"); // null: not compared
        QTest::newRow("contact name") << Category::Contact << "contactNamelab" << true << "Name: Ann";
        QTest::newRow("contact without email") << Category::Contact << "contactEmaillab" << false << QString();
        QTest::newRow("message without name") << Category::Message << "messageNamelab" << true << "Name: ";
        QTest::newRow("message text") << Category::Message << "messageConteView" << true << "See you at eight";
        QTest::newRow("call duration") << Category::CallHistory << "callTimelab" << true << "Duration: 00:02:10";
        QTest::newRow("photo name") << Category::PhotoAndVideo << "imageFileNamelab" << true << "Name: 7.JPG";
        QTest::newRow("photo preview") << Category::PhotoAndVideo << "imageView" << true << QString();
        QTest::newRow("photos have no filter") << Category::PhotoAndVideo << "checkBtn" << false << QString();
    }

    void detailArea() {
        QFETCH(Category, category);
        QFETCH(QString, widget);
        QFETCH(bool, visible);
        QFETCH(QString, text);
        const QString photo = root->filePath("7.JPG");
        QImage(8, 8, QImage::Format_RGB32).save(photo, "PNG");
        auto* rv = results({}, {}, [&](ResultCollection& c) {
            auto contact = std::make_shared<PRContactNode>();
            contact->setContactName("Ann");
            c.ScanContactInfomationHandle(contact);
            auto message = std::make_shared<PRMessageNode>();
            message->setMessageName("");
            message->setMessageContent("See you at eight");
            c.ScanMessageInfomationHandle(message);
            auto call = std::make_shared<PRCallHistoryNode>();
            call->setCallDuration("00:02:10");
            c.ScanCallHistoryInfomationHandle(call);
            c.ScanMovNodeToMainThreadHandle(photo.toStdString());
        });
        using Act = void (PRResultViewController::*)();
        constexpr Act show[] = {&PRResultViewController::actPhoto, &PRResultViewController::actContact,
                                &PRResultViewController::actMessage, &PRResultViewController::actNote,
                                &PRResultViewController::actCallHistory};
        (rv->*show[static_cast<int>(category)])();
        auto* w = rv->findChild<QWidget*>(widget);
        QVERIFY(w);
        QCOMPARE(w->isVisible(), visible);
        if (!text.isNull()) {
            auto* label = qobject_cast<QLabel*>(w);
            QCOMPARE(label ? label->text() : qobject_cast<QPlainTextEdit*>(w)->toPlainText(), text);
        }
    }

    // A photo's preview fills the detail area's box whatever its size, stands the way its
    // orientation tag says (cameras store portrait photos as landscape pixels and tag them "turn 90
    // degrees", 6), and a file that is no picture shows none.
    void photoPreview_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QSize>("shown");
        const auto encoded = [](int width, int height, const char* format) {
            QImage image(width, height, QImage::Format_RGB32);
            image.fill(Qt::darkCyan);
            QByteArray bytes;
            QBuffer out(&bytes);
            out.open(QIODevice::WriteOnly);
            image.save(&out, format);
            return bytes;
        };
        // An Exif segment (APP1) holding one tag, Orientation = 6, put right after the JPEG's start.
        QByteArray turned = encoded(40, 20, "JPEG");
        turned.insert(2, QByteArray("\xff\xe1\x00\x22"
                                    "Exif\0\0"
                                    "MM\x00\x2a\x00\x00\x00\x08"
                                    "\x00\x01\x01\x12\x00\x03\x00\x00\x00\x01\x00\x06\x00\x00"
                                    "\x00\x00\x00\x00",
                                    36));
        QTest::newRow("wide") << encoded(1600, 400, "PNG") << QSize(280, 70);
        QTest::newRow("large JPEG") << encoded(4000, 3000, "JPEG") << QSize(280, 210);
        QTest::newRow("tiny") << encoded(8, 8, "PNG") << QSize(210, 210);
        QTest::newRow("turned by its tag") << turned << QSize(105, 210);
        QTest::newRow("no picture") << QByteArray("SQLite format 3\0", 16).append(60000, '\0') << QSize(0, 0);
    }

    void photoPreview() {
        QFETCH(QByteArray, bytes);
        QFETCH(QSize, shown);
        QFile file(root->filePath("stored"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        file.close();
        const QImage preview = app::photoPreview(file.fileName(), QSize(280, 210));
        QCOMPARE(preview.size(), shown);
    }

    void goingHome_data() {
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("back");
        QTest::newRow("cancel keeps the results") << 1 << false;
        QTest::newRow("back empties everything") << 0 << true;
    }

    void goingHome() {
        QFETCH(int, answer);
        QFETCH(bool, back);
        auto* rv = results({note("a", "1"), note("b", "2")}, {note("c", "3")});
        rv->tableViewSetObjectValue(true); // ticks row 0
        platform->alerts.answerNextAlert(answer);
        QTest::mouseClick(rv->findChild<QWidget*>("homeBtn"), Qt::LeftButton);
        QCOMPARE(shown(platform->alerts),
                 (QStringList{kFinish, "Are you sure you want to go back to Home? If Back, the scanning results will "
                                       "not be saved. [ Back |Cancel]"}));
        QCOMPARE(windowSizes(), QList<QSize>(3, back ? kHomeSize : kResultSize));
        QCOMPARE(delegate->window()->findChild<QWidget*>("mainView")->isVisible(), back);
        QCOMPARE(rv->tableFor(Category::Note)->model()->rowCount(), back ? 0 : 3);
        QCOMPARE(rv->collection().noteArray().size(), back ? 0u : 3u);
        const auto& counters = rv->collection().counters();
        QCOMPARE(counters.selectedFilesNum, back ? 0 : 1);
        QCOMPARE(counters.BackUpFilesNum + counters.deleteeFilesNum + counters.recovredFilesNum, back ? 0 : 3);
    }

    void exitQuestion_data() {
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("closes");
        QTest::newRow("cancel") << 1 << false;
        QTest::newRow("exit") << 0 << true;
    }

    void exitQuestion() {
        QFETCH(int, answer);
        QFETCH(bool, closes);
        platform->alerts.answerNextAlert(answer);
        QCOMPARE(delegate->window()->close(), closes);
        QCOMPARE(delegate->window()->isVisible(), !closes);
        QCOMPARE(shown(platform->alerts), QStringList{"Are you sure you want to Exit ? [ Exit |Cancel]"});
    }

    void feedback_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("mailClient");
        QTest::newRow("nothing typed") << QString() << true;
        QTest::newRow("no mail client") << "Great & quick" << false;
        QTest::newRow("sent") << "Great & quick" << true;
    }

    void feedback() {
        QFETCH(QString, typed);
        QFETCH(bool, mailClient);
        const bool sent = mailClient && !typed.isEmpty();
        auto* feedback = results({})->feedbackWindow();
        auto* view = feedback->feedbackView();
        recovery()->resultViewController()->clickFeedBack();
        QCOMPARE(view->toPlainText(), QString(app::kFeedbackPlaceholder));
        QTest::mouseClick(view->viewport(), Qt::LeftButton); // the placeholder goes on the first click
        QTest::keyClicks(view, typed);
        QTest::mouseClick(view->viewport(), Qt::LeftButton); // typed text stays
        QCOMPARE(view->toPlainText(), typed);
        feedback->feedbackEmailVaule()->setText("me@example.org");
        platform->workspace.succeed = mailClient;
        QTest::mouseClick(feedback->sendButton(), Qt::LeftButton);
        QCOMPARE(feedback->isVisible(), !sent);
        QCOMPARE(delegate->bFeedBack(), sent);
        const auto opened = platform->workspace.opened();
        QCOMPARE(opened.size(), typed.isEmpty() ? 0u : 1u);
        if (sent) {
            const QUrl mail(QString::fromStdString(opened.back()));
            QCOMPARE(mail.scheme(), QString("mailto"));
            const QString body = mail.query(QUrl::FullyDecoded);
            QVERIFY2(body.contains("Great & quick") && body.contains("Reply to: me@example.org"), qPrintable(body));
        } else {
            QTest::mouseClick(feedback->dontSendButton(), Qt::LeftButton);
            QVERIFY(!feedback->isVisible());
        }
    }

    void jobSwitcherShowsTheAudiobooksPageAndComesBack() {
        delegate->openLeftDrawer();
        QTest::mouseClick(delegate->jobSwitcher()->buttonFor(app::Job::Audiobooks), Qt::LeftButton);
        QCOMPARE(delegate->currentJob(), app::Job::Audiobooks);
        QVERIFY(delegate->audiobooks()->isVisible());
        QVERIFY(!recovery()->isVisible());
        QVERIFY(!delegate->resultDrawer()->isVisible());
        QCOMPARE(windowSizes(), QList<QSize>(3, app::AudiobookPage::kSize + kStrip));
        QVERIFY(delegate->audiobooks()->importButton()->isVisible());
        QTest::mouseClick(delegate->jobSwitcher()->buttonFor(app::Job::Recovery), Qt::LeftButton);
        QCOMPARE(delegate->currentJob(), app::Job::Recovery);
        QVERIFY(delegate->jobSwitcher()->buttonFor(app::Job::Recovery)->isChecked());
        QVERIFY(recovery()->isVisible());
        QCOMPARE(windowSizes(), QList<QSize>(3, kHomeSize));
    }

    void drawerOpensAndClosesOnTheSameSide() {
        delegate->openLeftDrawer();
        const QPoint opened = delegate->resultDrawer()->pos();
        delegate->toggleLeftDrawer();
        QVERIFY(!delegate->resultDrawer()->isVisible());
        delegate->toggleLeftDrawer();
        QVERIFY(delegate->resultDrawer()->isVisible());
        QCOMPARE(delegate->resultDrawer()->pos(), opened);
    }

    // The category buttons follow the scanners the session ran, from the registry, not code per
    // button: the full edition enables every category with a registered scanner, and not one whose
    // scanners are taken out of the registry; the notes edition enables Notes alone.
    void resultViewEnablesTheCategoriesWhoseScannersRan() {
        ScannerRegistry& registry = ScannerRegistry::shared();
        struct Restore {
            std::vector<ScannerEntry> taken;
            ~Restore() {
                for (const auto& e : taken) {
                    ScannerRegistry::shared().add(e);
                }
            }
        } restore;
        for (const auto& e : registry.entries()) {
            if (e.category == Category::PhotoAndVideo) {
                restore.taken.push_back(e);
                registry.remove(e.name);
            }
        }
        recovery()->useSampleBackups();
        for (const Edition edition : {Edition::Full, Edition::Notes}) {
            const auto expected = categoriesOf(registry.edition(edition));
            delegate->recoverySession().setEdition(edition);
            delegate->showJob(app::Job::Audiobooks); // the finished scan brings its results to the front
            recovery()->diskTableView()->selectRow(0);
            recovery()->actScanIOSBackupFile();
            QTRY_VERIFY_WITH_TIMEOUT(!recovery()->isScanRunning(), 20000);
            auto* rv = recovery()->resultViewController();
            QCOMPARE(delegate->currentJob(), app::Job::Recovery);
            for (Category category : kAllCategories) {
                QCOMPARE(rv->buttonFor(category)->isEnabled(), expected.contains(category));
            }
            QVERIFY(!rv->buttonFor(Category::PhotoAndVideo)->isEnabled());
            QVERIFY(rv->buttonFor(Category::Note)->isEnabled());
            QCOMPARE(expected.size(), edition == Edition::Notes ? 1u : 4u);
            QCOMPARE(rv->currentTableView(), rv->tableFor(Category::Note));
            platform->alerts.answerNextAlert(0);
            rv->actHome();
            QVERIFY(recovery()->mainView()->isVisible());
        }
    }

    // The preference "Scan every category": off at first; ticked, it is remembered and the next scan
    // fills every category's pane from the sample that has them all. A new start keeps the choice,
    // unless the command line names an edition; unticked, scans read the notes alone again.
    void scanEveryCategoryPreferenceChoosesTheFullEdition() {
        const auto preference = [this] {
            delegate->ClickPerference();
            return delegate->prefernceWindow()->scanEveryCategoryBox();
        };
        QCOMPARE(delegate->recoverySession().edition(), Edition::Notes);
        QVERIFY(!preference()->isChecked());
        preference()->click();
        QCOMPARE(platform->defaults.stringForKey(app::kScanEveryCategoryKey), std::optional<std::string>("YES"));
        QCOMPARE(delegate->recoverySession().edition(), Edition::Full);

        recovery()->useSampleBackups();
        const auto& backups = recovery()->deviceController().arrangedObjects();
        const auto maya = std::find_if(backups.begin(), backups.end(), [](const auto& b) {
            return b->strDeviceName() == std::optional<std::string>("Maya's iPhone");
        });
        QVERIFY(maya != backups.end());
        recovery()->diskTableView()->selectRow(static_cast<int>(maya - backups.begin()));
        recovery()->actScanIOSBackupFile();
        QTRY_VERIFY_WITH_TIMEOUT(!recovery()->isScanRunning(), 20000);
        auto* rv = recovery()->resultViewController();
        const std::vector<std::pair<Category, int>> rows = {{Category::PhotoAndVideo, 3},
                                                            {Category::Contact, 7},
                                                            {Category::Message, 12},
                                                            {Category::Note, 4},
                                                            {Category::CallHistory, 8}};
        for (const auto& [category, count] : rows) {
            QVERIFY(rv->buttonFor(category)->isEnabled());
            QTest::mouseClick(rv->buttonFor(category), Qt::LeftButton);
            QCOMPARE(rv->currentTableView(), rv->tableFor(category));
            QCOMPARE(rv->tableFor(category)->model()->rowCount(), count);
        }

        const auto restart = [this](std::optional<Edition> edition) {
            delegate.reset();
            app::AppOptions options;
            options.commandLineRoot = root->path().toStdString();
            options.bookListPath = data.filePath("imported-books").toStdString();
            options.edition = edition;
            delegate = std::make_unique<app::QuarrowAppDelegate>(options);
        };
        restart(std::nullopt);
        QCOMPARE(delegate->recoverySession().edition(), Edition::Full);
        QVERIFY(preference()->isChecked());
        restart(Edition::Notes);
        QCOMPARE(delegate->recoverySession().edition(), Edition::Notes);
        QVERIFY(!preference()->isChecked());
        preference()->click();
        preference()->click();
        QCOMPARE(platform->defaults.stringForKey(app::kScanEveryCategoryKey), std::optional<std::string>("NO"));
        QCOMPARE(delegate->recoverySession().edition(), Edition::Notes);
    }
};

QTEST_MAIN(AppShellTest)
#include "AppShellTest.moc"
