#include "MessageScanner.h"

#include "RowStream.h"
#include "ScanContext.h"
#include "SqlRows.h"
#include "platform/Log.h"
#include "records/ScanNotifications.h"
#include "records/TypedStream.h"
#include "records/Utf8.h"

#include <sqlite3.h>
#include <unordered_map>

namespace quarrow {

namespace {

constexpr std::int64_t kNanosecondDates = 1000000000000LL;

using Members = std::unordered_map<std::int64_t, std::vector<std::string>>;

// Whether a layout's messages could be read; its rows go to the stream as they are read.
struct ReadResult {
    bool read = false;
};
using MessageStream = RowStream<MessageFields>;

bool stepAll(sqlite3_stmt* stmt, sqlite3* db, const auto& onRow) {
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        onRow(stmt);
    }
    if (rc != SQLITE_DONE) {
        systemLog(std::string("Messages database: stopped reading at a damaged row: ") + sqlite3_errmsg(db));
    }
    return true;
}

// The parties of the messages sent into a group (iOS 6 and later), which name no handle of their
// own: the handles of the message's chat, by message. One query, whose joins SQLite indexes itself.
Members chatRecipients(sqlite3* db) {
    Members recipients;
    if (!SqliteSource::hasColumns(db, "chat_message_join", {"chat_id", "message_id"}) ||
        !SqliteSource::hasColumns(db, "chat_handle_join", {"chat_id", "handle_id"})) {
        return recipients;
    }
    const Statement stmt =
        prepareStatement(db, "SELECT chat_message_join.message_id, handle.id FROM message "
                             "JOIN chat_message_join ON chat_message_join.message_id = message.ROWID "
                             "JOIN chat_handle_join ON chat_handle_join.chat_id = chat_message_join.chat_id "
                             "JOIN handle ON handle.ROWID = chat_handle_join.handle_id "
                             "WHERE message.handle_id = 0 OR message.handle_id IS NULL "
                             "ORDER BY chat_message_join.message_id, chat_handle_join.ROWID");
    if (!stmt) {
        systemLog(std::string("Messages database: the recipients of group messages could not be read: ") +
                  sqlite3_errmsg(db));
        return recipients;
    }
    stepAll(stmt.get(), db, [&recipients](sqlite3_stmt* row) {
        const auto message = columnInteger(row, 0);
        auto address = columnText(row, 1);
        if (message && address && !address->empty()) {
            recipients[*message].push_back(std::move(*address));
        }
    });
    return recipients;
}

// iOS 6 and later: one row per message, its partner through handle; a message sent into a group,
// which has no handle, goes to the members of its chat.
ReadResult readHandleLayout(sqlite3* db, MessageStream& out) {
    enum { kRow, kText, kDate, kFromMe, kHandle, kAttributedBody };
    std::vector<std::string> missing;
    const std::string messageColumns = columnsOrNull(db, "message", {"ROWID", "text", "date", "is_from_me"}, missing);
    logMissingColumns("Messages database", "message", missing);
    // From iOS 14 on, text is often NULL and the words are only in attributedBody.
    const bool attributed = SqliteSource::hasColumns(db, "message", {"attributedBody"});
    const Statement stmt = prepareStatement(
        db, "SELECT " + messageColumns + ", handle.id, " + (attributed ? "message.attributedBody" : "NULL") +
                " FROM message LEFT JOIN handle ON message.handle_id = handle.ROWID ORDER BY "
                "message.ROWID");
    if (!stmt) {
        systemLog(std::string("Messages database: the messages could not be read: ") + sqlite3_errmsg(db));
        return {};
    }
    const Members recipients = chatRecipients(db);
    ReadResult result{true};
    stepAll(stmt.get(), db, [&](sqlite3_stmt* row) {
        MessageFields fields;
        fields.content = columnText(row, kText);
        if (!fields.content) {
            fields.content = attributedBodyText(columnBytes(row, kAttributedBody));
        }
        if (const auto date = dateSeconds(row, kDate)) {
            fields.date = deviceSecondsOfMessageDate(*date);
        }
        fields.epoch = Epoch::Device;
        if (const auto fromMe = columnInteger(row, kFromMe)) {
            fields.type = *fromMe == 1 ? "Send" : *fromMe == 0 ? "Received" : "unknown";
        }
        if (auto handle = columnText(row, kHandle); handle && !handle->empty()) {
            fields.parties.push_back(std::move(*handle));
        } else if (const auto rowid = columnInteger(row, kRow)) {
            if (const auto found = recipients.find(*rowid); found != recipients.end()) {
                fields.parties = found->second;
            }
        }
        out.push(std::move(fields));
    });
    return result;
}

// The members of every group of an iOS 5 or earlier database, in the order they were added.
Members readGroupMembers(sqlite3* db) {
    Members members;
    const Statement stmt = prepareStatement(
        db, "SELECT group_member.group_id, group_member.address FROM group_member ORDER BY group_member.ROWID");
    if (!stmt) {
        systemLog(std::string("Messages database: the group members could not be read: ") + sqlite3_errmsg(db));
        return members;
    }
    stepAll(stmt.get(), db, [&members](sqlite3_stmt* row) {
        const auto group = columnInteger(row, 0);
        auto address = columnText(row, 1);
        if (group && address && !address->empty()) {
            members[*group].push_back(std::move(*address));
        }
    });
    return members;
}

// iOS 5 and earlier: one row per message, its parties the members of its group, each message once
// however many members its group has. iMessages (is_madrid 1) take their party and direction from
// the madrid columns and count their dates from 2001; text messages count theirs from 1970.
ReadResult readGroupLayout(sqlite3* db, bool madrid, MessageStream& out) {
    enum { kGroup, kText, kDate, kFlags, kAddress, kIsMadrid, kMadridHandle, kMadridFlags, kMadridAttachment };
    std::vector<std::string> missing;
    const std::string columns =
        madrid ? columnsOrNull(db, "message",
                               {"group_id", "text", "date", "flags", "address", "is_madrid", "madrid_handle",
                                "madrid_flags", "madrid_attachmentInfo"},
                               missing)
               : columnsOrNull(db, "message", {"group_id", "text", "date", "flags", "address"}, missing);
    logMissingColumns("Messages database", "message", missing);
    const Statement stmt = prepareStatement(db, "SELECT " + columns + " FROM message ORDER BY message.ROWID");
    if (!stmt) {
        systemLog(std::string("Messages database: the messages could not be read: ") + sqlite3_errmsg(db));
        return {};
    }
    const Members members = readGroupMembers(db);
    ReadResult result{true};
    stepAll(stmt.get(), db, [&](sqlite3_stmt* row) {
        MessageFields fields;
        fields.content = columnText(row, kText);
        fields.date = dateSeconds(row, kDate);
        fields.epoch = Epoch::Unix;
        if (const auto flags = columnInteger(row, kFlags)) {
            fields.type = messageDirection(*flags);
        }
        if (const auto group = columnInteger(row, kGroup)) {
            if (const auto found = members.find(*group); found != members.end()) {
                fields.parties = found->second;
            }
        }
        if (fields.parties.empty()) {
            // A message outside any group names its party itself.
            if (auto address = columnText(row, kAddress); address && !address->empty()) {
                fields.parties.push_back(std::move(*address));
            }
        }
        if (madrid && columnInteger(row, kIsMadrid) == 1) {
            fields.iMessage = true;
            fields.epoch = Epoch::Device;
            if (auto handle = columnText(row, kMadridHandle); handle && !handle->empty()) {
                fields.parties = {std::move(*handle)};
            }
            if (const auto flags = columnInteger(row, kMadridFlags)) {
                fields.type = messageDirection(*flags);
            }
            // A message of attachments alone describes them; a text is never replaced.
            if (!fields.content || fields.content->empty()) {
                if (auto described = attachmentText(columnBytes(row, kMadridAttachment))) {
                    fields.content = std::move(described);
                }
            }
        }
        out.push(std::move(fields));
    });
    return result;
}

} // namespace

OptText attributedBodyText(std::string_view attributedBody) {
    if (attributedBody.empty()) {
        return std::nullopt;
    }
    auto text = typedStreamString(attributedBody);
    if (!text || text->empty()) {
        return std::nullopt;
    }
    return GetStringFormChar(*text);
}

std::int64_t deviceSecondsOfMessageDate(std::int64_t value) {
    return value > kNanosecondDates || value < -kNanosecondDates ? value / 1000000000 : value;
}

std::string messageDirection(std::int64_t flags) {
    switch (flags) {
    case 2:
    case 22:
        return "Received";
    case 3:
    case 16387:
        return "Send";
    default:
        return "unknown";
    }
}

OptText attachmentText(std::string_view bytes) {
    std::string text;
    text.reserve(bytes.size());
    for (char c : bytes) {
        if (c != '\0') {
            text += c;
        }
    }
    if (text.empty() || !isStrictUtf8(text)) {
        return std::nullopt;
    }
    return text;
}

PRMessageNodePtr messageFromFields(MessageFields fields, const PhoneNameIndex& names) {
    auto message = std::make_shared<PRMessageNode>();
    if (fields.content) {
        message->setMessageContent(std::move(fields.content));
    }
    if (fields.type) {
        message->setMessageType(std::move(fields.type));
    }
    message->setBImessage(fields.iMessage);
    if (fields.date) {
        if (auto text = dateTextSince(*fields.date, fields.epoch)) {
            message->setMessageDate(std::move(*text));
        }
    }
    if (fields.parties.size() == 1) {
        message->setMessageName(getNameByPhoneNumber(fields.parties.front(), names));
        message->setMessagePhone(std::move(fields.parties.front()));
        return message;
    }
    std::string phone;
    std::string shownNames;
    bool anyName = false;
    for (const std::string& party : fields.parties) {
        const OptText name = getNameByPhoneNumber(party, names);
        anyName = anyName || name.has_value();
        if (!phone.empty()) {
            phone += ", ";
            shownNames += ", ";
        }
        phone += party;
        shownNames += name ? *name : party;
    }
    if (!fields.parties.empty()) {
        message->setMessagePhone(phone);
    }
    // Absent, not empty, when no party is a contact.
    message->setMessageName(anyName ? OptText(shownNames) : std::nullopt);
    return message;
}

std::future<ScannerPost> readMessagesAhead(ScanContext& context, const std::string& backupFolder) {
    if (backupFolder.empty()) {
        return readAhead([] { return ScannerPost(); });
    }
    // The located file names its -wal, which a backup keeps as a device file of its own.
    const auto file = context.filesFor(backupFolder).locateFirst({DeviceFiles::kMessages});
    if (!file) {
        return readAhead([] { return ScannerPost([](ScanContext&) { systemLog("messageDB is not exist"); }); });
    }
    // Opened here, on the scan's worker, which is the only thread that reaches the backup's files.
    std::shared_ptr<sqlite3> db(context.sqlite.open(*file).release(), SqliteClose());
    if (!db) {
        return readAhead([] { return ScannerPost(); }); // logged where it failed
    }
    struct Outcome {
        MessagesLayout layout = MessagesLayout::Unknown;
        ReadResult result;
        std::size_t count = 0;
    };
    auto outcome = std::make_shared<Outcome>();
    const std::string path = file->path;
    auto read = [db, path, outcome](MessageStream& out) {
        outcome->layout = messagesLayoutOf(db.get());
        switch (outcome->layout) {
        case MessagesLayout::Handle:
            outcome->result = readHandleLayout(db.get(), out);
            break;
        case MessagesLayout::Madrid:
        case MessagesLayout::GroupMember:
            outcome->result = readGroupLayout(db.get(), outcome->layout == MessagesLayout::Madrid, out);
            break;
        case MessagesLayout::Unknown:
            systemLog("[CsmsModule] sqlite3_prepare smsdb failed!");
            SqliteSource::logUnread(db.get(), "Messages database", "holds no message table this program reads", path);
            break;
        }
    };
    // Named and posted in the scanner's turn: the names come from the contacts scanned before.
    auto post = [outcome](ScanContext& context, MessageFields& fields) {
        context.nc.post(ScanNotification::kMessage,
                        std::shared_ptr<PRObject>(messageFromFields(std::move(fields), context.phoneNames)));
        ++outcome->count;
    };
    auto finish = [outcome](ScanContext& context) {
        context.layouts.messages = outcome->layout;
        if (!outcome->result.read) {
            return;
        }
        systemLog("Messages database read, layout " + std::string(layoutName(outcome->layout)) + ": " +
                  std::to_string(outcome->count) + " messages");
        context.nc.post(ScanNotification::kProgress, 50LL);
    };
    return streamAhead<MessageFields>(read, post, finish);
}

void scanMessageThread(ScanContext& context, const std::string& backupFolder) {
    if (const ScannerPost post = readMessagesAhead(context, backupFolder).get()) {
        post(context);
    }
}

} // namespace quarrow
