// SPDX-License-Identifier: GPL-3.0-or-later
#include "rules/undo_journal.h"

#include <gtest/gtest.h>

namespace zr {
namespace {

TEST(JournalEntry, DerivedParts) {
    const JournalEntry e("/Photos/2004/a.JPG", "a.jpg");
    EXPECT_EQ(e.directoryPart(), "/Photos/2004/");
    EXPECT_EQ(e.oldName(), "a.JPG");
    EXPECT_EQ(e.newFullPath(), "/Photos/2004/a.jpg");
    EXPECT_EQ(e.text(), "/Photos/2004/a.JPG*a.jpg");

    const JournalEntry root("//B.JPG", "b.jpg");
    EXPECT_EQ(root.directoryPart(), "//");
    EXPECT_EQ(root.newFullPath(), "//b.jpg");
}

TEST(JournalEntry, TextSplitsAtTheFirstStar) {
    const JournalEntry e = JournalEntry::fromText("/a/b.txt*c*d.txt");
    EXPECT_EQ(e.oldFullPath(), "/a/b.txt");
    EXPECT_EQ(e.newName(), "c*d.txt");
}

TEST(UndoJournal, KeepsTheSeparatorOfNamesHoldingAStar) {
    UndoJournal j;
    j.append("/dir*x", "a*b.jpg", "n*ew.jpg");
    EXPECT_EQ(j[0].oldFullPath(), "/dir*x/a*b.jpg");
    EXPECT_EQ(j[0].oldName(), "a*b.jpg");
    EXPECT_EQ(j[0].newName(), "n*ew.jpg");
    EXPECT_EQ(j[0].newFullPath(), "/dir*x/n*ew.jpg");
}

TEST(UndoJournal, ManyEntriesAcrossBlocksKeepOrderAndContent) {
    UndoJournal j;
    const std::string longName(300000, 'x');  // larger than one block
    for (int i = 0; i < 20000; ++i) {
        if (i == 777)
            j.append("/d", longName, "short");
        else
            j.append("/d/" + std::to_string(i % 97), "f" + std::to_string(i),
                     "g" + std::to_string(i));
    }
    ASSERT_EQ(j.size(), 20000u);
    EXPECT_EQ(j[777].oldName(), longName);
    EXPECT_EQ(j[778].text(), "/d/2/f778*g778");
    EXPECT_EQ(j[19999].text(), "/d/17/f19999*g19999");
    j.clear();
    EXPECT_TRUE(j.empty());
    j.appendEntry("/x/y", "z");
    EXPECT_EQ(j[0].text(), "/x/y*z");
}

}  // namespace
}  // namespace zr
