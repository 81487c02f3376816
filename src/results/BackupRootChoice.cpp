#include "BackupRootChoice.h"

#include "platform/Host.h"
#include "platform/UserDefaults.h"

#include <cstdlib>

namespace quarrow {

namespace {

bool given(const std::optional<std::string>& text) {
    return text && !text->empty();
}

bool environmentGiven() {
    const char* root = std::getenv("QUARROW_BACKUP_ROOT");
    return root && *root;
}

} // namespace

BackupRootSource backupRootSource(const UserDefaults& defaults, const std::optional<std::string>& commandLineRoot) {
    if (given(commandLineRoot)) {
        return BackupRootSource::CommandLine;
    }
    if (environmentGiven()) {
        return BackupRootSource::Environment;
    }
    if (given(defaults.stringForKey(kBackupRootDefaultsKey))) {
        return BackupRootSource::SavedChoice;
    }
    return BackupRootSource::Default;
}

std::string effectiveBackupRoot(const Host& host, const UserDefaults& defaults,
                                const std::optional<std::string>& commandLineRoot) {
    switch (backupRootSource(defaults, commandLineRoot)) {
    case BackupRootSource::CommandLine:
        return *commandLineRoot;
    case BackupRootSource::SavedChoice:
        return *defaults.stringForKey(kBackupRootDefaultsKey);
    case BackupRootSource::Environment:
    case BackupRootSource::Default:
        break;
    }
    return defaultBackupRoot(host);
}

} // namespace quarrow
