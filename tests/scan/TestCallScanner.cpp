#include "TestCallScanner.h"

#include "platform/Log.h"
#include "records/ScanNotifications.h"
#include "scan/ScanContext.h"

#include <sqlite3.h>

namespace quarrow {

void scanTestCallThread(ScanContext& context, const std::string& backupFolder) {
    const auto path = context.filesFor(backupFolder).locate(DeviceFiles::kCallHistory);
    if (!path) {
        systemLog("callDB is not exist");
        return;
    }
    if (const SqliteHandle db = context.sqlite.open(*path);
        db && SqliteSource::hasColumns(db.get(), "call", {"address", "duration"})) {
        sqlite3_stmt* stmt = nullptr;
        sqlite3_prepare_v2(db.get(), "SELECT address, duration FROM call ORDER BY ROWID", -1, &stmt, nullptr);
        while (stmt && sqlite3_step(stmt) == SQLITE_ROW) {
            auto call = std::make_shared<PRCallHistoryNode>();
            if (const auto* address = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0))) {
                call->setCallPhone(std::string(address));
            }
            call->setCallTime(sqlite3_column_int(stmt, 1));
            context.nc.post(ScanNotification::kCallHistory, std::shared_ptr<PRObject>(std::move(call)));
        }
        sqlite3_finalize(stmt);
    }
    context.nc.post(ScanNotification::kProgress, 60LL);
}

} // namespace quarrow
