// The converter's panel on the Audiobooks page, through its real widgets on the offscreen platform:
// the settings controls, a book spoken by the real engine into the output folder while the page
// stays responsive, cancel, and the test reading's fallback to the desktop player.

#include "AppTestSupport.h"

#include "AudioConverterPanel.h"
#include "AudioFilesPanel.h"
#include "AudiobookPage.h"
#include "BookGrid.h"
#include "SpeechSettingsPanel.h"
#include "TestReading.h"

#include "audiobook/ConversionQueue.h"
#include "platform/NotificationCenter.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QSlider>
#include <QtTest>

#include <memory>

using namespace quarrow;

class AudioConverterTest : public QObject {
    Q_OBJECT

    std::unique_ptr<apptest::PlatformScope> platform;
    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<app::AudiobookPage> page;

    app::AudioConverterPanel* converter() const { return page->converter(); }
    app::SpeechSettingsPanel* settings() const { return converter()->settings(); }
    QString out() const { return dir->filePath("out"); }

    QStringList filesOut() const {
        QStringList names;
        QDir folder(out());
        for (const QString& name : folder.entryList(QDir::Files | QDir::Hidden)) {
            names << name;
        }
        return names;
    }

    // Imports one text book and selects it in the grid.
    void importAndSelect(const QString& name, const QByteArray& text) {
        QFile f(dir->filePath(name));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(text);
        f.close();
        QSignalSpy finished(page.get(), &app::AudiobookPage::importFinished);
        page->importPaths({f.fileName().toStdString()});
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 10000);
        page->bookGrid()->selectionModel()->select(page->bookModel()->index(page->bookModel()->rowCount() - 1),
                                                   QItemSelectionModel::ClearAndSelect);
    }

private slots:
    void init() {
        platform = std::make_unique<apptest::PlatformScope>();
        dir = std::make_unique<QTemporaryDir>();
        app::AudiobookOptions options;
        options.homeFolder = dir->filePath("home").toStdString();
        page = std::make_unique<app::AudiobookPage>(platform->mainThread, options);
        page->show();
        QTRY_VERIFY(page->isReady());
        converter()->setOutputFolder(out().toStdString());
        if (!espeakEngine().available()) {
            QSKIP("espeak-ng data not installed");
        }
    }
    void cleanup() {
        ConversionQueue::shared().cancel();
        ConversionQueue::shared().waitUntilIdle();
        page.reset();
        platform.reset();
        dir.reset();
    }

    // At start: United States English with Alex, the genders without Neuter, the middle of the
    // rate slider at 175 words a minute, full volume.
    void startsWithUnitedStatesEnglish() {
        QCOMPARE(settings()->audioLanguageBtn()->currentText(), QString("English (United States)"));
        QCOMPARE(settings()->audioPersonNameBtn()->currentText(), QString("Alex"));
        QCOMPARE(settings()->audioMaleBtn()->count(), 3);
        QCOMPARE(settings()->audioSpeedBtn()->value(), 50);
        QCOMPARE(settings()->findChild<QLabel*>("rateValuelab")->text(), QString("175 wpm"));
        const SpeechSettings speech = settings()->speechSettings();
        QCOMPARE(QString::fromStdString(speech.voice), QString("en-us+m3"));
        QCOMPARE(speech.rate, 175);
        QCOMPARE(speech.volume, 100);
        QVERIFY(!converter()->findChild<QWidget*>("conversionStatusBox")->isVisible());
    }

    void languageGenderAndSliders() {
        settings()->audioLanguageBtn()->setCurrentText("German (Germany)");
        QCOMPARE(settings()->audioPersonNameBtn()->itemText(1), QString("Anna"));
        QCOMPARE(settings()->audioPersonNameBtn()->currentText(), QString("System Voice"));
        QCOMPARE(settings()->audioMaleBtn()->count(), 1);
        QCOMPARE(QString::fromStdString(settings()->speechSettings().voice), QString("de"));
        settings()->audioPersonNameBtn()->setCurrentText("Petra");
        QCOMPARE(QString::fromStdString(settings()->speechSettings().voice), QString("de+f4"));
        settings()->audioSpeedBtn()->setValue(100);
        settings()->audioVolmeBtn()->setValue(40);
        QCOMPARE(settings()->speechSettings().rate, 350);
        QCOMPARE(settings()->speechSettings().volume, 40);

        // A language the engine cannot speak says so, and nothing is queued.
        settings()->audioLanguageBtn()->setCurrentText("Japanese (Japan)");
        auto* problem = settings()->findChild<QLabel*>("voiceProblemlab");
        QVERIFY(problem->isVisible());
        QVERIFY(problem->text().contains("kanji"));
        QVERIFY(!settings()->testReadingBtn()->isEnabled());
        importAndSelect("Words.txt", "Some words.");
        converter()->CovertToAudioFile();
        QCOMPARE(platform->alerts.alertsShown().size(), std::size_t{1});
        QVERIFY(QString::fromStdString(platform->alerts.alertsShown()[0].messageText).contains("kanji"));
        QVERIFY(!converter()->bStartConvert());
    }

    void fileChoicesAreStored() {
        QVERIFY(settings()->pdfRow(0)->isChecked());
        QVERIFY(settings()->epubRow(0)->isChecked());
        settings()->pdfRow(1)->click();
        settings()->epubRow(1)->click();
        QCOMPARE(platform->defaults.stringForKey("PDFAudioWholePage"), std::optional<std::string>("YES"));
        QCOMPARE(platform->defaults.stringForKey("EpubAudioPerPage"), std::optional<std::string>("NO"));
    }

    void convertWithoutSelectionAsksForOne() {
        QTest::mouseClick(converter()->convertButton(), Qt::LeftButton);
        QCOMPARE(platform->alerts.alertsShown().size(), std::size_t{1});
        QCOMPARE(platform->alerts.alertsShown()[0].messageText, std::string(kSelectBookAlertText));
    }

    // The book is spoken on the queue's worker; the page keeps serving events, shows the progress,
    // and lists and reveals the finished file.
    void convertsTheSelectedBook() {
        importAndSelect("Short.txt", "A short book of words.");
        QSignalSpy added(converter(), &app::AudioConverterPanel::audioFileAdded);
        QSignalSpy idle(converter(), &app::AudioConverterPanel::conversionIdle);
        QTest::mouseClick(converter()->convertButton(), Qt::LeftButton);
        QVERIFY(converter()->bStartConvert());
        QVERIFY(converter()->findChild<QWidget*>("conversionStatusBox")->isVisible());
        QTRY_COMPARE_WITH_TIMEOUT(idle.count(), 1, 20000);
        QCOMPARE(added.count(), 1);
        QCOMPARE(converter()->audioArray().size(), std::size_t{1});
        QCOMPARE(filesOut(), QStringList{"Short.aiff"});
        QVERIFY(!converter()->findChild<QWidget*>("conversionStatusBox")->isVisible());
        QVERIFY(!converter()->bStartConvert());
        const auto opened = platform->workspace.opened();
        QVERIFY(!opened.empty());
        QCOMPARE(QString::fromStdString(opened.back()), "reveal:" + out() + "/Short.aiff");
        QVERIFY(platform->alerts.alertsShown().empty());
    }

    // The converter's buttons report their presses through the notification centre, and the page
    // runs the pressed one's action; a name it does not know does nothing.
    void buttonPressesTravelAsNotifications() {
        std::vector<std::string> heard;
        const auto token = NotificationCenter::defaultCenter().addObserver(
            app::kAudioButtonMouseDown, [&heard](const Notification& n) { heard.push_back(*n.text()); });
        QTest::mouseClick(converter()->convertButton(), Qt::LeftButton);
        QTest::mouseClick(page->importButton(), Qt::LeftButton);
        NotificationCenter::defaultCenter().post(app::kAudioButtonMouseDown, std::string("closedBtn"));
        NotificationCenter::defaultCenter().removeObserver(token);
        QCOMPARE(heard, (std::vector<std::string>{"convertBtn", "importBookBtn", "closedBtn"}));
        QCOMPARE(platform->alerts.alertsShown().size(), std::size_t{1});
        QCOMPARE(platform->alerts.alertsShown()[0].messageText, std::string(kSelectBookAlertText));
        QCOMPARE(platform->alerts.panelsShown(), std::size_t{1});
    }

    // The first files ever bring the tip on converting them, once; they are in the audio list.
    void theFirstFilesBringTheConversionTipOnce() {
        platform->defaults.setString(app::kFirstConversionTipKey, "NO");
        importAndSelect("Short.txt", "Tip.");
        QSignalSpy idle(converter(), &app::AudioConverterPanel::conversionIdle);
        for (int round = 1; round <= 2; ++round) {
            converter()->CovertToAudioFile();
            QTRY_COMPARE_WITH_TIMEOUT(idle.count(), round, 20000);
        }
        QCOMPARE(platform->alerts.alertsShown().size(), std::size_t{1});
        QCOMPARE(platform->alerts.alertsShown()[0].messageText, std::string("Convert Aiff to Mp3 and M4b."));
        QCOMPARE(platform->defaults.stringForKey(app::kFirstConversionTipKey), std::optional<std::string>("YES"));
        QCOMPARE(page->audioFiles()->list().size(), std::size_t{2});
    }

    void cancelLeavesNoFile() {
        QByteArray text;
        for (int i = 0; i < 400; ++i) {
            text += "This sentence is spoken many times over. ";
        }
        importAndSelect("Long.txt", text);
        QSignalSpy idle(converter(), &app::AudioConverterPanel::conversionIdle);
        converter()->CovertToAudioFile();
        QTRY_VERIFY_WITH_TIMEOUT(converter()->convertProgressor()->value() > 0, 20000);
        QTest::mouseClick(converter()->cancelButton(), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(idle.count() >= 1, 10000);
        QVERIFY(!converter()->bStartConvert());
        QVERIFY(converter()->audioArray().empty());
        QCOMPARE(filesOut(), QStringList{}); // no file, no temporary file
        QVERIFY(platform->alerts.alertsShown().empty());
    }

    void testReadingFallsBackToTheDesktopPlayer() {
        converter()->testReader()->setUseAudioOutput(false);
        QSignalSpy finished(converter()->testReader(), &app::TestReading::finished);
        QTest::mouseClick(settings()->testReadingBtn(), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 10000);
        const QString path = finished.at(0).at(1).toString();
        QVERIFY(path.endsWith("Test Reading.aiff"));
        QCOMPARE(QString::fromStdString(platform->workspace.opened().back()), "file:" + path);
        QVERIFY(settings()->testReadingBtn()->isEnabled());
        QVERIFY(!converter()->bStartConvert()); // the busy flag is the conversion's alone
    }
};

QTEST_MAIN(AudioConverterTest)
#include "AudioConverterTest.moc"
