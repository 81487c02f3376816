#pragma once

#include "ExportFailure.h"
#include "records/Records.h"

#include <optional>
#include <string>
#include <string_view>

namespace quarrow {

class ExportOutput;

// Writes one contact as a vCard 3.0 file: name, display name, company, one line per e-mail address
// and per phone number, and the home page.
class PRVCFController {
public:
    // Builds the card into strContent and writes it atomically to `filePath`, replacing a card that
    // is already there. Answers what could not be written, or nothing.
    std::optional<ExportFailure> creatFile(const PRContactNode& contact, const std::string& filePath,
                                           ExportOutput& output);

    const std::string& strContent() const { return strContent_; }

    // The card text. Values are escaped as vCard 3.0 text values (backslash, comma, semicolon, line
    // breaks), other control characters are dropped, and lines longer than 75 bytes are folded
    // between whole UTF-8 characters, so that strict readers accept every card.
    static std::string cardText(const PRContactNode& contact);
    static std::string escapeValue(std::string_view value);
    // Appends one content line, folded, with its CRLF.
    static void appendLine(std::string& card, std::string_view line);

private:
    std::string strContent_;
};

} // namespace quarrow
