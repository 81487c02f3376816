#pragma once

#include "records/Property.h"

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace quarrow {

// Reading rows of a backup database: the helpers every SQL scanner shares.

struct StatementFinalize {
    void operator()(sqlite3_stmt* stmt) const;
};
// A prepared statement, finalized when the handle goes.
using Statement = std::unique_ptr<sqlite3_stmt, StatementFinalize>;

// The statement prepared, or nothing (the caller logs what it could not read).
Statement prepareStatement(sqlite3* db, const std::string& sql);

// The select list of the wanted columns of a table, as this database has them: "<table>.<column>"
// for each column the table declares and NULL for each it lacks, in the order given, so that one
// statement reads every version of a table and a missing column reads as NULL. The names of the
// missing columns are appended to `missing`. Names are the scanners' own constants, never input.
std::string columnsOrNull(sqlite3* db, std::string_view table, std::initializer_list<std::string_view> wanted,
                          std::vector<std::string>& missing);

// A column's bytes as stored (text or blob); empty for NULL.
std::string_view columnBytes(sqlite3_stmt* stmt, int column);

// A column as text through GetStringFormChar, or nothing for NULL and empty values, which leave a
// record's property as it was.
OptText columnText(sqlite3_stmt* stmt, int column);

// A column as a whole number, or nothing for NULL and empty values. Text is read for its leading
// number, as SQLite converts it.
std::optional<std::int64_t> columnInteger(sqlite3_stmt* stmt, int column);

// The whole seconds of a date value, its fraction dropped. Numbers are read as numbers; a text is
// read for its leading number ("372.5" gives 372). Nothing for NULL, an empty value, a text that
// does not start with a number, or a value outside the int64 range, so a runaway or textual date
// gives no date rather than one in 2001.
std::optional<std::int64_t> dateSeconds(sqlite3_stmt* stmt, int column);

// Logs that a table was read without some of its columns (their names, never row contents).
void logMissingColumns(std::string_view what, std::string_view table, const std::vector<std::string>& missing);

} // namespace quarrow
