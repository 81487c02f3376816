// Renders every screen of the application to PNG files for review: quarrow_screens OUTDIR.
// Runs on Qt's offscreen platform; nothing is shown and nothing is opened.

#include "AppTestSupport.h"

#include "AboutWindow.h"
#include "AppStyle.h"
#include "AudioConverterPanel.h"
#include "AudioFilesPanel.h"
#include "AudiobookPage.h"
#include "BookFixtures.h"
#include "BookGrid.h"
#include "CategoryTableModel.h"
#include "FeedbackWindow.h"
#include "MainWindow.h"
#include "PRButton.h"
#include "PRResultViewController.h"
#include "PasswordSheet.h"
#include "PreferencesWindow.h"
#include "QuarrowAppDelegate.h"
#include "RecoveryPage.h"
#include "WelcomeWindow.h"

#include "audiobook/BookListStore.h"
#include "audiobook/BookStoreImport.h"
#include "platform/NotificationCenter.h"
#include "records/ScanNotifications.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QProgressBar>
#include <QTableView>

#include <cstdio>
#include <functional>
#include <memory>

using namespace quarrow;

namespace {

// Lets the event loop run for `ms` (or until `until` holds), so pending layouts and scans land.
void settle(int ms, const std::function<bool()>& until = {}) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms && !(until && until())) {
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    }
}

bool save(QWidget* w, const QString& dir, const char* name, bool settleFirst = true) {
    if (settleFirst) {
        settle(50);
    }
    const QString path = dir + "/" + name + ".png";
    const bool ok = w->grab().save(path);
    std::fprintf(ok ? stdout : stderr, ok ? "%s\n" : "could not write %s\n", qPrintable(path));
    return ok;
}

// A shelf of generated books for the Audiobooks page: ePubs with covers, a PDF, the other kinds
// without covers of their own. Answers the file that lists them as the page's saved list.
std::string makeBookShelf(const QTemporaryDir& dir) {
    using namespace quarrow::fixtures;
    std::vector<std::string> paths;
    auto path = [&](const char* name) {
        paths.push_back(dir.filePath(name).toStdString());
        return paths.back();
    };
    auto write = [](const std::string& p, const std::string& bytes) {
        QFile f(QString::fromStdString(p));
        if (f.open(QIODevice::WriteOnly)) {
            f.write(bytes.data(), static_cast<qint64>(bytes.size()));
        }
    };
    const struct {
        const char* file;
        const char* title;
        unsigned colour;
    } epubs[] = {{"The Lighthouse Keeper.epub", "The Lighthouse Keeper", 0x2f5d7c},
                 {"Contes de la lune.epub", "Contes de la lune", 0x8c3b2a},
                 {"A Year of Gardens.epub", "A Year of Gardens", 0x4e7a3a}};
    for (const auto& e : epubs) {
        EpubSpec spec = threeChapterBook();
        spec.title = e.title;
        spec.coverPng = makePng(68, 100, e.colour);
        writeZip(path(e.file), epubFiles(spec));
    }
    write(path("Field Notes.pdf"), makePdf({{{"Field Notes", "", "Chapter one", "The morning was grey and still.",
                                              "We walked the length of the marsh."}},
                                            {{"Chapter two"}}},
                                           "Field Notes", "M. Reed"));
    write(path("Letters Home.txt"), "Dear all,\nThe journey went well.\n");
    write(path("Recipes.rtf"), "{\\rtf1\\ansi {\\fonttbl\\f0 Times;}\\f0 Bread\\par Flour, water, salt.}");
    write(path("Short Stories.html"), "<html><body><h1>Short Stories</h1><p>Once&nbsp;upon a time.</p></body></html>");
    // The system book library of a home folder copied from a Mac: two unpacked ePubs with artwork.
    const std::string library = bookStoreFolder(dir.filePath("home").toStdString());
    std::string entries;
    const struct {
        const char* item;
        unsigned colour;
    } stored[] = {{"Moby Dick", 0x1d3b5a}, {"Persuasion", 0x7a5230}};
    for (const auto& s : stored) {
        const std::string folder = library + "/" + s.item + ".epub";
        EpubSpec spec = threeChapterBook();
        spec.title = s.item;
        for (const auto& f : epubFiles(spec)) {
            QDir().mkpath(QFileInfo(QString::fromStdString(folder + "/" + f.name)).path());
            write(folder + "/" + f.name, f.data);
        }
        write(folder + "/iTunesArtwork", makePng(68, 100, s.colour));
        entries += "<dict><key>path</key><string>" + folder + "</string><key>itemName</key><string>" + s.item +
                   "</string></dict>";
    }
    write(library + "/Books.plist",
          "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict><key>Books</key><array>" + entries +
              "</array></dict></plist>");
    const std::string list = dir.filePath("imported-books").toStdString();
    BookListStore(list).save(paths);
    return list;
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    app::installAppStyle(application);
    if (argc < 2) {
        std::fprintf(stderr, "usage: quarrow_screens OUTDIR\n");
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(out);
    bool ok = true;

    apptest::PlatformScope platform;
    QTemporaryDir emptyRoot;
    QTemporaryDir bookDir;
    const std::string shelf = makeBookShelf(bookDir);
    const QString samples = QString::fromUtf8(QUARROW_SAMPLE_ROOT);
    auto homeOver = [&](const QString& root, const std::string& books = {}) {
        app::AppOptions options;
        options.commandLineRoot = root.toStdString();
        options.sampleRoot = samples;
        options.bookListPath = books.empty() ? emptyRoot.filePath("no-books").toStdString() : books;
        auto delegate = std::make_unique<app::QuarrowAppDelegate>(options);
        delegate->window()->show();
        delegate->recovery()->showIphoneDiskView();
        return delegate;
    };
    {
        // No backups in the chosen folder: the sample backups are offered, then listed.
        auto delegate = homeOver(emptyRoot.path());
        ok &= save(delegate->window(), out, "home-none");
        delegate->recovery()->useSampleBackups();
        ok &= save(delegate->window(), out, "home-samples");
        // The Audiobooks page on a first start: nothing imported, no system library.
        delegate->showJob(app::Job::Audiobooks);
        settle(5000, [&] { return delegate->audiobooks()->isReady(); });
        ok &= save(delegate->window(), out, "audiobooks-empty");
    }
    platform.host.home = bookDir.filePath("home").toStdString();
    auto delegate = homeOver(samples, shelf);
    auto* recovery = delegate->recovery();
    ok &= save(delegate->window(), out, "home-backups");
    delegate->showJob(app::Job::Audiobooks);
    auto* books = delegate->audiobooks();
    settle(20000, [&] { return books->isReady(); });
    ok &= save(delegate->window(), out, "audiobooks-library");
    books->library().ActClickBooks();
    books->bookGrid()->setFocus();
    books->bookGrid()->setCurrentIndex(books->bookModel()->index(1));
    ok &= save(delegate->window(), out, "audiobooks");
    // The import's progress as it shows when it starts (grabbed before any book is handed over).
    books->importPaths(BookListStore(shelf).load());
    ok &= save(delegate->window(), out, "audiobooks-importing", false);
    settle(10000, [&] { return !books->isImporting(); });
    ok &= save(delegate->window(), out, "audiobooks-imported");
    // Speaking a long book: the file's progress, with Cancel, beside the covers.
    {
        QFile story(bookDir.filePath("A Long Story.txt"));
        story.open(QIODevice::WriteOnly);
        for (int i = 0; i < 300; ++i) {
            story.write("The river ran past the quiet village where old stories were told at night. ");
        }
    }
    books->importPaths({bookDir.filePath("A Long Story.txt").toStdString()});
    settle(10000, [&] { return !books->isImporting(); });
    QTemporaryDir audioOut;
    auto* converter = books->converter();
    converter->setOutputFolder(audioOut.path().toStdString());
    const int last = books->bookModel()->rowCount() - 1;
    books->bookGrid()->selectionModel()->select(books->bookModel()->index(last), QItemSelectionModel::ClearAndSelect);
    books->bookGrid()->scrollTo(books->bookModel()->index(last));
    converter->CovertToAudioFile();
    settle(20000, [&] { return converter->convertProgressor()->value() >= 30 || !converter->bStartConvert(); });
    ok &= save(delegate->window(), out, "audiobooks-converting", false);
    converter->cancelConversion();
    settle(10000, [&] { return !converter->bStartConvert(); });
    // The audio list: an ePub spoken chapter by chapter, then joined into one M4B audio book.
    for (int row = 0; row < books->bookModel()->rowCount(); ++row) {
        const auto item = books->library().imageBrowserItemAtIndex(static_cast<std::size_t>(row));
        if (item && item->bookNode->fileType() == "epub") {
            books->bookGrid()->selectionModel()->select(books->bookModel()->index(row),
                                                        QItemSelectionModel::ClearAndSelect);
            break;
        }
    }
    converter->CovertToAudioFile();
    settle(30000, [&] { return !converter->bStartConvert(); });
    books->showAudioFiles(true);
    auto* audio = books->audioFiles();
    audio->audioTableView()->selectRow(0);
    audio->makeBookAudiobook(0);
    settle(10000, [&] { return audio->workProgress()->value() >= 20 || !audio->isWorking(); });
    ok &= save(delegate->window(), out, "audiobooks-audio-converting", false);
    settle(20000, [&] { return !audio->isWorking(); });
    audio->audioTableView()->selectRow(static_cast<int>(audio->list().size()) - 1);
    ok &= save(delegate->window(), out, "audiobooks-audio-files");
    books->showAudioFiles(false);
    delegate->showJob(app::Job::Recovery);
    delegate->openLeftDrawer();
    ok &= save(delegate->resultDrawer(), out, "drawer");
    delegate->closeLeftDrawer();

    // The progress pane part-way through a scan, fed through the notification contract.
    recovery->prepareResultView(recovery->deviceController().arrangedObjects().front());
    for (int i = 0; i < 12; ++i) {
        auto n = std::make_shared<PRNoteNode>();
        n->setNoteContent("note " + std::to_string(i));
        NotificationCenter::defaultCenter().post(ScanNotification::kNote, std::static_pointer_cast<PRObject>(n));
    }
    NotificationCenter::defaultCenter().post(ScanNotification::kProgress, 70LL);
    ok &= save(delegate->window(), out, "progress");
    auto* rv = recovery->resultViewController();
    delegate->recoverySession().goHome();
    rv->releaseUIMemory();
    rv->hide();
    recovery->showBackupListWindow();
    recovery->showMainView();

    // A real scan of the iPhone backup, ending on the Notes pane with a note's details.
    const auto& rows = recovery->deviceController().arrangedObjects();
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (rows[i]->strDeviceName() == std::optional<std::string>("Anna's iPhone")) {
            recovery->diskTableView()->selectRow(static_cast<int>(i));
        }
    }
    recovery->actScanIOSBackupFile();
    settle(20000, [&] { return !recovery->isScanRunning(); });
    rv->tableFor(Category::Note)->selectRow(1);
    rv->tableViewSetObjectValue(true);
    ok &= save(delegate->window(), out, "notes");
    // A deleted note's details say where it was found.
    rv->viewFor(Category::Note).setDeletedOnly(true);
    rv->modelFor(Category::Note)->reload();
    rv->tableFor(Category::Note)->selectRow(0);
    ok &= save(delegate->window(), out, "notes-deleted");
    rv->viewFor(Category::Note).setDeletedOnly(false);
    rv->modelFor(Category::Note)->reload();

    // A backup made today, scanned from home again: the note store's locked note selected.
    delegate->recoverySession().goHome();
    rv->releaseUIMemory();
    rv->hide();
    recovery->showBackupListWindow();
    recovery->showMainView();
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (rows[i]->strDeviceName() == std::optional<std::string>("Mia's iPhone")) {
            recovery->diskTableView()->selectRow(static_cast<int>(i));
        }
    }
    recovery->actScanIOSBackupFile();
    settle(20000, [&] { return !recovery->isScanRunning(); });
    rv->tableFor(Category::Note)->selectRow(3);
    rv->tableViewSetObjectValue(true);
    ok &= save(delegate->window(), out, "notes-locked");

    rv->clickFeedBack();
    ok &= save(rv->feedbackWindow(), out, "feedback");
    rv->ClickDontSendFeedBack();
    delegate->ClickAbout();
    ok &= save(delegate->aboutWindow(), out, "about");
    delegate->ClickPerference();
    ok &= save(delegate->prefernceWindow(), out, "preferences");
    delegate->ClickWelcome();
    ok &= save(delegate->leadWindow(), out, "welcome");
    delegate->leadWindow()->close();

    // The preference "Scan every category" ticked, then a scan of the backup that has every
    // category: each category's pane with its first record's details.
    delegate->prefernceWindow()->scanEveryCategoryBox()->click();
    ok &= save(delegate->prefernceWindow(), out, "preferences-every-category");
    delegate->prefernceWindow()->close();
    platform.alerts.answerNextAlert(0);
    rv->actHome();
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (rows[i]->strDeviceName() == std::optional<std::string>("Maya's iPhone")) {
            recovery->diskTableView()->selectRow(static_cast<int>(i));
        }
    }
    recovery->actScanIOSBackupFile();
    settle(20000, [&] { return !recovery->isScanRunning(); });
    const std::pair<Category, const char*> panes[] = {{Category::PhotoAndVideo, "category-photos"},
                                                      {Category::Contact, "category-contacts"},
                                                      {Category::Message, "category-messages"},
                                                      {Category::Note, "category-notes"},
                                                      {Category::CallHistory, "category-calls"}};
    for (const auto& [category, name] : panes) {
        rv->buttonFor(category)->click();
        rv->tableFor(category)->selectRow(0);
        ok &= save(delegate->window(), out, name);
    }

    // The encrypted backup scanned for every category with its password: its pictures under the
    // device's names, without a preview (they stay encrypted until saved).
    platform.alerts.answerNextAlert(0);
    rv->actHome();
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (rows[i]->bEncrypted()) {
            recovery->diskTableView()->selectRow(static_cast<int>(i));
        }
    }
    platform.passwords.answerNext("tortoise");
    recovery->actScanIOSBackupFile();
    settle(20000, [&] { return !recovery->isUnlocking() && !recovery->isScanRunning(); });
    rv->buttonFor(Category::PhotoAndVideo)->click();
    rv->tableFor(Category::PhotoAndVideo)->selectRow(1);
    ok &= save(delegate->window(), out, "category-photos-encrypted");

    // An encrypted backup: its password sheet after a wrong password, and "Unlocking…" while the
    // keys are derived.
    {
        app::PasswordSheet sheet({"Noah’s iPhone", "", true}, delegate->window());
        sheet.passwordField()->setText("not this one");
        sheet.show();
        ok &= save(&sheet, out, "password");
        sheet.close();
        app::UnlockingSheet unlocking(delegate->window());
        unlocking.show();
        ok &= save(&unlocking, out, "unlocking");
        unlocking.close();
    }
    return ok ? 0 : 1;
}
