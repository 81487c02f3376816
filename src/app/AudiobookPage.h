#pragma once

#include "audiobook/BookLibrary.h"

#include <QList>
#include <QUrl>
#include <QWidget>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QLabel;
class QMenu;
class QProgressBar;
class QPushButton;

namespace quarrow {
class MainThread;
}

namespace quarrow::app {

class AudioConverterPanel;
class AudioFilesPanel;
class BookGridModel;
class BookGridView;

struct AudiobookOptions {
    // Where the system book library is looked for (its folder under this home).
    std::string homeFolder;
    // Where the imported books are kept between runs; nothing keeps no list.
    std::optional<std::string> bookListPath;
};

// The Audiobooks job's page: the books to read aloud as covers on shelves, in two views (the
// imported books, and the system book library when the home folder holds one), the import through a
// multi-select open panel, and removal from the list. Files are read on the library's worker; the
// page shows each book as soon as it is read and the import's progress below the grid. A third view
// lists the audio files made from the books.
class AudiobookPage : public QWidget {
    Q_OBJECT
public:
    // The library on the left, the converter's panel (settings, progress) on the right.
    static constexpr int kLibraryWidth = 849;
    static constexpr QSize kSize{1135, 560};

    AudiobookPage(MainThread& mainThread, const AudiobookOptions& options, QWidget* parent = nullptr);
    ~AudiobookPage() override;

    QSize contentSize() const { return kSize; }

    BookLibrary& library() { return *library_; }
    BookGridView* bookGrid() const { return grid_; }
    BookGridModel* bookModel() const { return model_; }
    QPushButton* importButton() const { return importButton_; }
    QPushButton* removeButton() const { return removeButton_; }
    QPushButton* booksButton() const { return booksButton_; }
    QPushButton* libraryButton() const { return libraryButton_; }
    QProgressBar* importProgress() const { return progress_; }
    QLabel* statusLabel() const { return status_; }
    QMenu* bookMenu() const { return bookMenu_; }
    AudioConverterPanel* converter() const { return converter_; }
    // The converted files, shown in place of the covers by the "Audio Files" view.
    AudioFilesPanel* audioFiles() const { return audioFiles_; }
    QPushButton* audioFilesButton() const { return audioButton_; }
    void showAudioFiles(bool show);
    // The converter's buttons (import, test reading, convert) post their presses as
    // "AudiobuttonMouseDown" with their names; this runs the pressed button's action. Other names
    // are ignored.
    void AudiobuttonMouseDownHandle(const std::string& button);
    bool isShowingAudioFiles() const { return showingAudio_; }
    // The books selected in the grid, in grid order.
    std::vector<PRBookNodePtr> selectedBooks() const;

    // Asks for books in the open panel and imports the chosen ones on the worker.
    void importFiles();
    // Imports the given files on the worker (what the panel's choice leads to).
    void importPaths(std::vector<std::string> paths);
    bool isImporting() const { return importing_; }
    // Takes the selected books off the list.
    void removeFromList();
    // Whether the start-up reads (system library, saved list) have ended.
    bool isReady() const { return startupJobs_ == 0; }

    // The book files among dropped or pasted addresses: local files of a type the import takes.
    static std::vector<std::string> bookFilesIn(const QList<QUrl>& urls);

signals:
    // Each import's end, after its problems were shown.
    void importFinished();

protected:
    // Book files dropped on the page are imported like the panel's choice.
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void reload();
    void updateButtons();
    void showProblems(const std::vector<ImportProblem>& problems, std::size_t chosen);
    void startupJobDone();

    std::unique_ptr<BookLibrary> library_;
    BookGridModel* model_ = nullptr;
    BookGridView* grid_ = nullptr;
    QPushButton* importButton_ = nullptr;
    QPushButton* removeButton_ = nullptr;
    QPushButton* booksButton_ = nullptr;
    QPushButton* libraryButton_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QLabel* status_ = nullptr;
    QMenu* bookMenu_ = nullptr;
    AudioConverterPanel* converter_ = nullptr;
    AudioFilesPanel* audioFiles_ = nullptr;
    QPushButton* audioButton_ = nullptr;
    bool showingAudio_ = false;
    std::uint64_t buttonObserver_ = 0;
    bool importing_ = false;
    int startupJobs_ = 0;
};

} // namespace quarrow::app
