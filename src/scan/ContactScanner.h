#pragma once

#include <string>

namespace quarrow {

class ScanContext;

// Reads the persons of the backup's address book with their phone numbers, e-mail addresses,
// addresses and home pages. Every person goes into the context's contactArray, from which the
// names for the numbers of messages and calls are made, and is posted as "ScanContactInfo"; then
// "ScanProgressInfo" 40. Nothing is posted when the address book cannot be read.
void scanContactThread(ScanContext& context, const std::string& backupFolder);

} // namespace quarrow
