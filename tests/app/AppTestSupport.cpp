#include "AppTestSupport.h"

#include "platform/Platform.h"

namespace quarrow::apptest {

bool RecordingWorkspace::openURL(const std::string& url) {
    std::lock_guard lock(mutex_);
    opened_.push_back(url);
    return succeed;
}

std::vector<std::string> RecordingWorkspace::opened() const {
    std::lock_guard lock(mutex_);
    return opened_;
}

namespace {

void install(Host* host, UserDefaults* defaults, AlertPresenter* alerts, MainThread* mainThread, Workspace* workspace) {
    Platform& p = Platform::current();
    p.setHost(host);
    p.setDefaults(defaults);
    p.setAlerts(alerts);
    p.setMainThread(mainThread);
    p.setWorkspace(workspace);
}

} // namespace

PlatformScope::PlatformScope() {
    defaults.setString("FirstStartData", "YES");
    defaults.setString("FirstStartData1", "YES");
    install(&host, &defaults, &alerts, &mainThread, &workspace);
    Platform::current().setPasswords(&passwords);
}

PlatformScope::~PlatformScope() {
    Platform::current().setPasswords(nullptr);
    install(nullptr, nullptr, nullptr, nullptr, nullptr);
}

} // namespace quarrow::apptest
