#include "Alerts.h"

#include <cstdio>

namespace quarrow {

std::optional<std::vector<std::string>> AlertPresenter::runOpenPanelForFiles(const OpenPanelRequest& request) {
    auto path = runOpenPanel(request);
    if (!path) {
        return std::nullopt;
    }
    return std::vector<std::string>{std::move(*path)};
}

int NonBlockingAlertPresenter::runModal(const AlertRequest& request) {
    std::fprintf(stderr, "%s\n", request.messageText.c_str());
    if (!request.informativeText.empty()) {
        std::fprintf(stderr, "%s\n", request.informativeText.c_str());
    }
    return 0;
}

std::optional<std::string> NonBlockingAlertPresenter::runSavePanel(const SavePanelRequest& request) {
    if (request.directory.empty() || request.defaultName.empty()) {
        return std::nullopt;
    }
    return request.directory + "/" + request.defaultName;
}

std::optional<std::string> NonBlockingAlertPresenter::runOpenPanel(const OpenPanelRequest&) {
    return std::nullopt;
}

void ScriptedAlertPresenter::answerNextAlert(int buttonIndex) {
    std::lock_guard lock(mutex_);
    alertAnswers_.push_back(buttonIndex);
}

void ScriptedAlertPresenter::answerNextPanel(std::optional<std::string> path) {
    std::lock_guard lock(mutex_);
    if (path) {
        panelAnswers_.push_back({false, {std::move(*path)}});
    } else {
        panelAnswers_.push_back({true, {}});
    }
}

void ScriptedAlertPresenter::answerNextPanelWithFiles(std::vector<std::string> paths) {
    std::lock_guard lock(mutex_);
    panelAnswers_.push_back({false, std::move(paths)});
}

std::optional<std::vector<std::string>> ScriptedAlertPresenter::nextPanelAnswer() {
    ++panels_;
    if (panelAnswers_.empty()) {
        return std::nullopt;
    }
    PanelAnswer answer = std::move(panelAnswers_.front());
    panelAnswers_.pop_front();
    if (answer.cancelled) {
        return std::nullopt;
    }
    return std::move(answer.paths);
}

int ScriptedAlertPresenter::runModal(const AlertRequest& request) {
    std::lock_guard lock(mutex_);
    alerts_.push_back(request);
    if (alertAnswers_.empty()) {
        return 0;
    }
    const int answer = alertAnswers_.front();
    alertAnswers_.pop_front();
    return answer;
}

std::optional<std::string> ScriptedAlertPresenter::runSavePanel(const SavePanelRequest&) {
    std::lock_guard lock(mutex_);
    auto answer = nextPanelAnswer();
    if (!answer || answer->empty()) {
        return std::nullopt;
    }
    return answer->front();
}

std::optional<std::string> ScriptedAlertPresenter::runOpenPanel(const OpenPanelRequest& request) {
    std::lock_guard lock(mutex_);
    openPanels_.push_back(request);
    auto answer = nextPanelAnswer();
    if (!answer || answer->empty()) {
        return std::nullopt;
    }
    return answer->front();
}

std::optional<std::vector<std::string>> ScriptedAlertPresenter::runOpenPanelForFiles(const OpenPanelRequest& request) {
    std::lock_guard lock(mutex_);
    openPanels_.push_back(request);
    return nextPanelAnswer();
}

std::vector<OpenPanelRequest> ScriptedAlertPresenter::openPanelsShown() const {
    std::lock_guard lock(mutex_);
    return openPanels_;
}

std::vector<AlertRequest> ScriptedAlertPresenter::alertsShown() const {
    std::lock_guard lock(mutex_);
    return alerts_;
}

std::size_t ScriptedAlertPresenter::panelsShown() const {
    std::lock_guard lock(mutex_);
    return panels_;
}

} // namespace quarrow
