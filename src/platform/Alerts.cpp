#include "Alerts.h"

#include <cstdio>

namespace quarrow {

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
    panelAnswers_.push_back(std::move(path));
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
    ++panels_;
    if (panelAnswers_.empty()) {
        return std::nullopt;
    }
    auto answer = panelAnswers_.front();
    panelAnswers_.pop_front();
    return answer;
}

std::optional<std::string> ScriptedAlertPresenter::runOpenPanel(const OpenPanelRequest& request) {
    return runSavePanel(SavePanelRequest{request.title, request.directory, {}});
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
