// The audio list on the Audiobooks page, through its real widgets on the offscreen platform and the
// real ffmpeg: files arrive from the converter, play and show go to the desktop, delete asks first,
// conversions run on the worker while the page stays usable and their files cannot be touched,
// failures and cancels leave nothing, and copies to the Music folder are reported.

#include "AppTestSupport.h"

#include "AudioConverterPanel.h"
#include "AudioFilesPanel.h"
#include "AudiobookPage.h"

#include "audiobook/AudioFileList.h"
#include "platform/AiffFile.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QtTest>

#include <cmath>
#include <memory>

using namespace quarrow;

class AudioFilesTest : public QObject {
    Q_OBJECT

    std::unique_ptr<apptest::PlatformScope> platform;
    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<app::AudiobookPage> page;
    PRBookNodePtr book;

    app::AudioFilesPanel* files() const { return page->audioFiles(); }
    QString folder() const { return dir->filePath("AudioBook"); }

    // A spoken file of `seconds` as the converter announces it.
    PRAudioNodePtr spoken(const std::string& stem, double seconds, int part) {
        AiffWriter writer;
        writer.open(folder().toStdString(), 22050);
        std::vector<std::int16_t> samples(static_cast<std::size_t>(seconds * 22050));
        for (std::size_t i = 0; i < samples.size(); ++i) {
            samples[i] = static_cast<std::int16_t>(6000 * std::sin(static_cast<double>(i) / 8));
        }
        writer.write(samples.data(), samples.size());
        auto node = std::make_shared<PRAudioNode>();
        node->setAudioPath(writer.finish(stem).value_or(""));
        node->setAduioName(stem + ".aiff");
        node->setBook(book);
        node->setPartNumber(part);
        node->setPartTitle("Chapter " + std::to_string(part));
        node->setSeconds(seconds);
        emit page->converter()->audioFileAdded(node);
        return node;
    }

    int rowOf(const QString& name) const {
        const auto row = files()->list().indexOf(QDir(folder()).filePath(name).toStdString());
        return row ? static_cast<int>(*row) : -1;
    }
    void select(int row) { files()->audioTableView()->selectRow(row); }
    void waitIdle() { QTRY_VERIFY_WITH_TIMEOUT(!files()->isWorking(), 10000); }
    QStringList namesOnDisk() const { return QDir(folder()).entryList(QDir::Files | QDir::Hidden, QDir::Name); }
    QString cell(int row, int column) const { return files()->audioModel()->index(row, column).data().toString(); }

private slots:
    void init() {
        platform = std::make_unique<apptest::PlatformScope>();
        dir = std::make_unique<QTemporaryDir>();
        QDir().mkpath(folder());
        app::AudiobookOptions options;
        options.homeFolder = dir->filePath("home").toStdString();
        page = std::make_unique<app::AudiobookPage>(platform->mainThread, options);
        page->show();
        QTRY_VERIFY(page->isReady());
        files()->setMediaFolder(dir->filePath("Music/Audiobooks").toStdString());
        book = std::make_shared<PRBookNode>();
        book->setBookName("Tale.epub");
        book->setTitle("A Tale");
        book->setAuthor("Ann Author");
    }
    void cleanup() {
        page.reset();
        platform.reset();
        dir.reset();
    }

    void listsFilesAndPlaysAndShowsThem() {
        QCOMPARE(page->audioFilesButton()->text(), QString("Audio Files"));
        spoken("Tale.epub -01", 1.0, 1);
        spoken("Tale.epub -02", 0.5, 2);
        QCOMPARE(page->audioFilesButton()->text(), QString("Audio Files (2)"));
        page->audioFilesButton()->click();
        QVERIFY(page->isShowingAudioFiles());
        QVERIFY(files()->isVisible());
        QCOMPARE(cell(0, app::AudioFileModel::Name), QString("Tale.epub -01.aiff"));
        QCOMPARE(cell(0, app::AudioFileModel::Duration), QString("0:01"));
        QCOMPARE(cell(0, app::AudioFileModel::Size), QString("44 KB"));

        // Nothing selected: nothing to act on.
        QVERIFY(!files()->playButton()->isEnabled());
        QVERIFY(!files()->deleteButton()->isEnabled());
        select(1);
        QVERIFY(files()->playButton()->isEnabled());
        files()->playButton()->click();
        files()->revealButton()->click();
        const std::string path = QDir(folder()).filePath("Tale.epub -02.aiff").toStdString();
        QCOMPARE(platform->workspace.opened(), (std::vector<std::string>{"file:" + path, "reveal:" + path}));
        // No player: said so.
        platform->workspace.succeed = false;
        emit files()->audioTableView()->doubleClicked(files()->audioModel()->index(1, 0));
        QCOMPARE(platform->alerts.alertsShown().back().messageText, std::string("The file could not be played."));

        // Back to the covers.
        page->booksButton()->click();
        QVERIFY(!page->isShowingAudioFiles());
        QVERIFY(!files()->isVisible());
    }

    void deleteAsksFirst() {
        spoken("Tale.epub -01", 0.3, 1);
        select(0);
        platform->alerts.answerNextAlert(0); // Cancel
        files()->deleteButton()->click();
        QCOMPARE(platform->alerts.alertsShown().back().messageText, std::string("Delete \"Tale.epub -01.aiff\"?"));
        QCOMPARE(namesOnDisk(), QStringList{"Tale.epub -01.aiff"});
        QCOMPARE(files()->list().size(), std::size_t{1});
        platform->alerts.answerNextAlert(1); // Delete
        files()->deleteButton()->click();
        QVERIFY(namesOnDisk().isEmpty());
        QCOMPARE(files()->list().size(), std::size_t{0});
    }

    void aConversionLocksItsFilesUntilItEnds() {
        page->audioFilesButton()->click();
        spoken("Tale.epub -01", 0.6, 1);
        spoken("Tale.epub -02", 0.4, 2);
        select(0);
        QSignalSpy finished(files(), &app::AudioFilesPanel::workFinished);
        files()->mp3Button()->click();
        // While it runs: the input and the file being written cannot be deleted or converted.
        const int writing = rowOf("Tale.epub -01.mp3");
        QVERIFY(writing >= 0);
        QVERIFY(cell(writing, app::AudioFileModel::State).startsWith("Converting"));
        QCOMPARE(cell(0, app::AudioFileModel::State), QString("In use"));
        QVERIFY(!files()->deleteButton()->isEnabled());
        QVERIFY(!files()->mp3Button()->isEnabled());
        files()->DeletedFile(0);
        files()->DeletedFile(writing);
        QVERIFY(platform->alerts.alertsShown().empty()); // not even asked
        QVERIFY(files()->cancelButton()->isVisible());
        QVERIFY(files()->workProgress()->isVisible());
        // The other file stays free.
        select(1);
        QVERIFY(files()->deleteButton()->isEnabled());

        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 10000);
        const int made = rowOf("Tale.epub -01.mp3");
        QVERIFY(made >= 0);
        QVERIFY(cell(made, app::AudioFileModel::State).isEmpty());
        QCOMPARE(cell(made, app::AudioFileModel::Duration), QString("0:01"));
        QVERIFY(cell(0, app::AudioFileModel::State).isEmpty());
        select(0);
        QVERIFY(files()->deleteButton()->isEnabled());
        QCOMPARE(platform->workspace.opened().back(),
                 "reveal:" + QDir(folder()).filePath("Tale.epub -01.mp3").toStdString());
        QVERIFY(!files()->cancelButton()->isVisible());

        // The whole book: one M4B, its chapters in order.
        select(1);
        files()->audiobookButton()->click();
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 2, 10000);
        QVERIFY(rowOf("Tale.m4b") >= 0);
        QCOMPARE(cell(rowOf("Tale.m4b"), app::AudioFileModel::Duration), QString("0:01"));
        QVERIFY(platform->alerts.alertsShown().empty());
        QCOMPARE(namesOnDisk(),
                 (QStringList{"Tale.epub -01.aiff", "Tale.epub -01.mp3", "Tale.epub -02.aiff", "Tale.m4b"}));
    }

    void cancelAndFailureLeaveNothing() {
        const PRAudioNodePtr cut = spoken("Cut", 1.0, 1);
        QFile::resize(QString::fromStdString(*cut->audioPath()), 15000);
        QSignalSpy finished(files(), &app::AudioFilesPanel::workFinished);
        files()->ConvertAifftoM4bAction(0);
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 10000);
        QCOMPARE(files()->list().size(), std::size_t{1});
        QVERIFY(!platform->alerts.alertsShown().empty());
        const AlertRequest failure = platform->alerts.alertsShown().back();
        QCOMPARE(failure.messageText, std::string("\"Cut.m4b\" could not be made."));
        QVERIFY2(failure.informativeText.find("instead of 1.0 s") != std::string::npos,
                 failure.informativeText.c_str());

        spoken("Long", 0.8, 1);
        files()->ConvertAllAifftoMp3(); // both files, one after another
        files()->cancelWork();
        waitIdle();
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 3, 5000);
        QCOMPARE(files()->list().size(), std::size_t{2});
        QCOMPARE(namesOnDisk(), (QStringList{"Cut.aiff", "Long.aiff"}));
        QCOMPARE(platform->alerts.alertsShown().size(), std::size_t{1}); // a cancel is no failure
    }

    void copiesToTheMusicFolderOnceAndSaysWhenNot() {
        spoken("Tale.epub -01", 0.2, 1);
        select(0);
        QSignalSpy finished(files(), &app::AudioFilesPanel::workFinished);
        files()->musicButton()->click();
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 5000);
        QVERIFY(QFile::exists(dir->filePath("Music/Audiobooks/Tale.epub -01.aiff")));
        QVERIFY(files()->statusLabel()->text().startsWith("Copied to "));
        files()->musicButton()->click();
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 2, 5000);
        QCOMPARE(platform->alerts.alertsShown().back().messageText,
                 std::string("\"Tale.epub -01.aiff\" was not added to the Music folder."));
    }
};

QTEST_MAIN(AudioFilesTest)
#include "AudioFilesTest.moc"
