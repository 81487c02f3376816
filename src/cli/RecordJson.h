#pragma once

#include "records/Records.h"

#include <string>

namespace quarrow::cli {

// One record as a JSON object, its properties under their own names, in a fixed order.
std::string recordJson(const PRPhotoAndVideoNode& record);
std::string recordJson(const PRContactNode& record);
std::string recordJson(const PRMessageNode& record);
std::string recordJson(const PRNoteNode& record);
std::string recordJson(const PRCallHistoryNode& record);

} // namespace quarrow::cli
