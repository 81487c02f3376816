#include "BookLibrary.h"

#include "BookStoreImport.h"
#include "platform/Log.h"
#include "platform/MainThread.h"

#include <algorithm>

namespace quarrow {

// What the main-thread hand-offs share with the library: its address while it lives.
// Recursive: a hand-off may end in code that lets the library go (closing its window, say).
struct BookLibrary::Shared {
    std::recursive_mutex mutex;
    BookLibrary* owner = nullptr;
};

IKImageItemPtr makeImageItem(const PRBookNodePtr& book) {
    auto item = std::make_shared<IKImageItem>();
    item->filePath = book->filePath().value_or("");
    item->fileName = book->bookName().value_or("");
    item->fileImage = book->imageIcon();
    item->fileType = book->fileType().value_or("");
    item->bookNode = book;
    return item;
}

BookLibrary::BookLibrary(MainThread& mainThread, ImportOptions options, std::optional<BookListStore> store)
    : mainThread_(mainThread), options_(options), store_(std::move(store)), alive_(std::make_shared<Shared>()) {
    alive_->owner = this;
    worker_ = std::thread([this] { workerLoop(); });
}

BookLibrary::~BookLibrary() {
    {
        std::lock_guard lock(queueMutex_);
        stopping_ = true;
        jobs_.clear();
    }
    queueChanged_.notify_all();
    worker_.join();
    std::lock_guard lock(alive_->mutex);
    alive_->owner = nullptr;
}

void BookLibrary::workerLoop() {
    for (;;) {
        std::function<void()> job;
        {
            std::unique_lock lock(queueMutex_);
            queueChanged_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
            if (stopping_) {
                return;
            }
            job = std::move(jobs_.front());
            jobs_.pop_front();
            running_ = true;
        }
        job();
        {
            std::lock_guard lock(queueMutex_);
            running_ = false;
        }
        queueChanged_.notify_all();
    }
}

void BookLibrary::enqueue(std::function<void()> job) {
    {
        std::lock_guard lock(queueMutex_);
        jobs_.push_back(std::move(job));
    }
    queueChanged_.notify_all();
}

void BookLibrary::post(std::function<void(BookLibrary&)> task) {
    mainThread_.post([shared = alive_, task = std::move(task)] {
        std::lock_guard lock(shared->mutex);
        if (shared->owner) {
            task(*shared->owner);
        }
    });
}

bool BookLibrary::isBusy() const {
    std::lock_guard lock(queueMutex_);
    return running_ || !jobs_.empty();
}

void BookLibrary::waitUntilIdle() {
    std::unique_lock lock(queueMutex_);
    queueChanged_.wait(lock, [this] { return stopping_ || (!running_ && jobs_.empty()); });
}

void BookLibrary::notifyReload() {
    if (reload_) {
        reload_();
    }
}

void BookLibrary::ActClickPurchased() {
    biBooks_ = true;
    notifyReload();
}

void BookLibrary::ActClickBooks() {
    biBooks_ = false;
    notifyReload();
}

std::size_t BookLibrary::numberOfItemsInImageBrowser() const {
    return (biBooks_ ? imageArray_ : otherBookArray_).size();
}

IKImageItemPtr BookLibrary::imageBrowserItemAtIndex(std::size_t index) const {
    const auto& source = biBooks_ ? imageArray_ : otherBookArray_;
    return index < source.size() ? source[index] : nullptr;
}

bool BookLibrary::removeFromList(std::size_t index) {
    auto& source = biBooks_ ? imageArray_ : otherBookArray_;
    if (index >= source.size()) {
        return false;
    }
    const PRBookNodePtr book = source[index]->bookNode;
    source.erase(source.begin() + static_cast<std::ptrdiff_t>(index));
    bookArray_.erase(std::remove(bookArray_.begin(), bookArray_.end(), book), bookArray_.end());
    if (!biBooks_) {
        saveImportedList();
    }
    notifyReload();
    return true;
}

void BookLibrary::addAnImageWithNode(const PRBookNodePtr& book) {
    std::lock_guard lock(waitingMutex_);
    tempImageArray_.push_back(makeImageItem(book));
}

void BookLibrary::addAnImageWithOtheBookNode(const PRBookNodePtr& book) {
    std::lock_guard lock(waitingMutex_);
    tempOtherBookArray_.push_back(makeImageItem(book));
}

void BookLibrary::UpImageDataSource() {
    std::vector<IKImageItemPtr> waiting;
    {
        std::lock_guard lock(waitingMutex_);
        waiting.swap(tempImageArray_);
    }
    for (auto& item : waiting) {
        bookArray_.push_back(item->bookNode);
        imageArray_.push_back(std::move(item));
    }
    notifyReload();
}

void BookLibrary::UpOtheBookImageDataSource() {
    std::vector<IKImageItemPtr> waiting;
    {
        std::lock_guard lock(waitingMutex_);
        waiting.swap(tempOtherBookArray_);
    }
    for (auto& item : waiting) {
        bookArray_.push_back(item->bookNode);
        otherBookArray_.push_back(std::move(item));
    }
    saveImportedList();
    notifyReload();
}

void BookLibrary::saveImportedList() {
    if (!store_ || restoring_ > 0) {
        return;
    }
    std::vector<std::string> paths;
    paths.reserve(otherBookArray_.size());
    for (const auto& item : otherBookArray_) {
        paths.push_back(item->filePath);
    }
    store_->save(paths);
}

void BookLibrary::importFiles(std::vector<std::string> paths, ImportCallbacks callbacks, bool showImported) {
    enqueue([this, paths = std::move(paths), callbacks = std::move(callbacks), showImported] {
        std::vector<ImportProblem> problems;
        for (std::size_t i = 0; i < paths.size() && !stopping_; ++i) {
            ImportOutcome outcome = importBookFile(paths[i], options_);
            if (outcome.book) {
                addAnImageWithOtheBookNode(outcome.book);
                post([](BookLibrary& library) { library.UpOtheBookImageDataSource(); });
            }
            if (!outcome.error.empty()) {
                problems.push_back({paths[i], outcome.error, false});
            } else if (!outcome.warning.empty()) {
                problems.push_back({paths[i], outcome.warning, true});
            }
            if (callbacks.progress) {
                post([done = i + 1, total = paths.size(), progress = callbacks.progress](BookLibrary&) {
                    progress(done, total);
                });
            }
        }
        post([problems = std::move(problems), finished = callbacks.finished, showImported](BookLibrary& library) {
            if (showImported) {
                library.ActClickBooks();
            }
            if (finished) {
                finished(problems);
            }
        });
    });
}

void BookLibrary::restoreSavedBooks(std::function<void()> finished) {
    if (!store_) {
        if (finished) {
            post([finished = std::move(finished)](BookLibrary&) { finished(); });
        }
        return;
    }
    ++restoring_;
    enqueue([this, finished = std::move(finished)] {
        std::size_t dropped = 0;
        for (const std::string& path : store_->load()) {
            if (stopping_) {
                break;
            }
            ImportOutcome outcome = importBookFile(path, options_);
            if (!outcome.book) {
                ++dropped;
                continue;
            }
            addAnImageWithOtheBookNode(outcome.book);
            post([](BookLibrary& library) { library.UpOtheBookImageDataSource(); });
        }
        if (dropped > 0) {
            systemLog("Book list: " + std::to_string(dropped) + " saved books can no longer be read and were dropped");
        }
        post([finished](BookLibrary& library) {
            --library.restoring_;
            library.saveImportedList();
            if (finished) {
                finished();
            }
        });
    });
}

void BookLibrary::exportiBookStore(std::string homeFolder, std::function<void()> finished) {
    enqueue([this, homeFolder = std::move(homeFolder), finished = std::move(finished)] {
        exportiBookStoreThread(
            homeFolder,
            [this](const PRBookNodePtr& book) {
                addAnImageWithNode(book);
                post([](BookLibrary& library) { library.UpImageDataSource(); });
            },
            [this] { return !stopping_; });
        post([finished](BookLibrary&) {
            if (finished) {
                finished();
            }
        });
    });
}

} // namespace quarrow
