#include "scan/CallHistoryScanner.h"

#include "CategoryScanFixture.h"
#include "scan/ContactScanner.h"

using namespace quarrow;
using namespace quarrow::test;
using fixtures::CallSpec;

namespace {

class CallScan : public CategoryScan {};

struct CallCase {
    const char* name;
    CallSpec call;
    const char* type;
    std::int32_t callTime;
    const char* duration;
};

class CallRow : public CallScan, public ::testing::WithParamInterface<CallCase> {};

} // namespace

TEST_P(CallRow, BecomesARecord) {
    {
        fixtures::CallHistoryBuilder db(pathOf(DeviceFiles::kCallHistory));
        db.addCall(GetParam().call);
    }
    scan(scanCallHistoryThread);
    ASSERT_EQ(collection.callHistoryArray().size(), 1u);
    const PRCallHistoryNode& call = *collection.callHistoryArray()[0];
    EXPECT_EQ(call.callType(), GetParam().type);
    EXPECT_EQ(call.callTime(), GetParam().callTime);
    EXPECT_EQ(call.callDuration(), GetParam().duration);
    EXPECT_EQ(call.callPhone(), GetParam().call.address);
    EXPECT_EQ(progress, std::vector<long long>{60});
}

INSTANTIATE_TEST_SUITE_P(
    Flags, CallRow,
    ::testing::Values(
        CallCase{
            "incoming", {"+14155550199", kMarch2012Unix, 45, fixtures::kCallIncoming}, "Incoming", 45, "45 seconds"},
        CallCase{
            "outgoing", {"+14155550199", kMarch2012Unix, 125, fixtures::kCallOutgoing}, "Outgoing", 125, "2 minutes"},
        CallCase{"facetime_out",
                 {"anna@example.org", kMarch2012Unix, 3700, fixtures::kFaceTimeOutgoing},
                 "Outgoing",
                 3700,
                 "1 hour"},
        CallCase{"facetime_in",
                 {"anna@example.org", kMarch2012Unix, 0, fixtures::kFaceTimeIncoming},
                 "Incoming",
                 0,
                 "Missed"},
        CallCase{"cancelled", {"+14155550199", kMarch2012Unix, 0, fixtures::kCallOutgoing}, "Outgoing", 0, "Cancelled"},
        CallCase{"missed", {"+14155550199", kMarch2012Unix, 0, fixtures::kCallIncoming}, "Incoming", 0, "Missed"},
        // A call of unknown length has no duration text rather than "-1 second".
        CallCase{"no_duration",
                 {"+14155550199", kMarch2012Unix, std::nullopt, fixtures::kCallIncoming},
                 "Incoming",
                 -1,
                 ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(CallScan, DatesAndNamesAndTheFirstOfTwoFiles) {
    {
        fixtures::AddressBookBuilder db(pathOf(DeviceFiles::kAddressBook));
        db.addPerson(person("Anna", "Berg", {"+1 (415) 555-0199"}));
    }
    {
        fixtures::CallHistoryBuilder db(pathOf(DeviceFiles::kCallHistory));
        db.addCall({"4155550199", kMarch2012Unix, 60, fixtures::kCallOutgoing});
        db.addCall({"911", kMarch2012Device, 60, fixtures::kCallOutgoing}); // counted from 2001
        db.addCall({"+14155550199", std::nullopt, 60, fixtures::kCallIncoming});
    }
    {
        fixtures::CallHistoryBuilder older(pathOf(DeviceFiles::kCallHistoryLegacy));
        older.addCall({"never read", kMarch2012Unix, 1, fixtures::kCallIncoming});
    }
    scan(scanContactThread, scanCallHistoryThread);
    const auto& calls = collection.callHistoryArray();
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[0]->callName(), "Anna Berg");
    EXPECT_EQ(calls[0]->callDate(), "03-07-2012 09:05");
    EXPECT_EQ(calls[1]->callName(), std::nullopt); // a short number is nobody's
    EXPECT_EQ(calls[1]->callDate(), "03-07-2012 09:05");
    EXPECT_EQ(calls[2]->callDate(), "");
    EXPECT_EQ(context->layouts.callHistory, CallHistoryLayout::CallTable);
    EXPECT_TRUE(logged("Call history read, layout call: 3 calls"));
    EXPECT_FALSE(anyLineHolds("4155550199"));
}

TEST_F(CallScan, ReadsTheOlderPlaceAlone) {
    {
        fixtures::CallHistoryBuilder older(pathOf(DeviceFiles::kCallHistoryLegacy));
        older.addCall({"+14155550199", kMarch2012Unix, 1, fixtures::kCallIncoming});
    }
    scan(scanCallHistoryThread);
    ASSERT_EQ(collection.callHistoryArray().size(), 1u);
    EXPECT_EQ(collection.callHistoryArray()[0]->callDuration(), "1 second");
}

TEST_F(CallScan, ReadsTheColumnsThatExistAndPostsNothingWithoutATable) {
    scan(scanCallHistoryThread);
    EXPECT_TRUE(logged("messageDB is not exist"));
    ASSERT_TRUE(fixtures::createDatabase(pathOf(DeviceFiles::kCallHistory), "CREATE TABLE other (a);", 4));
    scan(scanCallHistoryThread);
    EXPECT_TRUE(logged("holds no call table"));
    EXPECT_TRUE(progress.empty());

    ASSERT_TRUE(fixtures::createDatabase(pathOf(DeviceFiles::kCallHistory),
                                         "CREATE TABLE call (ROWID INTEGER PRIMARY KEY, address TEXT);"
                                         "INSERT INTO call VALUES (1, '+14155550199');",
                                         4));
    scan(scanCallHistoryThread);
    ASSERT_EQ(collection.callHistoryArray().size(), 1u);
    EXPECT_EQ(collection.callHistoryArray()[0]->callType(), "");
    EXPECT_EQ(collection.callHistoryArray()[0]->callTime(), -1);
    EXPECT_TRUE(logged("table call has no column date, duration, flags"));
    EXPECT_EQ(progress, std::vector<long long>{60});
}
