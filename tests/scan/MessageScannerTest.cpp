#include "scan/MessageScanner.h"

#include "CategoryScanFixture.h"
#include "scan/ContactScanner.h"

using namespace quarrow;
using namespace quarrow::test;
using fixtures::SmsLayout;

namespace {

class MessageScan : public CategoryScan {
protected:
    std::string smsDb() const { return pathOf(DeviceFiles::kMessages); }

    void addContacts() {
        fixtures::AddressBookBuilder db(pathOf(DeviceFiles::kAddressBook));
        db.addPerson(person("Anna", "Berg", {"+1 (415) 555-0199"}));
        db.addPerson(person("Ben", "Cole", {"(212) 555-0143"}));
    }

    void scanWithContacts() { scan(scanContactThread, scanMessageThread); }

    std::vector<long long> messageProgress() const {
        std::vector<long long> out(progress);
        std::erase(out, 40); // the contacts scanner's
        return out;
    }
};

fixtures::LegacyMessageSpec legacy(std::string address, std::int64_t date, std::string text, int flags,
                                   std::int64_t group) {
    fixtures::LegacyMessageSpec m;
    m.address = std::move(address);
    m.date = date;
    m.text = std::move(text);
    m.flags = flags;
    m.groupId = group;
    return m;
}

fixtures::HandleMessageSpec handled(std::optional<std::string> text, std::int64_t date, std::int64_t handle,
                                    bool fromMe, std::int64_t chat = 0) {
    fixtures::HandleMessageSpec m;
    m.text = std::move(text);
    m.date = date;
    m.handleId = handle;
    m.fromMe = fromMe;
    m.chatId = chat;
    return m;
}

// 2023-05-04 10:20 UTC, which counted from 2001 also reads as a 1990s Unix time.
constexpr std::int64_t kMay2023Device = 1683195600 - 978307200;

} // namespace

// iOS 5: text messages and iMessages in one table; a group's members in group_member.
TEST_F(MessageScan, ReadsTheIOS5LayoutOncePerMessageWithItsGroup) {
    addContacts();
    {
        fixtures::SmsDbBuilder db(smsDb(), SmsLayout::IOS5);
        const auto anna = db.addGroup({"+14155550199"});
        const auto trio = db.addGroup({"+14155550199", "+12125550143", "+19175550100"});
        db.addMessage(legacy("+14155550199", kMarch2012Unix, "Hi Anna", 3, anna));
        db.addMessage(legacy("", kMarch2012Unix + 60, "Dinner at 8?", 16387, trio));
        fixtures::LegacyMessageSpec imessage;
        imessage.date = kMarch2012Device + 120;
        imessage.text = "Sent with iMessage";
        imessage.groupId = anna;
        imessage.isMadrid = true;
        imessage.madridHandle = "anna@example.org";
        imessage.madridFlags = 2;
        db.addMessage(imessage);
        // Attachments alone: their description stands in for the text; garbage never does, and a
        // text is never replaced.
        imessage.text.reset();
        imessage.madridAttachmentInfo = std::string("IMG_0001.JPG\0image/jpeg\0", 24);
        db.addMessage(imessage);
        imessage.madridAttachmentInfo = std::string("\xff\xfe\0bad", 6);
        db.addMessage(imessage);
        imessage.text = "Look!";
        imessage.madridAttachmentInfo = std::string("IMG_0002.JPG", 12);
        db.addMessage(imessage);
        db.addMessage(legacy("+19175550100", kMarch2012Unix, "odd flags", 5, 0));
    }
    scanWithContacts();

    const auto& messages = collection.messageArray();
    ASSERT_EQ(messages.size(), 7u);
    EXPECT_EQ(messages[0]->messagePhone(), "+14155550199");
    EXPECT_EQ(messages[0]->messageName(), "Anna Berg");
    EXPECT_EQ(messages[0]->messageContent(), "Hi Anna");
    EXPECT_EQ(messages[0]->messageType(), "Send");
    EXPECT_EQ(messages[0]->messageDate(), "03-07-2012 09:05");
    EXPECT_FALSE(messages[0]->bImessage());

    // A message to three people is one message, addressed to all of them.
    EXPECT_EQ(messages[1]->messagePhone(), "+14155550199, +12125550143, +19175550100");
    EXPECT_EQ(messages[1]->messageName(), "Anna Berg, Ben Cole, +19175550100");
    EXPECT_EQ(messages[1]->messageType(), "Send");

    EXPECT_TRUE(messages[2]->bImessage());
    EXPECT_EQ(messages[2]->messagePhone(), "anna@example.org");
    EXPECT_EQ(messages[2]->messageName(), std::nullopt);
    EXPECT_EQ(messages[2]->messageType(), "Received");
    EXPECT_EQ(messages[2]->messageDate(), "03-07-2012 09:07"); // iMessages count from 2001

    EXPECT_EQ(messages[3]->messageContent(), "IMG_0001.JPGimage/jpeg");
    EXPECT_EQ(messages[4]->messageContent(), "");
    EXPECT_EQ(messages[5]->messageContent(), "Look!");
    EXPECT_EQ(messages[6]->messageType(), "unknown");
    EXPECT_EQ(messages[6]->messagePhone(), "+19175550100"); // outside any group: its own address
    EXPECT_EQ(messages[6]->messageName(), std::nullopt);

    EXPECT_EQ(messageProgress(), std::vector<long long>{50});
    EXPECT_EQ(context->layouts.messages, MessagesLayout::Madrid);
    EXPECT_TRUE(logged("(iOS 5): 7 messages"));
    for (const char* secret : {"Dinner", "Anna", "4155550199", "IMG_"}) {
        EXPECT_FALSE(anyLineHolds(secret)) << secret;
    }
}

TEST_F(MessageScan, ReadsTheIOS4LayoutWithoutIMessageColumns) {
    {
        fixtures::SmsDbBuilder db(smsDb(), SmsLayout::IOS4);
        const auto group = db.addGroup({"+12125550143"});
        db.addMessage(legacy("+12125550143", kMarch2012Unix, "Old phone", 2, group));
    }
    addContacts();
    scanWithContacts();
    ASSERT_EQ(collection.messageArray().size(), 1u);
    EXPECT_EQ(collection.messageArray()[0]->messageName(), "Ben Cole");
    EXPECT_EQ(collection.messageArray()[0]->messageType(), "Received");
    EXPECT_EQ(context->layouts.messages, MessagesLayout::GroupMember);
    EXPECT_FALSE(logged("has no column")); // iMessage columns are not missing from this layout
}

class HandleLayout : public MessageScan, public ::testing::WithParamInterface<SmsLayout> {};

// iOS 6 and later (iOS 7 to 9 too, whatever version the backup names): the partner through
// handle, dates from 2001 in seconds or, in later systems, nanoseconds.
TEST_P(HandleLayout, ReadsMessagesWithTheirPartnersAndDates) {
    addContacts();
    {
        fixtures::SmsDbBuilder db(smsDb(), GetParam());
        const auto anna = db.addHandle("+14155550199", "iMessage");
        const auto stranger = db.addHandle("+447700900123");
        const auto ben = db.addHandle("2125550143");
        const auto chat = db.addChat("chat1234", {anna, ben}, "iMessage");
        db.addMessage(handled("Hello", kMarch2012Device, anna, false));
        db.addMessage(handled("Reply", kMay2023Device, anna, true));
        db.addMessage(handled("Who is this?", kMay2023Device * 1000000000, stranger, false));
        db.addMessage(handled(std::nullopt, kMarch2012Device, ben, true));
        db.addMessage(handled("To the group", kMarch2012Device, 0, true, chat));
        const auto undated = db.addMessage(handled("No date", 0, ben, false));
        db.exec("UPDATE message SET date = NULL WHERE ROWID = " + std::to_string(undated) + ";");
    }
    scanWithContacts();

    const auto& m = collection.messageArray();
    ASSERT_EQ(m.size(), 6u);
    EXPECT_EQ(m[0]->messagePhone(), "+14155550199");
    EXPECT_EQ(m[0]->messageName(), "Anna Berg");
    EXPECT_EQ(m[0]->messageType(), "Received");
    EXPECT_EQ(m[0]->messageDate(), "03-07-2012 09:05");
    EXPECT_EQ(m[1]->messageType(), "Send");
    EXPECT_EQ(m[1]->messageDate(), "05-04-2023 10:20"); // never a 1990s date
    EXPECT_EQ(m[2]->messageDate(), "05-04-2023 10:20"); // nanoseconds
    EXPECT_EQ(m[2]->messageName(), std::nullopt);
    EXPECT_EQ(m[3]->messageContent(), "");
    EXPECT_EQ(m[3]->messageName(), "Ben Cole");
    // Sent into a group, with no handle of its own: to the members of its chat.
    EXPECT_EQ(m[4]->messagePhone(), "+14155550199, 2125550143");
    EXPECT_EQ(m[4]->messageName(), "Anna Berg, Ben Cole");
    EXPECT_EQ(m[5]->messageDate(), ""); // no date, not 01-01-2001
    for (const auto& message : m) {
        EXPECT_FALSE(message->bImessage());
    }
    EXPECT_EQ(messageProgress(), std::vector<long long>{50});
    EXPECT_EQ(context->layouts.messages, MessagesLayout::Handle);
    EXPECT_TRUE(logged("(iOS 6 and later): 6 messages"));
}

INSTANTIATE_TEST_SUITE_P(Systems, HandleLayout, ::testing::Values(SmsLayout::IOS6, SmsLayout::IOS7),
                         [](const auto& info) { return info.param == SmsLayout::IOS6 ? "iOS6" : "iOS7"; });

TEST_F(MessageScan, WithoutContactsNoMessageHasAName) {
    {
        fixtures::SmsDbBuilder db(smsDb(), SmsLayout::IOS6);
        db.addMessage(handled("Hi", kMarch2012Device, db.addHandle("+14155550199"), false));
    }
    scan(scanMessageThread);
    ASSERT_EQ(collection.messageArray().size(), 1u);
    EXPECT_EQ(collection.messageArray()[0]->messageName(), std::nullopt);
}

TEST_F(MessageScan, ReadsTheColumnsThatExist) {
    ASSERT_TRUE(fixtures::createDatabase(smsDb(),
                                         "CREATE TABLE message (ROWID INTEGER PRIMARY KEY, text TEXT, "
                                         "handle_id INTEGER);"
                                         "CREATE TABLE handle (ROWID INTEGER PRIMARY KEY, id TEXT);"
                                         "INSERT INTO handle VALUES (1, '+14155550199');"
                                         "INSERT INTO message VALUES (1, 'Bare', 1);",
                                         4));
    scan(scanMessageThread);
    ASSERT_EQ(collection.messageArray().size(), 1u);
    EXPECT_EQ(collection.messageArray()[0]->messageContent(), "Bare");
    EXPECT_EQ(collection.messageArray()[0]->messagePhone(), "+14155550199");
    EXPECT_EQ(collection.messageArray()[0]->messageDate(), "");
    EXPECT_TRUE(logged("table message has no column date, is_from_me"));
    EXPECT_EQ(progress, std::vector<long long>{50});
}

TEST_F(MessageScan, NothingIsPostedWhenNoMessagesCanBeRead) {
    scan(scanMessageThread);
    EXPECT_TRUE(logged("messageDB is not exist"));
    ASSERT_TRUE(fixtures::createDatabase(smsDb(), "CREATE TABLE something (a);", 4));
    scan(scanMessageThread);
    EXPECT_TRUE(logged("holds no message table"));
    EXPECT_TRUE(collection.messageArray().empty());
    EXPECT_TRUE(progress.empty());
}

TEST(MessageValues, DirectionAttachmentsAndDates) {
    EXPECT_EQ(messageDirection(2), "Received");
    EXPECT_EQ(messageDirection(22), "Received");
    EXPECT_EQ(messageDirection(3), "Send");
    EXPECT_EQ(messageDirection(16387), "Send");
    EXPECT_EQ(messageDirection(5), "unknown");
    EXPECT_EQ(attachmentText(std::string("a\0b\0c", 5)), "abc");
    EXPECT_EQ(attachmentText(std::string("\0\0", 2)), std::nullopt);
    EXPECT_EQ(attachmentText("\xc3("), std::nullopt);
    EXPECT_EQ(deviceSecondsOfMessageDate(700000000), 700000000);
    EXPECT_EQ(deviceSecondsOfMessageDate(700000000123456789LL), 700000000);
}
