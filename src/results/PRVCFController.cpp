#include "PRVCFController.h"

#include "ExportOutput.h"

#include <vector>

namespace quarrow {

namespace {

// Longest content line before folding, in bytes, as vCard 3.0 recommends.
constexpr std::size_t kFoldWidth = 75;

std::string textOf(const OptText& value) {
    return value ? *value : std::string();
}

bool isContinuationByte(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

// The values of a multi-value field that holds each one after a blank (" a@x.org b@y.org").
// E-mail addresses and home pages hold no blanks, so the blanks separate them.
std::vector<std::string> blankSeparated(const std::string& field) {
    std::vector<std::string> values;
    std::size_t i = 0;
    while (i < field.size()) {
        while (i < field.size() && isBlank(field[i])) {
            ++i;
        }
        std::size_t end = i;
        while (end < field.size() && !isBlank(field[end])) {
            ++end;
        }
        if (end > i) {
            values.push_back(field.substr(i, end - i));
        }
        i = end;
    }
    return values;
}

// Each phone number of a contact. Numbers hold blanks themselves, so they come from the list the
// scanner kept; a record without it (a carved one) has its whole phone text as one number.
std::vector<std::string> phoneNumbersOf(const PRContactNode& contact) {
    std::vector<std::string> numbers = contact.phoneNumbers();
    if (numbers.empty()) {
        const std::string all = textOf(contact.contactPhone());
        const auto first = all.find_first_not_of(" \t");
        if (first != std::string::npos) {
            numbers.push_back(all.substr(first));
        }
    }
    return numbers;
}

} // namespace

std::string PRVCFController::escapeValue(std::string_view value) {
    std::string out;
    out.reserve(value.size());
    for (std::size_t i = 0; i < value.size(); ++i) {
        const char c = value[i];
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case ',':
            out += "\\,";
            break;
        case ';':
            out += "\\;";
            break;
        case '\r':
            if (i + 1 < value.size() && value[i + 1] == '\n') {
                ++i;
            }
            out += "\\n";
            break;
        case '\n':
            out += "\\n";
            break;
        default:
            // A text value may hold blanks and tabs but no other control character.
            if ((static_cast<unsigned char>(c) < 0x20 && c != '\t') || c == 0x7F) {
                break;
            }
            out += c;
        }
    }
    return out;
}

void PRVCFController::appendLine(std::string& card, std::string_view line) {
    // The first physical line holds kFoldWidth bytes; each continuation a blank and one byte less.
    std::size_t width = kFoldWidth;
    while (line.size() > width) {
        std::size_t cut = width;
        while (cut > 1 && isContinuationByte(line[cut])) {
            --cut;
        }
        card.append(line.substr(0, cut));
        card += "\r\n ";
        line.remove_prefix(cut);
        width = kFoldWidth - 1;
    }
    card.append(line);
    card += "\r\n";
}

std::string PRVCFController::cardText(const PRContactNode& contact) {
    const std::string name = textOf(contact.contactName());
    const std::string company = textOf(contact.contactCompany());
    // A card must carry a display name; a contact known only by its company shows as the company.
    const std::string displayName = !name.empty() ? name : company;

    std::string card;
    appendLine(card, "BEGIN:VCARD");
    appendLine(card, "VERSION:3.0");
    appendLine(card, "N:" + escapeValue(name));
    appendLine(card, "FN:" + escapeValue(displayName));
    appendLine(card, "ORG:" + escapeValue(company));
    // One line per address and per number, the first one preferred: an address book reads a line
    // as one address or one number.
    bool first = true;
    for (const std::string& email : blankSeparated(textOf(contact.contactEmail()))) {
        appendLine(card, std::string(first ? "EMAIL;TYPE=INTERNET,HOME,PREF:" : "EMAIL;TYPE=INTERNET,HOME:") +
                             escapeValue(email));
        first = false;
    }
    first = true;
    for (const std::string& number : phoneNumbersOf(contact)) {
        appendLine(card, std::string(first ? "TEL;TYPE=CELL,PREF:" : "TEL;TYPE=CELL:") + escapeValue(number));
        first = false;
    }
    appendLine(card, "URL:" + escapeValue(textOf(contact.contactHomepage())));
    appendLine(card, "END:VCARD");
    return card;
}

std::optional<ExportFailure> PRVCFController::creatFile(const PRContactNode& contact, const std::string& filePath,
                                                        ExportOutput& output) {
    strContent_ = cardText(contact);
    std::string error;
    if (!output.writeAtomically(filePath, strContent_, error)) {
        return ExportFailure{filePath, "could not be written: " + error};
    }
    return std::nullopt;
}

} // namespace quarrow
