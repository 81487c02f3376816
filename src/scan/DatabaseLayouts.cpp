#include "DatabaseLayouts.h"

#include "SqliteSource.h"

namespace quarrow {

AddressBookLayout addressBookLayoutOf(sqlite3* db) {
    if (!SqliteSource::tableColumns(db, "ABPerson").empty()) {
        return AddressBookLayout::ABPerson;
    }
    return AddressBookLayout::Unknown;
}

MessagesLayout messagesLayoutOf(sqlite3* db) {
    if (SqliteSource::tableColumns(db, "message").empty()) {
        return MessagesLayout::Unknown;
    }
    if (SqliteSource::hasColumns(db, "message", {"handle_id"}) && SqliteSource::hasColumns(db, "handle", {"id"})) {
        return MessagesLayout::Handle;
    }
    if (SqliteSource::hasColumns(db, "message", {"group_id"}) &&
        SqliteSource::hasColumns(db, "group_member", {"group_id", "address"})) {
        return SqliteSource::hasColumns(db, "message", {"is_madrid"}) ? MessagesLayout::Madrid
                                                                      : MessagesLayout::GroupMember;
    }
    return MessagesLayout::Unknown;
}

CallHistoryLayout callHistoryLayoutOf(sqlite3* db) {
    if (!SqliteSource::tableColumns(db, "ZCALLRECORD").empty()) {
        return CallHistoryLayout::CallRecord;
    }
    return SqliteSource::tableColumns(db, "call").empty() ? CallHistoryLayout::Unknown : CallHistoryLayout::CallTable;
}

std::string_view layoutName(AddressBookLayout layout) {
    switch (layout) {
    case AddressBookLayout::ABPerson:
        return "ABPerson, ABMultiValue";
    case AddressBookLayout::Unknown:
        break;
    }
    return "unknown";
}

std::string_view layoutName(MessagesLayout layout) {
    switch (layout) {
    case MessagesLayout::GroupMember:
        return "message, group_member (iOS 4 and earlier)";
    case MessagesLayout::Madrid:
        return "message, group_member with iMessage columns (iOS 5)";
    case MessagesLayout::Handle:
        return "message, handle (iOS 6 and later)";
    case MessagesLayout::Unknown:
        break;
    }
    return "unknown";
}

std::string_view layoutName(CallHistoryLayout layout) {
    switch (layout) {
    case CallHistoryLayout::CallTable:
        return "call";
    case CallHistoryLayout::CallRecord:
        return "ZCALLRECORD (iOS 8 and later)";
    case CallHistoryLayout::Unknown:
        break;
    }
    return "unknown";
}

} // namespace quarrow
