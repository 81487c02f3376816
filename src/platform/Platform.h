#pragma once

#include "Alerts.h"
#include "Host.h"
#include "MainThread.h"
#include "NotificationCenter.h"
#include "PasswordRequest.h"
#include "UserDefaults.h"
#include "Workspace.h"

namespace quarrow {

// The one place that says which implementation of each platform service is in use. Starts with
// the headless ones (real host, in-memory defaults, non-blocking alerts, inline main thread, no
// password); the command line, the GUI and tests replace what they need before starting work.
class Platform {
public:
    static Platform& current();

    Host& host() const { return *host_; }
    UserDefaults& defaults() const { return *defaults_; }
    AlertPresenter& alerts() const { return *alerts_; }
    MainThread& mainThread() const { return *mainThread_; }
    Workspace& workspace() const { return *workspace_; }
    PasswordRequest& passwords() const { return *passwords_; }
    NotificationCenter& notificationCenter() const { return NotificationCenter::defaultCenter(); }

    // The services are not owned; each must outlive its use. Passing nullptr restores the default.
    void setHost(Host* host);
    void setDefaults(UserDefaults* defaults);
    void setAlerts(AlertPresenter* alerts);
    void setMainThread(MainThread* mainThread);
    void setWorkspace(Workspace* workspace);
    void setPasswords(PasswordRequest* passwords);

private:
    Platform();
    Host* host_;
    UserDefaults* defaults_;
    AlertPresenter* alerts_;
    MainThread* mainThread_;
    Workspace* workspace_;
    PasswordRequest* passwords_;
};

} // namespace quarrow
