#include "NotificationCenter.h"

#include <algorithm>

namespace quarrow {

std::shared_ptr<PRObject> Notification::record() const {
    if (const auto* r = std::get_if<std::shared_ptr<PRObject>>(&object)) {
        return *r;
    }
    return nullptr;
}

NotificationCenter& NotificationCenter::defaultCenter() {
    static NotificationCenter center;
    return center;
}

NotificationCenter::Token NotificationCenter::addObserver(std::string name, Observer observer) {
    std::lock_guard lock(mutex_);
    const Token token = nextToken_++;
    entries_.push_back({token, std::move(name), std::make_shared<Observer>(std::move(observer))});
    return token;
}

void NotificationCenter::removeObserver(Token token) {
    std::lock_guard lock(mutex_);
    std::erase_if(entries_, [token](const Entry& e) { return e.token == token; });
}

void NotificationCenter::post(std::string name, NotificationObject object) {
    // Observers run outside the lock so that a handler may itself post or subscribe.
    std::vector<std::shared_ptr<Observer>> targets;
    {
        std::lock_guard lock(mutex_);
        for (const Entry& e : entries_) {
            if (e.name.empty() || e.name == name) {
                targets.push_back(e.observer);
            }
        }
    }
    const Notification note{std::move(name), std::move(object)};
    for (const auto& observer : targets) {
        (*observer)(note);
    }
}

} // namespace quarrow
