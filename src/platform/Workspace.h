#pragma once

#include <string>

namespace quarrow {

// Hands pages and files to the desktop: the GUI opens them with the default handler; headless use
// only logs what would have been opened.
class Workspace {
public:
    virtual ~Workspace() = default;
    virtual bool openURL(const std::string& url) = 0;
    virtual bool openFile(const std::string& path) = 0;
    virtual bool revealFile(const std::string& path) = 0;
};

class LoggingWorkspace : public Workspace {
public:
    bool openURL(const std::string& url) override;
    bool openFile(const std::string& path) override;
    bool revealFile(const std::string& path) override;
};

} // namespace quarrow
