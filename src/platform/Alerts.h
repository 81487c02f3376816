#pragma once

#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace quarrow {

// A modal question. Button titles are shown as given, blanks included (" Ok ", " Back ").
struct AlertRequest {
    std::string messageText;
    std::string informativeText;
    std::vector<std::string> buttons; // first is the default button
};

struct SavePanelRequest {
    std::string title;
    std::string directory;
    std::string defaultName;
};

struct OpenPanelRequest {
    std::string title;
    std::string directory;
    bool chooseDirectories = false;
};

// Everything that waits for a person goes through here, so that tests and the command line can
// answer without anyone at the keyboard.
class AlertPresenter {
public:
    virtual ~AlertPresenter() = default;
    // Answers the index of the pressed button (0 for the default one).
    virtual int runModal(const AlertRequest& request) = 0;
    // The chosen path, or nothing when the user cancelled.
    virtual std::optional<std::string> runSavePanel(const SavePanelRequest& request) = 0;
    virtual std::optional<std::string> runOpenPanel(const OpenPanelRequest& request) = 0;
};

// For headless use: prints each alert on standard error and takes the default button; panels
// answer the default name in the given folder (save) or nothing (open).
class NonBlockingAlertPresenter : public AlertPresenter {
public:
    int runModal(const AlertRequest& request) override;
    std::optional<std::string> runSavePanel(const SavePanelRequest& request) override;
    std::optional<std::string> runOpenPanel(const OpenPanelRequest& request) override;
};

// Answers from a script that a test fills in advance, and records every request. An alert with no
// scripted answer takes the default button; a panel with none is cancelled.
class ScriptedAlertPresenter : public AlertPresenter {
public:
    void answerNextAlert(int buttonIndex);
    void answerNextPanel(std::optional<std::string> path);

    int runModal(const AlertRequest& request) override;
    std::optional<std::string> runSavePanel(const SavePanelRequest& request) override;
    std::optional<std::string> runOpenPanel(const OpenPanelRequest& request) override;

    std::vector<AlertRequest> alertsShown() const;
    std::size_t panelsShown() const;

private:
    mutable std::mutex mutex_;
    std::deque<int> alertAnswers_;
    std::deque<std::optional<std::string>> panelAnswers_;
    std::vector<AlertRequest> alerts_;
    std::size_t panels_ = 0;
};

} // namespace quarrow
