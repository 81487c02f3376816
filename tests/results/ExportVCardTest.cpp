#include "ExportTestSupport.h"

#include "results/PRVCFController.h"

#include <map>

using namespace quarrow;
using namespace quarrow::test;

namespace {

// A deliberately strict vCard 3.0 reader: what it accepts, address books accept. It answers the
// decoded values by property name (structured values as their components), or an error.
struct Card {
    std::map<std::string, std::vector<std::string>> values;
    std::string error;
};

bool isNameChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '-';
}

// Splits a value on unescaped `separator` and decodes escapes; a bare ',' or an unknown escape is
// an error (this card holds no lists).
bool decodeValue(const std::string& raw, bool structured, std::vector<std::string>& out, std::string& error) {
    out.assign(1, std::string());
    for (std::size_t i = 0; i < raw.size(); ++i) {
        const char c = raw[i];
        if (static_cast<unsigned char>(c) < 0x20 && c != '\t') {
            error = "control character in value";
            return false;
        }
        if (c == '\\') {
            if (i + 1 >= raw.size()) {
                error = "dangling backslash";
                return false;
            }
            const char e = raw[++i];
            if (e == 'n' || e == 'N') {
                out.back() += '\n';
            } else if (e == '\\' || e == ',' || e == ';') {
                out.back() += e;
            } else {
                error = std::string("unknown escape \\") + e;
                return false;
            }
        } else if (c == ';' && structured) {
            out.emplace_back();
        } else if (c == ';' || c == ',') {
            error = std::string("unescaped ") + c;
            return false;
        } else {
            out.back() += c;
        }
    }
    return true;
}

Card parseStrict(const std::string& text) {
    Card card;
    // Every physical line ends in CRLF; no bare CR or LF anywhere.
    std::vector<std::string> physical;
    std::size_t from = 0;
    while (from < text.size()) {
        const auto crlf = text.find("\r\n", from);
        if (crlf == std::string::npos) {
            card.error = "last line has no CRLF";
            return card;
        }
        std::string line = text.substr(from, crlf - from);
        if (line.find_first_of("\r\n") != std::string::npos) {
            card.error = "bare CR or LF";
            return card;
        }
        if (line.size() > 75) {
            card.error = "line longer than 75 octets";
            return card;
        }
        physical.push_back(std::move(line));
        from = crlf + 2;
    }
    // Unfolding: a line that begins with a blank or a tab continues the previous one.
    std::vector<std::string> lines;
    for (const auto& line : physical) {
        if (!line.empty() && (line[0] == ' ' || line[0] == '\t')) {
            if (lines.empty()) {
                card.error = "continuation without a line";
                return card;
            }
            lines.back() += line.substr(1);
        } else {
            lines.push_back(line);
        }
    }
    if (lines.size() < 3 || lines.front() != "BEGIN:VCARD" || lines[1] != "VERSION:3.0" ||
        lines.back() != "END:VCARD") {
        card.error = "not framed by BEGIN:VCARD, VERSION:3.0 ... END:VCARD";
        return card;
    }
    for (std::size_t i = 2; i + 1 < lines.size(); ++i) {
        const std::string& line = lines[i];
        const auto colon = line.find(':');
        if (colon == std::string::npos) {
            card.error = "no colon: " + line;
            return card;
        }
        const std::string head = line.substr(0, colon);
        const auto semi = head.find(';');
        const std::string name = head.substr(0, semi);
        if (name.empty() || !std::all_of(name.begin(), name.end(), isNameChar)) {
            card.error = "bad property name: " + name;
            return card;
        }
        // Parameters are name=value[,value]; bare vCard 2.1 types are refused.
        for (std::size_t p = semi; p != std::string::npos;) {
            const auto next = head.find(';', p + 1);
            const std::string param = head.substr(p + 1, next == std::string::npos ? std::string::npos : next - p - 1);
            const auto eq = param.find('=');
            if (eq == std::string::npos || eq == 0 || eq + 1 == param.size()) {
                card.error = "bad parameter: " + param;
                return card;
            }
            p = next;
        }
        std::vector<std::string> decoded;
        if (!decodeValue(line.substr(colon + 1), name == "N" || name == "ORG", decoded, card.error)) {
            return card;
        }
        if (card.values.count(name)) {
            card.error = "repeated " + name;
            return card;
        }
        card.values[name] = std::move(decoded);
    }
    if (!card.values.count("N") || !card.values.count("FN")) {
        card.error = "N or FN missing";
    }
    return card;
}

struct ValueCase {
    const char* name;
    std::string value;
    std::string readBack; // what a reader gets back
};

std::string repeat(const std::string& s, int n) {
    std::string out;
    for (int i = 0; i < n; ++i) {
        out += s;
    }
    return out;
}

const ValueCase kValues[] = {
    {"plain", "Anne Smith", "Anne Smith"},
    {"comma", "Smith, Anne", "Smith, Anne"},
    {"semicolon", "a;b;;c", "a;b;;c"},
    {"backslash", "C:\\new\\n", "C:\\new\\n"},
    {"crlf", "line one\r\nline two", "line one\nline two"},
    {"lf", "x\ny\n", "x\ny\n"},
    {"cr", "x\ry", "x\ny"},
    {"control", std::string("a\x01\x1b[0mb\x7f", 8), "a[0mb"},
    {"long ascii", std::string(400, 'w'), std::string(400, 'w')},
    {"long utf8", repeat("Ångström ", 30), repeat("Ångström ", 30)},
    {"long escapes", repeat(";,\\\n", 60), repeat(";,\\\n", 60)},
};

class VCardValue : public ExportFixture, public ::testing::WithParamInterface<ValueCase> {};

} // namespace

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
    const Card card = parseStrict(*slurp(exportPath() + "/Contact/" + cards[0]));
    ASSERT_EQ(card.error, "");
    const std::string& want = GetParam().readBack;
    EXPECT_EQ(card.values.at("N"), std::vector<std::string>{want});
    EXPECT_EQ(card.values.at("FN"), std::vector<std::string>{want});
    EXPECT_EQ(card.values.at("ORG"), std::vector<std::string>{want});
    EXPECT_EQ(card.values.at("EMAIL"), std::vector<std::string>{want});
    EXPECT_EQ(card.values.at("TEL"), std::vector<std::string>{want});
    EXPECT_EQ(card.values.at("URL"), std::vector<std::string>{want});
    // Nothing was written beside the export folder.
    EXPECT_EQ(treeOf(dir.path()).size(), treeOf(exportPath()).size() + 1);
}

INSTANTIATE_TEST_SUITE_P(Values, VCardValue, ::testing::ValuesIn(kValues), [](const auto& info) {
    std::string n = info.param.name;
    std::replace(n.begin(), n.end(), ' ', '_');
    return n;
});

TEST(StrictParser, RefusesWhatTheExportMustNotWrite) {
    const std::string good = "BEGIN:VCARD\r\nVERSION:3.0\r\nN:a\r\nFN:a\r\nEND:VCARD\r\n";
    EXPECT_EQ(parseStrict(good).error, "");
    EXPECT_NE(parseStrict("BEGIN:VCARD\r\nVERSION:3.0\r\nN:a\r\nFN:a\r\nEND:VCARD").error, "");
    EXPECT_NE(parseStrict("BEGIN:VCARD\r\nVERSION:3.0\r\nN:a\r\nEND:VCARD\r\n").error, "");
    EXPECT_NE(parseStrict("BEGIN:VCARD\r\nVERSION:3.0\r\nN:a\r\nFN:a,b\r\nEND:VCARD\r\n").error, "");
    EXPECT_NE(parseStrict("BEGIN:VCARD\r\nVERSION:3.0\r\nN:a\nb\r\nFN:a\r\nEND:VCARD\r\n").error, "");
    EXPECT_NE(parseStrict("BEGIN:VCARD\r\nVERSION:3.0\r\nN:a\r\nFN:a\r\nTEL;CELL:1\r\nEND:VCARD\r\n").error, "");
    EXPECT_EQ(parseStrict("BEGIN:VCARD\r\nVERSION:3.0\r\nN:a\r\n b\r\nFN:a\r\nEND:VCARD\r\n").values.at("N"),
              std::vector<std::string>{"ab"});
}

// Names that try to leave the Contact folder, or that no file system takes, still give one card
// inside it.
TEST_F(ExportFixture, HostileContactNamesStayInsideTheContactFolder) {
    const std::vector<std::string> names = {
        "../../escape", "a/b", "..", ".", "back\\slash", std::string("x\x01y", 3), ".hidden", std::string(300, 'n')};
    for (const auto& name : names) {
        auto c = makeContact(std::string(), name); // by company
        collection.ScanContactInfomationHandle(c);
        tick(c);
    }
    ASSERT_TRUE(exportTo(exportPath()).empty());

    std::size_t cards = 0;
    for (const auto& entry : treeOf(exportPath())) {
        if (entry.ends_with(".vcf")) {
            EXPECT_TRUE(entry.starts_with("Contact/")) << entry;
            EXPECT_EQ(entry.find('/', 8), std::string::npos) << entry;
            ++cards;
        }
    }
    EXPECT_EQ(cards, names.size());
    EXPECT_EQ(treeOf(dir.path()).size(), treeOf(exportPath()).size() + 1);
}
