#include "ContactScanner.h"

#include "ScanContext.h"
#include "SqlRows.h"
#include "platform/Log.h"
#include "records/ScanNotifications.h"
#include "records/ValueHelpers.h"

#include <limits>
#include <sqlite3.h>
#include <unordered_map>

namespace quarrow {

namespace {

// ABMultiValue.property: the kind of a person's value.
constexpr std::int64_t kPropertyPhone = 3;
constexpr std::int64_t kPropertyEmail = 4;
constexpr std::int64_t kPropertyAddress = 5;
constexpr std::int64_t kPropertyHomepage = 22;

// The ABPerson columns a contact is made of, in the order they are read.
enum PersonColumn { kRowid, kFirst, kDepartment, kJobTitle, kOrganization, kMiddle, kLast, kNote, kBirthday };

// Appends a part to a text of parts joined by single blanks. Empty parts add nothing, so a person
// with a last name alone is named by it, without a leading blank.
void joinPart(OptText& text, const OptText& part) {
    if (!part || part->empty()) {
        return;
    }
    if (!text || text->empty()) {
        text = part;
    } else {
        *text += " " + *part;
    }
}

// Appends a value to a multi-value field: a blank and the value, so a filled field starts with a
// blank and holds its values in the order they were read.
void addValue(PRContactNode& contact, OptText (PRContactNode::*get)() const, void (PRContactNode::*set)(OptText),
              const std::string& value) {
    const OptText current = (contact.*get)();
    (contact.*set)((current ? *current : std::string()) + " " + value);
}

PRContactNodePtr contactFromRow(sqlite3_stmt* stmt) {
    auto contact = std::make_shared<PRContactNode>();
    const auto rowid = columnInteger(stmt, kRowid);
    if (rowid && *rowid != 0 && *rowid >= std::numeric_limits<std::int32_t>::min() &&
        *rowid <= std::numeric_limits<std::int32_t>::max()) {
        contact->setRowid(static_cast<std::int32_t>(*rowid));
    }
    OptText name;
    for (int column : {kFirst, kMiddle, kLast}) {
        joinPart(name, columnText(stmt, column));
    }
    if (name) {
        contact->setContactName(name);
    }
    OptText company;
    for (int column : {kDepartment, kJobTitle, kOrganization}) {
        joinPart(company, columnText(stmt, column));
    }
    if (company) {
        contact->setContactCompany(company);
    }
    if (auto note = columnText(stmt, kNote)) {
        contact->setContactNote(std::move(note));
    }
    if (auto birthday = columnText(stmt, kBirthday)) {
        contact->setContactBirthday(birthdayText(*birthday));
    }
    return contact;
}

// Reads every person; nothing when the table cannot be read.
std::optional<std::vector<PRContactNodePtr>> readPersons(sqlite3* db) {
    std::vector<std::string> missing;
    const std::string sql = "SELECT " +
                            columnsOrNull(db, "ABPerson",
                                          {"ROWID", "First", "Department", "JobTitle", "Organization", "Middle", "Last",
                                           "Note", "Birthday"},
                                          missing) +
                            " FROM ABPerson";
    logMissingColumns("Address book", "ABPerson", missing);
    const Statement stmt = prepareStatement(db, sql);
    if (!stmt) {
        systemLog(std::string("Address book: the persons could not be read: ") + sqlite3_errmsg(db));
        return std::nullopt;
    }
    std::vector<PRContactNodePtr> persons;
    int rc;
    while ((rc = sqlite3_step(stmt.get())) == SQLITE_ROW) {
        persons.push_back(contactFromRow(stmt.get()));
    }
    if (rc != SQLITE_DONE) {
        systemLog(std::string("Address book: stopped reading persons at a damaged row: ") + sqlite3_errmsg(db));
    }
    return persons;
}

// Adds every phone number, e-mail address, address and home page to its person, in the order of
// the values' rows: one pass over ABMultiValue for all persons.
void readValues(sqlite3* db, const std::vector<PRContactNodePtr>& persons) {
    std::vector<std::string> missing;
    const std::string list = columnsOrNull(db, "ABMultiValue", {"record_id", "property", "value"}, missing);
    if (!missing.empty()) {
        logMissingColumns("Address book", "ABMultiValue", missing);
        systemLog("Address book: contacts are read without their phone numbers, e-mail addresses and home pages");
        return;
    }
    const Statement stmt = prepareStatement(db, "SELECT " + list + " FROM ABMultiValue ORDER BY ABMultiValue.ROWID");
    if (!stmt) {
        systemLog(std::string("Address book: the values could not be read: ") + sqlite3_errmsg(db));
        return;
    }
    // A person is looked up by the row identifier it holds (-1 for the row 0), as the values name it.
    std::unordered_map<std::int64_t, std::vector<PRContactNode*>> byRow;
    for (const auto& person : persons) {
        byRow[person->rowid()].push_back(person.get());
    }
    std::unordered_map<PRContactNode*, std::vector<std::string>> numbers;
    int rc;
    while ((rc = sqlite3_step(stmt.get())) == SQLITE_ROW) {
        const auto owner = columnInteger(stmt.get(), 0);
        const auto property = columnInteger(stmt.get(), 1);
        const OptText value = columnText(stmt.get(), 2);
        if (!owner || !property || !value || value->empty()) {
            continue;
        }
        const auto found = byRow.find(*owner);
        if (found == byRow.end()) {
            continue;
        }
        for (PRContactNode* person : found->second) {
            switch (*property) {
            case kPropertyPhone:
                addValue(*person, &PRContactNode::contactPhone, &PRContactNode::setContactPhone, *value);
                numbers[person].push_back(*value);
                break;
            case kPropertyEmail:
                addValue(*person, &PRContactNode::contactEmail, &PRContactNode::setContactEmail, *value);
                break;
            case kPropertyAddress:
                addValue(*person, &PRContactNode::contactAdress, &PRContactNode::setContactAdress, *value);
                break;
            case kPropertyHomepage:
                addValue(*person, &PRContactNode::contactHomepage, &PRContactNode::setContactHomepage, *value);
                break;
            default:
                break;
            }
        }
    }
    if (rc != SQLITE_DONE) {
        systemLog(std::string("Address book: stopped reading values at a damaged row: ") + sqlite3_errmsg(db));
    }
    for (auto& [person, list] : numbers) {
        person->setPhoneNumbers(std::move(list));
    }
}

} // namespace

void scanContactThread(ScanContext& context, const std::string& backupFolder) {
    if (backupFolder.empty()) {
        return;
    }
    // The located file names its -wal, which a backup keeps as a device file of its own.
    const auto file = context.filesFor(backupFolder).locateFirst({DeviceFiles::kAddressBook});
    if (!file) {
        systemLog("contactDB is not exist");
        return;
    }
    const SqliteHandle db = context.sqlite.open(*file);
    if (!db) {
        return; // logged where it failed
    }
    context.layouts.addressBook = addressBookLayoutOf(db.get());
    if (context.layouts.addressBook == AddressBookLayout::Unknown) {
        SqliteSource::logUnread(db.get(), "Address book", "holds no ABPerson table; no contacts read", file->path);
        return;
    }
    auto persons = readPersons(db.get());
    if (!persons) {
        return;
    }
    readValues(db.get(), *persons);
    systemLog("Address book read, layout " + std::string(layoutName(context.layouts.addressBook)) + ": " +
              std::to_string(persons->size()) + " contacts");

    context.contactArray.insert(context.contactArray.end(), persons->begin(), persons->end());
    context.phoneNames = PhoneNameIndex(context.contactArray);
    for (auto& person : *persons) {
        context.nc.post(ScanNotification::kContact, std::shared_ptr<PRObject>(std::move(person)));
    }
    context.nc.post(ScanNotification::kProgress, 40LL);
}

} // namespace quarrow
