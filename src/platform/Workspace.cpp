#include "Workspace.h"

#include "Log.h"

namespace quarrow {

bool LoggingWorkspace::openURL(const std::string& url) {
    systemLog("open URL: " + url);
    return true;
}

bool LoggingWorkspace::openFile(const std::string& path) {
    systemLog("open file: " + path);
    return true;
}

bool LoggingWorkspace::revealFile(const std::string& path) {
    systemLog("reveal file: " + path);
    return true;
}

} // namespace quarrow
