#include "AudiobookPage.h"

#include "AppStyle.h"
#include "AudioConverterPanel.h"
#include "AudioFilesPanel.h"
#include "BookGrid.h"

#include "audiobook/BookFiles.h"
#include "audiobook/BookImport.h"
#include "audiobook/ConversionQueue.h"
#include "platform/Alerts.h"
#include "platform/NotificationCenter.h"
#include "platform/Platform.h"
#include "platform/Process.h"

#include <QButtonGroup>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>

#include <algorithm>

namespace quarrow::app {

namespace {

// How many problems the alert after an import names one by one; the rest are counted.
constexpr std::size_t kProblemsNamed = 8;

QString books(std::size_t n) {
    return n == 1 ? QString("1 book") : QString("%1 books").arg(n);
}

} // namespace

AudiobookPage::AudiobookPage(MainThread& mainThread, const AudiobookOptions& options, QWidget* parent)
    : QWidget(parent) {
    setObjectName("audiobookPage");
    setFixedSize(kSize);

    std::optional<BookListStore> store;
    if (options.bookListPath) {
        store.emplace(*options.bookListPath);
    }
    library_ = std::make_unique<BookLibrary>(mainThread, ImportOptions{}, std::move(store));

    // The header band, as on the backup list.
    auto* header = new QLabel(this);
    header->setGeometry(0, 0, kSize.width(), 96);
    header->setPixmap(imageNamed("header", header->size(), devicePixelRatioF()));
    header->setScaledContents(true);
    auto* title = textLabel(this, "audiobookTitlelab", "Audiobooks", uiFont("Lucida Grande", 26, true));
    title->setGeometry(24, 18, 500, 34);
    auto* subtitle =
        textLabel(this, "audiobookSubtitlelab", "Import PDF, ePub, HTML, text and RTF books to read them aloud",
                  uiFont("Lucida Grande", 13));
    subtitle->setGeometry(25, 54, 640, 22);
    for (QLabel* l : {title, subtitle}) {
        QPalette p = l->palette();
        p.setColor(QPalette::WindowText, Qt::white);
        l->setPalette(p);
    }

    // The view switch (imported books, system library) and the list's actions.
    auto* bar = new QWidget(this);
    bar->setGeometry(16, 104, kLibraryWidth - 32, 34);
    auto* barLayout = new QHBoxLayout(bar);
    barLayout->setContentsMargins(0, 0, 0, 0);
    barLayout->setSpacing(0);
    booksButton_ = new QPushButton("My Books", bar);
    booksButton_->setObjectName("booksBtn");
    libraryButton_ = new QPushButton("Book Library", bar);
    libraryButton_->setObjectName("purchasedBtn");
    auto* views = new QButtonGroup(this);
    audioButton_ = new QPushButton("Audio Files", bar);
    audioButton_->setObjectName("audioFilesBtn");
    audioButton_->setToolTip("The audio files made from your books: play, convert to M4B or MP3, add to Music");
    for (QPushButton* b : {booksButton_, libraryButton_, audioButton_}) {
        b->setCheckable(true);
        b->setFont(uiFont("Lucida Grande", 12, true));
        b->setMinimumWidth(130);
        views->addButton(b);
        barLayout->addWidget(b);
    }
    barLayout->addStretch(1);
    removeButton_ = new QPushButton("Remove", bar);
    removeButton_->setObjectName("removeBookBtn");
    removeButton_->setToolTip("Take the selected books off the list (the files stay where they are)");
    importButton_ = new QPushButton("Import Books…", bar);
    importButton_->setObjectName("importBooksBtn");
    importButton_->setToolTip("Choose PDF, ePub, HTML, text or RTF files to add (Ctrl+O)");
    importButton_->setDefault(true);
    for (QPushButton* b : {removeButton_, importButton_}) {
        b->setFont(uiFont("Lucida Grande", 12, true));
        b->setMinimumWidth(120);
        barLayout->addSpacing(8);
        barLayout->addWidget(b);
    }

    setAcceptDrops(true);
    grid_ = new BookGridView(this);
    grid_->setGeometry(16, 146, kLibraryWidth - 32, 370);
    model_ = new BookGridModel(*library_, this);
    grid_->setModel(model_);
    audioFiles_ = new AudioFilesPanel(systemProcessRunner(), mainThread, this);
    audioFiles_->setGeometry(grid_->geometry());
    audioFiles_->hide();

    status_ = textLabel(this, "bookStatuslab", QString(), uiFont("Lucida Grande", 12));
    status_->setGeometry(18, 526, 520, 22);
    QPalette muted = status_->palette();
    muted.setColor(QPalette::WindowText, kMutedColor);
    status_->setPalette(muted);
    progress_ = new QProgressBar(this);
    progress_->setObjectName("importProgress");
    progress_->setGeometry(kLibraryWidth - 16 - 260, 529, 260, 16);
    progress_->setTextVisible(false);
    progress_->hide();

    bookMenu_ = new QMenu(this);
    bookMenu_->setObjectName("bookMenu");
    QAction* remove = bookMenu_->addAction("Remove from List");
    remove->setObjectName("removeFromListAction");

    // Speaking the selected books: the converter's settings, Convert button and progress.
    converter_ =
        new AudioConverterPanel(ConversionQueue::shared(), espeakEngine(), Platform::current().defaults(), this);
    converter_->setGeometry(kLibraryWidth, 104, AudioConverterPanel::kWidth, kSize.height() - 104 - 12);
    converter_->setBookSelection([this] { return selectedBooks(); });
    QAction* convert = bookMenu_->addAction("Convert to Audio");
    convert->setObjectName("convertToAudioAction");
    connect(convert, &QAction::triggered, this, [this] { converter_->convertBooks(selectedBooks()); });

    connect(converter_, &AudioConverterPanel::audioFileAdded, audioFiles_, &AudioFilesPanel::addFile);
    connect(audioFiles_, &AudioFilesPanel::countChanged, this, [this] { updateButtons(); });
    connect(audioButton_, &QPushButton::clicked, this, [this] { showAudioFiles(true); });

    connect(importButton_, &QPushButton::clicked, this,
            [] { NotificationCenter::defaultCenter().post(kAudioButtonMouseDown, std::string(kImportBookButton)); });
    buttonObserver_ =
        NotificationCenter::defaultCenter().addObserver(kAudioButtonMouseDown, [this](const Notification& n) {
            if (const std::string* button = n.text()) {
                AudiobuttonMouseDownHandle(*button);
            }
        });
    connect(removeButton_, &QPushButton::clicked, this, &AudiobookPage::removeFromList);
    connect(remove, &QAction::triggered, this, &AudiobookPage::removeFromList);
    connect(booksButton_, &QPushButton::clicked, this, [this] {
        showAudioFiles(false);
        library_->ActClickBooks();
    });
    connect(libraryButton_, &QPushButton::clicked, this, [this] {
        showAudioFiles(false);
        library_->ActClickPurchased();
    });
    connect(grid_->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] { updateButtons(); });
    connect(grid_, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        const QModelIndex index = grid_->indexAt(at);
        if (!index.isValid()) {
            return;
        }
        if (!grid_->selectionModel()->isSelected(index)) {
            grid_->selectionModel()->select(index, QItemSelectionModel::ClearAndSelect);
        }
        bookMenu_->popup(grid_->viewport()->mapToGlobal(at));
    });
    auto* open = new QShortcut(QKeySequence::Open, this, nullptr, nullptr, Qt::WidgetWithChildrenShortcut);
    connect(open, &QShortcut::activated, this, &AudiobookPage::importFiles);
    auto* del = new QShortcut(QKeySequence::Delete, grid_, nullptr, nullptr, Qt::WidgetShortcut);
    connect(del, &QShortcut::activated, this, &AudiobookPage::removeFromList);

    library_->setReloadHandler([this] { reload(); });
    // At start: the system library (its view first, as long as it has books), then the books kept
    // from the last run.
    startupJobs_ = 2;
    library_->exportiBookStore(options.homeFolder, [this] {
        if (library_->imageArray().empty()) {
            library_->ActClickBooks();
        }
        startupJobDone();
    });
    library_->restoreSavedBooks([this] { startupJobDone(); });
    reload();
}

AudiobookPage::~AudiobookPage() {
    NotificationCenter::defaultCenter().removeObserver(buttonObserver_);
    // The worker stops after the book it is reading; nothing it hands over reaches the widgets.
    library_.reset();
}

void AudiobookPage::startupJobDone() {
    --startupJobs_;
    updateButtons();
}

void AudiobookPage::reload() {
    model_->reload();
    grid_->setEmptyText(library_->biBooks() ? "The book library holds no books."
                                            : "No books yet.\nChoose Import Books… to add PDF, ePub, HTML, "
                                              "text or RTF files; each book's text is what will be read aloud.");
    updateButtons();
}

void AudiobookPage::updateButtons() {
    const std::size_t imported = library_->otherBookArray().size();
    const std::size_t library = library_->imageArray().size();
    booksButton_->setText(imported ? QString("My Books (%1)").arg(imported) : QString("My Books"));
    libraryButton_->setText(QString("Book Library (%1)").arg(library));
    // The system library's view only exists when there is one: on most Linux homes there is not,
    // and then it is not mentioned at all.
    libraryButton_->setVisible(library > 0 || library_->biBooks());
    const int audio = static_cast<int>(audioFiles_->list().size());
    audioButton_->setText(audio ? QString("Audio Files (%1)").arg(audio) : QString("Audio Files"));
    booksButton_->setChecked(!showingAudio_ && !library_->biBooks());
    libraryButton_->setChecked(!showingAudio_ && library_->biBooks());
    audioButton_->setChecked(showingAudio_);
    removeButton_->setVisible(!showingAudio_);
    removeButton_->setEnabled(grid_->selectionModel()->hasSelection());
    importButton_->setEnabled(!importing_);
}

void AudiobookPage::AudiobuttonMouseDownHandle(const std::string& button) {
    if (button == kImportBookButton) {
        importFiles();
    } else if (button == kTestReadingButton) {
        converter_->testReading();
    } else if (button == kConvertButton) {
        converter_->CovertToAudioFile();
    }
}

void AudiobookPage::showAudioFiles(bool show) {
    showingAudio_ = show;
    grid_->setVisible(!show);
    audioFiles_->setVisible(show);
    updateButtons();
}

void AudiobookPage::importFiles() {
    if (importing_) {
        return;
    }
    const auto chosen = Platform::current().alerts().runOpenPanelForFiles(importFilesPanelRequest());
    if (!chosen || chosen->empty()) {
        return;
    }
    importPaths(*chosen);
}

void AudiobookPage::importPaths(std::vector<std::string> paths) {
    if (importing_ || paths.empty()) {
        return;
    }
    importing_ = true;
    const std::size_t total = paths.size();
    progress_->setRange(0, static_cast<int>(total));
    progress_->setValue(0);
    progress_->show();
    status_->setText(QString("Importing %1…").arg(books(total)));
    updateButtons();
    BookLibrary::ImportCallbacks callbacks;
    callbacks.progress = [this](std::size_t done, std::size_t all) {
        progress_->setValue(static_cast<int>(done));
        if (done < all) {
            status_->setText(QString("Importing %1 of %2…").arg(done + 1).arg(all));
        }
    };
    callbacks.finished = [this, total](std::vector<ImportProblem> problems) {
        importing_ = false;
        progress_->hide();
        const auto failed = static_cast<std::size_t>(
            std::count_if(problems.begin(), problems.end(), [](const ImportProblem& p) { return !p.imported; }));
        status_->setText(failed == 0 ? QString("%1 imported.").arg(books(total - failed))
                                     : QString("%1 imported, %2 not.").arg(books(total - failed)).arg(failed));
        updateButtons();
        showProblems(problems, total);
        emit importFinished();
    };
    library_->importFiles(std::move(paths), std::move(callbacks));
}

std::vector<std::string> AudiobookPage::bookFilesIn(const QList<QUrl>& urls) {
    std::vector<std::string> files;
    for (const QUrl& url : urls) {
        if (!url.isLocalFile()) {
            continue;
        }
        std::string path = QFile::encodeName(url.toLocalFile()).toStdString();
        if (bookTypeForPath(path)) {
            files.push_back(std::move(path));
        }
    }
    return files;
}

void AudiobookPage::dragEnterEvent(QDragEnterEvent* event) {
    if (!importing_ && event->mimeData()->hasUrls() && !bookFilesIn(event->mimeData()->urls()).empty()) {
        event->acceptProposedAction();
    }
}

void AudiobookPage::dropEvent(QDropEvent* event) {
    std::vector<std::string> files = bookFilesIn(event->mimeData()->urls());
    if (importing_ || files.empty()) {
        return;
    }
    event->acceptProposedAction();
    importPaths(std::move(files));
}

void AudiobookPage::showProblems(const std::vector<ImportProblem>& problems, std::size_t chosen) {
    if (problems.empty()) {
        return;
    }
    const auto failed = static_cast<std::size_t>(
        std::count_if(problems.begin(), problems.end(), [](const ImportProblem& p) { return !p.imported; }));
    AlertRequest alert;
    if (failed == 0) {
        alert.messageText = problems.size() == 1
                                ? "A book was imported with a problem."
                                : std::to_string(problems.size()) + " books were imported with problems.";
    } else if (failed == chosen) {
        alert.messageText = failed == 1 ? "The book could not be imported." : "None of the books could be imported.";
    } else {
        alert.messageText =
            std::to_string(failed) + " of the " + std::to_string(chosen) + " chosen files could not be imported.";
    }
    for (std::size_t i = 0; i < problems.size() && i < kProblemsNamed; ++i) {
        const std::string name(lastPathComponent(problems[i].path));
        alert.informativeText += (i ? "\n" : "") + name + ": " + problems[i].message;
    }
    if (problems.size() > kProblemsNamed) {
        alert.informativeText += "\n… and " + std::to_string(problems.size() - kProblemsNamed) + " more.";
    }
    alert.buttons = {" Ok "};
    Platform::current().alerts().runModal(alert);
}

std::vector<PRBookNodePtr> AudiobookPage::selectedBooks() const {
    QModelIndexList indexes = grid_->selectionModel()->selectedIndexes();
    std::sort(indexes.begin(), indexes.end(),
              [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
    std::vector<PRBookNodePtr> books;
    for (const QModelIndex& index : indexes) {
        if (const IKImageItemPtr item = library_->imageBrowserItemAtIndex(static_cast<std::size_t>(index.row()))) {
            books.push_back(item->bookNode);
        }
    }
    return books;
}

void AudiobookPage::removeFromList() {
    std::vector<int> rows;
    for (const QModelIndex& index : grid_->selectionModel()->selectedIndexes()) {
        rows.push_back(index.row());
    }
    if (rows.empty()) {
        return;
    }
    // From the last, so that each index still names its book.
    std::sort(rows.rbegin(), rows.rend());
    const int next = rows.back();
    for (const int row : rows) {
        library_->removeFromList(static_cast<std::size_t>(row));
    }
    status_->setText(QString("%1 removed from the list.").arg(books(rows.size())));
    if (model_->rowCount() > 0) {
        grid_->setCurrentIndex(model_->index(std::min(next, model_->rowCount() - 1)));
    }
    updateButtons();
}

} // namespace quarrow::app
