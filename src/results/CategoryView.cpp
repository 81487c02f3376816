#include "CategoryView.h"

#include "records/ValueHelpers.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <type_traits>

namespace quarrow {

namespace {

// Column widths follow the result view's layout: the four named widths (contact name 200, message
// content 240, note 307, call number 174) come first in their tables.
const std::vector<ColumnSpec> kPhotoColumns = {{kTickColumn, "", 28}, {"Name", "Name", 300}, {"Size", "Size", 120}};
const std::vector<ColumnSpec> kContactColumns = {
    {kTickColumn, "", 28}, {"Name", "Name", 200}, {"Phone", "Phone", 150}, {"Email", "Email", 180}};
const std::vector<ColumnSpec> kMessageColumns = {
    {kTickColumn, "", 28}, {"Name", "Name", 110}, {"Content", "Content", 240}, {"Date", "Date", 120}};
const std::vector<ColumnSpec> kNoteColumns = {{kTickColumn, "", 28}, {"Title", "Title", 307}, {"Date", "Date", 120}};
const std::vector<ColumnSpec> kCallColumns = {{kTickColumn, "", 28},    {"Name", "Name", 110},
                                              {"Phone", "Number", 174}, {"Type", "Type", 80},
                                              {"Date", "Date", 120},    {"Duration", "Duration", 80}};

int sign(int v) {
    return (v > 0) - (v < 0);
}

// Absent before present; answers true with the result in `out` when either side is absent.
bool compareAbsence(const OptText& a, const OptText& b, int& out) {
    if (a && b) {
        return false;
    }
    out = (a ? 1 : 0) - (b ? 1 : 0);
    return true;
}

// The leading integer of a text in the manner of atoi: white space, a sign, digits; 0 otherwise.
long long leadingNumber(const std::string& text) {
    return std::strtoll(text.c_str(), nullptr, 10);
}

std::string withoutExtension(const std::string& name) {
    const auto dot = name.rfind('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

template <class Node> const Node& as(const CategoryView::RecordPtr& record) {
    return static_cast<const Node&>(*record);
}

std::string textOf(const OptText& t) {
    return t ? *t : std::string();
}

// The master list of a category as plain records.
std::vector<CategoryView::RecordPtr> masterOf(Category category, const ResultCollection& c) {
    std::vector<CategoryView::RecordPtr> out;
    auto copy = [&out](const auto& list) { out.assign(list.begin(), list.end()); };
    switch (category) {
    case Category::PhotoAndVideo:
        copy(c.photoAndVideoArray());
        break;
    case Category::Contact:
        copy(c.contactArray());
        break;
    case Category::Message:
        copy(c.messageArray());
        break;
    case Category::Note:
        copy(c.noteArray());
        break;
    case Category::CallHistory:
        copy(c.callHistoryArray());
        break;
    }
    return out;
}

// The text a comparison reads from a record for the given sort kind.
OptText sortKeyOf(Category category, SortKind kind, const CategoryView::RecordPtr& r) {
    switch (category) {
    case Category::PhotoAndVideo:
        return kind == SortKind::Size ? as<PRPhotoAndVideoNode>(r).fileNodeSize()
                                      : as<PRPhotoAndVideoNode>(r).fileNodeName();
    case Category::Contact:
        return as<PRContactNode>(r).contactName();
    case Category::Message:
        return as<PRMessageNode>(r).messageName();
    case Category::CallHistory:
        return kind == SortKind::Date ? as<PRCallHistoryNode>(r).callDate() : as<PRCallHistoryNode>(r).callName();
    case Category::Note:
        break;
    }
    return std::nullopt;
}

} // namespace

const std::vector<ColumnSpec>& categoryColumns(Category category) {
    switch (category) {
    case Category::PhotoAndVideo:
        return kPhotoColumns;
    case Category::Contact:
        return kContactColumns;
    case Category::Message:
        return kMessageColumns;
    case Category::Note:
        return kNoteColumns;
    case Category::CallHistory:
        break;
    }
    return kCallColumns;
}

SortDirectionSwitches& SortDirectionSwitches::shared() {
    static SortDirectionSwitches switches;
    return switches;
}

SortRule sortRuleFor(Category category, const std::string& column) {
    if (column == kTickColumn) {
        return {};
    }
    switch (category) {
    case Category::PhotoAndVideo:
        if (column == "Name") {
            return {SortKind::FileNumber, &SortDirectionSwitches::name};
        }
        if (column == "Size") {
            return {SortKind::Size, &SortDirectionSwitches::size};
        }
        return {};
    case Category::Contact:
    case Category::Message:
        return {SortKind::Text, &SortDirectionSwitches::name};
    case Category::CallHistory:
        if (column == "Name") {
            return {SortKind::Text, &SortDirectionSwitches::name};
        }
        return {SortKind::Date, &SortDirectionSwitches::date};
    case Category::Note:
        break;
    }
    return {};
}

int compareFileNumber(const OptText& a, const OptText& b) {
    int r;
    if (compareAbsence(a, b, r)) {
        return r;
    }
    const long long x = leadingNumber(withoutExtension(*a));
    const long long y = leadingNumber(withoutExtension(*b));
    return (x > y) - (x < y);
}

int compareSizeText(const OptText& a, const OptText& b) {
    int r;
    if (compareAbsence(a, b, r)) {
        return r;
    }
    const auto x = sizeFormString(*a);
    const auto y = sizeFormString(*b);
    return (x > y) - (x < y);
}

int compareText(const OptText& a, const OptText& b) {
    int r;
    if (compareAbsence(a, b, r)) {
        return r;
    }
    return sign(a->compare(*b));
}

std::optional<long long> minutesOfDateText(const std::string& text) {
    int month = 0, day = 0, year = 0, hour = 0, minute = 0;
    int consumed = 0;
    if (std::sscanf(text.c_str(), "%2d-%2d-%4d %2d:%2d%n", &month, &day, &year, &hour, &minute, &consumed) != 5) {
        return std::nullopt;
    }
    if (month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 || hour < 0 || minute < 0) {
        return std::nullopt;
    }
    // Only the order matters: a month counted as 31 days keeps every real date in sequence.
    return ((((static_cast<long long>(year) * 12 + (month - 1)) * 31 + (day - 1)) * 24 + hour) * 60) + minute;
}

int compareDateText(const OptText& a, const OptText& b) {
    int r;
    if (compareAbsence(a, b, r)) {
        return r;
    }
    const auto x = minutesOfDateText(*a);
    const auto y = minutesOfDateText(*b);
    // A text that is no date sorts before every date, like an absent one.
    if (!x || !y) {
        return (x ? 1 : 0) - (y ? 1 : 0);
    }
    return (*x > *y) - (*x < *y);
}

std::optional<std::string> selectionLineText(int selectedFilesNum) {
    if (selectedFilesNum < 1) {
        return std::nullopt;
    }
    return "You select " + std::to_string(selectedFilesNum) + " files in the recovery results.";
}

CategoryView::CategoryView(Category category, ResultCollection& collection)
    : category_(category), collection_(collection) {}

void CategoryView::showCategory() {
    deletedOnly_ = false;
    refill();
}

bool CategoryView::setDeletedOnly(bool deletedOnly) {
    if (!filterApplies()) {
        return false;
    }
    deletedOnly_ = deletedOnly;
    refill();
    return true;
}

void CategoryView::clear() {
    shown_.clear();
}

void CategoryView::refill() {
    shown_ = masterOf(category_, collection_);
    if (deletedOnly_) {
        std::erase_if(shown_, [this](const RecordPtr& r) { return !r || !isDeletedRecord(r); });
    }
}

bool CategoryView::isDeletedRecord(const RecordPtr& r) const {
    switch (category_) {
    case Category::PhotoAndVideo:
        return false;
    case Category::Contact:
        return as<PRContactNode>(r).bDeleted();
    case Category::Message:
        return as<PRMessageNode>(r).bDeleted();
    case Category::Note:
        return as<PRNoteNode>(r).bDeleted();
    case Category::CallHistory:
        break;
    }
    return as<PRCallHistoryNode>(r).bDeleted();
}

bool CategoryView::sortByColumn(const std::string& column, SortDirectionSwitches& switches) {
    const SortRule rule = sortRuleFor(category_, column);
    if (rule.kind == SortKind::None) {
        return false;
    }
    bool& direction = switches.*(rule.direction);
    direction = !direction;
    const bool ascending = direction;

    int (*compare)(const OptText&, const OptText&) = compareText;
    switch (rule.kind) {
    case SortKind::FileNumber:
        compare = compareFileNumber;
        break;
    case SortKind::Size:
        compare = compareSizeText;
        break;
    case SortKind::Date:
        compare = compareDateText;
        break;
    default:
        break;
    }
    // Keys are read once: reading a property takes its lock and copies the text.
    std::vector<std::pair<OptText, RecordPtr>> keyed;
    keyed.reserve(shown_.size());
    for (auto& r : shown_) {
        keyed.emplace_back(sortKeyOf(category_, rule.kind, r), std::move(r));
    }
    std::stable_sort(keyed.begin(), keyed.end(), [&](const auto& x, const auto& y) {
        const int c = compare(x.first, y.first);
        return ascending ? c < 0 : c > 0;
    });
    shown_.clear();
    for (auto& [key, r] : keyed) {
        shown_.push_back(std::move(r));
    }
    return true;
}

std::string CategoryView::cellText(std::size_t row, const std::string& column) const {
    if (row >= shown_.size() || column == kTickColumn) {
        return {};
    }
    const RecordPtr& r = shown_[row];
    switch (category_) {
    case Category::PhotoAndVideo: {
        const auto& p = as<PRPhotoAndVideoNode>(r);
        return textOf(column == "Size" ? p.fileNodeSize() : p.fileNodeName());
    }
    case Category::Contact: {
        const auto& c = as<PRContactNode>(r);
        if (column == "Phone") {
            return textOf(c.contactPhone());
        }
        if (column == "Email") {
            return textOf(c.contactEmail());
        }
        return textOf(c.contactName());
    }
    case Category::Message: {
        const auto& m = as<PRMessageNode>(r);
        if (column == "Content") {
            std::string text = textOf(m.messageContent());
            std::replace(text.begin(), text.end(), '\n', ' ');
            return text;
        }
        if (column == "Date") {
            return textOf(m.messageDate());
        }
        return textOf(m.messageName());
    }
    case Category::Note: {
        const auto& n = as<PRNoteNode>(r);
        if (column == "Date") {
            return textOf(n.noteDate());
        }
        return textOf(n.noteTitle());
    }
    case Category::CallHistory:
        break;
    }
    const auto& c = as<PRCallHistoryNode>(r);
    if (column == "Phone") {
        return textOf(c.callPhone());
    }
    if (column == "Type") {
        return textOf(c.callType());
    }
    if (column == "Date") {
        return textOf(c.callDate());
    }
    if (column == "Duration") {
        return textOf(c.callDuration());
    }
    return textOf(c.callName());
}

bool CategoryView::isTicked(std::size_t row) const {
    if (row >= shown_.size()) {
        return false;
    }
    const RecordPtr& r = shown_[row];
    switch (category_) {
    case Category::PhotoAndVideo:
        return as<PRPhotoAndVideoNode>(r).bSelected();
    case Category::Contact:
        return as<PRContactNode>(r).bSelected();
    case Category::Message:
        return as<PRMessageNode>(r).bSelected();
    case Category::Note:
        return as<PRNoteNode>(r).bSelected();
    case Category::CallHistory:
        break;
    }
    return as<PRCallHistoryNode>(r).bSelected();
}

bool CategoryView::isDeleted(std::size_t row) const {
    return row < shown_.size() && isDeletedRecord(shown_[row]);
}

bool CategoryView::isLocked(std::size_t row) const {
    return category_ == Category::Note && row < shown_.size() && shown_[row] && as<PRNoteNode>(shown_[row]).bLocked();
}

void CategoryView::setTicked(const std::vector<std::size_t>& rows, bool ticked) {
    auto apply = [&](auto tag) {
        using Node = typename decltype(tag)::type;
        std::vector<std::shared_ptr<Node>> records;
        for (std::size_t row : rows) {
            if (row < shown_.size()) {
                records.push_back(std::static_pointer_cast<Node>(shown_[row]));
            }
        }
        collection_.setSelected(records, ticked);
    };
    switch (category_) {
    case Category::PhotoAndVideo:
        apply(std::type_identity<PRPhotoAndVideoNode>{});
        break;
    case Category::Contact:
        apply(std::type_identity<PRContactNode>{});
        break;
    case Category::Message:
        apply(std::type_identity<PRMessageNode>{});
        break;
    case Category::Note:
        apply(std::type_identity<PRNoteNode>{});
        break;
    case Category::CallHistory:
        apply(std::type_identity<PRCallHistoryNode>{});
        break;
    }
}

} // namespace quarrow
