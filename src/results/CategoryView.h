#pragma once

#include "records/Category.h"
#include "records/Records.h"
#include "results/ResultCollection.h"

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace quarrow {

// One column of a category table. The identifier decides how a header click sorts; the tick-box
// column is always first and is identified by "bSelected".
struct ColumnSpec {
    const char* identifier;
    const char* title;
    int width; // initial width in points
};

inline constexpr const char* kTickColumn = "bSelected";

const std::vector<ColumnSpec>& categoryColumns(Category category);

// The three sort directions shared by every category table of the process. Each is flipped just
// before the sort that uses it; true means ascending. They are never reset.
struct SortDirectionSwitches {
    bool name = false; // photo "Name", every contact and message column, call-history "Name"
    bool size = false; // photo "Size"
    bool date = false; // every call-history column other than "Name"

    static SortDirectionSwitches& shared();
};

// How a header click on a table sorts its shown list.
enum class SortKind { None, FileNumber, Size, Text, Date };
struct SortRule {
    SortKind kind = SortKind::None;
    bool SortDirectionSwitches::*direction = nullptr;
};
SortRule sortRuleFor(Category category, const std::string& columnIdentifier);

// Comparisons in ascending order: negative for "before", 0 for "equal", positive for "after".
// An absent text sorts before every present one, the empty text included.
int compareFileNumber(const OptText& a, const OptText& b); // file names as numbers, extension dropped
int compareSizeText(const OptText& a, const OptText& b);   // size texts as byte counts
int compareText(const OptText& a, const OptText& b);       // plain, case-sensitive
int compareDateText(const OptText& a, const OptText& b);   // "MM-DD-YYYY HH:MM" texts as instants

// The date of a "MM-DD-YYYY HH:MM" text (seconds are optional) as minutes since year 0, or nothing
// when the text is not such a date.
std::optional<long long> minutesOfDateText(const std::string& text);

// "You select %d files in the recovery results.", or nothing when fewer than one record is ticked
// (the line is then hidden and the save button disabled).
std::optional<std::string> selectionLineText(int selectedFilesNum);

// What one category table shows: its master list, or only the deleted records, possibly re-sorted.
// The master list itself is never reordered. Rows are the collection's own records, so ticks set
// here are the ticks the export reads.
class CategoryView {
public:
    using RecordPtr = std::shared_ptr<PRObject>;

    CategoryView(Category category, ResultCollection& collection);

    Category category() const { return category_; }
    const std::vector<ColumnSpec>& columns() const { return categoryColumns(category_); }

    // Showing the category: the filter is switched off and the table shows every record.
    void showCategory();
    // The filter box. Photos have no deleted state, so there it changes nothing and answers false.
    bool setDeletedOnly(bool deletedOnly);
    bool deletedOnly() const { return deletedOnly_; }
    bool filterApplies() const { return category_ != Category::PhotoAndVideo; }
    // Empties the shown list (the way back home).
    void clear();

    // A header click: flips the column's switch and sorts the shown list. Answers false when the
    // column does not sort (tick-box column, the notes table, unknown photo columns).
    bool sortByColumn(const std::string& columnIdentifier,
                      SortDirectionSwitches& switches = SortDirectionSwitches::shared());

    std::size_t size() const { return shown_.size(); }
    const RecordPtr& at(std::size_t row) const { return shown_.at(row); }
    const std::vector<RecordPtr>& shown() const { return shown_; }

    // The display text of a cell; the tick-box column has none.
    std::string cellText(std::size_t row, const std::string& columnIdentifier) const;
    bool isTicked(std::size_t row) const;
    bool isDeleted(std::size_t row) const;
    // A password-protected note, listed with its title and a lock, its text never shown.
    bool isLocked(std::size_t row) const;

    // Ticking through the tick-box column: the new state applies to every given row that exists
    // (the table's selection); the collection keeps selectedFilesNum in step.
    void setTicked(const std::vector<std::size_t>& rows, bool ticked);

private:
    void refill();
    bool isDeletedRecord(const RecordPtr& record) const;

    Category category_;
    ResultCollection& collection_;
    bool deletedOnly_ = false;
    std::vector<RecordPtr> shown_;
};

} // namespace quarrow
