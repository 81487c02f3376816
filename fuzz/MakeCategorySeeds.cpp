// Writes the seed inputs of the category scanner fuzz target: small address books, messages
// databases of iOS 4 to 7 and call histories (512-byte pages), each prefixed with the byte that
// tells the target which database it is (0 address book, 1 messages, 2 call history).
// Usage: quarrow_fuzz_category_seeds OUTPUT_FOLDER

#include "DeviceDb.h"
#include "PhoneDbs.h"

#include <cstdio>
#include <filesystem>
#include <string>

namespace fx = quarrow::fixtures;

namespace {

constexpr int kPageSize = 512;

// A fixture database of 512-byte pages, written as a seed with its choosing byte.
bool writeSeed(const std::string& database, const std::string& seed, char kind) {
    const std::string bytes = fx::readFile(database);
    std::filesystem::remove(database);
    return !bytes.empty() && fx::writeFile(seed, std::string(1, kind) + bytes);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_FOLDER\n", argv[0]);
        return 2;
    }
    const std::string out = argv[1];
    const std::string scratch = out + "/scratch.db";
    bool ok = true;
    {
        fx::AddressBookBuilder db(scratch);
        db.exec("PRAGMA page_size=" + std::to_string(kPageSize) + ";");
        fx::PersonSpec p;
        p.rowid = 300;
        p.first = "Anna";
        p.middle = "M";
        p.last = "Berg";
        p.organization = "Acme";
        p.note = std::string(200, 'n');
        p.values = {{fx::kABPhone, "_$!<Mobile>!$_", "+1 (415) 555-0199"},
                    {fx::kABEmail, "_$!<Home>!$_", "anna@example.org"},
                    {fx::kABURL, "", "http://example.org"}};
        db.addPerson(p);
        db.addPerson(fx::PersonSpec{});
        db.exec("VACUUM;");
    }
    ok = writeSeed(scratch, out + "/addressbook", 0) && ok;

    const struct {
        fx::SmsLayout layout;
        const char* name;
    } layouts[] = {{fx::SmsLayout::IOS4, "sms-ios4"},
                   {fx::SmsLayout::IOS5, "sms-ios5"},
                   {fx::SmsLayout::IOS6, "sms-ios6"},
                   {fx::SmsLayout::IOS7, "sms-ios7"}};
    for (const auto& [layout, name] : layouts) {
        {
            fx::SmsDbBuilder db(scratch, layout);
            if (layout == fx::SmsLayout::IOS4 || layout == fx::SmsLayout::IOS5) {
                const auto group = db.addGroup({"+14155550199", "+12125550143"});
                fx::LegacyMessageSpec m;
                m.address = "+14155550199";
                m.date = 1331111100;
                m.text = "Hello";
                m.groupId = group;
                db.addMessage(m);
                m.isMadrid = true;
                m.madridHandle = "a@example.org";
                m.madridAttachmentInfo = std::string("IMG.JPG\0image/jpeg", 18);
                m.text.reset();
                db.addMessage(m);
            } else {
                const auto handle = db.addHandle("+14155550199");
                const auto chat = db.addChat("chat1", {handle, db.addHandle("a@example.org", "iMessage")});
                fx::HandleMessageSpec m;
                m.text = "Hello";
                m.date = 352803900;
                m.handleId = handle;
                db.addMessage(m);
                m.handleId = 0;
                m.chatId = chat;
                m.fromMe = true;
                m.date = 704888400000000000LL;
                db.addMessage(m);
            }
            db.exec("PRAGMA page_size=" + std::to_string(kPageSize) + "; VACUUM;");
        }
        ok = writeSeed(scratch, out + "/" + name, 1) && ok;
    }
    {
        fx::CallHistoryBuilder db(scratch);
        db.addCall({"+14155550199", 1331111100, 95, fx::kCallOutgoing});
        db.addCall({"+14155550199", std::nullopt, std::nullopt, fx::kFaceTimeIncoming});
        db.exec("PRAGMA page_size=" + std::to_string(kPageSize) + "; VACUUM;");
    }
    ok = writeSeed(scratch, out + "/callhistory", 2) && ok;
    return ok ? 0 : 1;
}
