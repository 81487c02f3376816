#include "scan/ContactScanner.h"

#include "CategoryScanFixture.h"

using namespace quarrow;
using namespace quarrow::test;
using fixtures::PersonSpec;

namespace {

class ContactScan : public CategoryScan {
protected:
    std::string addressBook() const { return pathOf(DeviceFiles::kAddressBook); }
};

} // namespace

TEST_F(ContactScan, ReadsPersonsWithTheirValuesInRowOrder) {
    const std::string longNote = std::string(3000, 'x') + " – Ende";
    {
        fixtures::AddressBookBuilder db(addressBook());
        PersonSpec anna = person("Anna", "Berg", {"+1 (415) 555-0199", "555 0100"});
        anna.rowid = 128;
        anna.middle = "Maria";
        anna.department = "Sales";
        anna.jobTitle = "Director";
        anna.organization = "Acme";
        anna.note = longNote;
        anna.birthday = "-347155200";
        anna.values.push_back({fixtures::kABEmail, "_$!<Work>!$_", "anna@acme.example"});
        anna.values.push_back({fixtures::kABEmail, "_$!<Home>!$_", "anna@home.example"});
        anna.values.push_back({fixtures::kABURL, "_$!<HomePage>!$_", "https://anna.example"});
        anna.values.push_back({fixtures::kABAddress, "_$!<Home>!$_", "Hauptstraße 1"});
        anna.values.push_back({99, "", "a value of a kind no field takes"});
        anna.values.push_back({fixtures::kABPhone, "", ""});
        db.addPerson(anna);
        PersonSpec bob = person("", "Brown", {"020 7946 0018"});
        bob.rowid = 256;
        db.addPerson(bob);
        PersonSpec company;
        company.rowid = 300;
        company.organization = "Pizza Roma";
        db.addPerson(company);
        PersonSpec first = person("Chris", "", {});
        db.addPerson(first);
    }
    scan(scanContactThread);

    const auto& contacts = collection.contactArray();
    ASSERT_EQ(contacts.size(), 4u);
    const PRContactNode& anna = *contacts[0];
    EXPECT_EQ(anna.rowid(), 128);
    EXPECT_EQ(anna.contactName(), "Anna Maria Berg");
    EXPECT_EQ(anna.contactCompany(), "Sales Director Acme");
    EXPECT_EQ(anna.contactJobtitle(), ""); // the job title goes into the company
    EXPECT_EQ(anna.contactPhone(), " +1 (415) 555-0199 555 0100");
    EXPECT_EQ(anna.phoneNumbers(), (std::vector<std::string>{"+1 (415) 555-0199", "555 0100"}));
    EXPECT_EQ(anna.contactEmail(), " anna@acme.example anna@home.example");
    EXPECT_EQ(anna.contactHomepage(), " https://anna.example");
    EXPECT_EQ(anna.contactAdress(), " Hauptstraße 1");
    EXPECT_EQ(anna.contactNote(), longNote);
    EXPECT_EQ(anna.contactBirthday(), "01-01-1990"); // the stored seconds since 2001, as a day
    EXPECT_FALSE(anna.bDeleted());

    // A last name alone, or a company alone, is the whole name: no leading blank.
    EXPECT_EQ(contacts[1]->rowid(), 256);
    EXPECT_EQ(contacts[1]->contactName(), "Brown");
    EXPECT_EQ(contacts[2]->contactName(), "");
    EXPECT_EQ(contacts[2]->contactCompany(), "Pizza Roma");
    EXPECT_EQ(contacts[2]->contactPhone(), "");
    EXPECT_EQ(contacts[3]->rowid(), 301);
    EXPECT_EQ(contacts[3]->contactName(), "Chris");

    EXPECT_EQ(progress, std::vector<long long>{40});
    EXPECT_EQ(collection.counters().contactNum, 4);
    // Kept for the names of later scanners.
    EXPECT_EQ(context->contactArray.size(), 4u);
    EXPECT_EQ(context->phoneNames.nameFor("4155550199"), "Anna Maria Berg");
    EXPECT_EQ(context->layouts.addressBook, AddressBookLayout::ABPerson);
    EXPECT_TRUE(logged("4 contacts"));
    for (const char* secret : {"Anna", "Berg", "555", "acme", "xxxx"}) {
        EXPECT_FALSE(anyLineHolds(secret)) << secret;
    }
}

TEST_F(ContactScan, APersonOfRowZeroKeepsMinusOneAndItsValuesAreNotConfused) {
    {
        fixtures::AddressBookBuilder db(addressBook());
        PersonSpec zero = person("Zero", "", {"111 1111"});
        zero.rowid = 0;
        db.addPerson(zero);
        db.exec("UPDATE ABPerson SET ROWID = 0 WHERE First = 'Zero'; UPDATE ABMultiValue SET record_id = 0;");
        db.addPerson(person("Dan", "", {"222 2222"}));
    }
    scan(scanContactThread);
    const auto& contacts = collection.contactArray();
    ASSERT_EQ(contacts.size(), 2u);
    EXPECT_EQ(contacts[0]->rowid(), -1);
    EXPECT_EQ(contacts[0]->contactPhone(), ""); // its values name row 0, which no record holds
    EXPECT_EQ(contacts[1]->contactPhone(), " 222 2222");
}

TEST_F(ContactScan, ReadsTheColumnsThatExistAndSaysWhichAreMissing) {
    ASSERT_TRUE(fixtures::createDatabase(addressBook(),
                                         "CREATE TABLE ABPerson (ROWID INTEGER PRIMARY KEY, First TEXT, Last TEXT);"
                                         "CREATE TABLE ABMultiValue (UID INTEGER PRIMARY KEY, record_id INTEGER, "
                                         "property INTEGER, value TEXT);"
                                         "INSERT INTO ABPerson VALUES (1, 'Eva', 'Lind');"
                                         "INSERT INTO ABMultiValue VALUES (1, 1, 3, '070-123 45 67');",
                                         4));
    scan(scanContactThread);
    ASSERT_EQ(collection.contactArray().size(), 1u);
    EXPECT_EQ(collection.contactArray()[0]->contactName(), "Eva Lind");
    EXPECT_EQ(collection.contactArray()[0]->contactPhone(), " 070-123 45 67");
    EXPECT_TRUE(logged("table ABPerson has no column Department, JobTitle, Organization, Middle, Note, Birthday"));
    EXPECT_EQ(progress, std::vector<long long>{40});
}

TEST_F(ContactScan, WithoutValuesTheContactsStillCome) {
    ASSERT_TRUE(fixtures::createDatabase(addressBook(),
                                         "CREATE TABLE ABPerson (ROWID INTEGER PRIMARY KEY, First TEXT);"
                                         "INSERT INTO ABPerson VALUES (1, 'Eva');",
                                         4));
    scan(scanContactThread);
    ASSERT_EQ(collection.contactArray().size(), 1u);
    EXPECT_TRUE(logged("without their phone numbers"));
    EXPECT_EQ(progress, std::vector<long long>{40});
}

struct Unreadable {
    const char* name;
    const char* schema; // nullptr: no file at all
    const char* logLine;
};

class ContactScanUnreadable : public ContactScan, public ::testing::WithParamInterface<Unreadable> {};

// Contacts that could not be read are never reported as read: no records and no progress.
TEST_P(ContactScanUnreadable, PostsNothing) {
    if (GetParam().schema) {
        ASSERT_TRUE(fixtures::createDatabase(addressBook(), GetParam().schema, 4));
    }
    scan(scanContactThread);
    EXPECT_TRUE(collection.contactArray().empty());
    EXPECT_TRUE(progress.empty());
    EXPECT_TRUE(logged(GetParam().logLine));
}

INSTANTIATE_TEST_SUITE_P(Cases, ContactScanUnreadable,
                         ::testing::Values(Unreadable{"missing", nullptr, "contactDB is not exist"},
                                           Unreadable{"no_person_table", "CREATE TABLE other (a);",
                                                      "holds no ABPerson table"}),
                         [](const auto& info) { return std::string(info.param.name); });
