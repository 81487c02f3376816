#include "AudioFilesPanel.h"

#include "AppStyle.h"
#include "BookGrid.h"

#include "audiobook/AudioOutputNames.h"
#include "audiobook/BookFiles.h"
#include "audiobook/MediaLibrary.h"
#include "platform/Alerts.h"
#include "platform/Platform.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>
#include <QStyle>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>

namespace quarrow::app {

namespace {

QString qs(const std::string& s) {
    return QString::fromStdString(s);
}

bool isSpokenFile(const AudioListEntry& entry) {
    return pathExtension(entry.path()) == "aiff";
}

} // namespace

AudioFileModel::AudioFileModel(const AudioFileList& list, QObject* parent) : QAbstractTableModel(parent), list_(list) {}

int AudioFileModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(list_.size());
}

int AudioFileModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant AudioFileModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) {
        return {};
    }
    switch (section) {
    case Name:
        return "Name";
    case Duration:
        return "Length";
    case Size:
        return "Size";
    case State:
        return "";
    default:
        return {};
    }
}

QVariant AudioFileModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || static_cast<std::size_t>(index.row()) >= list_.size()) {
        return {};
    }
    const AudioListEntry& entry = list_.entries()[static_cast<std::size_t>(index.row())];
    if (role == Qt::DisplayRole) {
        switch (index.column()) {
        case Name:
            return qs(entry.file->aduioName().value_or(""));
        case Duration:
            return entry.writing ? QVariant() : qs(audioDurationText(entry.seconds));
        case Size:
            return entry.writing ? QVariant() : qs(audioSizeText(entry.bytes));
        case State:
            if (entry.writing) {
                return QString("Converting… %1%").arg(entry.percent);
            }
            return entry.readers > 0 ? QString("In use") : QVariant();
        default:
            return {};
        }
    }
    if (role == Qt::DecorationRole && index.column() == Name) {
        const QImage cover = coverImage(entry.file->audioImage());
        if (!cover.isNull()) {
            // Centred in a square, so that tall and wide covers line up with the names.
            const QImage scaled = cover.scaled(24, 24, Qt::KeepAspectRatio, Qt::SmoothTransformation);
            QPixmap square(24, 24);
            square.fill(Qt::transparent);
            QPainter painter(&square);
            painter.drawImage((24 - scaled.width()) / 2, (24 - scaled.height()) / 2, scaled);
            return square;
        }
        return QApplication::style()->standardIcon(entry.writing ? QStyle::SP_BrowserReload : QStyle::SP_MediaVolume);
    }
    if (role == Qt::ToolTipRole) {
        return qs(entry.path());
    }
    if (role == Qt::TextAlignmentRole && (index.column() == Duration || index.column() == Size)) {
        return QVariant(Qt::AlignRight | Qt::AlignVCenter);
    }
    if (role == Qt::ForegroundRole && (entry.busy() || index.column() == State)) {
        return kMutedColor;
    }
    return {};
}

void AudioFileModel::reload() {
    beginResetModel();
    endResetModel();
}

void AudioFileModel::rowChanged(int row) {
    emit dataChanged(index(row, 0), index(row, ColumnCount - 1));
}

AudioFilesPanel::AudioFilesPanel(ProcessRunner& runner, MainThread& mainThread, QWidget* parent)
    : QWidget(parent), mediaFolder_(mediaLibraryFolder(Platform::current().host().homeFolder())) {
    setObjectName("audioFilesPanel");
    queue_ = std::make_unique<AudioWorkQueue>(
        runner, mainThread,
        AudioWorkQueue::Listener{[this](std::uint64_t id) { started(id); },
                                 [this](std::uint64_t id, double share) { progress(id, share); },
                                 [this](std::uint64_t id, const AudioConversionResult& r) { finished(id, r); }});

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(8);
    table_ = new QTableView(this);
    table_->setObjectName("audioTableView");
    model_ = new AudioFileModel(list_, this);
    table_->setModel(model_);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setShowGrid(false);
    table_->setAlternatingRowColors(true);
    table_->setIconSize(QSize(24, 24));
    table_->verticalHeader()->hide();
    table_->verticalHeader()->setDefaultSectionSize(30);
    table_->horizontalHeader()->setSectionResizeMode(AudioFileModel::Name, QHeaderView::Stretch);
    table_->horizontalHeader()->setSectionResizeMode(AudioFileModel::Duration, QHeaderView::Fixed);
    table_->horizontalHeader()->setSectionResizeMode(AudioFileModel::Size, QHeaderView::Fixed);
    table_->horizontalHeader()->setSectionResizeMode(AudioFileModel::State, QHeaderView::Fixed);
    table_->setColumnWidth(AudioFileModel::Duration, 80);
    table_->setColumnWidth(AudioFileModel::Size, 90);
    table_->setColumnWidth(AudioFileModel::State, 130);
    table_->horizontalHeader()->setHighlightSections(false);
    table_->setContextMenuPolicy(Qt::CustomContextMenu);
    layout->addWidget(table_, 1);

    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(8);
    const auto button = [&](const char* name, const QString& title, const QString& tip) {
        auto* b = new QPushButton(title, this);
        b->setObjectName(name);
        b->setToolTip(tip);
        b->setFont(uiFont("Lucida Grande", 12));
        buttons->addWidget(b);
        return b;
    };
    play_ = button("playAudioBtn", "Play", "Play the file in your desktop's audio player");
    reveal_ = button("showAudioBtn", "Show in Folder", "Show the file in your file manager");
    buttons->addStretch(1);
    audiobook_ = button("makeAudiobookBtn", "Make Audiobook (M4B)",
                        "Join the book's files into one M4B audio book with a chapter each, its title, author and "
                        "cover");
    audiobook_->setFont(uiFont("Lucida Grande", 12, true));
    mp3_ = button("convertMp3Btn", "Convert to MP3", "Convert the file to an MP3 that plays anywhere");
    music_ = button("addToMusicBtn", "Add to Music", "Copy the file into Audiobooks in your Music folder");
    delete_ = button("deleteAudioBtn", "Delete…", "Delete the file from the disk");
    layout->addLayout(buttons);

    statusBox_ = new QWidget(this);
    auto* statusRow = new QHBoxLayout(statusBox_);
    statusRow->setContentsMargins(0, 0, 0, 0);
    status_ = textLabel(statusBox_, "audioWorkStatuslab", QString(), uiFont("Lucida Grande", 11));
    QPalette muted = status_->palette();
    muted.setColor(QPalette::WindowText, kMutedColor);
    status_->setPalette(muted);
    progress_ = new QProgressBar(statusBox_);
    progress_->setObjectName("audioWorkProgress");
    progress_->setRange(0, 100);
    progress_->setFixedWidth(220);
    cancel_ = new QPushButton("Cancel", statusBox_);
    cancel_->setObjectName("cancelAudioWorkBtn");
    statusRow->addWidget(status_, 1);
    statusRow->addWidget(progress_);
    statusRow->addWidget(cancel_);
    statusBox_->setFixedHeight(26);
    layout->addWidget(statusBox_);
    progress_->hide();
    cancel_->hide();

    menu_ = new QMenu(this);
    menu_->setObjectName("audioMenu");
    const auto item = [this](const char* name, const QString& title, auto action) {
        QAction* a = menu_->addAction(title);
        a->setObjectName(name);
        connect(a, &QAction::triggered, this, action);
        return a;
    };
    item("playAction", "Play", [this] { PlayTheAudio(selectedRow()); });
    item("showInFolderAction", "Show in Folder", [this] { ShowinFinder(selectedRow()); });
    menu_->addSeparator();
    item("makeAudiobookAction", "Make Audiobook of the Book (M4B)", [this] { makeBookAudiobook(selectedRow()); });
    item("convertM4bAction", "Convert to M4B", [this] { ConvertAifftoM4bAction(selectedRow()); });
    item("convertMp3Action", "Convert to MP3", [this] { ConvertAifftoMp3(selectedRow()); });
    item("convertAllM4bAction", "Convert All to M4B", [this] { ConvertAllAifftoM4bAction(); });
    item("convertAllMp3Action", "Convert All to MP3", [this] { ConvertAllAifftoMp3(); });
    menu_->addSeparator();
    item("addToMusicAction", "Add to Music Folder", [this] { AddToItunesLibrary(selectedRow()); });
    item("addAllToMusicAction", "Add All to Music Folder", [this] { AddAllToITunesLibrary(); });
    menu_->addSeparator();
    item("deleteAudioAction", "Delete…", [this] { DeletedFile(selectedRow()); });

    connect(play_, &QPushButton::clicked, this, [this] { PlayTheAudio(selectedRow()); });
    connect(reveal_, &QPushButton::clicked, this, [this] { ShowinFinder(selectedRow()); });
    connect(audiobook_, &QPushButton::clicked, this, [this] { makeBookAudiobook(selectedRow()); });
    connect(mp3_, &QPushButton::clicked, this, [this] { ConvertAifftoMp3(selectedRow()); });
    connect(music_, &QPushButton::clicked, this, [this] { AddToItunesLibrary(selectedRow()); });
    connect(delete_, &QPushButton::clicked, this, [this] { DeletedFile(selectedRow()); });
    connect(cancel_, &QPushButton::clicked, this, [this] { cancelWork(); });
    connect(table_, &QTableView::doubleClicked, this, [this](const QModelIndex& index) { PlayTheAudio(index.row()); });
    connect(table_->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] { updateButtons(); });
    connect(table_, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        const QModelIndex index = table_->indexAt(at);
        if (index.isValid()) {
            table_->selectRow(index.row());
        }
        updateButtons();
        menu_->popup(table_->viewport()->mapToGlobal(at));
    });
    auto* del = new QShortcut(QKeySequence::Delete, table_, nullptr, nullptr, Qt::WidgetShortcut);
    connect(del, &QShortcut::activated, this, [this] { DeletedFile(selectedRow()); });
    auto* enter = new QShortcut(QKeySequence(Qt::Key_Return), table_, nullptr, nullptr, Qt::WidgetShortcut);
    connect(enter, &QShortcut::activated, this, [this] { PlayTheAudio(selectedRow()); });
    changed();
}

AudioFilesPanel::~AudioFilesPanel() {
    // Stops the worker (an unfinished file is removed); nothing it hands over reaches the widgets.
    queue_.reset();
}

int AudioFilesPanel::selectedRow() const {
    const QModelIndexList rows = table_->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

void AudioFilesPanel::addFile(const PRAudioNodePtr& file) {
    if (file && file->audioPath()) {
        list_.add(file);
        changed();
    }
}

void AudioFilesPanel::changed() {
    // Keep the selected file selected across the reload.
    const int row = selectedRow();
    const std::string selected = row >= 0 && static_cast<std::size_t>(row) < list_.size()
                                     ? list_.entries()[static_cast<std::size_t>(row)].path()
                                     : std::string();
    model_->reload();
    if (const auto again = list_.indexOf(selected); again && !selected.empty()) {
        table_->selectRow(static_cast<int>(*again));
    }
    updateButtons();
    showStatus();
    emit countChanged(static_cast<int>(list_.size()));
}

void AudioFilesPanel::updateButtons() {
    const int row = selectedRow();
    const bool valid = row >= 0 && static_cast<std::size_t>(row) < list_.size();
    const bool ready = valid && list_.canConvert(static_cast<std::size_t>(row));
    const bool written = valid && !list_.entries()[static_cast<std::size_t>(row)].writing;
    const bool spoken = ready && isSpokenFile(list_.entries()[static_cast<std::size_t>(row)]);
    play_->setEnabled(written);
    reveal_->setEnabled(written);
    audiobook_->setEnabled(spoken);
    mp3_->setEnabled(spoken);
    music_->setEnabled(written);
    delete_->setEnabled(ready);
    const bool anySpoken = std::any_of(list_.entries().begin(), list_.entries().end(),
                                       [](const AudioListEntry& e) { return !e.busy() && isSpokenFile(e); });
    for (QAction* a : menu_->actions()) {
        const QString name = a->objectName();
        if (name == "playAction" || name == "showInFolderAction" || name == "addToMusicAction") {
            a->setEnabled(written);
        } else if (name == "deleteAudioAction") {
            a->setEnabled(ready);
        } else if (name == "convertAllM4bAction" || name == "convertAllMp3Action") {
            a->setEnabled(anySpoken);
        } else if (name == "addAllToMusicAction") {
            a->setEnabled(!list_.entries().empty());
        } else if (!a->isSeparator()) {
            a->setEnabled(spoken);
        }
    }
}

void AudioFilesPanel::showStatus() {
    const std::size_t pending = queue_->pending();
    progress_->setVisible(pending > 0);
    cancel_->setVisible(pending > 0);
    if (pending == 0) {
        if (list_.size() == 0) {
            status_->setText("No audio files yet. Convert books to audio; their files are listed here.");
        } else {
            status_->setText(QString("%1 file%2. Double-click to play; right-click for more.")
                                 .arg(list_.size())
                                 .arg(list_.size() == 1 ? "" : "s"));
        }
        return;
    }
    const auto it = work_.find(running_);
    QString text = it == work_.end() ? QString("Starting…")
                                     : (it->second.kind == AudioWorkQueue::Task::Kind::Convert
                                            ? QString("Converting %1").arg(qs(it->second.label))
                                            : QString("Copying %1 to the Music folder").arg(qs(it->second.label)));
    if (pending > 1) {
        text += QString(", %1 more waiting").arg(pending - 1);
    }
    status_->setText(text);
}

void AudioFilesPanel::alert(const std::string& message, const std::string& detail) {
    Platform::current().alerts().runModal({message, detail, {" Ok "}});
}

void AudioFilesPanel::PlayTheAudio(int row) {
    if (row < 0 || static_cast<std::size_t>(row) >= list_.size() || list_.entries()[row].writing) {
        return;
    }
    const std::string path = list_.entries()[static_cast<std::size_t>(row)].path();
    if (!Platform::current().workspace().openFile(path)) {
        alert("The file could not be played.",
              "No audio player answered xdg-open for \"" + std::string(lastPathComponent(path)) +
                  "\". Install one, or choose one for AIFF, M4B and MP3 files in your desktop's settings.");
    }
}

void AudioFilesPanel::ShowinFinder(int row) {
    if (row < 0 || static_cast<std::size_t>(row) >= list_.size() || list_.entries()[row].writing) {
        return;
    }
    Platform::current().workspace().revealFile(list_.entries()[static_cast<std::size_t>(row)].path());
}

void AudioFilesPanel::DeletedFile(int row) {
    if (row < 0 || !list_.canDelete(static_cast<std::size_t>(row))) {
        return;
    }
    const std::string name = list_.entries()[static_cast<std::size_t>(row)].file->aduioName().value_or("");
    // Cancel is the default: nothing is deleted without a person saying so.
    const int answer =
        Platform::current().alerts().runModal({"Delete \"" + name + "\"?",
                                               "The file is removed from the disk. This cannot be undone.",
                                               {"Cancel", "Delete"}});
    if (answer != 1) {
        return;
    }
    if (const auto problem = list_.deleteFile(static_cast<std::size_t>(row))) {
        alert("The file could not be deleted.", *problem);
    }
    changed();
}

void AudioFilesPanel::convert(std::optional<AudioConversionJob> job, bool reveal) {
    if (!job) {
        return;
    }
    Work work;
    work.kind = AudioWorkQueue::Task::Kind::Convert;
    work.intendedPath = job->folder + "/" + job->stem + audioFormatExtension(job->format);
    for (const AudioPart& part : job->parts) {
        work.inputs.push_back(part.path);
    }
    work.label = std::string(lastPathComponent(work.intendedPath));
    work.reveal = reveal;
    list_.beginWriting(work.intendedPath, work.inputs, job->cover);
    AudioWorkQueue::Task task;
    task.job = std::move(*job);
    const std::uint64_t id = queue_->enqueue(std::move(task));
    work_[id] = std::move(work);
    changed();
}

void AudioFilesPanel::ConvertAifftoM4bAction(int row) {
    if (row < 0 || !list_.canConvert(static_cast<std::size_t>(row))) {
        return;
    }
    convert(fileConversionJob(*list_.entries()[static_cast<std::size_t>(row)].file, AudioFormat::M4B), true);
}

void AudioFilesPanel::ConvertAifftoMp3(int row) {
    if (row < 0 || !list_.canConvert(static_cast<std::size_t>(row))) {
        return;
    }
    convert(fileConversionJob(*list_.entries()[static_cast<std::size_t>(row)].file, AudioFormat::MP3), true);
}

void AudioFilesPanel::makeBookAudiobook(int row) {
    if (row < 0 || !list_.canConvert(static_cast<std::size_t>(row))) {
        return;
    }
    const PRAudioNodePtr& chosen = list_.entries()[static_cast<std::size_t>(row)].file;
    const PRBookNodePtr book = chosen->book();
    if (!book) {
        ConvertAifftoM4bAction(row);
        return;
    }
    // Every listed file spoken from the same book; one still busy keeps the book from being joined.
    std::vector<PRAudioNodePtr> files;
    for (const AudioListEntry& entry : list_.entries()) {
        if (entry.file->book() == book && isSpokenFile(entry)) {
            if (entry.busy()) {
                alert("The book's files are still in use.",
                      "\"" + entry.file->aduioName().value_or("") +
                          "\" is being converted or copied; make the audiobook when that is done.");
                return;
            }
            files.push_back(entry.file);
        }
    }
    const std::string path = chosen->audioPath().value_or("");
    const std::string folder = path.substr(0, path.rfind('/'));
    convert(bookConversionJob(files, AudioFormat::M4B, folder), true);
}

void AudioFilesPanel::ConvertAllAifftoM4bAction() {
    std::vector<PRAudioNodePtr> files;
    for (const AudioListEntry& entry : list_.entries()) {
        if (!entry.busy() && isSpokenFile(entry)) {
            files.push_back(entry.file);
        }
    }
    for (const PRAudioNodePtr& file : files) {
        convert(fileConversionJob(*file, AudioFormat::M4B), false);
    }
}

void AudioFilesPanel::ConvertAllAifftoMp3() {
    std::vector<PRAudioNodePtr> files;
    for (const AudioListEntry& entry : list_.entries()) {
        if (!entry.busy() && isSpokenFile(entry)) {
            files.push_back(entry.file);
        }
    }
    for (const PRAudioNodePtr& file : files) {
        convert(fileConversionJob(*file, AudioFormat::MP3), false);
    }
}

void AudioFilesPanel::copyToMusic(int row) {
    const std::string path = list_.entries()[static_cast<std::size_t>(row)].path();
    Work work;
    work.kind = AudioWorkQueue::Task::Kind::CopyToMediaLibrary;
    work.inputs = {path};
    work.label = std::string(lastPathComponent(path));
    list_.beginReading(work.inputs);
    AudioWorkQueue::Task task;
    task.kind = AudioWorkQueue::Task::Kind::CopyToMediaLibrary;
    task.file = path;
    task.mediaFolder = mediaFolder_;
    work_[queue_->enqueue(std::move(task))] = std::move(work);
}

void AudioFilesPanel::AddToItunesLibrary(int row) {
    if (row < 0 || static_cast<std::size_t>(row) >= list_.size() || list_.entries()[row].writing) {
        return;
    }
    copyToMusic(row);
    changed();
}

void AudioFilesPanel::AddAllToITunesLibrary() {
    for (std::size_t row = 0; row < list_.size(); ++row) {
        if (!list_.entries()[row].writing) {
            copyToMusic(static_cast<int>(row));
        }
    }
    changed();
}

void AudioFilesPanel::cancelWork() {
    queue_->cancel();
    status_->setText("Cancelling…");
}

void AudioFilesPanel::started(std::uint64_t id) {
    running_ = id;
    progress_->setValue(0);
    showStatus();
}

void AudioFilesPanel::progress(std::uint64_t id, double share) {
    const auto it = work_.find(id);
    if (it == work_.end()) {
        return;
    }
    const int percent = static_cast<int>(share * 100);
    progress_->setValue(percent);
    if (const auto row = list_.indexOf(it->second.intendedPath)) {
        list_.setPercent(*row, percent);
        model_->rowChanged(static_cast<int>(*row));
    }
}

void AudioFilesPanel::finished(std::uint64_t id, const AudioConversionResult& result) {
    const auto it = work_.find(id);
    if (it == work_.end()) {
        return;
    }
    const Work work = std::move(it->second);
    work_.erase(it);
    if (running_ == id) {
        running_ = 0;
    }
    const bool done = result.outcome == AudioConversionOutcome::Done;
    if (work.kind == AudioWorkQueue::Task::Kind::Convert) {
        list_.endWriting(work.intendedPath, work.inputs, done ? std::optional(result.path) : std::nullopt,
                         result.seconds);
    } else {
        list_.endReading(work.inputs);
    }
    changed();
    if (done && work.reveal) {
        Platform::current().workspace().revealFile(result.path);
    }
    if (result.outcome == AudioConversionOutcome::Failed) {
        if (work.kind == AudioWorkQueue::Task::Kind::Convert) {
            alert("\"" + work.label + "\" could not be made.", "The conversion failed: " + result.error + ".");
        } else {
            alert("\"" + work.label + "\" was not added to the Music folder.", result.error);
        }
    } else if (done && work.kind == AudioWorkQueue::Task::Kind::CopyToMediaLibrary && queue_->pending() == 0) {
        status_->setText(qs("Copied to " + mediaFolder_ + "."));
    }
    emit workFinished();
}

} // namespace quarrow::app
