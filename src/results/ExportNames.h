#pragma once

#include <ctime>
#include <string>
#include <string_view>

namespace quarrow {

// The name the save panel offers: the localised "Brindle %@ - %@" filled with the local date
// (YYYY-MM-DD) and time (HH.MM.SS, 24-hour clock). 5 March 2012, 14:07:33 gives
// "Brindle 2012-03-05 - 14.07.33".
std::string defaultExportName(const std::tm& localTime);
// The same for a moment, broken down in the host's local time zone.
std::string defaultExportName(std::time_t now);

// A file name for a record's name that stays inside the folder it is written to and that common
// file systems accept: path separators, control characters and the characters removable media
// refuse become "_", leading dots become "_" (no "..", no hidden file), and the name is cut (between
// whole UTF-8 characters) so that it and the extension fit in 255 bytes. An empty name gives "_".
std::string exportFileName(std::string_view name, std::string_view extension = {});

} // namespace quarrow
