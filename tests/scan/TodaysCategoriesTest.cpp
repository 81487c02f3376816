// Contacts, messages and calls of a backup made today: the files are found through Manifest.db,
// a message's text may be only in its attributedBody, message dates count nanoseconds, calls are
// the Core Data store's ZCALLRECORD rows, and today's address book (more columns, a write-ahead
// log that the backup keeps as a file of its own) reads as before.

#include "CategoryScanFixture.h"
#include "ModernBackup.h"
#include "ModernMessages.h"
#include "scan/CallHistoryScanner.h"
#include "scan/ContactScanner.h"
#include "scan/MessageScanner.h"

#include <sqlite3.h>

using namespace quarrow;
using namespace quarrow::test;
namespace fx = quarrow::fixtures;

namespace {

// 2023-06-01 08:30:00 UTC in seconds since 2001.
constexpr std::int64_t kJune2023 = 707301000;

// Runs SQL on a database in WAL mode and closes it without a checkpoint, so that what it wrote is
// only in "<path>-wal", as on a device that has not checkpointed yet.
void writeIntoWal(const std::string& path, const std::string& sql) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    int done = 0;
    sqlite3_db_config(db, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, &done);
    ASSERT_EQ(sqlite3_exec(db, ("PRAGMA journal_mode = WAL;" + sql).c_str(), nullptr, nullptr, nullptr), SQLITE_OK)
        << sqlite3_errmsg(db);
    sqlite3_close(db);
    ::unlink((path + "-shm").c_str());
}

fx::CallRecord call(std::string address, double date, double duration, bool originated, bool answered,
                    int callType = 1) {
    fx::CallRecord c;
    c.address = std::move(address);
    c.date = date;
    c.duration = duration;
    c.originated = originated;
    c.answered = answered;
    c.callType = callType;
    return c;
}

class TodaysCategories : public CategoryScan {
protected:
    TodaysCategories() { backup.writePropertyLists(fx::ModernDevice{}); }

    // Today's address book: the columns later systems appended, one contact in the file and one
    // only in its write-ahead log.
    void addAddressBook() {
        const std::string path = dir.file("AddressBook.sqlitedb");
        {
            fx::AddressBookBuilder db(path);
            db.exec("ALTER TABLE ABPerson ADD COLUMN guid TEXT; ALTER TABLE ABPerson ADD COLUMN PhonemeData TEXT;"
                    "ALTER TABLE ABMultiValue ADD COLUMN guid TEXT;");
            db.addPerson(person("Anna", "Berg", {"+44 7700 900123"}));
        }
        writeIntoWal(path, "INSERT INTO ABPerson (ROWID, First, Last, guid) VALUES (7, 'Ben', 'Okafor', 'G-7');"
                           "INSERT INTO ABMultiValue (record_id, property, identifier, label, value, guid) VALUES "
                           "(7, 3, 0, NULL, '+44 7700 900456', 'M-7');");
        backup.addDatabase("HomeDomain", "Library/AddressBook/AddressBook.sqlitedb", path);
    }

    void finish() {
        backup.addOtherRows(2000);
        ASSERT_TRUE(backup.writeManifest());
    }

    fx::ModernBackupBuilder backup{folder};
};

} // namespace

TEST_F(TodaysCategories, MessagesTakeTheirTextFromAttributedBodyWhenTextIsEmpty) {
    addAddressBook();
    const std::string sms = dir.file("sms.db");
    {
        fx::ModernMessagesDbBuilder db(sms);
        db.addMessage({"+447700900123", "Only in the body 👋", false, false, kJune2023 * fx::kNanosecondsPerSecond});
        db.addMessage({"+447700900456", "In both columns", true, true, (kJune2023 + 60) * fx::kNanosecondsPerSecond});
        db.addMessage(
            {"mia@example.com", "Over SMS", false, false, (kJune2023 + 120) * fx::kNanosecondsPerSecond, "SMS"});
        db.close();
    }
    backup.addDatabase("HomeDomain", "Library/SMS/sms.db", sms);
    finish();
    scan(scanContactThread, scanMessageThread);

    const auto& messages = collection.messageArray();
    ASSERT_EQ(messages.size(), 3u);
    EXPECT_EQ(messages[0]->messageContent(), "Only in the body 👋");
    EXPECT_EQ(messages[0]->messageDate(), "06-01-2023 08:30");
    EXPECT_EQ(messages[0]->messageName(), "Anna Berg");
    EXPECT_EQ(messages[0]->messageType(), "Received");
    EXPECT_EQ(messages[1]->messageContent(), "In both columns");
    EXPECT_EQ(messages[1]->messageType(), "Send");
    EXPECT_EQ(messages[1]->messageName(), "Ben Okafor") << "a contact only the address book's -wal holds";
    EXPECT_EQ(messages[2]->messageContent(), "Over SMS");
    EXPECT_EQ(messages[2]->messageDate(), "06-01-2023 08:32");
    EXPECT_FALSE(anyLineHolds("Only in the body"));
    EXPECT_EQ(progress, (std::vector<long long>{40, 50}));
}

// An attributedBody that is no typedstream, or holds no string, leaves the message without text
// rather than showing archive bytes.
TEST_F(TodaysCategories, AnUnreadableAttributedBodyGivesNoText) {
    EXPECT_EQ(attributedBodyText(""), std::nullopt);
    EXPECT_EQ(attributedBodyText("not an archive at all"), std::nullopt);
    const std::string body = fx::attributedBody("cut short");
    const std::size_t text = body.find("cut short");
    ASSERT_NE(text, std::string::npos);
    EXPECT_EQ(attributedBodyText(std::string_view(body).substr(0, text + 4)), std::nullopt) << "cut in its string";
    EXPECT_EQ(attributedBodyText(body), "cut short");
}

TEST_F(TodaysCategories, CallsComeFromTheCallRecordStore) {
    addAddressBook();
    const std::string store = dir.file("CallHistory.storedata");
    {
        fx::CallHistoryStoreBuilder db(store);
        db.addCall(call("+447700900123", static_cast<double>(kJune2023), 125.6, true, true));
        db.addCall(call("+447700900999", kJune2023 + 60.25, 0, false, false));
        db.addCall(call("+447700900456", kJune2023 + 120.0, 0, true, false));
        db.addCall(call("+447700900456", kJune2023 + 180.0, 3700.0, false, true, 8));
        db.close();
    }
    backup.addDatabase("HomeDomain", "Library/CallHistoryDB/CallHistory.storedata", store);
    finish();
    scan(scanContactThread, scanCallHistoryThread);

    const auto& calls = collection.callHistoryArray();
    ASSERT_EQ(calls.size(), 4u);
    EXPECT_EQ(calls[0]->callName(), "Anna Berg");
    EXPECT_EQ(calls[0]->callPhone(), "+447700900123");
    EXPECT_EQ(calls[0]->callDate(), "06-01-2023 08:30");
    EXPECT_EQ(calls[0]->callType(), "Outgoing");
    EXPECT_EQ(calls[0]->callTime(), 125);
    EXPECT_EQ(calls[0]->callDuration(), "2 minutes");
    EXPECT_EQ(calls[1]->callName(), std::nullopt);
    EXPECT_EQ(calls[1]->callType(), "Incoming");
    EXPECT_EQ(calls[1]->callDuration(), "Missed");
    EXPECT_EQ(calls[2]->callDuration(), "Cancelled");
    EXPECT_EQ(calls[3]->callName(), "Ben Okafor");
    EXPECT_EQ(calls[3]->callDuration(), "1 hour");
    EXPECT_EQ(context->layouts.callHistory, CallHistoryLayout::CallRecord);
    EXPECT_TRUE(logged("Call history read, layout ZCALLRECORD (iOS 8 and later): 4 calls"));
    EXPECT_FALSE(anyLineHolds("7700900"));
}

// A device upgraded from iOS 7 may still hold call_history.db beside the store; the store is what
// the phone shows, and is what is read.
TEST_F(TodaysCategories, TheStoreWinsOverAnOlderCallHistory) {
    const std::string store = dir.file("CallHistory.storedata");
    const std::string older = dir.file("call_history.db");
    {
        fx::CallHistoryStoreBuilder db(store);
        db.addCall(call("+447700900123", static_cast<double>(kJune2023), 30, true, true));
        db.close();
        fx::CallHistoryBuilder old(older);
        old.addCall({"+14155550199", kMarch2012Unix, 60, fixtures::kCallOutgoing});
    }
    backup.addDatabase("HomeDomain", "Library/CallHistoryDB/CallHistory.storedata", store);
    backup.addDatabase("WirelessDomain", "Library/CallHistory/call_history.db", older);
    finish();
    scan(scanCallHistoryThread);
    ASSERT_EQ(collection.callHistoryArray().size(), 1u);
    EXPECT_EQ(collection.callHistoryArray()[0]->callPhone(), "+447700900123");
}

TEST_F(TodaysCategories, TodaysAddressBookGivesEveryContactTheLogHolds) {
    addAddressBook();
    finish();
    scan(scanContactThread);
    const auto& contacts = collection.contactArray();
    ASSERT_EQ(contacts.size(), 2u);
    EXPECT_EQ(contacts[0]->contactName(), "Anna Berg");
    EXPECT_EQ(contacts[1]->contactName(), "Ben Okafor");
    EXPECT_NE(contacts[1]->contactPhone().value_or("").find("+44 7700 900456"), std::string::npos);
    EXPECT_EQ(context->filesFor(folder).manifestReads().fullScanSteps, 0);
}
