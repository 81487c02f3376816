#pragma once

#include "BookImport.h"
#include "BookListStore.h"
#include "PRBookNode.h"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace quarrow {

class MainThread;

// One cover of the book grid. Made from a book record and never changed afterwards.
struct IKImageItem {
    std::string filePath;
    std::string fileType = "Image";
    std::string fileName;
    bool bhasCopy = false;
    std::string hasCopy;
    BookCoverPtr fileImage;
    PRBookNodePtr bookNode;
};
using IKImageItemPtr = std::shared_ptr<const IKImageItem>;

// The cover of a book record: its path, name, picture and type.
IKImageItemPtr makeImageItem(const PRBookNodePtr& book);

// A file that did not import, or imported with a problem.
struct ImportProblem {
    std::string path;
    std::string message;
    bool imported = false; // true: the book is in the list all the same
};

// The converter's lists: every book, the covers of the system library's books (the library view)
// and of the imported ones (the imported view), and which view the grid shows. Imports and the
// library read run on one worker, one job after another; what they find waits in the waiting
// lists until the main thread moves it into the shown lists, so the shown lists, the book list and
// the saved list of imported books are only ever touched on the main thread.
class BookLibrary {
public:
    // `store` keeps the imported books between runs; without one nothing is saved.
    BookLibrary(MainThread& mainThread, ImportOptions options, std::optional<BookListStore> store);
    // Stops the worker after the book it is reading; nothing reaches the main thread afterwards.
    ~BookLibrary();
    BookLibrary(const BookLibrary&) = delete;
    BookLibrary& operator=(const BookLibrary&) = delete;

    // Called on the main thread after the shown lists or the view change.
    void setReloadHandler(std::function<void()> handler) { reload_ = std::move(handler); }

    // Main thread only.
    const std::vector<PRBookNodePtr>& bookArray() const { return bookArray_; }
    const std::vector<IKImageItemPtr>& imageArray() const { return imageArray_; }
    const std::vector<IKImageItemPtr>& otherBookArray() const { return otherBookArray_; }
    bool biBooks() const { return biBooks_; }
    void ActClickPurchased(); // the library view
    void ActClickBooks();     // the imported view
    std::size_t numberOfItemsInImageBrowser() const;
    IKImageItemPtr imageBrowserItemAtIndex(std::size_t index) const;
    // Removes the book at `index` of the shown view from the grid and the book list (and from the
    // saved list); its unpacked files go once nothing uses the book. False for no such index.
    bool removeFromList(std::size_t index);
    void UpImageDataSource();
    void UpOtheBookImageDataSource();

    // Any thread: a cover waiting to be shown in the library view or the imported view.
    void addAnImageWithNode(const PRBookNodePtr& book);
    void addAnImageWithOtheBookNode(const PRBookNodePtr& book);

    struct ImportCallbacks {
        std::function<void(std::size_t done, std::size_t total)> progress;
        std::function<void(std::vector<ImportProblem>)> finished;
    };
    // Imports the files on the worker, in order; each book appears as soon as it is read. When
    // `showImported` is set the grid switches to the imported view at the end. Callbacks run on the
    // main thread.
    void importFiles(std::vector<std::string> paths, ImportCallbacks callbacks, bool showImported = true);
    // The imported books of the last run, read again (missing files are dropped quietly).
    void restoreSavedBooks(std::function<void()> finished = {});
    // The system book library under the home folder, read on the worker.
    void exportiBookStore(std::string homeFolder, std::function<void()> finished = {});

    // Whether a job is queued or running.
    bool isBusy() const;
    // Blocks until every queued job has ended (their main-thread hand-offs may still be queued).
    void waitUntilIdle();

private:
    struct Shared;
    void enqueue(std::function<void()> job);
    void post(std::function<void(BookLibrary&)> task);
    void workerLoop();
    void saveImportedList();
    void notifyReload();

    MainThread& mainThread_;
    ImportOptions options_;
    std::optional<BookListStore> store_;
    std::function<void()> reload_;

    std::vector<PRBookNodePtr> bookArray_;
    std::vector<IKImageItemPtr> imageArray_;
    std::vector<IKImageItemPtr> otherBookArray_;
    bool biBooks_ = true;
    int restoring_ = 0; // restores under way: the saved list is written when the last one ends

    std::mutex waitingMutex_;
    std::vector<IKImageItemPtr> tempImageArray_;
    std::vector<IKImageItemPtr> tempOtherBookArray_;

    // The worker's queue. `alive_` is shared with every task handed to the main thread: a task that
    // runs after the library is gone does nothing.
    std::shared_ptr<Shared> alive_;
    mutable std::mutex queueMutex_;
    std::condition_variable queueChanged_;
    std::deque<std::function<void()>> jobs_;
    bool running_ = false;
    std::atomic<bool> stopping_{false};
    std::thread worker_;
};

} // namespace quarrow
