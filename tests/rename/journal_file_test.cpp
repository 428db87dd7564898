// SPDX-License-Identifier: GPL-3.0-or-later
#include "rename/journal_file.h"

#include <gtest/gtest.h>

#include "platform/file_system.h"

namespace zr {
namespace {

class StringFile : public OutputFile {
public:
    std::string text;
    std::size_t synced = 0;
    bool closed = false;
    int write(std::string_view bytes) override {
        text += bytes;
        return 0;
    }
    int makeExecutable() override { return 0; }
    int flush() override { return 0; }
    int sync() override {
        synced = text.size();
        return 0;
    }
    int close() override {
        closed = true;
        return 0;
    }
    int giveName(const std::string&) override { return EINVAL; }
};

const std::string kHeader = "zentarel-renamer journal 1\n";
const std::string kHeader2 = "zentarel-renamer journal 2\n";

std::string written(const UndoJournal& journal) {
    StringFile file;
    EXPECT_EQ(writeJournal(file, journal), 0);
    EXPECT_EQ(file.synced, file.text.size());  // all of it on the disk before any rename
    return file.text;
}

TEST(JournalFile, EveryNameRoundTripsAndSplitsAtTheSeparatorWritten) {
    UndoJournal journal;
    journal.appendEntry("/photos/x*y/IMG*1.JPG", "img*1.jpg");
    journal.appendEntry("/tab\there/line\nbreak\r.JPG", "back\\slash.jpg");
    journal.appendEntry("/stray\xff\x80/\xc3\xa9t\xc3\xa9.JPG", "\x01odd\x7f");
    journal.append("/", "At root.JPG", "at root.jpg");  // the root gives "//name"
    const std::string text = written(journal);
    EXPECT_EQ(text, kHeader +
                        "/photos/x\\*y/IMG\\*1.JPG*img\\*1.jpg\n"
                        "/tab\\there/line\\nbreak\\r.JPG*back\\\\slash.jpg\n"
                        "/stray\\xff\\x80/\xc3\xa9t\xc3\xa9.JPG*\\x01odd\\x7f\n"
                        "//At root.JPG*at root.jpg\n"
                        "end 4\n");
    UndoJournal back;
    std::string error;
    ASSERT_TRUE(parseJournal(text, back, error)) << error;
    ASSERT_EQ(back.size(), journal.size());
    for (std::size_t i = 0; i < journal.size(); ++i) {
        EXPECT_EQ(back[i].oldFullPath(), journal[i].oldFullPath());
        EXPECT_EQ(back[i].newName(), journal[i].newName());
    }
}

// What the walk saw of each entry and folder, and the detour's names, come back as written.
TEST(JournalFile, IdentitiesAndTheDetourRoundTrip) {
    UndoJournal journal;
    journal.append("/photos", "A.JPG", "a.jpg");
    journal.append("/photos", "B\nx.JPG", "b\nx.jpg");
    journal.append("/", "At root", "at root");
    journal.append("/photos", "C.JPG", "c.jpg");
    journal.identify(0, {2049, 11}, {2049, 10});
    journal.identify(1, {}, {2049, 10});
    journal.identify(2, {8, 3}, {7, 2});  // a mount point: another device than its folder
    journal.identify(3, {2049, 12}, {2049, 10});
    journal.setDetourPrefix(".zentarel-rename-00c0ffee-");
    journal.setStartFolder("/pho\ttos");
    const std::string text = written(journal);
    EXPECT_EQ(text, kHeader2 +
                        "detour .zentarel-rename-00c0ffee-\n"
                        "start /pho\\ttos\n"
                        "folder 2049:10 /photos\n"
                        "11 A.JPG*a.jpg\n"
                        "- B\\nx.JPG*b\\nx.jpg\n"
                        "folder 7:2 /\n"
                        "8:3 At root*at root\n"
                        "folder 2049:10 /photos\n"
                        "12 C.JPG*c.jpg\n"
                        "end 4\n");
    UndoJournal back;
    std::string error;
    ASSERT_TRUE(parseJournal(text, back, error)) << error;
    ASSERT_EQ(back.size(), 4u);
    EXPECT_TRUE(back.identified());
    EXPECT_EQ(back.temporaryName(2), ".zentarel-rename-00c0ffee-3");
    EXPECT_EQ(back.startFolder(), "/pho\ttos");
    for (std::size_t i = 0; i < journal.size(); ++i) {
        EXPECT_EQ(back[i].oldFullPath(), journal[i].oldFullPath());
        EXPECT_EQ(back[i].newName(), journal[i].newName());
        EXPECT_EQ(back.entryId(i), journal.entryId(i));
        EXPECT_EQ(back.folderId(i), journal.folderId(i));
    }
    EXPECT_EQ(back[2].oldFullPath(), "//At root");
}

TEST(JournalFile, LargeAndEmptyJournalsRoundTrip) {
    UndoJournal large;
    for (int i = 0; i < 5000; ++i)
        large.append("/a/long/directory/name/" + std::to_string(i % 7), "F" + std::to_string(i),
                     "f" + std::to_string(i));
    UndoJournal back;
    std::string error;
    ASSERT_TRUE(parseJournal(written(large), back, error)) << error;
    ASSERT_EQ(back.size(), 5000u);
    EXPECT_EQ(back[4999].oldFullPath(), "/a/long/directory/name/1/F4999");

    EXPECT_EQ(written(UndoJournal{}), kHeader + "end 0\n");
    ASSERT_TRUE(parseJournal(kHeader + "end 0\n", back, error));
    EXPECT_TRUE(back.empty());
}

TEST(JournalFile, FailedEntriesAreRecordedAfterTheEndAndReadBackMarked) {
    UndoJournal journal;
    for (const char* name : {"/t/A", "/t/B", "/t/C"})
        journal.appendEntry(name, "x");
    StringFile file;
    ASSERT_EQ(writeJournal(file, journal), 0);
    EXPECT_EQ(appendFailures(file, journal), 0);  // nothing failed: nothing added
    journal.markFailed(2);
    journal.markFailed(0);
    ASSERT_EQ(appendFailures(file, journal), 0);
    EXPECT_EQ(file.text.substr(file.text.find("end 3\n")), "end 3\nfailed 1\nfailed 3\n");
    EXPECT_EQ(file.synced, file.text.size());

    // A run killed while it recorded a failure leaves a line cut short, which is passed over.
    for (const std::string& tail : {std::string(), std::string("fai"), std::string("failed 2")}) {
        UndoJournal back;
        std::string error;
        ASSERT_TRUE(parseJournal(file.text + tail, back, error)) << error;
        EXPECT_EQ(back.failedCount(), 2u);
        EXPECT_TRUE(back.failed(0) && !back.failed(1) && back.failed(2));
    }
}

// A rule can empty a name, or give it a "/": the run refuses that rename, and its journal stays
// usable, that entry marked as never done.
TEST(JournalFile, AnEntryWhoseNewNameTheRunRefusesIsReadAsNeverDone) {
    UndoJournal back;
    std::string error;
    ASSERT_TRUE(
        parseJournal(kHeader + "/t/x*\n/t/y*a\\x2fb\n/t/z*..\n/t/A*a\nend 4\n", back, error))
        << error;
    ASSERT_EQ(back.size(), 4u);
    EXPECT_EQ(back[1].newName(), "a/b");
    EXPECT_TRUE(back.failed(0) && back.failed(1) && back.failed(2) && !back.failed(3));
}

TEST(JournalFile, RefusesTextItDidNotWrite) {
    struct Row {
        std::string text;
        std::string error;
    };
    for (const Row& r : {
             Row{"", "the file is empty"},
             Row{"/a*b\nend 1\n", "line 1: this is not an undo journal of zentarel-renamer"},
             Row{kHeader + "/t/a*b\n", "line 2: the end line is missing (the file was cut short)"},
             Row{kHeader + "/t/a*b\nend 1", "line 3: the line has no end (the file was cut short)"},
             Row{kHeader + "/t/a*b\nend 2\n",
                 "line 3: the end line counts other entries than the file holds"},
             Row{kHeader + "/t/a*b\nend 1\n/t/c*d\n", "line 4: text after the end line"},
             Row{kHeader + "/t/a*b\nend 1\nfailed 2\n", "line 4: text after the end line"},
             Row{kHeader + "/t/a*b\nend 1\nfailed 0\n", "line 4: text after the end line"},
             Row{kHeader + "/t/a*b\nend 1\nfailed 1x",
                 "line 4: the line has no end (the file was cut short)"},
             Row{kHeader + "/ab\nend 1\n",
                 "line 2: no \"*\" between the old path and the new name"},
             Row{kHeader + "/a*b*c\nend 1\n", "line 2: more than one unescaped \"*\""},
             Row{kHeader + "a*b\nend 1\n", "line 2: the old path is not absolute"},
             // Paths only in the form a run writes them: absolute, without "", "." or ".."
             // parts (but the root's entries as "//name").
             Row{kHeader + "/a/../b*c\nend 1\n", "line 2: the old path is not one a run writes"},
             Row{kHeader + "/a/./b*c\nend 1\n", "line 2: the old path is not one a run writes"},
             Row{kHeader + "/a//b*c\nend 1\n", "line 2: the old path is not one a run writes"},
             Row{kHeader + "///b*c\nend 1\n", "line 2: the old path is not one a run writes"},
             Row{kHeader + "/a/*c\nend 1\n", "line 2: the old path is not one a run writes"},
             Row{kHeader + "/..*c\nend 1\n", "line 2: the old path is not one a run writes"},
             Row{kHeader2 + "1:3 a*b\nend 1\n", "line 2: an entry before its folder"},
             Row{kHeader2 + "folder 1:2 /t/../x\n", "line 2: not a folder as a run writes it"},
             Row{kHeader2 + "folder 1:2 t\n", "line 2: not a folder as a run writes it"},
             Row{kHeader2 + "folder 1:2 /t\n1:3 a\\x2fb*c\nend 1\n",
                 "line 3: the old name is not one a run writes"},
             Row{kHeader2 + "folder 1:2 /t\nx:3 a*c\nend 1\n",
                 "line 3: the entry's identity is not one a run writes"},
             Row{kHeader2 + "folder - /t\n3 a*c\nend 1\n",
                 "line 3: the entry's identity is not one a run writes"},
             Row{kHeader2 + "detour ../x\n", "line 2: not a detour a run writes"},
             Row{kHeader2 + "folder - /t\nstart /t\n",
                 "line 3: not a start directory as a run writes it"},
             Row{kHeader2 + "start t\n", "line 2: not a start directory as a run writes it"},
             Row{kHeader2 + "folder - /t\ndetour .zentarel-rename-x-\n",
                 "line 3: not a detour a run writes"},
             Row{kHeader + "/a\\q*b\nend 1\n", "line 2: an unknown escape \\q"},
             Row{kHeader + "/a*b\r\nend 1\n", "line 2: a raw control character"},
         }) {
        UndoJournal journal;
        journal.appendEntry("/left", "over");
        std::string error;
        EXPECT_FALSE(parseJournal(r.text, journal, error)) << r.text;
        EXPECT_EQ(error, r.error) << r.text;
        EXPECT_TRUE(journal.empty()) << r.text;
    }
}

}  // namespace
}  // namespace zr
