#include "CliCommands.h"

#include "AudiobookCommand.h"
#include "BookCommand.h"
#include "CommandHelp.h"
#include "ExportCommand.h"
#include "Json.h"
#include "RecordJson.h"
#include "ScanProgress.h"
#include "SpeakCommand.h"
#include "discovery/BackupFiles.h"
#include "discovery/BackupUnlock.h"
#include "discovery/PRIOSDeviceController.h"
#include "platform/Platform.h"
#include "platform/TextEscapes.h"
#include "records/Category.h"
#include "records/ScanNotifications.h"
#include "results/NoteText.h"
#include "results/RecoverySession.h"

#include <cstdio>
#include <functional>
#include <map>
#include <sys/stat.h>

namespace quarrow::cli {

namespace {

constexpr int kUsageError = 2;

int usageError(const std::string& message) {
    std::fprintf(stderr, "quarrow-cli: %s\n", terminalText(message).c_str());
    std::fprintf(stderr, "Try 'quarrow-cli --help'.\n");
    return kUsageError;
}

bool isFolder(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// What the backup says, as it may be printed on a terminal.
std::string shown(const OptText& text) {
    return terminalText(text.value_or(""));
}

void printIndented(const std::string& text, const char* indent) {
    std::size_t start = 0;
    while (start <= text.size()) {
        const auto end = text.find('\n', start);
        const std::string line = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
        std::printf("%s%s\n", indent, terminalText(line).c_str());
        if (end == std::string::npos) {
            break;
        }
        start = end + 1;
    }
}

int commandBackups(const std::vector<std::string>& args) {
    std::optional<std::string> root;
    bool json = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--json") {
            json = true;
        } else if (args[i] == "--root") {
            if (i + 1 >= args.size()) {
                return usageError("--root needs a folder");
            }
            root = argumentPath(args[++i]);
        } else {
            return usageError("unknown argument for backups: " + args[i]);
        }
    }
    const Host& host = Platform::current().host();
    const std::string backupRoot = root.value_or(defaultBackupRoot(host));
    PRIOSDeviceController controller(host);
    controller.addBackupsInRoot(backupRoot);
    const auto& rows = controller.arrangedObjects();
    if (rows.empty()) {
        Platform::current().alerts().runModal(noBackupFilesAlert());
    }
    if (json) {
        std::printf("{\"backupRoot\": %s, \"backups\": [", jsonPath(backupRoot).c_str());
        for (std::size_t i = 0; i < rows.size(); ++i) {
            const auto& n = *rows[i];
            std::printf("%s\n  {\"strDeviceName\": %s, \"strDeviceSize\": %s, \"strDeviceBackUpTime\": %s, "
                        "\"strDeviceSerial\": %s, \"strDeviceType\": %s, \"strIOSVersion\": %s, "
                        "\"itunesVersion\": %s, \"backUpFilePath\": %s, \"deviceImage\": %s, \"bEncrypted\": %s}",
                        i ? "," : "", jsonString(n.strDeviceName()).c_str(), jsonString(n.strDeviceSize()).c_str(),
                        jsonString(n.strDeviceBackUpTime()).c_str(), jsonString(n.strDeviceSerial()).c_str(),
                        jsonString(n.strDeviceType()).c_str(), jsonString(n.strIOSVersion()).c_str(),
                        jsonString(n.itunesVersion()).c_str(), jsonPath(n.backUpFilePath()).c_str(),
                        jsonString(n.deviceImage()).c_str(), n.bEncrypted() ? "true" : "false");
        }
        std::printf("%s]}\n", rows.empty() ? "" : "\n");
        return 0;
    }
    std::printf("Backup root: %s\n", terminalText(backupRoot).c_str());
    int index = 0;
    for (const auto& row : rows) {
        const auto& n = *row;
        std::printf("\n%d. %s\n", ++index, shown(n.strDeviceName()).c_str());
        std::printf("   Type:        %s (iOS %s)\n", shown(n.strDeviceType().value_or("unknown device")).c_str(),
                    shown(n.strIOSVersion()).c_str());
        std::printf("   Backed up:   %s\n", shown(n.strDeviceBackUpTime()).c_str());
        std::printf("   Serial:      %s\n", shown(n.strDeviceSerial()).c_str());
        std::printf("   Folder:      %s\n", shown(n.backUpFilePath()).c_str());
        if (n.bEncrypted()) {
            std::printf("   Encrypted:   yes (cannot be scanned yet)\n");
        }
    }
    return 0;
}

enum class ScanOutput { Readable, Json, Summary };

// `, "<list name>": [records]` for one category's master list.
template <class Node> void printJsonList(Category category, const std::vector<std::shared_ptr<Node>>& records) {
    std::printf(", \"%s\": [", std::string(categoryListName(category)).c_str());
    for (std::size_t i = 0; i < records.size(); ++i) {
        std::printf("%s\n  %s", i ? "," : "", recordJson(*records[i]).c_str());
    }
    std::printf("%s]", records.empty() ? "" : "\n");
}

// The list of every category whose scanners ran, in the order of the result view's buttons.
void printJsonLists(const RecoverySession& session) {
    const ResultCollection& c = session.collection();
    for (Category category : kAllCategories) {
        if (!session.categoryRan(category)) {
            continue;
        }
        switch (category) {
        case Category::PhotoAndVideo:
            printJsonList(category, c.photoAndVideoArray());
            break;
        case Category::Contact:
            printJsonList(category, c.contactArray());
            break;
        case Category::Message:
            printJsonList(category, c.messageArray());
            break;
        case Category::Note:
            printJsonList(category, c.noteArray());
            break;
        case Category::CallHistory:
            printJsonList(category, c.callHistoryArray());
            break;
        }
    }
}

// One category other than notes, readable: one line per record.
template <class Node, class Line>
void printReadableList(const char* caption, const std::vector<std::shared_ptr<Node>>& records, Line line) {
    std::printf("\n%s (%zu)\n", caption, records.size());
    int index = 0;
    for (const auto& r : records) {
        std::printf("%d. %s%s\n", ++index, r->bDeleted() ? "[deleted] " : "", terminalText(line(*r)).c_str());
    }
}

void printReadableNotes(const std::vector<PRNoteNodePtr>& notes) {
    std::printf("\nNotes (%zu)\n", notes.size());
    int index = 0;
    for (const auto& note : notes) {
        std::printf("\n%d. %s%s%s\n", ++index, note->bDeleted() ? "[deleted] " : "", note->bLocked() ? "[locked] " : "",
                    shown(note->noteTitle()).c_str());
        if (const auto date = shown(note->noteDate()); !date.empty()) {
            std::printf("   %s\n", date.c_str());
        }
        if (const auto folder = note->noteFolder()) {
            std::printf("   Folder: %s\n", shown(folder).c_str());
        }
        if (const auto from = note->recoveredFrom(); note->bDeleted() && from) {
            std::printf("   recovered from: %s\n", shown(from).c_str());
        }
        for (const std::string& name : note->noteAttachments()) {
            std::printf("   Attachment: %s\n", terminalText(name).c_str());
        }
        if (note->bLocked()) {
            std::printf("   | (locked: the text needs the note's password)\n");
        } else {
            printIndented(visibleText(note->noteContent().value_or("")), "   | ");
        }
    }
}

void printReadableLists(const RecoverySession& session) {
    const ResultCollection& c = session.collection();
    const auto text = [](const OptText& t) { return t.value_or(""); };
    // The other party: the contact's name with the number, or the number alone.
    const auto who = [&text](const OptText& name, const OptText& phone) {
        return text(name).empty() ? text(phone) : text(name) + " (" + text(phone) + ")";
    };
    for (Category category : kAllCategories) {
        if (!session.categoryRan(category)) {
            continue;
        }
        switch (category) {
        case Category::PhotoAndVideo:
            // Photos have no deleted state; the list is shown as the others are.
            std::printf("\nPhoto&Video (%zu)\n", c.photoAndVideoArray().size());
            for (std::size_t i = 0; i < c.photoAndVideoArray().size(); ++i) {
                const auto& r = *c.photoAndVideoArray()[i];
                std::printf("%zu. %s  %s\n", i + 1, shown(r.fileNodeName()).c_str(), shown(r.fileNodeSize()).c_str());
            }
            break;
        case Category::Contact:
            printReadableList("Contacts", c.contactArray(), [&text](const PRContactNode& r) {
                return text(r.contactName()) + "  " + text(r.contactPhone());
            });
            break;
        case Category::Message:
            printReadableList("Messages", c.messageArray(), [&text, &who](const PRMessageNode& r) {
                return text(r.messageDate()) + "  " + who(r.messageName(), r.messagePhone()) + "  " +
                       visibleText(text(r.messageContent()));
            });
            break;
        case Category::Note:
            printReadableNotes(c.noteArray());
            break;
        case Category::CallHistory:
            printReadableList("Call History", c.callHistoryArray(), [&text, &who](const PRCallHistoryNode& r) {
                return text(r.callDate()) + "  " + text(r.callType()) + "  " + who(r.callName(), r.callPhone()) + "  " +
                       text(r.callDuration());
            });
            break;
        }
    }
}

int commandScan(const std::vector<std::string>& args) {
    std::optional<std::string> folder;
    ScanOutput output = ScanOutput::Readable;
    bool showProgress = false;
    std::optional<Edition> edition;
    std::optional<std::string> passwordFile;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (const auto read = readPasswordFileOption(args, i, passwordFile); read != PasswordFileOption::NotOne) {
            if (read == PasswordFileOption::Bad) {
                return usageError("--password-file needs a file, or - for standard input");
            }
        } else if (arg == "--json") {
            output = ScanOutput::Json;
        } else if (arg == "--progress") {
            showProgress = true;
        } else if (arg == "--summary") {
            output = ScanOutput::Summary;
        } else if (const auto read = readEditionOption(args, i, edition); read != EditionOption::NotOne) {
            if (read == EditionOption::Bad) {
                return usageError("--edition needs notes or full");
            }
        } else if (!arg.empty() && arg[0] == '-' && arg != "-") {
            return usageError("unknown option for scan: " + arg);
        } else if (folder) {
            return usageError("scan takes one backup folder");
        } else {
            folder = argumentPath(arg);
        }
    }
    if (!folder) {
        return usageError("scan needs a backup folder");
    }
    if (!isFolder(*folder)) {
        return usageError("not a folder: " + *folder);
    }
    std::shared_ptr<const UnlockedBackup> unlocked;
    if (const int refused = unlockForScan(*folder, passwordFile, unlocked)) {
        return refused;
    }
    NotificationCenter& nc = Platform::current().notificationCenter();
    RecoverySession session(nc);
    session.setEdition(edition.value_or(Edition::Notes));
    std::vector<long long> progress;
    if (showProgress) {
        // Progress is posted on the scan's worker, which the bar follows as it goes.
        ScanProgress display = ScanProgress::onStandardError();
        const auto token = nc.addObserver(ScanNotification::kProgress, [&display](const Notification& n) {
            if (const auto* value = n.number()) {
                display.show(*value);
            }
        });
        session.runScan(*folder, &progress, unlocked);
        nc.removeObserver(token);
        display.finish();
    } else {
        session.runScan(*folder, &progress, unlocked);
    }
    const ResultCounters& c = session.collection().counters();

    if (output != ScanOutput::Readable) {
        std::printf("{\"backup\": %s, \"progress\": [", jsonPath(*folder).c_str());
        for (std::size_t i = 0; i < progress.size(); ++i) {
            std::printf("%s%lld", i ? ", " : "", progress[i]);
        }
        std::printf("], \"BackUpFilesNum\": %d, \"deleteeFilesNum\": %d", c.BackUpFilesNum, c.deleteeFilesNum);
        if (output == ScanOutput::Json) {
            printJsonLists(session);
        }
        std::printf("}\n");
        session.collection().keepRecordsUntilExit();
        return 0;
    }

    std::printf("Backup: %s\n", terminalText(*folder).c_str());
    std::printf("Progress:");
    for (long long p : progress) {
        std::printf(" %lld%%", p);
    }
    std::printf("\nFound %d existing and %d deleted records.\n", c.BackUpFilesNum, c.deleteeFilesNum);
    printReadableLists(session);
    session.collection().keepRecordsUntilExit();
    return 0;
}

} // namespace

void printUsage(std::FILE* out) {
    std::fputs(overviewText().c_str(), out);
}

int unlockForScan(const std::string& backupFolder, const std::optional<std::string>& passwordFile,
                  std::shared_ptr<const UnlockedBackup>& unlocked) {
    unlocked.reset();
    if (!BackupFiles::isEncrypted(backupFolder)) {
        return 0;
    }
    const auto refuse = [&backupFolder](const std::string& why) {
        std::fprintf(stderr, "quarrow-cli: %s: %s\n", terminalText(backupFolder).c_str(), why.c_str());
        return kUnreadableBackup;
    };
    if (!passwordFile) {
        return refuse(std::string(kEncryptedNoPasswordMessage) +
                      " Give it with --password-file FILE (- for standard input).");
    }
    FilePasswordRequest request(*passwordFile);
    const UnlockResult result = unlockBackup(backupFolder, {}, request, [] {
        std::fputs("Unlocking\u2026\n", stderr);
        std::fflush(stderr);
    });
    if (result.status != UnlockStatus::Unlocked) {
        return refuse(unlockMessage(result.status));
    }
    unlocked = result.unlocked;
    return 0;
}

PasswordFileOption readPasswordFileOption(const std::vector<std::string>& args, std::size_t& i,
                                          std::optional<std::string>& passwordFile) {
    if (args[i] != "--password-file") {
        return PasswordFileOption::NotOne;
    }
    if (i + 1 >= args.size() || args[i + 1].empty()) {
        return PasswordFileOption::Bad;
    }
    passwordFile = args[++i] == "-" ? std::string("-") : argumentPath(args[i]);
    return PasswordFileOption::Read;
}

std::optional<Edition> editionNamed(const std::string& name) {
    if (name == "notes") {
        return Edition::Notes;
    }
    if (name == "full") {
        return Edition::Full;
    }
    return std::nullopt;
}

EditionOption readEditionOption(const std::vector<std::string>& args, std::size_t& i, std::optional<Edition>& edition) {
    if (args[i] == "--all") {
        edition = Edition::Full;
        return EditionOption::Read;
    }
    if (args[i] != "--edition") {
        return EditionOption::NotOne;
    }
    const auto chosen = i + 1 < args.size() ? editionNamed(args[i + 1]) : std::nullopt;
    if (!chosen) {
        return EditionOption::Bad;
    }
    edition = *chosen;
    ++i;
    return EditionOption::Read;
}

int run(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) {
        printUsage(stderr);
        return kUsageError;
    }
    const std::string command = args.front();
    args.erase(args.begin());
    if (command == "--help" || command == "-h" || (command == "help" && args.empty())) {
        printUsage(stdout);
        return 0;
    }
    if (command == "--version") {
        std::printf("quarrow-cli %s\n", QUARROW_VERSION);
        return 0;
    }
    if (command == "help") {
        const CommandHelp* help = findCommandHelp(args.front());
        if (!help || args.size() > 1) {
            return usageError("help takes one command: " + args.front());
        }
        std::fputs(commandText(*help).c_str(), stdout);
        return 0;
    }
    if (const CommandHelp* help = findCommandHelp(command)) {
        for (const auto& arg : args) {
            if (arg == "--help" || arg == "-h") {
                std::fputs(commandText(*help).c_str(), stdout);
                return 0;
            }
        }
    }
    // subcommands
    static const std::map<std::string, std::function<int(const std::vector<std::string>&)>> commands{
        {"backups", commandBackups}, {"scan", commandScan},      {"export", runExportCommand},
        {"book", runBookCommand},    {"speak", runSpeakCommand}, {"audiobook", runAudiobookCommand},
    };
    const auto it = commands.find(command);
    if (it == commands.end()) {
        return usageError("unknown command: " + command);
    }
    return it->second(args);
}

} // namespace quarrow::cli
