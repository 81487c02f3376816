#pragma once

#include <string_view>

struct sqlite3;

namespace quarrow {

// Which version of a device database a scan read. A layout is decided from the database itself
// (the tables and columns it has), never from the device's system version: backups of iOS 7 to 9
// carry the messages schema of iOS 6, and a backup restored from an older device keeps its files.
// A newer layout is a new value here, its test, and the mapping of its rows.

enum class AddressBookLayout {
    Unknown,
    ABPerson, // ABPerson and ABMultiValue (iOS 4 and later)
};

enum class MessagesLayout {
    Unknown,
    GroupMember, // message and group_member, without iMessage (iOS 4 and earlier)
    Madrid,      // the same with the madrid_* columns of iMessage (iOS 5)
    Handle,      // message, handle and chat (iOS 6 and later)
};

enum class CallHistoryLayout {
    Unknown,
    CallTable,  // call_history.db's call table (up to iOS 7)
    CallRecord, // CallHistory.storedata's ZCALLRECORD (Core Data, iOS 8 and later)
};

// The layouts read in one scan, kept in its context for the scanners and carvers that follow.
struct DatabaseLayouts {
    AddressBookLayout addressBook = AddressBookLayout::Unknown;
    MessagesLayout messages = MessagesLayout::Unknown;
    CallHistoryLayout callHistory = CallHistoryLayout::Unknown;
};

AddressBookLayout addressBookLayoutOf(sqlite3* db);
MessagesLayout messagesLayoutOf(sqlite3* db);
CallHistoryLayout callHistoryLayoutOf(sqlite3* db);

// For the log: "message, handle (iOS 6 and later)".
std::string_view layoutName(AddressBookLayout layout);
std::string_view layoutName(MessagesLayout layout);
std::string_view layoutName(CallHistoryLayout layout);

} // namespace quarrow
