// The Audiobooks page through its real widgets on the offscreen platform: the open panel is answered
// from a script, the books are made by the fixtures, and the import runs on the library's worker.

#include "AppTestSupport.h"

#include "AudiobookPage.h"
#include "BookFixtures.h"
#include "BookGrid.h"

#include "audiobook/BookListStore.h"
#include "audiobook/BookStoreImport.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

#include <memory>

using namespace quarrow;
using namespace quarrow::fixtures;

namespace {

void writeFile(const QString& path, const std::string& bytes) {
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes.data(), static_cast<qint64>(bytes.size()));
}

constexpr unsigned kCoverRgb = 0x2080c0;

} // namespace

class AudiobookPageTest : public QObject {
    Q_OBJECT

    std::unique_ptr<apptest::PlatformScope> platform;
    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<app::AudiobookPage> page;

    std::string file(const QString& name) const { return dir->filePath(name).toStdString(); }
    std::string listPath() const { return file("data/imported-books"); }

    void openPage() {
        app::AudiobookOptions options;
        options.homeFolder = file("home");
        options.bookListPath = listPath();
        page = std::make_unique<app::AudiobookPage>(platform->mainThread, options);
        page->show();
        QTRY_VERIFY(page->isReady());
    }

    QStringList shownNames() const {
        QStringList names;
        for (int row = 0; row < page->bookModel()->rowCount(); ++row) {
            names << page->bookModel()->index(row).data().toString();
        }
        return names;
    }

    QColor coverCentre(int row) const {
        const QPixmap cover = page->bookModel()->index(row).data(Qt::DecorationRole).value<QPixmap>();
        const QImage image = cover.toImage();
        return image.pixelColor(image.width() / 2, image.height() / 2);
    }

    // An ePub with a blue cover, a two-page PDF, a text file, an ePub that is not an archive.
    std::vector<std::string> makeBooks() const {
        EpubSpec spec = threeChapterBook();
        spec.coverPng = makePng(40, 60, kCoverRgb);
        writeZip(file("Contes.epub"), epubFiles(spec));
        writeFile(dir->filePath("Two.pdf"), makePdf({{{"First page"}}, {{}}}, "Two Pages", "A. Writer"));
        writeFile(dir->filePath("Notes.txt"), "Plain words.");
        writeFile(dir->filePath("Broken.epub"), "not a zip archive");
        return {file("Contes.epub"), file("Two.pdf"), file("Notes.txt"), file("Broken.epub")};
    }

private slots:
    void init() {
        platform = std::make_unique<apptest::PlatformScope>();
        dir = std::make_unique<QTemporaryDir>();
        qputenv("XDG_CACHE_HOME", dir->filePath("cache").toUtf8());
    }

    void cleanup() {
        page.reset();
        dir.reset();
        platform.reset();
    }

    // The panel asks for several books of the six types; the chosen files are read on the worker,
    // each book shows as soon as it is read, and what did not import is said in one alert.
    void importsTheChosenBooksInOrderWithCoversAndReportsTheRest() {
        openPage();
        QVERIFY(page->booksButton()->isChecked());
        QVERIFY(!page->libraryButton()->isVisible()); // no system library: not mentioned
        QCOMPARE(page->bookModel()->rowCount(), 0);
        QVERIFY(!page->removeButton()->isEnabled());

        std::vector<std::string> chosen = makeBooks();
        chosen.insert(chosen.begin() + 2, file("missing.rtf"));
        platform->alerts.answerNextPanelWithFiles(chosen);
        QSignalSpy reset(page->bookModel(), &QAbstractItemModel::modelReset);
        QSignalSpy finished(page.get(), &app::AudiobookPage::importFinished);
        QTest::mouseClick(page->importButton(), Qt::LeftButton);

        const auto panels = platform->alerts.openPanelsShown();
        QCOMPARE(panels.size(), 1u);
        QVERIFY(panels[0].allowsMultipleSelection);
        QCOMPARE(panels[0].allowedFileTypes, (std::vector<std::string>{"html", "htm", "pdf", "txt", "rtf", "epub"}));
        QVERIFY(page->isImporting());
        QVERIFY(!page->importButton()->isEnabled());
        QVERIFY(page->importProgress()->isVisible());
        QCOMPARE(page->importProgress()->maximum(), 5);

        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 20000);
        QCOMPARE(shownNames(), (QStringList{"Contes.epub", "Two.pdf", "Notes.txt", "Broken.epub"}));
        QCOMPARE(reset.count(), 0); // books are added as rows, so a selection made meanwhile stays
        QVERIFY(!page->importProgress()->isVisible());
        QVERIFY(page->importButton()->isEnabled());
        QCOMPARE(page->statusLabel()->text(), QString("4 books imported, 1 not."));
        QCOMPARE(page->booksButton()->text(), QString("My Books (4)"));

        const auto alerts = platform->alerts.alertsShown();
        QCOMPARE(alerts.size(), 1u);
        QCOMPARE(QString::fromStdString(alerts[0].messageText),
                 QString("1 of the 5 chosen files could not be imported."));
        const QString details = QString::fromStdString(alerts[0].informativeText);
        QVERIFY2(details.contains("missing.rtf: The file cannot be read."), qPrintable(details));
        QVERIFY2(details.contains("Broken.epub: It is not a readable ePub archive"), qPrintable(details));

        // Covers: the ePub's own picture, the PDF's first page (white paper), a drawn binding else.
        QCOMPARE(coverCentre(0), QColor(QRgb(kCoverRgb)));
        QCOMPARE(coverCentre(1), QColor(Qt::white));
        QVERIFY(coverCentre(2) != QColor(Qt::white) && coverCentre(2) != QColor(QRgb(kCoverRgb)));
        const QString tip = page->bookModel()->index(1).data(Qt::ToolTipRole).toString();
        QVERIFY2(tip.contains("Two Pages") && tip.contains("A. Writer") && tip.contains("PDF, 2 pages"),
                 qPrintable(tip));

        // The list the next run starts from: the books that imported, in order.
        const std::vector<std::string> kept = BookListStore(listPath()).load();
        QCOMPARE(kept, (std::vector<std::string>{chosen[0], chosen[1], chosen[3], chosen[4]}));
    }

    // A cover is decoded under a tighter cap than Qt's, but Qt keeps its cap for the whole process:
    // it must be put back after each cover, or a large photo in the Photo&Video pane, decoded later
    // by the same process, would no longer show. A cover above its own cap is still refused.
    void aCoversAllocationCapEndsWithTheCover() {
        const int before = QImageReader::allocationLimit();
        QVERIFY(before > app::kCoverAllocationMiB);
        auto cover = std::make_shared<BookCover>();
        cover->bytes = makePng(40, 60, kCoverRgb);
        const QImage image = app::coverImage(cover);
        QCOMPARE(image.size(), QSize(40, 60));
        QCOMPARE(QColor(image.pixel(20, 30)), QColor(QRgb(kCoverRgb)));
        QCOMPARE(QImageReader::allocationLimit(), before);

        // A BMP is decoded at its full size whatever size is asked for: 4200 x 4200 pixels take
        // 67 MiB, above the cover's cap and below Qt's.
        QImage huge(4200, 4200, QImage::Format_RGB888);
        huge.fill(Qt::black);
        QByteArray bmp;
        QBuffer out(&bmp);
        out.open(QIODevice::WriteOnly);
        QVERIFY(huge.save(&out, "BMP"));
        huge = QImage();
        QVERIFY(!QImage::fromData(bmp, "BMP").isNull());
        auto big = std::make_shared<BookCover>();
        big->bytes = bmp.toStdString();
        QVERIFY(app::coverImage(big).isNull());
        QCOMPARE(QImageReader::allocationLimit(), before);
    }

    void aCancelledPanelImportsNothing() {
        openPage();
        platform->alerts.answerNextPanel(std::nullopt);
        QTest::mouseClick(page->importButton(), Qt::LeftButton);
        QCOMPARE(platform->alerts.panelsShown(), 1u);
        QVERIFY(!page->isImporting());
        QVERIFY(!page->importProgress()->isVisible());
        QCOMPARE(page->bookModel()->rowCount(), 0);
        QVERIFY(platform->alerts.alertsShown().empty());
        QVERIFY(BookListStore(listPath()).load().empty());
    }

    // Remove takes the selected books off the grid and off the saved list; the next run shows what
    // is left, in order, and the files themselves stay.
    void removedBooksStayRemovedInTheNextRun() {
        openPage();
        const std::vector<std::string> books = makeBooks();
        QSignalSpy finished(page.get(), &app::AudiobookPage::importFinished);
        page->importPaths({books[0], books[1], books[2]});
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 20000);
        QVERIFY(platform->alerts.alertsShown().empty());

        auto* selection = page->bookGrid()->selectionModel();
        selection->select(page->bookModel()->index(0), QItemSelectionModel::Select);
        selection->select(page->bookModel()->index(2), QItemSelectionModel::Select);
        QVERIFY(page->removeButton()->isEnabled());
        QVERIFY(page->bookMenu()->findChild<QAction*>("removeFromListAction"));
        QTest::mouseClick(page->removeButton(), Qt::LeftButton);
        QCOMPARE(shownNames(), QStringList{"Two.pdf"});
        QCOMPARE(page->statusLabel()->text(), QString("2 books removed from the list."));
        QCOMPARE(BookListStore(listPath()).load(), std::vector<std::string>{books[1]});
        QVERIFY(QFile::exists(QString::fromStdString(books[0])));

        // The next run, where Delete removes too.
        page.reset();
        openPage();
        QCOMPARE(shownNames(), QStringList{"Two.pdf"});
        page->bookGrid()->setFocus();
        page->bookGrid()->setCurrentIndex(page->bookModel()->index(0));
        QTest::keyClick(page->bookGrid(), Qt::Key_Delete);
        QCOMPARE(page->bookModel()->rowCount(), 0);
        QVERIFY(BookListStore(listPath()).load().empty());
    }

    // Files dropped on the page import like the panel's choice; only local files of the book
    // types count, and a drop holding none is refused.
    void droppedBookFilesAreImported() {
        openPage();
        const std::vector<std::string> books = makeBooks();
        QMimeData mime;
        mime.setUrls({QUrl::fromLocalFile(QString::fromStdString(books[2])),
                      QUrl::fromLocalFile(dir->filePath("a.doc")), QUrl("https://example.org/remote.pdf"),
                      QUrl::fromLocalFile(QString::fromStdString(books[1]))});
        QDragEnterEvent enter(QPoint(400, 300), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(page.get(), &enter);
        QVERIFY(enter.isAccepted());
        QSignalSpy finished(page.get(), &app::AudiobookPage::importFinished);
        QDropEvent drop(QPointF(400, 300), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(page.get(), &drop);
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 20000);
        QCOMPARE(shownNames(), (QStringList{"Notes.txt", "Two.pdf"}));
        QVERIFY(platform->alerts.alertsShown().empty());

        QMimeData none;
        none.setUrls({QUrl::fromLocalFile(dir->filePath("a.doc"))});
        QDragEnterEvent refused(QPoint(400, 300), Qt::CopyAction, &none, Qt::LeftButton, Qt::NoModifier);
        refused.ignore();
        QApplication::sendEvent(page.get(), &refused);
        QVERIFY(!refused.isAccepted());
    }

    // A home folder copied from a Mac with its book library: its books are the first view, the
    // imported ones the other, and nothing is said about either.
    void theSystemLibraryIsTheFirstViewWhenTheHomeHoldsOne() {
        const QString folder = QString::fromStdString(bookStoreFolder(file("home")));
        for (const char* name : {"Tale.epub", "Poems.epub"}) {
            for (const auto& f : epubFiles(threeChapterBook())) {
                writeFile(folder + "/" + name + "/" + QString::fromStdString(f.name), f.data);
            }
        }
        std::string entries;
        for (const char* item : {"Tale", "Poems"}) {
            entries += "<dict><key>path</key><string>" + folder.toStdString() + "/" + item +
                       ".epub</string><key>itemName</key><string>" + item + "</string></dict>";
        }
        writeFile(folder + "/Books.plist",
                  "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict><key>Books</key><array>" +
                      entries + "</array></dict></plist>");
        openPage();
        QVERIFY(page->libraryButton()->isVisible());
        QVERIFY(page->libraryButton()->isChecked());
        QCOMPARE(page->libraryButton()->text(), QString("Book Library (2)"));
        QCOMPARE(shownNames(), (QStringList{"Tale.epub", "Poems.epub"}));
        QTest::mouseClick(page->booksButton(), Qt::LeftButton);
        QCOMPARE(page->bookModel()->rowCount(), 0);
        QTest::mouseClick(page->libraryButton(), Qt::LeftButton);
        QCOMPARE(page->bookModel()->rowCount(), 2);
        QVERIFY(platform->alerts.alertsShown().empty());
    }
};

QTEST_MAIN(AudiobookPageTest)
#include "AudiobookPageTest.moc"
