#pragma once

#include "audiobook/AudioFileList.h"
#include "audiobook/AudioWorkQueue.h"

#include <QAbstractTableModel>
#include <QWidget>

#include <map>
#include <memory>

class QLabel;
class QMenu;
class QProgressBar;
class QPushButton;
class QTableView;

namespace quarrow {
class MainThread;
class ProcessRunner;
} // namespace quarrow

namespace quarrow::app {

// The audio list as a table: name (with the book's cover), length, size and what is being done
// with the file.
class AudioFileModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { Name, Duration, Size, State, ColumnCount };
    AudioFileModel(const AudioFileList& list, QObject* parent);
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    void reload();
    void rowChanged(int row);

private:
    const AudioFileList& list_;
};

// The converter's finished files and what can be done with them: play (the desktop's player,
// through xdg-open), show in the file manager, delete after a question, convert to an M4B audio
// book or an MP3 (one file, or a book's files joined with a chapter each), and copy into the
// Music folder's "Audiobooks" for the media players. Conversions and copies run one after another
// on a worker, with a progress bar and Cancel; a file being written or read by them can be neither
// deleted nor converted until they end.
class AudioFilesPanel : public QWidget {
    Q_OBJECT
public:
    AudioFilesPanel(ProcessRunner& runner, MainThread& mainThread, QWidget* parent = nullptr);
    ~AudioFilesPanel() override;

    // Lists a finished file (from the speech conversion).
    void addFile(const PRAudioNodePtr& file);
    const AudioFileList& list() const { return list_; }
    // Where copies for the media players go: "<Music>/Audiobooks" by default.
    void setMediaFolder(std::string folder) { mediaFolder_ = std::move(folder); }

    // The actions, on a row of the list (a row out of range, or a busy file, does nothing).
    void PlayTheAudio(int row);
    void ShowinFinder(int row);
    void DeletedFile(int row);
    void ConvertAifftoM4bAction(int row);
    void ConvertAifftoMp3(int row);
    // The row's whole book (all its listed spoken files, in order) as one M4B with chapters.
    void makeBookAudiobook(int row);
    void ConvertAllAifftoM4bAction();
    void ConvertAllAifftoMp3();
    void AddToItunesLibrary(int row);
    void AddAllToITunesLibrary();
    void cancelWork();
    bool isWorking() const { return queue_->isBusy(); }
    // The selected row, or -1.
    int selectedRow() const;

    QTableView* audioTableView() const { return table_; }
    AudioFileModel* audioModel() const { return model_; }
    QMenu* audioMenu() const { return menu_; }
    QPushButton* playButton() const { return play_; }
    QPushButton* revealButton() const { return reveal_; }
    QPushButton* audiobookButton() const { return audiobook_; }
    QPushButton* mp3Button() const { return mp3_; }
    QPushButton* musicButton() const { return music_; }
    QPushButton* deleteButton() const { return delete_; }
    QPushButton* cancelButton() const { return cancel_; }
    QProgressBar* workProgress() const { return progress_; }
    QLabel* statusLabel() const { return status_; }

signals:
    void countChanged(int files);
    // A task (conversion or copy) has ended and its result is shown.
    void workFinished();

private:
    struct Work {
        AudioWorkQueue::Task::Kind kind;
        std::string intendedPath; // for a conversion: the name it is meant to get
        std::vector<std::string> inputs;
        std::string label; // the file's or book's name, for messages
        bool reveal = false;
    };

    void convert(std::optional<AudioConversionJob> job, bool reveal);
    void copyToMusic(int row);
    void started(std::uint64_t id);
    void progress(std::uint64_t id, double share);
    void finished(std::uint64_t id, const AudioConversionResult& result);
    void changed();
    void updateButtons();
    void showStatus();
    void alert(const std::string& message, const std::string& detail);

    AudioFileList list_;
    std::unique_ptr<AudioWorkQueue> queue_;
    std::map<std::uint64_t, Work> work_;
    std::uint64_t running_ = 0;
    std::string mediaFolder_;
    AudioFileModel* model_ = nullptr;
    QTableView* table_ = nullptr;
    QMenu* menu_ = nullptr;
    QPushButton* play_ = nullptr;
    QPushButton* reveal_ = nullptr;
    QPushButton* audiobook_ = nullptr;
    QPushButton* mp3_ = nullptr;
    QPushButton* music_ = nullptr;
    QPushButton* delete_ = nullptr;
    QPushButton* cancel_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QLabel* status_ = nullptr;
    QWidget* statusBox_ = nullptr;
};

} // namespace quarrow::app
