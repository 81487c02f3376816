#pragma once

// Names of the notifications through which scanners report to the result collection. Record
// notifications carry the record; "ScanProgressInfo" an absolute percentage; the photo scanner's
// notification a file path.
namespace quarrow::ScanNotification {
inline constexpr const char* kNote = "ScanNoteInfo";
inline constexpr const char* kDelNote = "ScanDelNoteInfo";
inline constexpr const char* kContact = "ScanContactInfo";
inline constexpr const char* kDelContact = "ScanDelContactInfo";
inline constexpr const char* kMessage = "ScanMessageInfo";
inline constexpr const char* kDelMessage = "ScanDelMessageInfo";
inline constexpr const char* kCallHistory = "ScanCallHistoryInfo";
inline constexpr const char* kDelCallHistory = "ScanDelCallHistoryInfo";
inline constexpr const char* kPhotoAndVideo = "ScanPhotoAndVideoInfo";
inline constexpr const char* kProgress = "ScanProgressInfo";
} // namespace quarrow::ScanNotification
