#pragma once

#include <string>

namespace quarrow {

class ScanContext;

// A scanner written the way every SQL scanner is: it finds its database through the backup's files,
// opens it through the scan's SQLite source, reads the columns it needs and posts one record per
// row and then its progress. It reads the `call` table of the call-history database.
void scanTestCallThread(ScanContext& context, const std::string& backupFolder);

} // namespace quarrow
