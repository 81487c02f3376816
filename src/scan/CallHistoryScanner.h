#pragma once

#include "ScannerRegistry.h"
#include "records/Records.h"
#include "records/ValueHelpers.h"

#include <cstdint>
#include <future>
#include <optional>
#include <string>

namespace quarrow {

class ScanContext;

// Reads the calls of the backup's call history: CallHistory.storedata (iOS 8 and later) when the
// backup holds it, else call_history.db (the first of the two places it was kept), posting one "ScanCallHistoryInfo"
// per call with the name found among the scan's contacts, then "ScanProgressInfo" 60. Nothing is posted when the
// database cannot be read.
void scanCallHistoryThread(ScanContext& context, const std::string& backupFolder);
// The same scanner reading ahead: the rows are read on a thread of their own while the scanners
// before it run, then named and posted in its turn.
std::future<ScannerPost> readCallHistoryAhead(ScanContext& context, const std::string& backupFolder);

// One call as a layout's row gives it; what every call history layout maps to.
struct CallFields {
    OptText address;
    std::optional<std::int64_t> date; // read as a Unix time, or from 2001 when that lands before 1990
    std::optional<Epoch> epoch;       // when the layout says where its dates count from
    std::optional<std::int64_t> duration;
    std::optional<bool> outgoing;
};

// The record of a call. Its duration text is that of its seconds, or for a call of 0 seconds
// "Cancelled" when outgoing and "Missed" otherwise; a call of unknown length has none.
PRCallHistoryNodePtr callFromFields(CallFields fields, const PhoneNameIndex& names);

// Whether call_history.db's flags mark a call as outgoing: bit 0, which the FaceTime flags (16
// incoming, 17 outgoing) share with the voice ones (4, 5).
bool isOutgoingCall(std::int64_t flags);

} // namespace quarrow
