#pragma once

#include "ScannerRegistry.h"
#include "records/Records.h"
#include "records/ValueHelpers.h"

#include <cstdint>
#include <future>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quarrow {

class ScanContext;

// Reads the text messages of the backup's messages database, in the layout the database itself
// has (see MessagesLayout), posting one "ScanMessageInfo" per message with the sender's or
// recipients' names found among the scan's contacts, then "ScanProgressInfo" 50. Nothing is posted
// when the database cannot be read. The layout read is kept in the context and logged.
void scanMessageThread(ScanContext& context, const std::string& backupFolder);
// The same scanner reading ahead: the rows are read on a thread of their own while the scanners
// before it run, then named and posted in its turn.
std::future<ScannerPost> readMessagesAhead(ScanContext& context, const std::string& backupFolder);

// One message as a layout's row gives it, before it becomes a record; what every layout maps to.
struct MessageFields {
    OptText content;
    // The other parties' addresses: one for a conversation of two, each member for a group.
    std::vector<std::string> parties;
    OptText type; // "Send", "Received" or "unknown"
    std::optional<std::int64_t> date;
    Epoch epoch = Epoch::Device;
    bool iMessage = false;
};

// The record of a message: the parties joined by ", " as its phone, and as its name the contact's
// name of a single party, or for a group each member's name (or number when it has none); absent
// when no party is a contact. No date text for a message without a date.
PRMessageNodePtr messageFromFields(MessageFields fields, const PhoneNameIndex& names);

// The text of a message whose text column is empty, from its attributedBody (a typedstream of an
// NSAttributedString, as iOS 14 and later keep it); nothing when the archive holds no text.
OptText attributedBodyText(std::string_view attributedBody);

// Seconds since 2001 of a messages database's date from iOS 6 on: seconds, or nanoseconds in the
// databases of later systems (any value above 10^12, which as seconds would be past the year 30000).
std::int64_t deviceSecondsOfMessageDate(std::int64_t value);

// The direction of an iOS 5 or earlier message by its flags (or madrid_flags): 2 and 22 received,
// 3 and 16387 sent, anything else unknown.
std::string messageDirection(std::int64_t flags);

// An iMessage's attachment description: its bytes with every zero byte removed, when that is
// valid UTF-8; nothing otherwise.
OptText attachmentText(std::string_view bytes);

} // namespace quarrow
