#include "BookStoreImport.h"

#include "BookFiles.h"
#include "BookImport.h"
#include "EpubPackage.h"
#include "platform/Log.h"
#include "platform/PropertyList.h"

#include <algorithm>
#include <dirent.h>

namespace quarrow {

namespace {

constexpr std::uint64_t kMaxArtwork = 32u << 20;

// Names in a folder, sorted, without "." and "..".
std::vector<std::string> sortedListing(const std::string& folder) {
    std::vector<std::string> names;
    if (DIR* dir = ::opendir(folder.c_str())) {
        while (const dirent* entry = ::readdir(dir)) {
            const std::string name = entry->d_name;
            if (name != "." && name != "..") {
                names.push_back(name);
            }
        }
        ::closedir(dir);
    }
    std::sort(names.begin(), names.end());
    return names;
}

// The library's own places for chapters, used when a book has no package document: its "OEBPS"
// folder, or else the files of the book folder and of each folder in it, one level deep. Sorted,
// so the order never depends on the file system.
std::vector<std::string> libraryChapterOrder(const std::string& bookFolder) {
    std::vector<std::string> paths;
    if (isFolder(bookFolder + "/OEBPS")) {
        for (const auto& name : sortedListing(bookFolder + "/OEBPS")) {
            paths.push_back("OEBPS/" + name);
        }
        return paths;
    }
    for (const auto& name : sortedListing(bookFolder)) {
        std::string inside = bookFolder;
        inside.append("/").append(name);
        if (isFolder(inside)) {
            for (const auto& inner : sortedListing(inside)) {
                std::string path = name;
                path.append("/").append(inner);
                paths.push_back(std::move(path));
            }
        } else {
            paths.push_back(name);
        }
    }
    return paths;
}

// A path the list names, or the file of that name in the library folder: a library copied from
// another computer keeps the paths of its first home.
std::string locate(const std::string& path, const std::string& libraryFolder) {
    if (path.empty() || isRegularFile(path) || isFolder(path)) {
        return path;
    }
    const std::string local = libraryFolder + "/" + std::string(lastPathComponent(path));
    return isRegularFile(local) || isFolder(local) ? local : path;
}

PRBookNodePtr libraryBook(const PropertyList& entry, const std::string& libraryFolder) {
    auto book = std::make_shared<PRBookNode>();
    const std::string folder = locate(entry.text("path").value_or(""), libraryFolder);
    // The book's file is its place in the library; "sourcePath" names where it came from, which
    // may be gone.
    const std::string filePath = folder.empty() ? locate(entry.text("sourcePath").value_or(""), libraryFolder) : folder;
    book->setFilePath(filePath);
    const std::string ext(pathExtension(filePath));
    const std::string itemName =
        entry.text("itemName").value_or(std::string(deletingPathExtension(lastPathComponent(filePath))));
    book->setBookName(safeFileName(ext.empty() ? itemName : itemName + "." + ext));
    book->setTitle(entry.text("itemName"));
    book->setFileType(entry.text("BKBookType").value_or(ext));
    if (entry.text("fileExtension")) {
        book->setLanguageType(entry.text("primaryLanguage"));
        book->setPublisherName(entry.text("publisher"));
    } else {
        book->setLanguageType(std::string("en"));
        book->setPublisherName(std::string("Public Domain"));
    }

    BookCoverPtr cover = encodedCover(readFileBytes(folder + "/iTunesArtwork", kMaxArtwork), {});
    if (isFolder(folder)) {
        const EpubBook epub = readEpubFolder(folder, libraryChapterOrder(folder));
        if (!cover) {
            cover = encodedCover(epub.coverBytes, epub.coverMediaType);
        }
        if (!book->author()) {
            book->setAuthor(epub.author);
        }
        book->setIBookArray(makeChapterRecords(folder, epub, {book->bookName().value_or(""), itemName, true}, cover));
    }
    book->setImageIcon(cover);
    return book;
}

} // namespace

std::string bookStoreFolder(const std::string& homeFolder) {
    return homeFolder + "/Library/Containers/com.apple.BKAgentService/Data/Documents/iBooks/Books";
}

void exportiBookStoreThread(const std::string& homeFolder, const std::function<void(PRBookNodePtr)>& onBook,
                            const std::function<bool()>& keepGoing) {
    const std::string folder = bookStoreFolder(homeFolder);
    if (!isFolder(folder) || !isRegularFile(folder + "/Books.plist")) {
        return;
    }
    const auto list = PropertyList::readDictionary(folder + "/Books.plist");
    if (!list) {
        return;
    }
    for (const PropertyList& entry : list->dictionaries("Books")) {
        if (keepGoing && !keepGoing()) {
            return;
        }
        onBook(libraryBook(entry, folder));
    }
}

} // namespace quarrow
