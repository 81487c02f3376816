#include "ExportTestSupport.h"
#include "results/PRVCFController.h"

#include <map>
#include <sstream>

using namespace quarrow;
using namespace quarrow::test;

namespace {

using CardValues = std::map<std::string, std::vector<std::string>>;

// A deliberately strict vCard 3.0 reader, so that what it accepts address books accept: CRLF only,
// lines of at most 75 octets, folding, the BEGIN/VERSION/END frame, name=value parameters, and only
// the escapes \n \\ \, \;. Fills the decoded values by property name (N and ORG split on ';'; one
// value per line of the properties that may repeat, TEL and EMAIL) and answers an error text, empty
// when the card is sound.
std::string parseStrict(const std::string& text, CardValues& values) {
    std::vector<std::string> lines;
    for (std::size_t from = 0; from < text.size();) {
        const auto end = text.find("\r\n", from);
        if (end == std::string::npos) {
            return "last line has no CRLF";
        }
        const std::string line = text.substr(from, end - from);
        from = end + 2;
        if (line.find_first_of("\r\n") != std::string::npos || line.size() > 75) {
            return "bare CR or LF, or longer than 75 octets: " + line;
        }
        if (!line.empty() && (line[0] == ' ' || line[0] == '\t') && !lines.empty()) {
            lines.back() += line.substr(1);
        } else {
            lines.push_back(line);
        }
    }
    if (lines.size() < 3 || lines[0] != "BEGIN:VCARD" || lines[1] != "VERSION:3.0" || lines.back() != "END:VCARD") {
        return "not framed as a vCard 3.0";
    }
    for (std::size_t i = 2; i + 1 < lines.size(); ++i) {
        const auto colon = lines[i].find(':');
        if (colon == std::string::npos) {
            return "no colon: " + lines[i];
        }
        std::istringstream head(lines[i].substr(0, colon));
        std::string name, param;
        std::getline(head, name, ';');
        if (name.empty() || name.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789-") != std::string::npos) {
            return "bad property name: " + name;
        }
        while (std::getline(head, param, ';')) {
            const auto eq = param.find('=');
            if (eq == std::string::npos || eq == 0 || eq + 1 == param.size()) {
                return "bad parameter: " + param;
            }
        }
        auto& out = values[name];
        if (!out.empty() && name != "TEL" && name != "EMAIL") {
            return "repeated " + name;
        }
        out.emplace_back();
        const std::string raw = lines[i].substr(colon + 1);
        for (std::size_t k = 0; k < raw.size(); ++k) {
            const char c = raw[k];
            if (c == '\\' && k + 1 < raw.size() && std::string("nN\\,;").find(raw[k + 1]) != std::string::npos) {
                ++k;
                out.back() += raw[k] == 'n' || raw[k] == 'N' ? '\n' : raw[k];
            } else if (c == ';' && (name == "N" || name == "ORG")) {
                out.emplace_back();
            } else if (c == '\\' || c == ';' || c == ',' || (static_cast<unsigned char>(c) < 0x20 && c != '\t')) {
                return "unescaped or control character in " + name;
            } else {
                out.back() += c;
            }
        }
    }
    return values.count("N") && values.count("FN") ? "" : "N or FN missing";
}

std::vector<std::string> splitOnBlanks(const std::string& text) {
    std::vector<std::string> parts;
    std::istringstream in(text);
    for (std::string part; std::getline(in, part, ' ');) {
        if (!part.empty()) {
            parts.push_back(part);
        }
    }
    return parts;
}

std::string repeat(const std::string& s, int n) {
    std::string out;
    for (int i = 0; i < n; ++i) {
        out += s;
    }
    return out;
}

struct ValueCase {
    const char* name;
    std::string value;
    std::string readBack;
};

class VCardValue : public ExportFixture, public ::testing::WithParamInterface<ValueCase> {};

// The same awkward text in every field of a card: it must parse strictly and read back unchanged.
TEST_P(VCardValue, ReadsBackThroughAStrictParser) {
    const std::string& v = GetParam().value;
    auto contact = makeContact(v, v, 3);
    contact->setContactEmail(v);
    contact->setContactPhone(v);
    contact->setContactHomepage(v);
    collection.ScanContactInfomationHandle(contact);
    tick(contact);
    ASSERT_TRUE(exportTo(exportPath()).empty());

    std::vector<std::string> cards;
    for (const auto& entry : treeOf(exportPath() + "/Contact")) {
        if (entry.ends_with(".vcf")) {
            cards.push_back(entry);
        }
    }
    ASSERT_EQ(cards.size(), 1u);
    CardValues values;
    ASSERT_EQ(parseStrict(*slurp(exportPath() + "/Contact/" + cards[0]), values), "");
    for (const char* field : {"N", "FN", "ORG", "TEL", "URL"}) {
        EXPECT_EQ(values[field], std::vector<std::string>{GetParam().readBack}) << field;
    }
    // E-mail addresses hold no blanks: a field's blanks separate its addresses, one line each.
    EXPECT_EQ(values["EMAIL"], splitOnBlanks(GetParam().readBack));
}

// A contact as the scanner makes it: its numbers hold blanks, so each comes from the list it was
// read into, one TEL line each; its e-mail addresses one EMAIL line each; the first preferred.
TEST_F(ExportFixture, VCardHasOneLinePerNumberAndAddress) {
    auto contact = makeContact("Anna Berg");
    contact->setContactPhone(" +1 (415) 555-0199 555 0100");
    contact->setPhoneNumbers({"+1 (415) 555-0199", "555 0100"});
    contact->setContactEmail(" anna@example.org berg@example.net");
    collection.ScanContactInfomationHandle(contact);
    tick(contact);
    ASSERT_TRUE(exportTo(exportPath()).empty());

    const auto card = slurp(exportPath() + "/Contact/Anna Berg.vcf");
    ASSERT_TRUE(card);
    CardValues values;
    ASSERT_EQ(parseStrict(*card, values), "");
    EXPECT_EQ(values["TEL"], (std::vector<std::string>{"+1 (415) 555-0199", "555 0100"}));
    EXPECT_EQ(values["EMAIL"], (std::vector<std::string>{"anna@example.org", "berg@example.net"}));
    EXPECT_NE(card->find("\r\nTEL;TYPE=CELL,PREF:+1 (415) 555-0199\r\nTEL;TYPE=CELL:555 0100\r\n"), std::string::npos);
    EXPECT_NE(card->find("\r\nEMAIL;TYPE=INTERNET,HOME,PREF:anna@example.org\r\n"), std::string::npos);

    // Without numbers or addresses there is no TEL or EMAIL line at all.
    CardValues bare;
    ASSERT_EQ(parseStrict(PRVCFController::cardText(*makeContact("Nobody")), bare), "");
    EXPECT_EQ(bare.count("TEL") + bare.count("EMAIL"), 0u);
}

INSTANTIATE_TEST_SUITE_P(Values, VCardValue,
                         ::testing::Values(ValueCase{"plain", "Anne Smith", "Anne Smith"},
                                           ValueCase{"separators", "Smith, Anne;b;;c", "Smith, Anne;b;;c"},
                                           ValueCase{"backslash", "C:\\new\\n", "C:\\new\\n"},
                                           ValueCase{"crlf", "one\r\ntwo\rthree\n", "one\ntwo\nthree\n"},
                                           ValueCase{"control", std::string("a\x01\x1b[0mb\x7f", 8), "a[0mb"},
                                           ValueCase{"long_utf8", repeat("Ångström ", 30), repeat("Ångström ", 30)},
                                           ValueCase{"long_escapes", repeat(";,\\\n", 60), repeat(";,\\\n", 60)}),
                         [](const auto& info) { return std::string(info.param.name); });

// Cards are named after the name, else the company, else "unknown" and the row; names that try to
// leave the Contact folder stay inside it; a name taken by an earlier card is numbered.
TEST_F(ExportFixture, VCardNamesComeFromNameCompanyOrRowAndStayInsideTheFolder) {
    const std::vector<PRContactNodePtr> contacts = {makeContact("Anne Smith", "Acme"),
                                                    makeContact(std::string(), "Globex"),
                                                    makeContact(std::nullopt, "Initech"),
                                                    makeContact(std::string(), std::string(), 42),
                                                    makeContact("Bob", "First Inc"),
                                                    makeContact("Bob", "Later Inc"),
                                                    makeContact("Bob", "Third Inc"),
                                                    makeContact(std::string(), std::string(), 42),
                                                    makeContact("../../escape"),
                                                    makeContact(std::string(), "a/b"),
                                                    makeContact(".."),
                                                    makeContact(std::string(300, 'n')),
                                                    makeContact(std::string(300, 'n'))};
    for (const auto& c : contacts) {
        collection.ScanContactInfomationHandle(c);
        tick(c);
    }
    ASSERT_TRUE(exportTo(exportPath()).empty());

    EXPECT_EQ(treeOf(exportPath() + "/Contact"),
              (std::set<std::string>{"Contacts.txt", "Anne Smith.vcf", "Globex.vcf", "Initech.vcf", "unknown 42.vcf",
                                     "unknown 42 (2).vcf", "Bob.vcf", "Bob (2).vcf", "Bob (3).vcf", "___.._escape.vcf",
                                     "a_b.vcf", "__.vcf", std::string(251, 'n') + ".vcf",
                                     std::string(247, 'n') + " (2).vcf"}));
    // Contacts of one name each keep their card, numbered in list order.
    EXPECT_NE(slurp(exportPath() + "/Contact/Bob.vcf")->find("ORG:First Inc\r\n"), std::string::npos);
    EXPECT_NE(slurp(exportPath() + "/Contact/Bob (2).vcf")->find("ORG:Later Inc\r\n"), std::string::npos);
    EXPECT_NE(slurp(exportPath() + "/Contact/Bob (3).vcf")->find("ORG:Third Inc\r\n"), std::string::npos);
    EXPECT_EQ(treeOf(dir.path()).size(), treeOf(exportPath()).size() + 1); // nothing beside the export
}

} // namespace
