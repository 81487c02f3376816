#include "SqlRows.h"

#include "SqliteSource.h"
#include "platform/Log.h"
#include "records/ValueHelpers.h"

#include <algorithm>
#include <cstdlib>
#include <sqlite3.h>

namespace quarrow {

void StatementFinalize::operator()(sqlite3_stmt* stmt) const {
    sqlite3_finalize(stmt);
}

Statement prepareStatement(sqlite3* db, const std::string& sql) {
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), static_cast<int>(sql.size()), &raw, nullptr) != SQLITE_OK) {
        sqlite3_finalize(raw);
        return Statement();
    }
    return Statement(raw);
}

std::string columnsOrNull(sqlite3* db, std::string_view table, std::initializer_list<std::string_view> wanted,
                          std::vector<std::string>& missing) {
    const std::vector<std::string> declared = SqliteSource::tableColumns(db, table);
    std::string list;
    for (std::string_view column : wanted) {
        if (!list.empty()) {
            list += ", ";
        }
        const bool present = std::any_of(declared.begin(), declared.end(), [column](const std::string& name) {
            return name.size() == column.size() &&
                   sqlite3_strnicmp(name.c_str(), column.data(), static_cast<int>(column.size())) == 0;
        });
        // The rowid is not declared but every ordinary table has it.
        const bool rowid = column.size() == 5 && sqlite3_strnicmp(column.data(), "ROWID", 5) == 0;
        if (present || rowid) {
            list.append(table).append(".").append(column);
        } else {
            list += "NULL";
            missing.emplace_back(column);
        }
    }
    return list;
}

std::string_view columnBytes(sqlite3_stmt* stmt, int column) {
    // Text first, then its length, as SQLite asks: the length is of the converted value.
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, column));
    if (!text) {
        return {};
    }
    return {text, static_cast<std::size_t>(sqlite3_column_bytes(stmt, column))};
}

OptText columnText(sqlite3_stmt* stmt, int column) {
    const std::string_view bytes = columnBytes(stmt, column);
    if (bytes.empty()) {
        return std::nullopt;
    }
    return GetStringFormChar(bytes);
}

std::optional<std::int64_t> columnInteger(sqlite3_stmt* stmt, int column) {
    switch (sqlite3_column_type(stmt, column)) {
    case SQLITE_NULL:
        return std::nullopt;
    case SQLITE_TEXT:
    case SQLITE_BLOB:
        if (sqlite3_column_bytes(stmt, column) == 0) {
            return std::nullopt;
        }
        break;
    default:
        break;
    }
    return sqlite3_column_int64(stmt, column);
}

std::optional<std::int64_t> dateSeconds(sqlite3_stmt* stmt, int column) {
    double value;
    switch (sqlite3_column_type(stmt, column)) {
    case SQLITE_NULL:
        return std::nullopt;
    case SQLITE_INTEGER:
        return sqlite3_column_int64(stmt, column);
    case SQLITE_FLOAT:
        value = sqlite3_column_double(stmt, column);
        break;
    default: {
        const auto text = columnBytes(stmt, column);
        if (text.empty()) {
            return std::nullopt;
        }
        const std::string copy(text);
        char* end = nullptr;
        value = std::strtod(copy.c_str(), &end);
        if (end == copy.c_str()) {
            return std::nullopt;
        }
    }
    }
    return wholeSeconds(value);
}

void logMissingColumns(std::string_view what, std::string_view table, const std::vector<std::string>& missing) {
    if (missing.empty()) {
        return;
    }
    std::string names;
    for (const auto& name : missing) {
        names += names.empty() ? "" : ", ";
        names += name;
    }
    systemLog(std::string(what) + ": table " + std::string(table) + " has no column " + names +
              "; reading the columns that exist");
}

} // namespace quarrow
