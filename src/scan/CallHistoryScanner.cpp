#include "CallHistoryScanner.h"

#include "RowStream.h"
#include "ScanContext.h"
#include "SqlRows.h"
#include "platform/Log.h"
#include "records/ScanNotifications.h"

#include <algorithm>
#include <limits>
#include <memory>
#include <sqlite3.h>

namespace quarrow {

bool isOutgoingCall(std::int64_t flags) {
    return (flags & 1) != 0;
}

PRCallHistoryNodePtr callFromFields(CallFields fields, const PhoneNameIndex& names) {
    auto call = std::make_shared<PRCallHistoryNode>();
    // Absent without a number: no number, no contact.
    call->setCallName(fields.address ? getNameByPhoneNumber(*fields.address, names) : OptText());
    if (fields.address) {
        call->setCallPhone(std::move(fields.address));
    }
    if (fields.date) {
        if (auto text = fields.epoch ? dateTextSince(*fields.date, *fields.epoch) : dateText(*fields.date, 0)) {
            call->setCallDate(std::move(*text));
        }
    }
    if (fields.outgoing) {
        call->setCallType(*fields.outgoing ? "Outgoing" : "Incoming");
    }
    if (fields.duration) {
        const std::int64_t seconds = std::clamp<std::int64_t>(
            *fields.duration, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max());
        call->setCallTime(static_cast<std::int32_t>(seconds));
        if (seconds != 0) {
            call->setCallDuration(getCallHistoryDuration(static_cast<std::int32_t>(seconds)));
        } else {
            call->setCallDuration(fields.outgoing.value_or(false) ? "Cancelled" : "Missed");
        }
    }
    return call;
}

namespace {

// The layout of a database and whether its calls could be read; its rows go to the stream as
// they are read.
struct ReadCalls {
    CallHistoryLayout layout = CallHistoryLayout::Unknown;
    bool read = false;
    std::size_t count = 0; // posted
};

void readCalls(sqlite3* handle, const std::string& path, ReadCalls& result, RowStream<CallFields>& out) {
    result.layout = callHistoryLayoutOf(handle);
    if (result.layout == CallHistoryLayout::Unknown) {
        SqliteSource::logUnread(handle, "Call history", "holds no call table; no calls read", path);
        return;
    }
    // Both layouts read into the same four columns: the party, the date, the seconds and who called.
    // The Core Data store keeps dates and durations as real seconds (since 2001) and says who called
    // in ZORIGINATED; call_history.db keeps whole seconds and a flags word.
    const bool store = result.layout == CallHistoryLayout::CallRecord;
    const char* table = store ? "ZCALLRECORD" : "call";
    enum { kAddress, kDate, kDuration, kFlags };
    std::vector<std::string> missing;
    const std::string columns =
        store ? columnsOrNull(handle, table, {"ZADDRESS", "ZDATE", "ZDURATION", "ZORIGINATED"}, missing)
              : columnsOrNull(handle, table, {"address", "date", "duration", "flags"}, missing);
    logMissingColumns("Call history", table, missing);
    const Statement stmt = prepareStatement(handle, "SELECT " + columns + " FROM " + table + " ORDER BY " +
                                                        (store ? "ZCALLRECORD.Z_PK" : "call.ROWID"));
    if (!stmt) {
        systemLog(std::string("Call history: the calls could not be read: ") + sqlite3_errmsg(handle));
        return;
    }
    result.read = true;
    int rc;
    while ((rc = sqlite3_step(stmt.get())) == SQLITE_ROW) {
        CallFields fields;
        fields.address = columnText(stmt.get(), kAddress);
        fields.date = dateSeconds(stmt.get(), kDate);
        if (store) {
            fields.epoch = Epoch::Device;
            // A real number of seconds; a call of 0.4 seconds lasted 0 whole ones.
            fields.duration = dateSeconds(stmt.get(), kDuration);
            if (const auto originated = columnInteger(stmt.get(), kFlags)) {
                fields.outgoing = *originated == 1;
            }
        } else {
            fields.duration = columnInteger(stmt.get(), kDuration);
            if (const auto flags = columnInteger(stmt.get(), kFlags)) {
                fields.outgoing = isOutgoingCall(*flags);
            }
        }
        out.push(std::move(fields));
    }
    if (rc != SQLITE_DONE) {
        systemLog(std::string("Call history: stopped reading at a damaged row: ") + sqlite3_errmsg(handle));
    }
}

} // namespace

std::future<ScannerPost> readCallHistoryAhead(ScanContext& context, const std::string& backupFolder) {
    if (backupFolder.empty()) {
        return readAhead([] { return ScannerPost(); });
    }
    const auto file =
        context.filesFor(backupFolder)
            .locateFirst({DeviceFiles::kCallHistoryStore, DeviceFiles::kCallHistory, DeviceFiles::kCallHistoryLegacy});
    if (!file) {
        return readAhead([] { return ScannerPost([](ScanContext&) { systemLog("messageDB is not exist"); }); });
    }
    // Opened here, on the scan's worker, which is the only thread that reaches the backup's files.
    std::shared_ptr<sqlite3> db(context.sqlite.open(*file).release(), SqliteClose());
    if (!db) {
        return readAhead([] { return ScannerPost(); }); // logged where it failed
    }
    const std::string path = file->path;
    auto outcome = std::make_shared<ReadCalls>();
    auto read = [db, path, outcome](RowStream<CallFields>& out) { readCalls(db.get(), path, *outcome, out); };
    // Named and posted in the scanner's turn: the names come from the contacts scanned before.
    auto post = [outcome](ScanContext& context, CallFields& fields) {
        context.nc.post(ScanNotification::kCallHistory,
                        std::shared_ptr<PRObject>(callFromFields(std::move(fields), context.phoneNames)));
        ++outcome->count;
    };
    auto finish = [outcome](ScanContext& context) {
        context.layouts.callHistory = outcome->layout;
        if (!outcome->read) {
            return;
        }
        systemLog("Call history read, layout " + std::string(layoutName(outcome->layout)) + ": " +
                  std::to_string(outcome->count) + " calls");
        context.nc.post(ScanNotification::kProgress, 60LL);
    };
    return streamAhead<CallFields>(read, post, finish);
}

void scanCallHistoryThread(ScanContext& context, const std::string& backupFolder) {
    if (const ScannerPost post = readCallHistoryAhead(context, backupFolder).get()) {
        post(context);
    }
}

} // namespace quarrow
