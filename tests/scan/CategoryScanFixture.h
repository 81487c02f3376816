#pragma once

// Shared by the tests of the contacts, messages, call history and photo scanners: a backup folder,
// a scan context on a private notification centre, the records collected, the progress posted and
// the log kept.

#include "DeviceDb.h"
#include "PhoneDbs.h"
#include "discovery/BackupFiles.h"
#include "platform/Log.h"
#include "records/ScanNotifications.h"
#include "results/ResultCollection.h"
#include "scan/ScanContext.h"
#include "support/ScopedTimeZone.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace quarrow::test {

// 2012-03-07 09:05:00 UTC.
inline constexpr std::int64_t kMarch2012Unix = 1331111100;
inline constexpr std::int64_t kMarch2012Device = kMarch2012Unix - 978307200;

class CategoryScan : public ::testing::Test {
protected:
    CategoryScan() {
        folder = dir.makeDir("backup");
        nc.addObserver(ScanNotification::kProgress, [this](const Notification& n) { progress.push_back(*n.number()); });
    }

    std::string pathOf(const DeviceFile& file) const { return folder + "/" + BackupFiles::fileID(file); }

    // Runs scanners one after another in one context, as a scan does.
    template <class... Scanner> void scan(Scanner... scanners) {
        context = std::make_unique<ScanContext>(nc, folder);
        (scanners(*context, folder), ...);
    }

    bool logged(const std::string& fragment) const { return log.contains(fragment); }
    // Whether any log line holds the text (for texts that must never be logged).
    bool anyLineHolds(const std::string& text) const {
        for (const auto& line : log.lines()) {
            if (line.find(text) != std::string::npos) {
                return true;
            }
        }
        return false;
    }

    ScopedTimeZone utc{"UTC"};
    TempDir dir;
    std::string folder;
    NotificationCenter nc;
    ResultCollection collection{nc};
    std::vector<long long> progress;
    MemoryLogSink log;
    ScopedLogSink scoped{log};
    std::unique_ptr<ScanContext> context;
};

// A person with a name and phone numbers, for scans that look names up.
inline fixtures::PersonSpec person(std::string first, std::string last, std::vector<std::string> phones) {
    fixtures::PersonSpec p;
    p.first = std::move(first);
    p.last = std::move(last);
    for (auto& phone : phones) {
        p.values.push_back({fixtures::kABPhone, "_$!<Mobile>!$_", std::move(phone)});
    }
    return p;
}

} // namespace quarrow::test
