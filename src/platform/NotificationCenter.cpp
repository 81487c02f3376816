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
    auto entries = std::make_shared<Entries>(*entries_);
    entries->push_back({token, std::move(name), std::make_shared<Observer>(std::move(observer))});
    entries_ = std::move(entries);
    return token;
}

void NotificationCenter::removeObserver(Token token) {
    std::lock_guard lock(mutex_);
    auto entries = std::make_shared<Entries>(*entries_);
    std::erase_if(*entries, [token](const Entry& e) { return e.token == token; });
    entries_ = std::move(entries);
}

void NotificationCenter::post(std::string name, NotificationObject object) {
    // Observers run outside the lock so that a handler may itself post or subscribe; they see the
    // observers registered when the post began.
    std::shared_ptr<const Entries> entries;
    {
        std::lock_guard lock(mutex_);
        entries = entries_;
    }
    const Notification note{std::move(name), std::move(object)};
    for (const Entry& e : *entries) {
        if (e.name.empty() || e.name == note.name) {
            (*e.observer)(note);
        }
    }
}

} // namespace quarrow
