#pragma once

#include "PRIOSDeviceNode.h"
#include "platform/Alerts.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quarrow {

class Host;

// The backup list: one PRIOSDeviceNode per backup folder, in the order they were added.
class PRIOSDeviceController {
public:
    explicit PRIOSDeviceController(const Host& host);

    // Appends at most one record for the folder; a folder that is not a backup is passed over.
    void addDeviceNodeByPath(const std::string& path);

    // Lists the root's entries in directory order, skipping names that begin with ".", and adds
    // each. A root that cannot be listed adds nothing (logged).
    void addBackupsInRoot(const std::string& backupRoot);

    void removeAll() { rows_.clear(); }
    const std::vector<PRIOSDeviceNodePtr>& arrangedObjects() const { return rows_; }

    // The label for a product type, or absent when no row of the table matches.
    static OptText GetDevcieType(const OptText& productType);
    // What the list shows as the device type: the label, or the product type itself when the table
    // has no row for it (every device made since the table was written: "iPhone14,2").
    static OptText deviceTypeText(const OptText& productType);
    // "ipad" for the iPad rows of the product-type table and for every other "iPad" product type,
    // "iphone" otherwise.
    static std::string deviceImageName(const OptText& productType);

    // "YYYY-MM-DD HH:MM:SS +0000" to "YYYY-MM-DD HH:MM" on hosts from 10.7 on; unchanged before.
    std::string convertCurrentTimeZone2(const std::string& dateText) const;

    void getSystemVersionMajor(std::uint32_t* major, std::uint32_t* minor, std::uint32_t* bugFix) const;

private:
    std::string backupTimeText(std::int64_t modificationTime) const;

    const Host& host_;
    std::vector<PRIOSDeviceNodePtr> rows_;
};

// The alert shown when a refresh finds no backup: localised message and button, fixed informative text.
AlertRequest noBackupFilesAlert();

// True exactly when the version text's first "."-separated part is "6".
bool IOSVersionIOS6(const OptText& version);

} // namespace quarrow
