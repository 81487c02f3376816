#include "Platform.h"

namespace quarrow {

namespace {
LinuxHost defaultHost;
MemoryUserDefaults defaultDefaults;
NonBlockingAlertPresenter defaultAlerts;
InlineMainThread defaultMainThread;
LoggingWorkspace defaultWorkspace;
NoPasswordRequest defaultPasswords;
} // namespace

Platform::Platform()
    : host_(&defaultHost), defaults_(&defaultDefaults), alerts_(&defaultAlerts), mainThread_(&defaultMainThread),
      workspace_(&defaultWorkspace), passwords_(&defaultPasswords) {}

Platform& Platform::current() {
    static Platform platform;
    return platform;
}

void Platform::setHost(Host* host) {
    host_ = host ? host : &defaultHost;
}
void Platform::setDefaults(UserDefaults* defaults) {
    defaults_ = defaults ? defaults : &defaultDefaults;
}
void Platform::setAlerts(AlertPresenter* alerts) {
    alerts_ = alerts ? alerts : &defaultAlerts;
}
void Platform::setMainThread(MainThread* mainThread) {
    mainThread_ = mainThread ? mainThread : &defaultMainThread;
}
void Platform::setWorkspace(Workspace* workspace) {
    workspace_ = workspace ? workspace : &defaultWorkspace;
}

void Platform::setPasswords(PasswordRequest* passwords) {
    passwords_ = passwords ? passwords : &defaultPasswords;
}

} // namespace quarrow
