#include "PRIOSDeviceController.h"

#include "platform/Host.h"
#include "platform/LocalizedStrings.h"
#include "platform/Log.h"
#include "platform/PropertyList.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <ctime>
#include <dirent.h>
#include <sys/stat.h>

namespace quarrow {

namespace {

struct ProductRow {
    const char* pattern;
    const char* label;
    bool ipad;
};

// Tested in order; a pattern matches anywhere in the product type, ignoring letter case. Rows
// without a comma match every sub-model of their generation.
constexpr ProductRow kProductTypes[] = {
    {"iPhone1,1", "Iphone", false},    {"iPhone1,2", "Iphone3G", false},  {"iPhone2,1", "Iphone3GS", false},
    {"iPhone3,1", "Iphone 4", false},  {"iPhone3,3", "Iphone 4", false},  {"iPhone4,1", "Iphone 4S", false},
    {"iPhone5", "Iphone 5", false},    {"iPod1,1", "IpodTouch", false},   {"iPod2,1", "IpodTouch2G", false},
    {"iPod3,1", "IpodTouch3G", false}, {"iPod4,1", "IpodTouch4G", false}, {"iPad1,1", "Ipad 1", true},
    {"iPad2,1", "Ipad 2", true},       {"iPad3", "NewIpad", true},
};

std::string lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

const ProductRow* matchProduct(const std::string& productType) {
    const std::string type = lower(productType);
    for (const ProductRow& row : kProductTypes) {
        if (type.find(lower(row.pattern)) != std::string::npos) {
            return &row;
        }
    }
    return nullptr;
}

std::size_t countEntries(const std::string& path, bool& isFolder) {
    isFolder = false;
    DIR* dir = ::opendir(path.c_str());
    if (!dir) {
        return 0;
    }
    isFolder = true;
    std::size_t n = 0;
    while (const dirent* e = ::readdir(dir)) {
        const std::string name = e->d_name;
        if (name != "." && name != "..") {
            ++n;
        }
    }
    ::closedir(dir);
    return n;
}

} // namespace

PRIOSDeviceController::PRIOSDeviceController(const Host& host) : host_(host) {}

OptText PRIOSDeviceController::GetDevcieType(const OptText& productType) {
    if (!productType || productType->empty()) {
        return localizedString("Iphone");
    }
    if (const ProductRow* row = matchProduct(*productType)) {
        return localizedString(row->label);
    }
    return std::nullopt;
}

OptText PRIOSDeviceController::deviceTypeText(const OptText& productType) {
    if (OptText label = GetDevcieType(productType)) {
        return label;
    }
    return productType;
}

std::string PRIOSDeviceController::deviceImageName(const OptText& productType) {
    if (productType && !productType->empty()) {
        if (const ProductRow* row = matchProduct(*productType)) {
            return row->ipad ? "ipad" : "iphone";
        }
        // Models newer than the table: the product type names the family.
        if (lower(*productType).starts_with("ipad")) {
            return "ipad";
        }
    }
    return "iphone";
}

void PRIOSDeviceController::getSystemVersionMajor(std::uint32_t* major, std::uint32_t* minor,
                                                  std::uint32_t* bugFix) const {
    quarrow::getSystemVersionMajor(host_, major, minor, bugFix);
}

std::string PRIOSDeviceController::convertCurrentTimeZone2(const std::string& dateText) const {
    std::uint32_t minor = 0;
    getSystemVersionMajor(nullptr, &minor, nullptr);
    if (minor < 7) {
        return dateText;
    }
    int year, month, day, hour, minute;
    if (std::sscanf(dateText.c_str(), "%4d-%2d-%2d %2d:%2d", &year, &month, &day, &hour, &minute) != 5) {
        return dateText;
    }
    char text[40];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d", year, month, day, hour, minute);
    return text;
}

std::string PRIOSDeviceController::backupTimeText(std::int64_t modificationTime) const {
    const std::time_t t = static_cast<std::time_t>(modificationTime);
    std::tm utc{};
    char raw[64] = "";
    if (gmtime_r(&t, &utc)) {
        std::strftime(raw, sizeof raw, "%Y-%m-%d %H:%M:%S +0000", &utc);
    }
    systemLog(std::string("modificationDate===") + raw);
    std::string text = convertCurrentTimeZone2(raw);
    // Keep at most the date and the time when the text still carries a zone.
    const auto first = text.find(' ');
    if (!text.empty() && first != std::string::npos) {
        const auto second = text.find(' ', first + 1);
        if (second != std::string::npos) {
            text.resize(second);
        }
    }
    return text;
}

void PRIOSDeviceController::addDeviceNodeByPath(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        systemLog("Filepath is not exist");
        return;
    }
    bool isFolder = false;
    const std::size_t entries = countEntries(path, isFolder);
    if (!isFolder) {
        systemLog(S_ISDIR(st.st_mode) ? "Backup folder cannot be read: " + path : "Not a backup folder: " + path);
        return;
    }
    if (entries < 2) {
        systemLog("Not a backup folder (fewer than two entries): " + path);
        return;
    }
    const std::string infoPath = path + "/Info.plist";
    const std::string manifestPath = path + "/Manifest.plist";
    auto info = PropertyList::readDictionary(infoPath);
    // Status.plist decides nothing, so it is not read: a damaged or hostile one cannot stop the listing.
    auto manifest = PropertyList::readDictionary(manifestPath);

    auto node = std::make_shared<PRIOSDeviceNode>();
    OptText productType;
    struct stat described {};
    if (!info && manifest) {
        auto lockdown = manifest->dictionary("Lockdown");
        if (!lockdown) {
            systemLog("Manifest.plist has no Lockdown dictionary: " + path);
            return;
        }
        node->setStrDeviceName(lockdown->text("DeviceName"));
        node->setStrDeviceSerial(lockdown->text("SerialNumber"));
        productType = lockdown->text("ProductType");
        node->setStrIOSVersion(lockdown->text("ProductVersion"));
        node->setItunesVersion(lockdown->text("BuildVersion"));
        if (::stat(manifestPath.c_str(), &described) == 0) {
            node->setStrDeviceBackUpTime(backupTimeText(described.st_mtime));
        }
    } else if (info) {
        node->setStrDeviceName(info->text("Device Name"));
        node->setStrDeviceSerial(info->text("Serial Number"));
        productType = info->text("Product Type");
        node->setStrIOSVersion(info->text("Product Version"));
        node->setItunesVersion(info->text("iTunes Version"));
        // The device records when the backup was made; the file's time changes whenever the backup
        // is copied, so it serves only when the date is missing.
        const auto lastBackup = info->date("Last Backup Date");
        if (::stat(infoPath.c_str(), &described) == 0) {
            node->setStrDeviceBackUpTime(backupTimeText(lastBackup.value_or(described.st_mtime)));
            node->setStrDeviceSize(std::to_string(static_cast<long long>(described.st_size)));
        }
    } else {
        systemLog("No Info.plist or Manifest.plist describes: " + path);
        return;
    }
    if (manifest) {
        node->setBEncrypted(manifest->boolean("IsEncrypted").value_or(false));
    }
    node->setStrDeviceType(deviceTypeText(productType));
    node->setDeviceImage(deviceImageName(productType));
    node->setBackUpFilePath(path);
    rows_.push_back(std::move(node));
}

void PRIOSDeviceController::addBackupsInRoot(const std::string& backupRoot) {
    DIR* dir = ::opendir(backupRoot.c_str());
    if (!dir) {
        systemLog("Backup root cannot be listed: " + backupRoot);
        return;
    }
    std::vector<std::string> names;
    while (const dirent* e = ::readdir(dir)) {
        names.emplace_back(e->d_name);
    }
    ::closedir(dir);
    for (const std::string& name : names) {
        if (name.empty() || name[0] == '.') {
            continue;
        }
        addDeviceNodeByPath(std::string(backupRoot).append("/").append(name));
    }
}

AlertRequest noBackupFilesAlert() {
    return AlertRequest{localizedString("No iTunes backup files found !"),
                        "Please backup your iOS device with iTunes ,and run again after the backup operation has "
                        "completed .",
                        {localizedString(" Ok ")}};
}

bool IOSVersionIOS6(const OptText& version) {
    if (!version || version->empty()) {
        return false;
    }
    const auto dot = version->find('.');
    return version->substr(0, dot) == "6";
}

} // namespace quarrow
