#pragma once

#include "QtPlatform.h"

#include "platform/Alerts.h"
#include "platform/Host.h"
#include "platform/PasswordRequest.h"
#include "platform/UserDefaults.h"
#include "platform/Workspace.h"

#include <QString>
#include <QTemporaryDir>

#include <mutex>
#include <string>
#include <vector>

namespace quarrow::apptest {

// Remembers what would have been opened; answers `succeed`.
class RecordingWorkspace : public Workspace {
public:
    bool openURL(const std::string& url) override;
    bool openFile(const std::string& path) override { return openURL("file:" + path); }
    bool revealFile(const std::string& path) override { return openURL("reveal:" + path); }
    std::vector<std::string> opened() const;
    bool succeed = true;

private:
    mutable std::mutex mutex_;
    std::vector<std::string> opened_;
};

// Installs the GUI's main-thread hand-off with scripted alerts and passwords, in-memory defaults (first start
// already done) and a recording workspace for the life of the object; restores the defaults after.
class PlatformScope {
public:
    PlatformScope();
    ~PlatformScope();
    PlatformScope(const PlatformScope&) = delete;
    PlatformScope& operator=(const PlatformScope&) = delete;

    ScriptedAlertPresenter alerts;
    ScriptedPasswordRequest passwords;
    MemoryUserDefaults defaults;
    RecordingWorkspace workspace;
    app::QtMainThread mainThread;
    FixedHost host;
};

} // namespace quarrow::apptest
