#include "ScannerRegistry.h"

#include <algorithm>
#include <system_error>

namespace quarrow {

ScannerRegistry& ScannerRegistry::shared() {
    static ScannerRegistry registry(builtInScanners());
    return registry;
}

ScannerRegistry::ScannerRegistry(std::vector<ScannerEntry> entries) {
    for (auto& entry : entries) {
        add(std::move(entry));
    }
}

void ScannerRegistry::add(ScannerEntry entry) {
    std::lock_guard lock(mutex_);
    const auto same = std::find_if(entries_.begin(), entries_.end(),
                                   [&entry](const ScannerEntry& e) { return e.name == entry.name; });
    if (same != entries_.end()) {
        *same = std::move(entry);
    } else {
        entries_.push_back(std::move(entry));
    }
}

bool ScannerRegistry::remove(std::string_view name) {
    std::lock_guard lock(mutex_);
    return std::erase_if(entries_, [name](const ScannerEntry& e) { return e.name == name; }) != 0;
}

std::vector<ScannerEntry> ScannerRegistry::entries() const {
    std::lock_guard lock(mutex_);
    return entries_;
}

std::vector<ScannerEntry> ScannerRegistry::edition(Edition edition) const {
    std::vector<ScannerEntry> chosen;
    std::lock_guard lock(mutex_);
    switch (edition) {
    case Edition::Notes:
        for (const char* name : {"scanNoteThread", "scanDelNoteThread"}) {
            const auto it = std::find_if(entries_.begin(), entries_.end(),
                                         [name](const ScannerEntry& e) { return e.name == name; });
            if (it != entries_.end()) {
                chosen.push_back(*it);
            }
        }
        break;
    case Edition::Full:
        // Progress is absolute, so running in the order of the values posted keeps the bar from
        // going back; entries with equal values keep the order they were registered in.
        chosen = entries_;
        std::stable_sort(chosen.begin(), chosen.end(),
                         [](const ScannerEntry& a, const ScannerEntry& b) { return a.progress < b.progress; });
        break;
    }
    return chosen;
}

std::future<ScannerPost> readAhead(const std::function<ScannerPost()>& work) {
    try {
        return std::async(std::launch::async, work);
    } catch (const std::system_error&) {
        return std::async(std::launch::deferred, work);
    }
}

std::set<Category> categoriesOf(const std::vector<ScannerEntry>& entries) {
    std::set<Category> categories;
    for (const auto& e : entries) {
        categories.insert(e.category);
    }
    return categories;
}

} // namespace quarrow
