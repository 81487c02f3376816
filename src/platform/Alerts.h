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
    std::string message;                       // shown above the files, when not empty
    std::vector<std::string> allowedFileTypes; // extensions without the dot; empty allows every file
    bool allowsMultipleSelection = false;      // for runOpenPanelForFiles
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
    // The chosen files, in the panel's order (several when the request allows it), or nothing when
    // the user cancelled. By default the single-choice panel answers.
    virtual std::optional<std::vector<std::string>> runOpenPanelForFiles(const OpenPanelRequest& request);
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
    // For a panel that chooses files; a single-choice panel given this takes the first file.
    void answerNextPanelWithFiles(std::vector<std::string> paths);

    int runModal(const AlertRequest& request) override;
    std::optional<std::string> runSavePanel(const SavePanelRequest& request) override;
    std::optional<std::string> runOpenPanel(const OpenPanelRequest& request) override;
    std::optional<std::vector<std::string>> runOpenPanelForFiles(const OpenPanelRequest& request) override;

    std::vector<AlertRequest> alertsShown() const;
    std::size_t panelsShown() const;
    std::vector<OpenPanelRequest> openPanelsShown() const;

private:
    std::optional<std::vector<std::string>> nextPanelAnswer();

    mutable std::mutex mutex_;
    std::deque<int> alertAnswers_;
    struct PanelAnswer {
        bool cancelled = true;
        std::vector<std::string> paths;
    };
    std::deque<PanelAnswer> panelAnswers_;
    std::vector<AlertRequest> alerts_;
    std::vector<OpenPanelRequest> openPanels_;
    std::size_t panels_ = 0;
};

} // namespace quarrow
