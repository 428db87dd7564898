// SPDX-License-Identifier: GPL-3.0-or-later
// zentarel-renamer-cli as a user runs it: the built program on temporary trees.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <map>
#include <sstream>

#include "cli_process.h"
#include "support/sample_files.h"
#include "support/temp_dir.h"

namespace zr::test {
namespace {

using Lines = std::vector<std::string>;

// 2023-11-14 22:13:21 UTC; the preview shows the even second before it.
constexpr std::time_t kMtime = 1700000001;
// The tests run with LC_ALL=C.UTF-8 and TZ=UTC.
const std::string kDate = "11/14/23";
const std::string kTime = "22:13:20";
const std::string kModified = "2023-11-14T22:13:21+00:00";
// What scan and go say when neither --filter nor a settings file chose the filter.
const std::string kDefaultFilterNote =
    "Using the default filter '*.jpg;*.gif' (--filter gives another).\n";

void setMtime(const std::string& path) {
    const timespec times[2] = {{kMtime, 0}, {kMtime, 0}};
    utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW);
}

Lines sortedLines(const std::string& text) {
    Lines lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    std::sort(lines.begin(), lines.end());
    return lines;
}

class CliTest : public ::testing::Test {
protected:
    CliTest() : work(temp / "work"), tree(temp / "tree") {
        makeDirectory(work);
        makeDirectory(tree);
    }

    CliRun run(const Lines& args) { return runCli(work, args); }

    // Files with a tab, a stray byte, a backslash and plain text in their names.
    void buildAwkwardFlatTree() {
        for (const char* name : {"A.JPG", "tab\tB.JPG",
                                 "bad\xff"
                                 "C.JPG",
                                 "back\\D.JPG"}) {
            writeFile(tree + "/" + name, "12345");
            setMtime(tree + "/" + name);
        }
    }

    TempDir temp;
    std::string work;
    std::string tree;
};

TEST_F(CliTest, ScanWritesTabSeparatedRowsWithEscapedNamesAndTheStatusOnStandardError) {
    buildAwkwardFlatTree();
    const CliRun tsv = run({"scan", "--case", "lower", "--format", "tsv", tree});
    EXPECT_EQ(tsv.status, 0);
    const std::string cells = "\t5\t" + kDate + "\t" + kTime;
    EXPECT_EQ(sortedLines(tsv.out),
              (Lines{"A.JPG\ta.jpg" + cells, "back\\\\D.JPG\tback\\\\d.jpg" + cells,
                     "bad\\xffC.JPG\tbad\\xffc.jpg" + cells, "tab\\tB.JPG\ttab\\tb.jpg" + cells}));
    EXPECT_EQ(tsv.err, kDefaultFilterNote + "Scanning done, found 4 file(s) to be renamed.\n");
    // Standard output is no terminal here: tab-separated is the default.
    EXPECT_EQ(run({"scan", "--case", "lower", tree}).out, tsv.out);
    EXPECT_EQ(listNames(tree).size(), 4u);  // nothing renamed
}

TEST_F(CliTest, ScanWritesJsonLinesWithStrayBytesAsLoneSurrogates) {
    buildAwkwardFlatTree();
    const CliRun json = run({"scan", "--case", "lower", "--format=json", tree});
    EXPECT_EQ(json.status, 0);
    // Each row names the entry's full path, so rows of a recursive scan can be told apart, and
    // its time in ISO 8601 (to the second, where the preview's is even) and its type.
    const auto row = [&](const std::string& current, const std::string& renamed,
                         const std::string& size = "5", const std::string& type = "file") {
        return "{\"current\":\"" + current + "\",\"new\":\"" + renamed + "\",\"size\":" + size +
               ",\"date\":\"" + kDate + "\",\"time\":\"" + kTime + "\",\"modified\":\"" +
               kModified + "\",\"type\":\"" + type + "\",\"path\":\"" + tree + "/" + current +
               "\"}";
    };
    EXPECT_EQ(
        sortedLines(json.out),
        (Lines{row("A.JPG", "a.jpg"), row("back\\\\D.JPG", "back\\\\d.jpg"),
               row("bad\\udcffC.JPG", "bad\\udcffc.jpg"), row("tab\\tB.JPG", "tab\\tb.jpg")}));
    EXPECT_EQ(json.err, kDefaultFilterNote + "Scanning done, found 4 file(s) to be renamed.\n");

    // A directory has no size, a link its own; the table keeps "DIR", as the preview does.
    makeDirectory(tree + "/Sub");
    setMtime(tree + "/Sub");
    ASSERT_EQ(symlink("A.JPG", (tree + "/Link").c_str()), 0);
    setMtime(tree + "/Link");
    EXPECT_EQ(run({"scan", "--dirs-only", "--case", "lower", "--format", "json", tree}).out,
              row("Sub", "sub", "null", "dir") + "\n");
    EXPECT_EQ(sortedLines(run({"scan", "--no-recursive", "--filter", "Sub;Link", "--case", "upper",
                               "--format", "json", tree})
                              .out),
              (Lines{row("Link", "LINK", "5", "link"), row("Sub", "SUB", "null", "dir")}));
    EXPECT_TRUE(run({"scan", "--dirs-only", "--case", "lower", "--format", "tsv", tree})
                    .out.starts_with("Sub\tsub\tDIR\t"));
}

TEST_F(CliTest, ScanTableAlignsColumnsAndEndsWithTheStatus) {
    for (const char* name : {"LONGER NAME.JPG", "\xe6\x97\xa5X.JPG"}) {  // a wide character
        writeFile(tree + "/" + name, "1234567890");
        setMtime(tree + "/" + name);
    }
    const CliRun table = run({"scan", "--case", "lower", "--format", "table", tree});
    EXPECT_EQ(table.status, 0);
    Lines lines = sortedLines(table.out);
    EXPECT_EQ(lines, (Lines{"LONGER NAME.JPG  longer name.jpg        10  " + kDate + "  " + kTime,
                            "Scanning done, found 2 file(s) to be renamed.",
                            "current name     new name         filesize  filedate  filetime",
                            "\xe6\x97\xa5X.JPG          \xe6\x97\xa5x.jpg                10  " +
                                kDate + "  " + kTime}));
    EXPECT_TRUE(table.out.ends_with("Scanning done, found 2 file(s) to be renamed.\n"));
    EXPECT_EQ(table.err, kDefaultFilterNote);

    // Filters that match no entry are named; names that match but stay as they are are not.
    const CliRun empty = run({"scan", "--filter", "*.none", "--format", "table", tree});
    EXPECT_EQ(empty.out, "Scanning done, found 0 file(s) to be renamed.\n");
    EXPECT_EQ(empty.err, "No entry matched the filters '*.none'.\n");
    const CliRun unchanged = run({"go", "--filter", "*.JPG", "--case", "upper", tree});
    EXPECT_EQ(unchanged.out, "Done, 0 file(s) renamed, 0 failure(s).\n");
    EXPECT_EQ(unchanged.err, "");
    makeDirectory(temp / "empty");
    const CliRun none = run({"go", "--case", "upper", temp / "empty"});
    EXPECT_EQ(none.err, kDefaultFilterNote + "No entry matched the filters '*.jpg;*.gif'.\n");
}

TEST_F(CliTest, ScanMarksTheRowsGoWillFailToRenameInEveryFormat) {
    // A.JPG would become a.jpg, which stays; Sub's A.JPG has its folder to itself.
    for (const char* name : {"A.JPG", "a.jpg", "Sub/A.JPG"}) {
        writeFile(tree + "/" + name, "12345");
        setMtime(tree + "/" + name);
    }
    const std::string cells = "\t5\t" + kDate + "\t" + kTime;
    const Lines scan = {"scan", "--filter", "*.JPG", "--case", "lower", tree};
    auto with = [&scan](Lines extra) {
        extra.insert(extra.begin(), scan.begin(), scan.end() - 1);
        extra.push_back(scan.back());
        return extra;
    };

    const CliRun json = run(with({"--format", "json"}));
    const std::string tail = "\",\"size\":5,\"date\":\"" + kDate + "\",\"time\":\"" + kTime +
                             "\",\"modified\":\"" + kModified + "\",\"type\":\"file\",\"path\":\"" +
                             tree;
    // A folder's rows come once its listing is over, so after those of the folders inside it.
    EXPECT_EQ(json.out, "{\"current\":\"A.JPG\",\"new\":\"a.jpg" + tail + "/Sub/A.JPG\"}\n" +
                            "{\"current\":\"A.JPG\",\"new\":\"a.jpg" + tail +
                            "/A.JPG\",\"fails\":\"name taken\"}\n");
    EXPECT_EQ(json.err, "Scanning done, found 2 file(s) to be renamed, 1 will fail.\n");

    // tsv keeps its five columns unless asked for the sixth.
    EXPECT_EQ(run(with({"--format", "tsv"})).out,
              "A.JPG\ta.jpg" + cells + "\n" + "A.JPG\ta.jpg" + cells + "\n");
    EXPECT_EQ(sortedLines(run(with({"--format", "tsv", "--show-conflicts"})).out),
              (Lines{"A.JPG\ta.jpg" + cells + "\t", "A.JPG\ta.jpg" + cells + "\tname taken"}));

    const Lines table = sortedLines(run(with({"--format", "table"})).out);
    ASSERT_EQ(table.size(), 4u);
    EXPECT_TRUE(table[0].ends_with("  " + kTime)) << table[0];
    EXPECT_TRUE(table[1].ends_with("  " + kTime + "  name taken")) << table[1];
    EXPECT_EQ(table[3], "current name  new name  filesize  filedate  filetime  will fail");

    // --show-path adds the folder last, after the reason when there is one.
    EXPECT_EQ(sortedLines(run(with({"--format", "tsv", "--show-conflicts", "--show-path"})).out),
              (Lines{"A.JPG\ta.jpg" + cells + "\t\t" + tree + "/Sub",
                     "A.JPG\ta.jpg" + cells + "\tname taken\t" + tree}));
    const Lines withPath = sortedLines(run(with({"--format", "table", "--show-path"})).out);
    ASSERT_EQ(withPath.size(), 4u);
    EXPECT_TRUE(withPath[0].ends_with("  " + kTime + "              " + tree + "/Sub"))
        << withPath[0];
    EXPECT_TRUE(withPath[1].ends_with("  " + kTime + "  name taken  " + tree)) << withPath[1];
    EXPECT_EQ(withPath[3],
              "current name  new name  filesize  filedate  filetime  will fail   folder");
}

TEST_F(CliTest, GoAndUndoThroughAJournalRestoreTheTreeByteForByte) {
    for (const char* name : {"Star*A.JPG", "Line\nBreak.JPG", "Stray\xfe\xff.JPG", "Back\\S.JPG",
                             "Tab\t.JPG", "Dir.JPG/Inner*.JPG", "Dir.JPG/Deep/\x80X.JPG"})
        writeFile(tree + "/" + name, name);
    const auto before = snapshotTree(tree);

    const CliRun go =
        run({"go", "--filter", "*", "--case", "lower", "--journal", "../undo.j", tree});
    EXPECT_EQ(go.status, 0) << go.err;
    EXPECT_EQ(go.out, "Done, 7 file(s) renamed, 0 failure(s).\n");
    EXPECT_EQ(go.err, "");  // no progress line where standard error is no terminal
    EXPECT_EQ(listNames(tree), (Lines{"Dir.JPG", "back\\s.jpg", "line\nbreak.jpg", "star*a.jpg",
                                      "stray\xfe\xff.jpg", "tab\t.jpg"}));
    const std::string journal = readFile(temp / "undo.j");
    EXPECT_TRUE(journal.starts_with("zentarel-renamer journal 2\ndetour .zentarel-rename-"));
    EXPECT_NE(journal.find(" " + tree + "/Dir.JPG/Deep\n"), std::string::npos) << journal;
    EXPECT_NE(journal.find(" Star\\*A.JPG*star\\*a.jpg\n"), std::string::npos);
    EXPECT_NE(journal.find(" Line\\nBreak.JPG*line\\nbreak.jpg\n"), std::string::npos);
    EXPECT_NE(journal.find(" Stray\\xfe\\xff.JPG*stray\\xfe\\xff.jpg\n"), std::string::npos);
    EXPECT_TRUE(journal.ends_with("end 7\n"));

    const CliRun undo = run({"undo", "--journal", "../undo.j"});
    EXPECT_EQ(undo.status, 0) << undo.err;
    EXPECT_EQ(undo.out, "Undo done, 7 file(s) renamed back, 0 failure(s).\n");
    EXPECT_EQ(snapshotTree(tree), before);
    // The undo data is used up, as in the window: the journal is gone.
    EXPECT_FALSE(exists(temp / "undo.j"));
    EXPECT_EQ(listNames(work), Lines{});  // no failure log left behind
}

// Without --journal, go keeps its undo data in the state folder, one journal per run, and undo
// reverses the newest run not undone yet; the window's journals there are none of its business.
TEST_F(CliTest, GoAlwaysKeepsUndoDataAndUndoTakesTheNewestRun) {
    const std::string runs = temp / "state/zentarel-renamer/runs";
    const auto inState = [&](Lines args) {
        ProcessOptions options;
        options.cwd = work;
        options.env = {"XDG_STATE_HOME=" + temp / "state"};
        return runCli(args, std::move(options));
    };
    writeFile(tree + "/A.JPG");
    writeFile(tree + "/B.JPG");
    writeFile(temp / "state/zentarel-renamer/undo.journal", "a window's");
    EXPECT_EQ(inState({"go", "--filter", "*.JPG", "--case", "lower", tree}).status, 0);
    EXPECT_EQ(inState({"go", "--filter", "*.JPG", "--prefix", "p_", tree}).status, 0);
    // Nothing renamed, nothing kept; a batch run's undo data is its undo script.
    EXPECT_EQ(inState({"go", "--filter", "*.none", "--prefix", "p_", tree}).status, 0);
    EXPECT_EQ(inState({"go", "--filter", "*.JPG", "--prefix", "p_", "--batch", tree}).status, 0);
    EXPECT_EQ(listNames(tree), (Lines{"p_a.jpg", "p_b.jpg"}));
    ASSERT_EQ(listNames(runs).size(), 2u);

    const CliRun list = inState({"undo", "--list"});
    EXPECT_EQ(list.status, 0);
    const Lines listed = sortedLines(list.out);
    ASSERT_EQ(listed.size(), 2u) << list.out;
    for (const std::string& line : listed)
        EXPECT_NE(line.find("  2 rename(s) to undo in '" + tree + "'  " + runs + "/go-"),
                  std::string::npos)
            << line;
    const std::string newestRun = runs + "/" + listNames(runs).back();
    EXPECT_NE(list.out.find(newestRun), std::string::npos);
    EXPECT_LT(list.out.find(newestRun), list.out.find(runs + "/" + listNames(runs).front()));

    const CliRun newest = inState({"undo"});
    EXPECT_EQ(newest.status, 0) << newest.err;
    EXPECT_EQ(newest.out, "Undo done, 2 file(s) renamed back, 0 failure(s).\n");
    EXPECT_TRUE(newest.err.starts_with("Undoing the run of ")) << newest.err;
    EXPECT_TRUE(
        newest.err.ends_with(" in '" + tree + "' (2 rename(s)), kept in '" + newestRun + "'.\n"))
        << newest.err;
    EXPECT_EQ(listNames(tree), (Lines{"a.jpg", "b.jpg"}));
    EXPECT_EQ(inState({"undo"}).status, 0);
    EXPECT_EQ(listNames(tree), (Lines{"A.JPG", "B.JPG"}));
    EXPECT_EQ(inState({"undo"}).out, "Nothing to undo: no run is kept in '" + runs + "'.\n");
    EXPECT_EQ(readFile(temp / "state/zentarel-renamer/undo.journal"), "a window's");

    // An undo that could not rename everything back keeps what is left, for another try.
    EXPECT_EQ(inState({"go", "--filter", "*.JPG", "--case", "lower", tree}).status, 0);
    writeFile(tree + "/A.JPG", "in the way");
    const CliRun blocked = inState({"undo"});
    EXPECT_EQ(blocked.status, 1);
    EXPECT_TRUE(blocked.out.starts_with(
        "Undo done, 1 file(s) renamed back, 1 failure(s).  [see failure log]\n"))
        << blocked.out;
    EXPECT_NE(blocked.err.find("now holds what is left to undo"), std::string::npos) << blocked.err;
    ASSERT_EQ(listNames(runs).size(), 1u);
    std::filesystem::remove(tree + "/A.JPG");
    const CliRun retried = inState({"undo"});
    EXPECT_EQ(retried.out, "Undo done, 1 file(s) renamed back, 0 failure(s).\n") << retried.err;
    EXPECT_EQ(listNames(tree), (Lines{"A.JPG", "B.JPG"}));
    EXPECT_EQ(listNames(runs), Lines{});

    // The newest ten are kept.
    for (int i = 0; i < 11; ++i)
        EXPECT_EQ(inState({"go", "--filter", "*.JPG", "--prefix", "p", tree}).status, 0);
    EXPECT_EQ(listNames(runs).size(), 10u);

    // Without a place for its undo data, go renames nothing.
    const Lines before = listNames(tree);
    writeFile(temp / "file");
    ProcessOptions nowhere;
    nowhere.cwd = work;
    nowhere.env = {"XDG_STATE_HOME=" + temp / "file"};
    const CliRun refused = runCli({"go", "--filter", "*", "--prefix", "q", tree}, nowhere);
    EXPECT_EQ(refused.status, 2);
    EXPECT_EQ(refused.err,
              "zentarel-renamer-cli: cannot make the folder '" +
                  temp / "file/zentarel-renamer/runs' for the undo data: not a directory\n");
    EXPECT_EQ(listNames(tree), before);
}

TEST_F(CliTest, AJournalInsideTheTreeIsNotRenamedWithIt) {
    writeFile(tree + "/A.JPG");
    const CliRun go =
        runCli(tree, {"go", "--filter", "*", "--case", "lower", "--journal", "UNDO.TXT", "."});
    EXPECT_EQ(go.status, 0) << go.err;
    EXPECT_EQ(go.out, "Done, 1 file(s) renamed, 0 failure(s).\n");
    EXPECT_EQ(listNames(tree), (Lines{"UNDO.TXT", "a.jpg"}));
    EXPECT_EQ(runCli(tree, {"undo", "--journal", "UNDO.TXT"}).status, 0);
    EXPECT_EQ(listNames(tree), Lines{"A.JPG"});
}

TEST_F(CliTest, FailedRenamesExitWithOneAndNameTheFailureLog) {
    writeFile(tree + "/A.JPG", "upper");
    writeFile(tree + "/a.jpg", "lower");  // takes the new name
    writeFile(tree + "/B.JPG", "b");
    const CliRun go = run({"go", "--filter", "*.JPG", "--case", "lower", "--journal", "j", tree});
    EXPECT_EQ(go.status, 1);
    EXPECT_EQ(go.out,
              "Done, 1 file(s) renamed, 1 failure(s).  [see failure log]\n"
              "Failure log: " +
                  work + "/renamer_failures.log\n");
    // Standard error says which renames failed and why, in scan's words.
    EXPECT_EQ(go.err,
              "zentarel-renamer-cli: cannot rename '" + tree + "/A.JPG' to 'a.jpg': name taken\n");
    EXPECT_EQ(readFile(tree + "/a.jpg"), "lower");  // never overwritten
    EXPECT_NE(readFile(work + "/renamer_failures.log").find(tree + "/A.JPG -> a.jpg\r\n"),
              std::string::npos);

    // Undo leaves the failed entry alone: it was never renamed.
    const CliRun undo = run({"undo", "--journal", "j"});
    EXPECT_EQ(undo.status, 0);
    EXPECT_EQ(undo.out, "Undo done, 1 file(s) renamed back, 0 failure(s).\n");
    EXPECT_EQ(listNames(tree), (Lines{"A.JPG", "B.JPG", "a.jpg"}));

    // Twenty of them at most; the log has them all.
    for (int i = 0; i < 22; ++i) {
        writeFile(tree + "/F" + std::to_string(i) + ".JPG");
        writeFile(tree + "/f" + std::to_string(i) + ".jpg");
    }
    const CliRun many = run({"go", "--filter", "F*", "--case", "lower", tree});
    EXPECT_EQ(many.status, 1);
    const Lines lines = sortedLines(many.err);
    ASSERT_EQ(lines.size(), 21u) << many.err;
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [](const std::string& l) { return l.ends_with(".jpg': name taken"); }),
              20);
    EXPECT_TRUE(many.err.ends_with("zentarel-renamer-cli: and 2 more, see " + work +
                                   "/renamer_failures_1.log\n"))
        << many.err;
}

TEST_F(CliTest, AJournalIsNeverOverwrittenAndOneThatCannotBeCreatedRenamesNothing) {
    writeFile(tree + "/A.JPG");
    writeFile(work + "/taken", "keep me");
    for (const char* journal : {"taken", "no-such-folder/j"}) {
        const CliRun go =
            run({"go", "--filter", "*.JPG", "--case", "lower", "--journal", journal, tree});
        EXPECT_EQ(go.status, 2) << journal;
        EXPECT_EQ(go.out, "");
        EXPECT_EQ(std::count(go.err.begin(), go.err.end(), '\n'), 1) << go.err;
        EXPECT_NE(go.err.find(journal), std::string::npos) << go.err;
        EXPECT_EQ(listNames(tree), Lines{"A.JPG"});
    }
    EXPECT_EQ(readFile(work + "/taken"), "keep me");
    EXPECT_EQ(listNames(work), Lines{"taken"});
}

TEST_F(CliTest, BatchModeWritesBothScriptsAndLeavesAnEmptyJournal) {
    writeFile(tree + "/a%1.JPG");
    const CliRun go = run({"go", "--case", "upper", "--case-range", "name", "--filter", "*.jpg",
                           "--batch", "--script-format", "bat", "--journal", "j", tree});
    EXPECT_EQ(go.status, 0) << go.err;
    EXPECT_EQ(go.out, "Done, 1 file(s) placed in batch file.\nRename script: " + work +
                          "/renamer.bat\nUndo script: " + work + "/renamer_undo.bat\n");
    EXPECT_EQ(listNames(tree), Lines{"a%1.JPG"});
    EXPECT_EQ(listNames(work), (Lines{"j", "renamer.bat", "renamer_undo.bat"}));
    const std::string script = readFile(work + "/renamer.bat");
    EXPECT_TRUE(script.starts_with("@echo off\r\nrem Renamer rename file from "));
    EXPECT_TRUE(script.ends_with("rem to rename queued 1 file(s)\r\nrename \"" + tree +
                                 "/a%%1.JPG\" \"A%%1.JPG\"\r\n"))
        << script;
    EXPECT_TRUE(readFile(work + "/renamer_undo.bat")
                    .ends_with("rename \"" + tree + "/A%%1.JPG\" \"a%%1.JPG\"\r\n"));
    EXPECT_EQ(readFile(work + "/j"), "zentarel-renamer journal 1\nend 0\n");

    const CliRun undo = run({"undo", "--journal", "j"});
    EXPECT_EQ(undo.status, 0);
    EXPECT_EQ(undo.out, "Nothing to undo: the journal holds no renames.\n");
    EXPECT_FALSE(exists(work + "/j"));
}

// The command line writes scripts for this system unless told otherwise, and names them.
TEST_F(CliTest, ShellScriptsAreTheDefaultUnderTheirOwnFreeNames) {
    writeFile(tree + "/it's.JPG");
    writeFile(work + "/renamer.sh", "mine");
    const Lines batch = {"go", "--case", "lower", "--filter", "*.jpg", "--batch"};
    auto with = [&](Lines args) {
        args.insert(args.begin(), batch.begin(), batch.end());
        args.push_back(tree);
        return args;
    };
    const CliRun go = run(with({}));
    EXPECT_EQ(go.status, 0) << go.err;
    EXPECT_EQ(go.out, "Done, 1 file(s) placed in batch file.\nRename script: " + work +
                          "/renamer_1.sh\nUndo script: " + work + "/renamer_undo.sh\n");
    EXPECT_EQ(listNames(work), (Lines{"renamer.sh", "renamer_1.sh", "renamer_undo.sh"}));
    EXPECT_EQ(readFile(work + "/renamer.sh"), "mine");
    EXPECT_NE(readFile(work + "/renamer_1.sh")
                  .find("\ntaken '" + tree + "/it'\\''s.jpg' || mv -n -- '" + tree +
                        "/it'\\''s.JPG' '" + tree + "/it'\\''s.jpg' || failed=1\n"),
              std::string::npos);
    EXPECT_EQ(access((work + "/renamer_undo.sh").c_str(), X_OK), 0);
    EXPECT_EQ(run({"go", "--script-format", "cmd", tree}).err,
              "zentarel-renamer-cli: --script-format takes bat|sh, not 'cmd'\n");

    // A settings file that names the format is followed, and --script-format is followed over it.
    writeFile(work + "/bat.rns", "[Renamer Settings]\r\nver=1005\r\nscript-format=bat\r\n");
    EXPECT_NE(run(with({"--settings", "bat.rns"})).out.find("/renamer.bat\n"), std::string::npos);
    EXPECT_NE(
        run(with({"--settings", "bat.rns", "--script-format", "sh"})).out.find("/renamer_2.sh"),
        std::string::npos);
}

// Excluded and hidden names are left out, and for folders all they hold; they still hold their
// names, which a rename may want.
TEST_F(CliTest, ExcludedAndHiddenNamesAreLeftOutWithWhatTheyHold) {
    for (const char* name : {"A.JPG", ".Hidden.JPG", ".cache/B.JPG", "Skip.JPG", "Skipdir/C.JPG",
                             "keep/D.JPG", "keep/Skip2.JPG", "_.e.JPG", ".e.jpg"})
        writeFile(tree + "/" + name);
    const auto firstCells = [](const std::string& rows) {
        Lines cells;
        for (const std::string& line : sortedLines(rows))
            cells.push_back(line.substr(0, line.find('\t')) + "|" +
                            line.substr(line.rfind('\t') + 1));
        return cells;
    };
    const Lines options = {"--filter", "*.JPG",     "--case", "lower",      "--kill-chars",
                           "_",        "--exclude", "Skip*",  "--no-hidden"};
    Lines scan = {"scan", "--format", "tsv", "--show-conflicts", "--save-settings", "s.rns"};
    scan.insert(scan.end(), options.begin(), options.end());
    scan.push_back(tree);
    const CliRun scanned = run(scan);
    EXPECT_EQ(scanned.status, 0) << scanned.err;
    EXPECT_EQ(firstCells(scanned.out), (Lines{"A.JPG|", "D.JPG|", "_.e.JPG|name taken"}));
    // Kept in the settings file, and off unless asked for.
    EXPECT_EQ(run({"scan", "--settings", "s.rns", "--format", "tsv", "--show-conflicts"}).out,
              scanned.out);
    EXPECT_EQ(firstCells(run({"scan", "--settings", "s.rns", "--format", "tsv", "--show-conflicts",
                              "--exclude=", "--hidden"})
                             .out)
                  .size(),
              8u);

    Lines go = {"go"};
    go.insert(go.end(), options.begin(), options.end());
    go.push_back(tree);
    EXPECT_EQ(run(go).status, 1);
    for (const char* untouched : {".Hidden.JPG", ".cache/B.JPG", "Skip.JPG", "Skipdir/C.JPG",
                                  "keep/Skip2.JPG", "_.e.JPG", "a.jpg", "keep/d.jpg"})
        EXPECT_TRUE(exists(tree + "/" + untouched)) << untouched;
}

TEST_F(CliTest, SettingsSavedWithAwkwardValuesLoadBackAndSaveTheSame) {
    writeFile(tree + "/photo a;b.jpg");
    writeFile(work + "/one.rns", "; mine\r\n[Other]\r\nkey=kept\r\n");
    const Lines options = {"--prefix",       " \"q\" ;=[x ", "--suffix", "\xc3\xbc%",
                           "--kill-strings", "a;;b",         "--case",   "first-upper",
                           "--ignore-case",  "--filter",     "*.JPG;*.x"};
    Lines first = {"scan", "--save-settings", "one.rns"};
    first.insert(first.end(), options.begin(), options.end());
    first.push_back(tree);
    const CliRun saved = run(first);
    ASSERT_EQ(saved.status, 0) << saved.err;
    const std::string file = readFile(work + "/one.rns");
    EXPECT_TRUE(file.starts_with("; mine\r\n[Other]\r\nkey=kept\r\n[Renamer Settings]\r\n"));
    EXPECT_NE(file.find("ed14=\" \"q\" ;=[x \"\r\n"), std::string::npos);

    const CliRun loaded = run({"scan", "--settings", "one.rns", "--save-settings", "two.rns"});
    ASSERT_EQ(loaded.status, 0) << loaded.err;
    EXPECT_EQ(loaded.out, saved.out);
    // "a;;b" kills "a" and ";b"; then the first letter upper, the suffix and the prefix.
    EXPECT_TRUE(loaded.out.starts_with("photo a;b.jpg\t \"q\" ;=[x Photo \xc3\xbc%.jpg\t"))
        << loaded.out;
    EXPECT_EQ(readFile(work + "/two.rns"), file.substr(file.find("[Renamer Settings]")));

    // A flag after the file switches a rule off again.
    const CliRun noPrefix = run({"scan", "--settings", "one.rns", "--no-prefix"});
    EXPECT_TRUE(noPrefix.out.starts_with("photo a;b.jpg\tPhoto \xc3\xbc%.jpg\t")) << noPrefix.out;
}

TEST_F(CliTest, ASettingsFileOfAnotherVersionIsAnError) {
    writeFile(tree + "/A.JPG");
    writeFile(work + "/old.rns", "[Renamer Settings]\r\nver=1004\r\ned8=" + tree + "\r\n");
    const CliRun go = run({"go", "--settings", "old.rns", "--case", "lower", tree});
    EXPECT_EQ(go.status, 2);
    EXPECT_EQ(go.out, "");
    EXPECT_EQ(go.err,
              "zentarel-renamer-cli: settings file 'old.rns': Old settings file ! It holds no "
              "settings of version 1005, so it is not used.\n");
    EXPECT_EQ(listNames(tree), Lines{"A.JPG"});

    const CliRun missing = run({"scan", "--settings", "none.rns", tree});
    EXPECT_EQ(missing.status, 2);
    EXPECT_EQ(missing.err, "zentarel-renamer-cli: settings file 'none.rns' not found\n");

    writeFile(work + "/notes.rns", "[Notes]\r\nver=1005\r\n");
    const CliRun notSettings = run({"scan", "--settings", "notes.rns", tree});
    EXPECT_EQ(notSettings.status, 2);
    EXPECT_EQ(notSettings.err,
              "zentarel-renamer-cli: settings file 'notes.rns': Not a settings file: it holds no "
              "section [Renamer Settings], so no option was changed.\n");
}

TEST_F(CliTest, AnInvalidMaskOrAMissingStartDirectoryIsAnErrorBeforeAnythingHappens) {
    writeFile(tree + "/A.JPG");
    const CliRun mask = run({"go", "--filter", "*.jpg;[a-", "--case", "lower", tree});
    EXPECT_EQ(mask.status, 2);
    EXPECT_EQ(mask.err, "zentarel-renamer-cli: '[a-' is an invalid mask at (4)\n");
    EXPECT_EQ(listNames(tree), Lines{"A.JPG"});
    // Also when no entry would ever be tested against it.
    makeDirectory(temp / "empty");
    EXPECT_EQ(run({"scan", "--filter", "[", temp / "empty"}).status, 2);

    for (const char* verb : {"scan", "go"}) {
        const CliRun missing = run({verb, "--case", "lower", temp / "missing"});
        EXPECT_EQ(missing.status, 2) << verb;
        EXPECT_EQ(missing.out, "");
        EXPECT_EQ(missing.err,
                  "zentarel-renamer-cli: '" + temp / "missing': no such file or directory\n");
    }
    EXPECT_EQ(listNames(work), Lines{});
}

// Options that would spoil the run, or that the verb does not use, end it with one line before
// anything is read, renamed or written.
TEST_F(CliTest, OptionsThatCannotWorkAreRefusedBeforeAnythingHappens) {
    writeFile(tree + "/dok.jpg");
    const std::string photo("\xff\xd8\xff\xe0\0\x10JFIF\0", 11);
    writeFile(work + "/photo.jpg", photo);
    struct Row {
        Lines args;
        std::string error;
    };
    const std::vector<Row> rows = {
        {{"go", "--convert-strings-from", "dok;x", "--convert-strings-to", "doc", tree},
         "Count of convert string(s) not equal ! 2 string(s) to replace, 1 replacement(s); "
         "nothing was done"},
        {{"scan", "--convert-chars-from", "ab", "--convert-chars-to", "a", tree},
         "Lengths of convert chars not equal ! 'ab' and 'a'; nothing was done"},
        {{"go", "--prefix", "../", tree},
         "the prefix '../' holds a '/', which no name can hold; nothing was done"},
        {{"scan", "--suffix", "a/b", tree},
         "the suffix 'a/b' holds a '/', which no name can hold; nothing was done"},
        {{"go", "--case", "upper", tree + "/dok.jpg"}, "'" + tree + "/dok.jpg': not a directory"},
        {{"scan", "--case", "upper", "--save-settings", "photo.jpg", tree},
         "'photo.jpg' is not a settings file; nothing was saved or done"},
        {{"scan", "--batch", tree}, "option --batch is not for scan"},
    };
    for (const Row& row : rows) {
        const CliRun refused = run(row.args);
        EXPECT_EQ(refused.status, 2) << row.error;
        EXPECT_EQ(refused.out, "");
        EXPECT_EQ(refused.err, "zentarel-renamer-cli: " + row.error + "\n");
    }
    EXPECT_EQ(listNames(tree), Lines{"dok.jpg"});
    EXPECT_EQ(listNames(work), Lines{"photo.jpg"});
    EXPECT_EQ(readFile(work + "/photo.jpg"), photo);
    // A prefix without a slash, and a settings file of other sections, are fine.
    writeFile(work + "/mine.ini", "; mine\r\n\r\n[Other]\r\nkey = kept\r\n");
    EXPECT_EQ(run({"scan", "--prefix", "p_", "--save-settings", "mine.ini", tree}).status, 0);
}

// The filter decides what is renamed, so scan and go name it when nobody chose it.
TEST_F(CliTest, TheDefaultFilterIsNamedWhenNobodyChoseIt) {
    writeFile(tree + "/A.JPG");
    writeFile(work + "/filter.rns", "[Renamer Settings]\r\nver=1005\r\ned11=*.jpg;*.gif\r\n");
    writeFile(work + "/other.rns", "[Renamer Settings]\r\nver=1005\r\nch9=0\r\n");
    struct Row {
        Lines args;
        bool named;
    };
    for (const Row& row : {Row{{"scan", tree}, true}, Row{{"go", "--batch", tree}, true},
                           Row{{"scan", "--settings", "other.rns", tree}, true},
                           Row{{"scan", "--filter", "*.jpg;*.gif", tree}, false},
                           Row{{"scan", "--settings", "filter.rns", tree}, false},
                           Row{{"scan", "--dirs-only", tree}, false}}) {
        const CliRun r = run(row.args);
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.err.starts_with(kDefaultFilterNote), row.named) << r.err;
    }
}

TEST_F(CliTest, BadUsageExitsWithTwoAndOneLineOnStandardError) {
    writeFile(tree + "/A.JPG");
    // The parser's messages are tested with it; here, that each way of failing exits alike.
    const std::vector<Lines> cases = {
        {},
        {"scan"},  // no start directory and no settings file
        {"scan", "--case", "sideways", tree},
        {"go", "--format", "tsv", tree},
        {"scan", "--no-batch", tree},
        {"undo", "--list", "--journal", "j"},
    };
    for (const Lines& args : cases) {
        std::string shown;
        for (const std::string& a : args)
            shown += a + " ";
        const CliRun bad = run(args);
        EXPECT_EQ(bad.status, 2) << shown;
        EXPECT_EQ(bad.out, "") << shown;
        EXPECT_TRUE(bad.err.starts_with("zentarel-renamer-cli: ")) << shown << bad.err;
        EXPECT_EQ(std::count(bad.err.begin(), bad.err.end(), '\n'), 1) << shown << bad.err;
    }
    EXPECT_EQ(listNames(tree), Lines{"A.JPG"});
    EXPECT_EQ(listNames(work), Lines{});
}

TEST_F(CliTest, OutputThatCannotBeWrittenIsAnError) {
    if (!exists("/dev/full"))
        GTEST_SKIP() << "no /dev/full";
    writeFile(tree + "/A.JPG");
    const CliRun full = runCli(work, {"scan", "--case", "lower", tree}, "/dev/full");
    EXPECT_EQ(full.status, 2);
    EXPECT_TRUE(full.err.ends_with("zentarel-renamer-cli: cannot write to standard output\n"))
        << full.err;
}

// Standard error on a terminal: a long walk draws its progress line with the control sequences
// that take it back, unless the terminal is a dumb one. The walk is made long by a pause at
// every folder it opens.
TEST_F(CliTest, ADumbTerminalGetsNoControlSequences) {
    for (const char* folder : {"a", "b", "c"})
        writeFile(tree + "/" + folder + "/X.JPG");
    for (const std::string term : {"xterm", "dumb"}) {
        const int terminal = posix_openpt(O_RDWR | O_NOCTTY);
        ASSERT_GE(terminal, 0);
        ASSERT_EQ(grantpt(terminal), 0);
        ASSERT_EQ(unlockpt(terminal), 0);
        const std::string side = ptsname(terminal);
        // Held open here too, so what the program wrote stays readable after it has ended.
        const int held = open(side.c_str(), O_RDWR | O_NOCTTY);
        ASSERT_GE(held, 0);
        ProcessOptions options;
        options.cwd = work;
        options.env = faultEnv("opendir=sleep150");
        options.env.push_back("TERM=" + term);
        options.env.push_back("ZR_TERMINAL=" + side);
        ChildProcess child("/bin/sh",
                           {"-c", "exec \"$0\" \"$@\" 2>\"$ZR_TERMINAL\"", cliProgram(), "scan",
                            "--case", "lower", tree},
                           options);
        EXPECT_EQ(child.wait().status, 0);
        fcntl(terminal, F_SETFL, O_NONBLOCK);
        std::string shown;
        char buffer[4096];
        for (ssize_t n; (n = read(terminal, buffer, sizeof buffer)) > 0;)
            shown.append(buffer, static_cast<std::size_t>(n));
        close(held);
        close(terminal);
        EXPECT_NE(shown.find("Scanning done, found 3 file(s) to be renamed."), std::string::npos)
            << term;
        EXPECT_EQ(shown.find('\033') != std::string::npos, term == "xterm") << term << shown;
    }
}

// A file with this modification time.
void writeDatedFile(const std::string& path, std::string_view contents, std::time_t time) {
    writeFile(path, contents);
    const timespec times[2] = {{time, 0}, {time, 0}};
    utimensat(AT_FDCWD, path.c_str(), times, 0);
}

// go with `args` over `root`.
Lines goArgs(const Lines& args, const std::string& root) {
    Lines go = {"go"};
    go.insert(go.end(), args.begin(), args.end());
    go.push_back(root);
    return go;
}

// The worked examples of the README and the manual page, run as they are written there. Each
// file holds its first name; the tree after go reads "new name < first name".
TEST_F(CliTest, TheWorkedExamplesOfPatternsNumbersAndUniqueNames) {
    struct Example {
        Lines files;  // made in this order, each a minute older than the one before
        Lines args;
        Lines after;
    };
    const Example examples[] = {
        {{"IMG_0042.JPG", "IMG_0043.JPG", "notes.txt"},
         {"--filter=*", "--pattern=^IMG_\\d(\\d+)$", "--replace=Holiday $1", "--case=lower",
          "--case-range=extension"},
         {"Holiday 042.jpg < IMG_0042.JPG", "Holiday 043.jpg < IMG_0043.JPG",
          "notes.txt < notes.txt"}},
        {{"2023-11-14 Party.jpg", "Beach.jpg"},
         {"--filter=*.jpg", "--pattern=^(\\d{4}-\\d\\d-\\d\\d) (.+)$", "--replace=$2 $1"},
         {"Beach.jpg < Beach.jpg", "Party 2023-11-14.jpg < 2023-11-14 Party.jpg"}},
        {{"Nina Simone - Feeling Good.mp3"},
         {"--filter=*.mp3", "--pattern=^(?<artist>.+) - (?<title>.+)$",
          "--replace=${title} (${artist})"},
         {"Feeling Good (Nina Simone).mp3 < Nina Simone - Feeling Good.mp3"}},
        {{"Track 1.mp3", "Track 2.mp3", "Track 10.mp3", "Track 11.mp3", "Track 12.mp3"},
         {"--filter=*.mp3", "--pattern=^Track \\d+$", "--replace={n:2}"},
         {"01.mp3 < Track 1.mp3", "02.mp3 < Track 2.mp3", "03.mp3 < Track 10.mp3",
          "04.mp3 < Track 11.mp3", "05.mp3 < Track 12.mp3"}},
        {{"receipt.pdf", "letter.pdf", "contract.pdf"},
         {"--filter=*.pdf", "--pattern=^.*$", "--replace=Scan {n:3}", "--number-order=modified"},
         {"Scan 001.pdf < contract.pdf", "Scan 002.pdf < letter.pdf",
          "Scan 003.pdf < receipt.pdf"}},
        {{"Album A/b.mp3", "Album A/a.mp3", "Album B/c.mp3"},
         {"--filter=*.mp3", "--prefix={n:2} - ", "--fields"},
         {"Album A/ < ", "Album A/01 - a.mp3 < Album A/a.mp3", "Album A/02 - b.mp3 < Album A/b.mp3",
          "Album B/ < ", "Album B/01 - c.mp3 < Album B/c.mp3"}},
        {{"notes.TXT", "notes.txt"},
         {"--filter=*", "--case=lower", "--case-range=extension", "--unique"},
         {"notes (2).txt < notes.TXT", "notes.txt < notes.txt"}},
        {{"report (2).DOC", "report (2).doc"},
         {"--filter=*", "--case=lower", "--case-range=extension", "--unique"},
         {"report (2).doc < report (2).doc", "report (3).doc < report (2).DOC"}},
        // Which of the two keeps the plain name depends on the order Go renames them in.
        {{"IMG_0042.JPG", "DSC_0042.JPG"},
         {"--filter=*", "--pattern=^[A-Z]+_(\\d+)$", "--replace=Photo $1", "--unique"},
         {"Photo 0042 (2).JPG", "Photo 0042.JPG"}},
    };
    int n = 0;
    for (const Example& e : examples) {
        const std::string root = temp / ("example" + std::to_string(n++));
        std::time_t time = 1700000000;
        for (const std::string& file : e.files) {
            writeDatedFile(root + "/" + file, file, time);
            time -= 60;
        }
        const CliRun ran = run(goArgs(e.args, root));
        EXPECT_EQ(ran.status, 0) << e.args[1] << ran.err;
        Lines after;
        const bool contents = e.after.front().find(" < ") != std::string::npos;
        for (const auto& [path, content] : snapshotTree(root))
            after.push_back(contents ? path + " < " + content : path);
        EXPECT_EQ(after, e.after) << e.args[1];
    }
}

// The worked examples of names from what the files hold, as the README gives them.
TEST_F(CliTest, TheWorkedExamplesOfNamesFromWhatTheFilesHold) {
    struct Example {
        std::vector<std::pair<std::string, std::string>> files;  // name, contents
        Lines args;
        Lines after;
        std::string firstHolds = {};  // what the first name after go holds, when given
    };
    const std::string same = jpegWithExif("2026:07:14 09:31:02", "Camera");
    const std::string later = jpegWithExif("2026:07:14 09:35:40", "Camera");
    const std::string earlier = jpegWithExif("2026:07:13 18:00:00", "Camera");
    const Example examples[] = {
        {{{"IMG_0041.jpg", same}, {"IMG_0042.jpg", same}, {"IMG_0043.jpg", later}},
         {"--filter=*.jpg", "--pattern=.+", "--replace={taken}", "--unique"},
         {"2026-07-14 09.31.02 (2).jpg", "2026-07-14 09.31.02.jpg", "2026-07-14 09.35.40.jpg"}},
        {{{"track1.mp3", mp3WithTags({"Nina Simone", "Pastel Blues", "Mood Indigo", "1/9"})},
          {"track7.mp3", mp3WithTags({"Nina Simone", "Pastel Blues", "Sinnerman", "7/9"})}},
         {"--filter=*.mp3", "--pattern=.+", "--replace={artist} - {album} - {track:2} {title}"},
         {"Nina Simone - Pastel Blues - 01 Mood Indigo.mp3",
          "Nina Simone - Pastel Blues - 07 Sinnerman.mp3"}},
        {{{"a.jpg", later}, {"b.jpg", earlier}, {"c.jpg", same}, {"d.txt", "x"}},
         {"--filter=*", "--pattern=.+", "--replace=Holiday {n:3}", "--number-order=taken"},
         {"Holiday 001.jpg", "Holiday 002.jpg", "Holiday 003.jpg", "Holiday 004.txt"},
         earlier},
        {{{"scan1.jpg", later}, {"notes.mp3", mp3WithTags({"A", "B", "C", "1"})}},
         {"--filter=*", "--fields", "--prefix={taken|modified:%Y%m%d} "},
         {"20260301 notes.mp3", "20260714 scan1.jpg"}},
    };
    int n = 0;
    for (const Example& e : examples) {
        const std::string root = temp / ("fields" + std::to_string(n++));
        // Noon of 2026-03-01 in universal time: that day in any zone of the tests.
        for (const auto& [name, contents] : e.files)
            writeDatedFile(root + "/" + name, contents, 1772366400);
        const CliRun ran = run(goArgs(e.args, root));
        EXPECT_EQ(ran.status, 0) << e.args[2] << ran.err;
        EXPECT_EQ(listNames(root), e.after) << e.args[2];
        if (!e.firstHolds.empty()) {
            EXPECT_EQ(readFile(root + "/" + e.after.front()), e.firstHolds) << e.args[2];
        }
    }
}

TEST_F(CliTest, HelpAndVersion) {
    const CliRun help = run({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(help.out.starts_with("Usage: zentarel-renamer-cli scan [OPTION]... START_DIR\n"));
    EXPECT_NE(help.out.find("\n      --journal=FILE "), std::string::npos);
    // The defaults that apply without a flag are stated (wherever the lines break).
    std::string words;
    std::istringstream in(help.out);
    for (std::string word; in >> word;)
        words += " " + word;
    for (const char* text :
         {"(default: '*.jpg;*.gif')", "(default: 'dok;602')", "(default: 'doc;txt')",
          "(default: 'escrzyaieuutdESCRZYAIEUUTD')", "process subdirectories too (default: on)"})
        EXPECT_NE(words.find(text), std::string::npos) << text;
    EXPECT_EQ(help.err, "");
    EXPECT_EQ(run({"go", "--prefix", "x", "--help"}).status, 0);
    // The GNU form: "program (package) version" first, as help2man reads it.
    const CliRun version = run({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_TRUE(version.out.starts_with(std::string("zentarel-renamer-cli (Zentarel Renamer) ") +
                                        ZR_VERSION + "\n"))
        << version.out;
}

}  // namespace
}  // namespace zr::test
