#pragma once

#include "platform/NotificationCenter.h"
#include "records/Property.h"

#include <memory>

namespace quarrow {

// One discovered backup. Texts start empty and become absent when the property list lacks the key.
// deviceImage names the picture: "ipad" or "iphone" (absent until discovery sets it). bEncrypted is
// Manifest.plist's "IsEncrypted": such a backup is listed, but its files cannot be read.
class PRIOSDeviceNode : public PRObject {
public:
    const char* className() const override { return "PRIOSDeviceNode"; }

    OptText strDeviceName() const { return strDeviceName_.get(); }
    void setStrDeviceName(OptText v) { strDeviceName_.set(std::move(v)); }
    OptText strDeviceSize() const { return strDeviceSize_.get(); }
    void setStrDeviceSize(OptText v) { strDeviceSize_.set(std::move(v)); }
    OptText strDeviceBackUpTime() const { return strDeviceBackUpTime_.get(); }
    void setStrDeviceBackUpTime(OptText v) { strDeviceBackUpTime_.set(std::move(v)); }
    OptText strDeviceSerial() const { return strDeviceSerial_.get(); }
    void setStrDeviceSerial(OptText v) { strDeviceSerial_.set(std::move(v)); }
    OptText strDeviceType() const { return strDeviceType_.get(); }
    void setStrDeviceType(OptText v) { strDeviceType_.set(std::move(v)); }
    OptText strIOSVersion() const { return strIOSVersion_.get(); }
    void setStrIOSVersion(OptText v) { strIOSVersion_.set(std::move(v)); }
    OptText deviceImage() const { return deviceImage_.get(); }
    void setDeviceImage(OptText v) { deviceImage_.set(std::move(v)); }
    OptText itunesVersion() const { return itunesVersion_.get(); }
    void setItunesVersion(OptText v) { itunesVersion_.set(std::move(v)); }
    OptText backUpFilePath() const { return backUpFilePath_.get(); }
    void setBackUpFilePath(OptText v) { backUpFilePath_.set(std::move(v)); }
    bool bEncrypted() const { return bEncrypted_.get(); }
    void setBEncrypted(bool v) { bEncrypted_.set(v); }

private:
    Property<OptText> strDeviceName_{std::string()};
    Property<OptText> strDeviceSize_{std::string()};
    Property<OptText> strDeviceBackUpTime_{std::string()};
    Property<OptText> strDeviceSerial_{std::string()};
    Property<OptText> strDeviceType_{std::string()};
    Property<OptText> strIOSVersion_{std::string()};
    Property<OptText> deviceImage_{std::nullopt};
    Property<OptText> itunesVersion_{std::string()};
    Property<OptText> backUpFilePath_{std::string()};
    Property<bool> bEncrypted_{false};
};

using PRIOSDeviceNodePtr = std::shared_ptr<PRIOSDeviceNode>;

} // namespace quarrow
