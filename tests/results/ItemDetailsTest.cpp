#include "results/ItemDetails.h"

#include "results/BackupRootChoice.h"

#include "platform/Host.h"
#include "platform/UserDefaults.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace quarrow {
namespace {

std::vector<std::string> visibleTexts(const ItemDetail& d) {
    std::vector<std::string> out;
    for (const auto& l : d.lines) {
        if (l.visible) {
            out.push_back(l.text);
        }
    }
    return out;
}

TEST(ItemDetails, ContactWithOnlyNameAndPhoneShowsTwoLinesAndNoNote) {
    PRContactNode c;
    c.setContactName("Ann");
    c.setContactPhone("555-1");
    c.setContactEmail(std::nullopt); // absent counts as empty
    const auto d = contactDetail(c);
    EXPECT_EQ(visibleTexts(d), (std::vector<std::string>{"Name: Ann", "Phone: 555-1"}));
    EXPECT_EQ(d.lines.size(), 7u);
    EXPECT_FALSE(d.longText.visible);

    c.setContactNote("met at work");
    EXPECT_TRUE(contactDetail(c).longText.visible);
    EXPECT_EQ(contactDetail(c).longText.text, "Note: met at work");
}

TEST(ItemDetails, OtherCategoriesShowEveryLineEvenWhenEmpty) {
    PRMessageNode m;
    m.setMessageName("");
    m.setMessageContent("hello");
    const auto md = messageDetail(m);
    EXPECT_EQ(md.lines[0].text, "Name: ");
    EXPECT_EQ(visibleTexts(md).size(), 4u);
    EXPECT_EQ(md.longText.text, "hello");

    PRNoteNode n;
    n.setNoteTitle("");
    n.setNoteContent("line one\nline two");
    n.setNoteDate("03-04-2013 10:11");
    const auto nd = noteDetail(n);
    EXPECT_EQ(visibleTexts(nd), (std::vector<std::string>{"Title: ", "Date: 03-04-2013 10:11"}));
    EXPECT_EQ(nd.longText.text, "line one\nline two");

    PRCallHistoryNode c;
    c.setCallName(std::nullopt);
    c.setCallDuration("00:01:05");
    const auto cd = callHistoryDetail(c);
    EXPECT_EQ(visibleTexts(cd),
              (std::vector<std::string>{"Name: ", "Phone: ", "Type: ", "Duration: 00:01:05", "Date: "}));
    EXPECT_FALSE(cd.hasLongText);
}

class BackupRootChoiceTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (const char* v = std::getenv("QUARROW_BACKUP_ROOT")) {
            saved_ = v;
        }
        unsetenv("QUARROW_BACKUP_ROOT");
        host.home = "/home/u";
    }
    void TearDown() override {
        if (saved_) {
            setenv("QUARROW_BACKUP_ROOT", saved_->c_str(), 1);
        } else {
            unsetenv("QUARROW_BACKUP_ROOT");
        }
    }
    std::optional<std::string> saved_;
    FixedHost host;
    MemoryUserDefaults defaults;
};

TEST_F(BackupRootChoiceTest, CommandLineThenEnvironmentThenSavedChoiceThenDefault) {
    const std::string fallback = "/home/u/Library/Application Support/MobileSync/Backup";
    EXPECT_EQ(effectiveBackupRoot(host, defaults), fallback);
    EXPECT_EQ(backupRootSource(defaults, std::nullopt), BackupRootSource::Default);

    defaults.setString(kBackupRootDefaultsKey, "/saved");
    EXPECT_EQ(effectiveBackupRoot(host, defaults), "/saved");

    setenv("QUARROW_BACKUP_ROOT", "/env", 1);
    EXPECT_EQ(effectiveBackupRoot(host, defaults), "/env");
    EXPECT_EQ(backupRootSource(defaults, std::nullopt), BackupRootSource::Environment);

    EXPECT_EQ(effectiveBackupRoot(host, defaults, std::string("/cli")), "/cli");
    EXPECT_EQ(effectiveBackupRoot(host, defaults, std::string()), "/env"); // empty is not given

    unsetenv("QUARROW_BACKUP_ROOT");
    defaults.setString(kBackupRootDefaultsKey, "");
    EXPECT_EQ(effectiveBackupRoot(host, defaults), fallback);
}

} // namespace
} // namespace quarrow
