#include "CliCommands.h"

#include "CommandHelp.h"
#include "ExportCommand.h"
#include "Json.h"
#include "ScanProgress.h"
#include "discovery/PRIOSDeviceController.h"
#include "platform/Log.h"
#include "platform/Platform.h"
#include "platform/TextEscapes.h"
#include "records/ScanNotifications.h"
#include "results/NoteText.h"
#include "results/ResultCollection.h"
#include "scan/ScanRun.h"

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
                        "\"itunesVersion\": %s, \"backUpFilePath\": %s, \"deviceImage\": %s}",
                        i ? "," : "", jsonString(n.strDeviceName()).c_str(), jsonString(n.strDeviceSize()).c_str(),
                        jsonString(n.strDeviceBackUpTime()).c_str(), jsonString(n.strDeviceSerial()).c_str(),
                        jsonString(n.strDeviceType()).c_str(), jsonString(n.strIOSVersion()).c_str(),
                        jsonString(n.itunesVersion()).c_str(), jsonPath(n.backUpFilePath()).c_str(),
                        jsonString(n.deviceImage()).c_str());
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
    }
    return 0;
}

enum class ScanOutput { Readable, Json, Summary };

int commandScan(const std::vector<std::string>& args) {
    std::optional<std::string> folder;
    ScanOutput output = ScanOutput::Readable;
    bool showProgress = false;
    for (const auto& arg : args) {
        if (arg == "--json") {
            output = ScanOutput::Json;
        } else if (arg == "--progress") {
            showProgress = true;
        } else if (arg == "--summary") {
            output = ScanOutput::Summary;
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
    ResultCollection collection;
    std::vector<long long> progress;
    if (showProgress) {
        // Progress is posted on the scan's worker, which the bar follows as it goes.
        ScanProgress display = ScanProgress::onStandardError();
        NotificationCenter& nc = NotificationCenter::defaultCenter();
        const auto token = nc.addObserver(ScanNotification::kProgress, [&display](const Notification& n) {
            if (const auto* value = n.number()) {
                display.show(*value);
            }
        });
        runScan(*folder, collection, &progress);
        nc.removeObserver(token);
        display.finish();
    } else {
        runScan(*folder, collection, &progress);
    }
    const ResultCounters& c = collection.counters();

    if (output != ScanOutput::Readable) {
        std::printf("{\"backup\": %s, \"progress\": [", jsonPath(*folder).c_str());
        for (std::size_t i = 0; i < progress.size(); ++i) {
            std::printf("%s%lld", i ? ", " : "", progress[i]);
        }
        std::printf("], \"BackUpFilesNum\": %d, \"deleteeFilesNum\": %d", c.BackUpFilesNum, c.deleteeFilesNum);
        if (output == ScanOutput::Json) {
            std::printf(", \"Notes\": [");
            const auto& notes = collection.noteArray();
            for (std::size_t i = 0; i < notes.size(); ++i) {
                const auto& n = *notes[i];
                std::printf("%s\n  {\"noteTitle\": %s, \"noteContent\": %s, \"noteDate\": %s, \"uid\": %d, "
                            "\"bDeleted\": %s}",
                            i ? "," : "", jsonString(n.noteTitle()).c_str(), jsonString(n.noteContent()).c_str(),
                            jsonString(n.noteDate()).c_str(), n.uid(), n.bDeleted() ? "true" : "false");
            }
            std::printf("%s]", notes.empty() ? "" : "\n");
        }
        std::printf("}\n");
        return 0;
    }

    std::printf("Backup: %s\n", terminalText(*folder).c_str());
    std::printf("Progress:");
    for (long long p : progress) {
        std::printf(" %lld%%", p);
    }
    std::printf("\nFound %d existing and %d deleted records.\n", c.BackUpFilesNum, c.deleteeFilesNum);
    const auto& notes = collection.noteArray();
    std::printf("\nNotes (%zu)\n", notes.size());
    int index = 0;
    for (const auto& note : notes) {
        std::printf("\n%d. %s%s\n", ++index, note->bDeleted() ? "[deleted] " : "", shown(note->noteTitle()).c_str());
        if (const auto date = shown(note->noteDate()); !date.empty()) {
            std::printf("   %s\n", date.c_str());
        }
        printIndented(visibleText(note->noteContent().value_or("")), "   | ");
    }
    return 0;
}

} // namespace

void printUsage(std::FILE* out) {
    std::fputs(overviewText().c_str(), out);
}

bool runScan(const std::string& backupFolder, ResultCollection& collection, std::vector<long long>* progress) {
    if (!isFolder(backupFolder)) {
        return false;
    }
    // The scan's worker hands its finish step to this thread, which serves it from a small loop.
    MainThreadLoop loop;
    Platform& platform = Platform::current();
    MainThread* previous = &platform.mainThread();
    platform.setMainThread(&loop);

    NotificationCenter& nc = NotificationCenter::defaultCenter();
    NotificationCenter::Token token = 0;
    if (progress) {
        token = nc.addObserver(ScanNotification::kProgress, [progress](const Notification& n) {
            if (const auto* value = n.number()) {
                progress->push_back(*value);
            }
        });
    }
    collection.showView();
    {
        ScanRun run(nc, [&collection] { collection.ScanThreadFinish(); });
        run.onWorkerDone = [&loop] { loop.wake(); };
        run.ScanIOSBackFile(backupFolder);
        loop.runUntil([&run] { return run.isFinished(); });
    }
    if (progress) {
        nc.removeObserver(token);
    }
    platform.setMainThread(previous);
    return true;
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
        {"backups", commandBackups},
        {"scan", commandScan},
        {"export", runExportCommand},
    };
    const auto it = commands.find(command);
    if (it == commands.end()) {
        return usageError("unknown command: " + command);
    }
    return it->second(args);
}

} // namespace quarrow::cli
