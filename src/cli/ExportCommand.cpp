#include "ExportCommand.h"

#include "CliCommands.h"
#include "Json.h"
#include "platform/Platform.h"
#include "platform/TextEscapes.h"
#include "records/Category.h"
#include "results/ExportRun.h"
#include "results/RecoverySession.h"

#include <filesystem>
#include <set>
#include <sys/stat.h>

namespace quarrow::cli {

namespace {

constexpr int kUsageError = 2;
constexpr int kWriteFailed = 1;

struct Options {
    std::string backupFolder;
    std::string exportFolder;
    bool deletedOnly = false;
    std::set<Category> categories;
    std::optional<Edition> edition;
    // Whether --category named the categories (else every category is ticked).
    bool categoriesNamed = false;
    std::optional<std::string> passwordFile;
};

int usageError(const std::string& message) {
    std::fprintf(stderr, "quarrow-cli: export: %s (see 'quarrow-cli export --help')\n", terminalText(message).c_str());
    return kUsageError;
}

// Answers the exit status of a usage error, or 0 when the options are complete.
int parse(const std::vector<std::string>& args, Options& options) {
    bool haveBackup = false;
    bool haveTarget = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--to") {
            if (i + 1 >= args.size() || args[i + 1].empty()) {
                return usageError("--to needs the export folder");
            }
            if (haveTarget) {
                return usageError("--to given twice");
            }
            options.exportFolder = argumentPath(args[++i]);
            haveTarget = true;
        } else if (const auto read = readPasswordFileOption(args, i, options.passwordFile);
                   read != PasswordFileOption::NotOne) {
            if (read == PasswordFileOption::Bad) {
                return usageError("--password-file needs a file, or - for standard input");
            }
        } else if (arg == "--deleted-only") {
            options.deletedOnly = true;
        } else if (const auto read = readEditionOption(args, i, options.edition); read != EditionOption::NotOne) {
            if (read == EditionOption::Bad) {
                return usageError("--edition needs notes or full");
            }
        } else if (arg == "--category") {
            if (i + 1 >= args.size()) {
                return usageError("--category needs Notes, Contacts, Messages, CallHistory or Photo&Video");
            }
            // One name per --category, or several joined by commas.
            const std::string& list = args[++i];
            std::size_t start = 0;
            while (true) {
                const auto comma = list.find(',', start);
                const std::string name = list.substr(start, comma == std::string::npos ? comma : comma - start);
                const auto category = categoryNamed(name);
                if (!category) {
                    return usageError("unknown category: " + name +
                                      " (use Notes, Contacts, Messages, CallHistory or Photo&Video)");
                }
                options.categories.insert(*category);
                if (comma == std::string::npos) {
                    break;
                }
                start = comma + 1;
            }
        } else if (!arg.empty() && arg[0] == '-' && arg != "-") {
            return usageError("unknown option: " + arg);
        } else if (haveBackup) {
            return usageError("export takes one backup folder");
        } else {
            options.backupFolder = argumentPath(arg);
            haveBackup = true;
        }
    }
    if (!haveBackup) {
        return usageError("export needs a backup folder");
    }
    if (!haveTarget) {
        return usageError("export needs --to DIR, the export folder to write");
    }
    options.categoriesNamed = !options.categories.empty();
    if (!options.categoriesNamed) {
        options.categories.insert(std::begin(kAllCategories), std::end(kAllCategories));
    }
    return 0;
}

bool isFolder(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool exists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

// Ticks every record of the list, or only its deleted ones, through the collection so that the
// selection count stays right.
template <class Node>
void tickRecords(ResultCollection& collection, const std::vector<std::shared_ptr<Node>>& records, bool deletedOnly) {
    std::vector<std::shared_ptr<Node>> chosen;
    for (const auto& r : records) {
        if (r && (!deletedOnly || r->bDeleted())) {
            chosen.push_back(r);
        }
    }
    collection.setSelected(chosen, true);
}

// Photos and videos have no deleted state: they are ticked only when deleted ones are not asked for.
void tickPhotos(ResultCollection& collection, bool deletedOnly) {
    if (!deletedOnly) {
        collection.setSelected(collection.photoAndVideoArray(), true);
    }
}

// The edition the export scans with: the one chosen; else the notes edition, unless --category
// names a category only the full edition scans (asking for the contacts means scanning them).
Edition exportEdition(const Options& options) {
    if (options.edition) {
        return *options.edition;
    }
    const auto notes = categoriesOf(ScannerRegistry::shared().edition(Edition::Notes));
    for (const Category c : options.categories) {
        if (options.categoriesNamed && !notes.contains(c)) {
            return Edition::Full;
        }
    }
    return Edition::Notes;
}

} // namespace

int runExportCommand(const std::vector<std::string>& args) {
    Options options;
    if (const int status = parse(args, options); status != 0) {
        return status;
    }
    if (!isFolder(options.backupFolder)) {
        return usageError("not a folder: " + options.backupFolder);
    }
    std::shared_ptr<const UnlockedBackup> unlocked;
    if (const int refused = unlockForScan(options.backupFolder, options.passwordFile, unlocked)) {
        return refused;
    }
    if (exists(options.exportFolder) && !isFolder(options.exportFolder)) {
        return usageError("not a folder: " + options.exportFolder);
    }
    // The export folder is written as a full path, as the save panel answers it.
    std::error_code ec;
    const std::filesystem::path absolute = std::filesystem::absolute(options.exportFolder, ec);
    const std::string exportFolder = ec ? options.exportFolder : absolute.lexically_normal().string();

    RecoverySession session(Platform::current().notificationCenter());
    session.setEdition(exportEdition(options));
    if (!session.runScan(options.backupFolder, nullptr, unlocked)) {
        return usageError("not a folder: " + options.backupFolder);
    }
    for (const Category c : options.categories) {
        if (options.categoriesNamed && !session.categoryRan(c)) {
            const std::string name(categoryListName(c));
            std::fprintf(stderr, "quarrow-cli: export: %s were not scanned: %s\n", name.c_str(),
                         session.edition() == Edition::Notes ? "the notes edition leaves them out (use --all)"
                                                             : "this build has no scanner for them");
        }
    }
    ResultCollection& collection = session.collection();
    const auto has = [&](Category c) { return options.categories.contains(c); };
    if (has(Category::PhotoAndVideo)) {
        tickPhotos(collection, options.deletedOnly);
    }
    if (has(Category::Contact)) {
        tickRecords(collection, collection.contactArray(), options.deletedOnly);
    }
    if (has(Category::Message)) {
        tickRecords(collection, collection.messageArray(), options.deletedOnly);
    }
    if (has(Category::Note)) {
        tickRecords(collection, collection.noteArray(), options.deletedOnly);
    }
    if (has(Category::CallHistory)) {
        tickRecords(collection, collection.callHistoryArray(), options.deletedOnly);
    }
    const std::int32_t ticked = collection.counters().selectedFilesNum;
    std::printf("Scanned %s: %d existing and %d deleted records; %d ticked for export.\n",
                terminalText(options.backupFolder).c_str(), collection.counters().BackUpFilesNum,
                collection.counters().deleteeFilesNum, ticked);
    std::fflush(stdout);

    ExportRun& run = *session.newExport(exportFolder);
    // A terminal has no file viewer to open; the folder is printed instead.
    run.openFolderWhenDone = false;
    int lastShown = -1;
    run.onRecordBegun = [&](std::int32_t) {
        const int percent = run.progressPercent();
        if (percent != lastShown) {
            lastShown = percent;
            std::printf("Exporting: %d%%\n", percent);
            std::fflush(stdout);
        }
    };
    run.recoverFilesThread();

    const auto failures = run.failures();
    std::printf("Exported %d records into %s\n", run.exportedCount(), terminalText(exportFolder).c_str());
    if (!failures.empty()) {
        std::fprintf(stderr, "quarrow-cli: export: %zu %s could not be written:\n", failures.size(),
                     failures.size() == 1 ? "item" : "items");
        for (const auto& f : failures) {
            std::fprintf(stderr, "  %s: %s\n", terminalText(f.path).c_str(), terminalText(f.reason).c_str());
        }
        return kWriteFailed;
    }
    return 0;
}

} // namespace quarrow::cli
