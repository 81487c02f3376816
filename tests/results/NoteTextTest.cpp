#include "results/NoteText.h"

#include "results/ItemDetails.h"

#include <gtest/gtest.h>

using quarrow::visibleText;

TEST(NoteText, ShowsTheLinesAPersonWouldRead) {
    const std::pair<const char*, const char*> cases[] = {
        {"Title<div>one</div><div>two</div>", "Title\none\ntwo"}, // device layout: first line bare
        {"<div>a</div><div><br></div><div>b</div>", "a\n\nb"},    // an empty block is one blank line
        {"x<br>y<BR/>z", "x\ny\nz"},                              // tags in any case
        {"Fish &amp; chips &lt;3&gt; &nbsp;&quot;q&quot; &copy;", "Fish & chips <3>  \"q\" &copy;"},
        {"plain text, no markup", "plain text, no markup"},
        {"unclosed <div", "unclosed"}, // a cut tag ends the text
        {"", ""},
    };
    for (const auto& [html, text] : cases) {
        EXPECT_EQ(visibleText(html), text) << html;
    }
}

TEST(NoteDetail, SaysWhereADeletedNoteWasFoundAndNothingForALiveOne) {
    quarrow::PRNoteNode live, gone;
    live.setNoteTitle("Kept");
    gone.setNoteTitle("Gone");
    gone.setBDeleted(true);
    gone.setRecoveredFrom("wal frame");
    const auto liveLines = quarrow::noteDetail(live).lines;
    const auto goneLines = quarrow::noteDetail(gone).lines;
    ASSERT_EQ(liveLines.size(), goneLines.size());
    ASSERT_FALSE(goneLines.empty());
    const std::size_t last = goneLines.size() - 1;
    EXPECT_EQ(goneLines[last].name, "noteRecoveredFromlab");
    EXPECT_EQ(goneLines[last].text, "Recovered from: wal frame");
    EXPECT_TRUE(goneLines[last].visible);
    EXPECT_FALSE(liveLines[last].visible);
}
