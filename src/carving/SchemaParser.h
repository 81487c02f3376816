#pragma once

// What the carving engine knows of a table: its columns as a record stores them, their declared
// types and affinities, and which column (if any) is the rowid's alias. It learns this from the
// CREATE TABLE text that sqlite_master keeps in the file, read with our own parser; no SQLite
// library call is involved, so a file SQLite refuses is read all the same.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quarrow::carving {

// Column affinity, decided from the declared type by SQLite's rules: "INT" anywhere gives
// Integer; else "CHAR", "CLOB" or "TEXT" give Text; else "BLOB" or no type give Blob; else
// "REAL", "FLOA" or "DOUB" give Real; anything else is Numeric.
enum class Affinity : std::uint8_t { Integer, Text, Blob, Real, Numeric };
Affinity affinityOf(std::string_view declaredType);

struct Column {
    std::string name;
    std::string declaredType;
    Affinity affinity = Affinity::Blob;
};

struct TableShape {
    std::string name;
    std::vector<Column> columns; // the columns a record stores, in order (virtual generated ones left out)
    int rowidAlias = -1;         // the INTEGER PRIMARY KEY column, stored as NULL; -1 when none
    bool withoutRowid = false;
    std::uint32_t rootPage = 0;

    // The index of the column, compared without regard to ASCII case; -1 when there is none.
    int columnIndex(std::string_view column) const;
};

// The shape of a CREATE TABLE statement, or nothing when the text is no such statement (a
// virtual table, an index, a view, a damaged text). Quoted names ("x", [x], `x`) are unquoted;
// comments are skipped. A column is the rowid's alias when its declared type is exactly INTEGER
// and it is the table's single-column primary key, except that "INTEGER PRIMARY KEY DESC" written
// on the column is not, as in SQLite.
std::optional<TableShape> parseCreateTable(std::string_view sql);

// The shape sqlite_master itself has: type, name, tbl_name, rootpage, sql.
const TableShape& schemaTableShape();

// Case-insensitive comparison of ASCII names, as SQL compares identifiers.
bool sameName(std::string_view a, std::string_view b);

} // namespace quarrow::carving
