#include "SchemaParser.h"

#include <algorithm>
#include <cctype>

namespace quarrow::carving {

namespace {

char lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool contains(std::string_view text, std::string_view part) {
    if (part.size() > text.size()) {
        return false;
    }
    for (std::size_t i = 0; i + part.size() <= text.size(); ++i) {
        bool same = true;
        for (std::size_t j = 0; j < part.size() && same; ++j) {
            same = lower(text[i + j]) == lower(part[j]);
        }
        if (same) {
            return true;
        }
    }
    return false;
}

struct Token {
    enum class Kind { Word, Quoted, String, Number, Punct, End } kind = Kind::End;
    std::string text; // unquoted for Quoted; the character for Punct
};

// Splits SQL text into tokens. Never reads past the text; an unterminated quote or comment ends
// the text.
class Tokenizer {
public:
    explicit Tokenizer(std::string_view sql) : s_(sql) {}

    Token next() {
        skipSpaceAndComments();
        Token t;
        if (i_ >= s_.size()) {
            return t;
        }
        const char c = s_[i_];
        if (c == '"' || c == '`' || c == '[') {
            t.kind = Token::Kind::Quoted;
            const char close = c == '[' ? ']' : c;
            ++i_;
            while (i_ < s_.size()) {
                if (s_[i_] == close) {
                    // A doubled quote stands for itself, except inside brackets.
                    if (close != ']' && i_ + 1 < s_.size() && s_[i_ + 1] == close) {
                        t.text += close;
                        i_ += 2;
                        continue;
                    }
                    ++i_;
                    break;
                }
                t.text += s_[i_++];
            }
            return t;
        }
        if (c == '\'') {
            t.kind = Token::Kind::String;
            ++i_;
            while (i_ < s_.size()) {
                if (s_[i_] == '\'') {
                    if (i_ + 1 < s_.size() && s_[i_ + 1] == '\'') {
                        t.text += '\'';
                        i_ += 2;
                        continue;
                    }
                    ++i_;
                    break;
                }
                t.text += s_[i_++];
            }
            return t;
        }
        if (isWordStart(c)) {
            t.kind = Token::Kind::Word;
            while (i_ < s_.size() && isWordPart(s_[i_])) {
                t.text += s_[i_++];
            }
            return t;
        }
        const bool digitNext = i_ + 1 < s_.size() && std::isdigit(static_cast<unsigned char>(s_[i_ + 1]));
        if (std::isdigit(static_cast<unsigned char>(c)) || (c == '.' && digitNext)) {
            t.kind = Token::Kind::Number;
            while (i_ < s_.size() && (std::isalnum(static_cast<unsigned char>(s_[i_])) || s_[i_] == '.')) {
                t.text += s_[i_++];
            }
            return t;
        }
        t.kind = Token::Kind::Punct;
        t.text = std::string(1, c);
        ++i_;
        return t;
    }

private:
    static bool isWordStart(char c) {
        const auto u = static_cast<unsigned char>(c);
        return std::isalpha(u) || c == '_' || u >= 0x80;
    }
    static bool isWordPart(char c) { return isWordStart(c) || std::isdigit(static_cast<unsigned char>(c)) || c == '$'; }
    void skipSpaceAndComments() {
        while (i_ < s_.size()) {
            const char c = s_[i_];
            if (std::isspace(static_cast<unsigned char>(c))) {
                ++i_;
            } else if (c == '-' && i_ + 1 < s_.size() && s_[i_ + 1] == '-') {
                while (i_ < s_.size() && s_[i_] != '\n') {
                    ++i_;
                }
            } else if (c == '/' && i_ + 1 < s_.size() && s_[i_ + 1] == '*') {
                const auto end = s_.find("*/", i_ + 2);
                i_ = end == std::string_view::npos ? s_.size() : end + 2;
            } else {
                return;
            }
        }
    }

    std::string_view s_;
    std::size_t i_ = 0;
};

bool isWord(const Token& t, std::string_view word) {
    return t.kind == Token::Kind::Word && sameName(t.text, word);
}
bool isPunct(const Token& t, char c) {
    return t.kind == Token::Kind::Punct && t.text.size() == 1 && t.text[0] == c;
}
bool isName(const Token& t) {
    return t.kind == Token::Kind::Word || t.kind == Token::Kind::Quoted || t.kind == Token::Kind::String;
}

// Words that end a column's type and start its constraints.
bool startsConstraint(const Token& t) {
    static constexpr std::string_view words[] = {"CONSTRAINT", "PRIMARY", "NOT",        "NULL",      "UNIQUE", "CHECK",
                                                 "DEFAULT",    "COLLATE", "REFERENCES", "GENERATED", "AS"};
    return t.kind == Token::Kind::Word &&
           std::any_of(std::begin(words), std::end(words), [&t](std::string_view w) { return sameName(t.text, w); });
}

// The tokens of one column definition or table constraint: up to the comma or closing
// parenthesis at depth 0 (not included).
struct Definition {
    std::vector<Token> tokens;
    bool endsList = false; // a ')' closed the column list
};

class Parser {
public:
    explicit Parser(std::string_view sql) : tok_(sql) { advance(); }

    std::optional<TableShape> parse() {
        if (!take("CREATE")) {
            return std::nullopt;
        }
        if (isWord(t_, "TEMP") || isWord(t_, "TEMPORARY")) {
            advance();
        }
        if (!take("TABLE")) {
            return std::nullopt; // a view, an index, a trigger, a virtual table
        }
        if (isWord(t_, "IF")) {
            advance();
            if (!take("NOT") || !take("EXISTS")) {
                return std::nullopt;
            }
        }
        TableShape shape;
        if (!isName(t_)) {
            return std::nullopt;
        }
        shape.name = t_.text;
        advance();
        if (isPunct(t_, '.')) {
            advance();
            if (!isName(t_)) {
                return std::nullopt;
            }
            shape.name = t_.text;
            advance();
        }
        if (!isPunct(t_, '(')) {
            return std::nullopt;
        }
        advance();
        std::vector<std::string> tablePrimaryKey;
        bool tableKeyIsSingle = false;
        bool inColumns = true;
        int columnKey = -1;
        bool columnKeyDesc = false;
        int declaredKeys = 0;
        std::vector<bool> stored;
        for (;;) {
            const Definition d = definition();
            if (d.tokens.empty()) {
                return std::nullopt;
            }
            const Token& first = d.tokens.front();
            const bool constraint = isWord(first, "CONSTRAINT") || isWord(first, "PRIMARY") ||
                                    isWord(first, "UNIQUE") || isWord(first, "CHECK") || isWord(first, "FOREIGN");
            if (constraint) {
                inColumns = false;
                readTableKey(d.tokens, tablePrimaryKey, tableKeyIsSingle, declaredKeys);
            } else if (inColumns && isName(first)) {
                Column column;
                column.name = first.text;
                bool storedColumn = true;
                std::size_t i = 1;
                while (i < d.tokens.size() && !startsConstraint(d.tokens[i])) {
                    if (isPunct(d.tokens[i], '(')) {
                        // Type arguments: "VARCHAR(255)", "DECIMAL(10, 5)".
                        int depth = 0;
                        for (; i < d.tokens.size(); ++i) {
                            appendTypeText(column.declaredType, d.tokens[i]);
                            depth += isPunct(d.tokens[i], '(') ? 1 : isPunct(d.tokens[i], ')') ? -1 : 0;
                            if (depth == 0) {
                                ++i;
                                break;
                            }
                        }
                        continue;
                    }
                    appendTypeText(column.declaredType, d.tokens[i]);
                    ++i;
                }
                for (; i < d.tokens.size(); ++i) {
                    if (isWord(d.tokens[i], "PRIMARY") && i + 1 < d.tokens.size() && isWord(d.tokens[i + 1], "KEY")) {
                        ++declaredKeys;
                        columnKey = static_cast<int>(shape.columns.size());
                        columnKeyDesc = i + 2 < d.tokens.size() && isWord(d.tokens[i + 2], "DESC");
                    }
                    if (isWord(d.tokens[i], "AS")) {
                        // A generated column: stored only when it says so.
                        storedColumn = false;
                        int depth = 0;
                        for (++i; i < d.tokens.size(); ++i) {
                            depth += isPunct(d.tokens[i], '(') ? 1 : isPunct(d.tokens[i], ')') ? -1 : 0;
                            if (depth == 0 && isWord(d.tokens[i], "STORED")) {
                                storedColumn = true;
                            }
                        }
                        break;
                    }
                }
                column.affinity = affinityOf(column.declaredType);
                shape.columns.push_back(std::move(column));
                stored.push_back(storedColumn);
            } else {
                return std::nullopt;
            }
            if (d.endsList) {
                break;
            }
        }
        // Table options after the list.
        while (t_.kind != Token::Kind::End && !isPunct(t_, ';')) {
            if (isWord(t_, "WITHOUT")) {
                advance();
                if (isWord(t_, "ROWID")) {
                    shape.withoutRowid = true;
                }
            }
            advance();
        }
        if (shape.columns.empty()) {
            return std::nullopt;
        }
        // The rowid's alias: the one primary key column, declared exactly INTEGER.
        int key = -1;
        if (declaredKeys == 1 && columnKey >= 0 && !columnKeyDesc) {
            key = columnKey;
        } else if (declaredKeys == 1 && tableKeyIsSingle) {
            key = shape.columnIndex(tablePrimaryKey.front());
        }
        if (key >= 0 && !shape.withoutRowid &&
            sameName(shape.columns[static_cast<std::size_t>(key)].declaredType, "INTEGER")) {
            shape.rowidAlias = key;
        }
        // Virtual generated columns take no place in a record.
        std::vector<Column> kept;
        int alias = -1;
        for (std::size_t i = 0; i < shape.columns.size(); ++i) {
            if (stored[i]) {
                if (static_cast<int>(i) == shape.rowidAlias) {
                    alias = static_cast<int>(kept.size());
                }
                kept.push_back(std::move(shape.columns[i]));
            }
        }
        shape.columns = std::move(kept);
        shape.rowidAlias = alias;
        return shape;
    }

private:
    void advance() { t_ = tok_.next(); }
    bool take(std::string_view word) {
        if (!isWord(t_, word)) {
            return false;
        }
        advance();
        return true;
    }

    Definition definition() {
        Definition d;
        int depth = 0;
        while (t_.kind != Token::Kind::End) {
            if (depth == 0 && (isPunct(t_, ',') || isPunct(t_, ')'))) {
                d.endsList = isPunct(t_, ')');
                advance();
                return d;
            }
            depth += isPunct(t_, '(') ? 1 : isPunct(t_, ')') ? -1 : 0;
            d.tokens.push_back(t_);
            advance();
        }
        d.tokens.clear(); // the list never closed
        return d;
    }

    static void appendTypeText(std::string& type, const Token& t) {
        const bool word = t.kind == Token::Kind::Word || t.kind == Token::Kind::Quoted;
        if (!type.empty() && word && !(type.back() == '(')) {
            type += ' ';
        }
        type += t.text;
    }

    // PRIMARY KEY (a [COLLATE x] [ASC|DESC], ...) among a table constraint's tokens.
    static void readTableKey(const std::vector<Token>& tokens, std::vector<std::string>& key, bool& single,
                             int& declaredKeys) {
        for (std::size_t i = 0; i + 1 < tokens.size(); ++i) {
            if (!isWord(tokens[i], "PRIMARY") || !isWord(tokens[i + 1], "KEY")) {
                continue;
            }
            ++declaredKeys;
            key.clear();
            std::size_t j = i + 2;
            if (j >= tokens.size() || !isPunct(tokens[j], '(')) {
                return;
            }
            int depth = 0;
            bool expectName = true;
            for (; j < tokens.size(); ++j) {
                if (isPunct(tokens[j], '(')) {
                    ++depth;
                    continue;
                }
                if (isPunct(tokens[j], ')')) {
                    if (--depth == 0) {
                        break;
                    }
                    continue;
                }
                if (depth == 1 && isPunct(tokens[j], ',')) {
                    expectName = true;
                    continue;
                }
                if (depth == 1 && expectName && isName(tokens[j])) {
                    key.push_back(tokens[j].text);
                    expectName = false;
                }
            }
            single = key.size() == 1;
            return;
        }
    }

    Tokenizer tok_;
    Token t_;
};

} // namespace

bool sameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (lower(a[i]) != lower(b[i])) {
            return false;
        }
    }
    return true;
}

Affinity affinityOf(std::string_view declaredType) {
    if (contains(declaredType, "INT")) {
        return Affinity::Integer;
    }
    if (contains(declaredType, "CHAR") || contains(declaredType, "CLOB") || contains(declaredType, "TEXT")) {
        return Affinity::Text;
    }
    if (declaredType.empty() || contains(declaredType, "BLOB")) {
        return Affinity::Blob;
    }
    if (contains(declaredType, "REAL") || contains(declaredType, "FLOA") || contains(declaredType, "DOUB")) {
        return Affinity::Real;
    }
    return Affinity::Numeric;
}

int TableShape::columnIndex(std::string_view column) const {
    for (std::size_t i = 0; i < columns.size(); ++i) {
        if (sameName(columns[i].name, column)) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

std::optional<TableShape> parseCreateTable(std::string_view sql) {
    return Parser(sql).parse();
}

const TableShape& schemaTableShape() {
    static const TableShape shape = [] {
        TableShape s = *parseCreateTable("CREATE TABLE sqlite_master(type text, name text, tbl_name text, "
                                         "rootpage integer, sql text)");
        s.rootPage = 1;
        return s;
    }();
    return shape;
}

} // namespace quarrow::carving
