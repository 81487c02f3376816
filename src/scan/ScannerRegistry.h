#pragma once

#include "discovery/BackupFiles.h"
#include "records/Category.h"

#include <functional>
#include <future>
#include <mutex>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace quarrow {

class ScanContext;

// A scanner: reads one kind of record from a backup folder and reports through the context's
// notification centre, ending with its progress value. It returns nothing and never stops a scan.
using ScannerFunction = std::function<void(ScanContext&, const std::string& backupFolder)>;

// What a scanner posts in its turn.
using ScannerPost = std::function<void(ScanContext&)>;
// A scanner that reads ahead: called on the scan's worker when the run starts, it finds its files
// there (a backup's files are reached from that thread only) and reads them on a thread of its own,
// posting nothing, while the scanners before it run. In its turn the run waits for what it answers
// and calls that, so that a scan posts in the same order as without it.
using ScannerAhead = std::function<std::future<ScannerPost>(ScanContext&, const std::string& backupFolder)>;

// Runs a read-ahead's work on a thread of its own; in the scanner's turn when no thread can be had.
std::future<ScannerPost> readAhead(const std::function<ScannerPost()>& work);

// What a scan needs to know about a scanner to run it and to show what it found.
struct ScannerEntry {
    std::string name;              // "scanNoteThread"
    Category category;             // whose list its records go to
    std::vector<DeviceFile> files; // the databases it reads, in the order it looks for them
    int progress = 0;              // the progress value it posts last (photos: the last of their running values)
    bool carver = false;           // rebuilds deleted records from bytes
    ScannerFunction run;
    ScannerAhead ahead = nullptr; // when given, the run reads ahead with it instead of calling `run`
};

// Which scanners a scan runs.
enum class Edition {
    Notes, // the note scanner, then the deleted-note carver: progress 70, then 96
    Full,  // every registered scanner, in the order of their progress values, which never go down
};

// Every scanner the program has. The built-in ones are listed in Scanners.cpp, one line each: a new
// SQL scanner is a file plus one line there. Tests may add and remove entries at run time.
class ScannerRegistry {
public:
    // The program's registry, holding the built-in scanners.
    static ScannerRegistry& shared();

    explicit ScannerRegistry(std::vector<ScannerEntry> entries = {});

    // Adds an entry (replacing one of the same name) / removes one; removing answers whether it was there.
    void add(ScannerEntry entry);
    bool remove(std::string_view name);
    std::vector<ScannerEntry> entries() const;

    // The entries an edition runs, in the order it runs them. The notes edition names its scanners;
    // those not registered are left out.
    std::vector<ScannerEntry> edition(Edition edition) const;

private:
    mutable std::mutex mutex_;
    std::vector<ScannerEntry> entries_;
};

// The scanners built into the program (Scanners.cpp).
std::vector<ScannerEntry> builtInScanners();

// The categories a list of entries reports into.
std::set<Category> categoriesOf(const std::vector<ScannerEntry>& entries);

} // namespace quarrow
