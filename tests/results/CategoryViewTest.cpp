#include "results/CategoryView.h"

#include "results/ResultCollection.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quarrow {
namespace {

PRNoteNodePtr note(const std::string& title, const std::string& content) {
    auto n = std::make_shared<PRNoteNode>();
    n->setNoteTitle(title);
    n->setNoteContent(content);
    return n;
}

PRContactNodePtr contact(OptText name) {
    auto c = std::make_shared<PRContactNode>();
    c->setContactName(std::move(name));
    c->setContactPhone("555");
    return c;
}

PRCallHistoryNodePtr call(const std::string& name, const std::string& date) {
    auto c = std::make_shared<PRCallHistoryNode>();
    c->setCallName(name);
    c->setCallPhone(name + "-phone");
    c->setCallDate(date);
    return c;
}

std::vector<std::string> column(const CategoryView& view, const char* id) {
    std::vector<std::string> out;
    for (std::size_t i = 0; i < view.size(); ++i) {
        out.push_back(view.cellText(i, id));
    }
    return out;
}

class CategoryViewTest : public ::testing::Test {
protected:
    NotificationCenter nc;
    ResultCollection collection{nc};
    SortDirectionSwitches switches;
};

TEST_F(CategoryViewTest, FilterAndTickingKeepSelectionsAndCountOnlyChanges) {
    collection.ScanNoteInfomationHandle(note("a", "one"));
    collection.ScanDelNoteInfomationHandle(note("b", "two"));
    collection.ScanNoteInfomationHandle(note("c", "three"));
    collection.ScanDelNoteInfomationHandle(note("d", "four"));
    CategoryView view(Category::Note, collection);
    view.showCategory();
    view.setTicked({1}, true);
    view.setTicked({0, 1, 2}, true); // one of three already ticked: the count rises by 2
    EXPECT_EQ(collection.counters().selectedFilesNum, 3);
    view.setTicked({1, 99}, false); // rows past the end are ignored
    EXPECT_EQ(selectionLineText(collection.counters().selectedFilesNum),
              std::optional<std::string>("You select 2 files in the recovery results."));

    ASSERT_TRUE(view.setDeletedOnly(true));
    EXPECT_EQ(column(view, "Title"), (std::vector<std::string>{"b", "d"}));
    // Hiding ticked records neither unticks them nor changes the count.
    EXPECT_TRUE(collection.noteArray()[0]->bSelected());
    EXPECT_EQ(collection.counters().selectedFilesNum, 2);
    view.showCategory(); // a category switch drops the filter
    EXPECT_EQ(column(view, "Title"), (std::vector<std::string>{"a", "b", "c", "d"}));
    view.setTicked({0, 2}, false);
    EXPECT_EQ(selectionLineText(collection.counters().selectedFilesNum), std::nullopt);
}

TEST_F(CategoryViewTest, NameSwitchIsSharedAcrossTablesAndDateSwitchIsSeparate) {
    collection.ScanMovNodeToMainThreadHandle("/nonexistent");
    collection.ScanContactInfomationHandle(contact("Bob"));
    collection.ScanContactInfomationHandle(contact("alice"));
    collection.ScanContactInfomationHandle(contact("Alice"));
    collection.ScanCallHistoryInfomationHandle(call("x", "02-01-2013 10:00"));
    collection.ScanCallHistoryInfomationHandle(call("y", "12-31-2012 23:59"));
    collection.ScanCallHistoryInfomationHandle(call("z", "02-01-2013 09:59"));

    CategoryView photos(Category::PhotoAndVideo, collection);
    CategoryView contacts(Category::Contact, collection);
    CategoryView calls(Category::CallHistory, collection);
    photos.showCategory();
    contacts.showCategory();
    calls.showCategory();

    EXPECT_TRUE(photos.sortByColumn("Size", switches)); // size switch only
    EXPECT_TRUE(switches.size && !switches.name && !switches.date);
    EXPECT_TRUE(photos.sortByColumn("Name", switches));    // name switch: ascending
    EXPECT_TRUE(contacts.sortByColumn("Phone", switches)); // any contact column: name switch, now descending
    EXPECT_EQ(column(contacts, "Name"), (std::vector<std::string>{"alice", "Bob", "Alice"}));

    EXPECT_TRUE(calls.sortByColumn("Date", switches)); // fresh date switch: ascending
    EXPECT_EQ(column(calls, "Name"), (std::vector<std::string>{"y", "z", "x"}));
    EXPECT_TRUE(calls.sortByColumn("Name", switches)); // name switch again: ascending
    EXPECT_EQ(column(calls, "Name"), (std::vector<std::string>{"x", "y", "z"}));
    EXPECT_TRUE(calls.sortByColumn("Duration", switches)); // date switch: descending
    EXPECT_EQ(column(calls, "Name"), (std::vector<std::string>{"x", "z", "y"}));
    // The master list keeps its arrival order.
    EXPECT_EQ(*collection.callHistoryArray()[0]->callName(), "x");
    EXPECT_EQ(*collection.callHistoryArray()[1]->callName(), "y");
}

struct ComparisonCase {
    const char* name;
    int (*compare)(const OptText&, const OptText&);
    OptText a, b;
    int expected;
};

class ComparisonTest : public ::testing::TestWithParam<ComparisonCase> {};

TEST_P(ComparisonTest, OrdersAsTheColumnMeans) {
    const auto& c = GetParam();
    EXPECT_EQ(c.compare(c.a, c.b), c.expected);
    EXPECT_EQ(c.compare(c.b, c.a), -c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Comparisons, ComparisonTest,
    ::testing::Values(ComparisonCase{"FileNumberNumeric", compareFileNumber, "9.JPG", "10.JPG", -1},
                      ComparisonCase{"SizeUnits", compareSizeText, "2.00M", "1.50G", -1},
                      ComparisonCase{"TextAbsentFirst", compareText, std::nullopt, "", -1},
                      ComparisonCase{"DateYearFirst", compareDateText, "12-31-2012 23:59", "01-01-2013 00:00", -1},
                      ComparisonCase{"DateGarbageFirst", compareDateText, "soon", "01-01-1990 00:00", -1}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace quarrow
