// SPDX-License-Identifier: GPL-3.0-or-later
// Scan's marks against what Go then does, on real trees: every row marked as failing fails at
// Go (it is in the failure log) and every unmarked row is renamed.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <random>

#include "support/command_fixture.h"

namespace zr::test {
namespace {

using Lines = std::vector<std::string>;

// Rules that change names, combined as bits.
enum Rule : unsigned {
    kLower = 1,       // lower case, whole name
    kSuffix1 = 2,     // "1" after the extension: a chain f -> f1 -> f11
    kKillX = 4,       // remove every "x"
    kSlash = 8,       // "_" becomes "/"
    kLongSuffix = 16  // 250 letters after the extension
};

struct Case {
    const char* what;
    // Relative paths: "name/" a directory, "name@" a dangling link, else a file.
    Lines entries;
    unsigned rules;
    // The failing rows expected, "<relative path> <reason>", sorted.
    Lines marks;
    int order = 1;  // listings sorted ascending (1) or descending (-1)
    bool dirsOnly = false;
    // The working directory of the Go run, relative to the tree; empty: where the scan ends.
    std::string workDir = {};
};

class ConflictsTest : public CommandTest {
protected:
    void build(const std::string& root, const Lines& entries) {
        makeDirectory(root);
        for (const std::string& entry : entries) {
            const std::string path = root + "/" + entry;
            if (entry.ends_with('/'))
                makeDirectory(path);
            else if (entry.ends_with('@'))
                ASSERT_EQ(symlink("nowhere", path.substr(0, path.size() - 1).c_str()), 0);
            else
                writeFile(path, entry);
        }
    }

    void applyRules(RenameSettings& s, unsigned rules, bool dirsOnly) {
        s.setText(Option::Edit3, "*");
        s.setChecked(Option::CheckBox1, true);
        s.setChecked(Option::CheckBox14, dirsOnly);
        s.setChecked(Option::CheckBox4, rules & kLower);
        s.setItemIndex(kLowerCase);
        s.setChecked(Option::CheckBox6, true);
        s.setChecked(Option::CheckBox3, rules & (kSuffix1 | kLongSuffix));
        s.setText(Option::Edit4, rules & kLongSuffix ? std::string(250, 'L') : "1");
        s.setChecked(Option::CheckBox8, true);
        s.setChecked(Option::CheckBox10, rules & kKillX);
        s.setText(Option::Edit8, "x");
        s.setChecked(Option::CheckBox9, rules & kSlash);
        s.setText(Option::Edit6, "_");
        s.setText(Option::Edit7, "/");
    }

    // Builds the case's tree, scans it, goes, checks that the marks are what Go did, and
    // returns the marks.
    Lines scanThenGo(const Case& c, const std::string& root) {
        build(root, c.entries);
        const std::size_t entriesBefore = listTree(root).size();
        fs.sortListings(c.order);
        RenameSettings options;
        RecordingView v;
        Renamer r(options, fs, clock, v);
        options.setText(Option::Edit1, root);
        applyRules(options, c.rules, c.dirsOnly);
        const std::string workDir = c.workDir.empty() ? "" : root + "/" + c.workDir;
        if (!workDir.empty())
            r.foreseeGoFrom(workDir);

        r.Button5Click();
        Lines marks;
        Lines marked;
        for (std::size_t i = 0; i < v.rows.size(); ++i) {
            if (v.rows[i].fails == Conflict::None)
                continue;
            marked.push_back(v.rowPaths.at(i));
            marks.push_back(v.rowPaths[i].substr(root.size() + 1) + " " +
                            std::string(conflictReason(v.rows[i].fails)));
        }
        const std::string scanStatus = v.status;

        if (!workDir.empty())
            r.flags().CurrentDir = workDir;
        r.Button1Click();
        Lines failed;  // what Go logged, but the entries that had no row (an empty new name)
        const RunFlags& flags = r.flags();
        if (!flags.FailureLogPath.empty()) {
            const std::string log = readFile(flags.FailureLogPath);
            for (std::size_t at = log.find("\r\n") + 2; at < log.size();) {
                const std::size_t end = log.find("\r\n", at);
                const std::string line = log.substr(at, end - at);
                const std::size_t arrow = line.find(" -> ");
                if (arrow + 4 < line.size())
                    failed.push_back(line.substr(0, arrow));
                at = end + 2;
            }
        }
        std::sort(marked.begin(), marked.end());
        std::sort(failed.begin(), failed.end());
        EXPECT_EQ(marked, failed) << c.what;
        std::string expected =
            "Scanning done, found " + std::to_string(flags.JournalCount) + " file(s) to be renamed";
        if (flags.FailureCount != 0)
            expected += ", " + std::to_string(flags.FailureCount) + " will fail";
        EXPECT_EQ(scanStatus, expected + ".") << c.what;
        // Nothing was overwritten (a Go run inside the tree leaves its failure log there).
        const bool logInTree = !workDir.empty() && flags.FailureCount != 0;
        EXPECT_EQ(listTree(root).size(), entriesBefore + (logInTree ? 1 : 0)) << c.what;
        std::sort(marks.begin(), marks.end());
        return marks;
    }
};

TEST_F(ConflictsTest, EachKindOfConflictIsMarkedAndFailsAtGo) {
    const Case cases[] = {
        {"case-only renames on a case-sensitive file system",
         {"A.JPG", "Mixed.Txt", "b.jpg"},
         kLower,
         {}},
        {"new names taken by a file, a directory and a dangling link that stay",
         {"B.JPG", "b.jpg", "C.JPG", "c.jpg/", "D.JPG", "d.jpg@"},
         kLower,
         {"B.JPG name taken", "C.JPG name taken", "D.JPG name taken"}},
        {"two entries given one name: the one renamed second fails",
         {"X.JPG", "x.JPG"},
         kLower,
         {"X.JPG same new name"}},
        {"the same, walked the other way", {"X.JPG", "x.JPG"}, kLower, {"x.JPG same new name"}, -1},
        {"a chain f -> f1 -> f11 walked so that f1 moves on first", {"f", "f1"}, kSuffix1, {}},
        {"the chain walked so that f is renamed while f1 still has its name",
         {"f", "f1"},
         kSuffix1,
         {"f name freed too late"},
         -1},
        {"names that would leave the folder, and an empty one (counted, no row)",
         {"a_b", "x.", "x..", "xx", "xa"},
         kKillX | kSlash,
         {"a_b invalid name", "x. invalid name", "x.. invalid name"}},
        {"a name longer than the file system takes",
         {"short", "shorter"},
         kLongSuffix,
         {"shorter name too long"}},
        {"nested directories renamed after their contents",
         {"D/", "D/E/", "D/E/F/", "D/e/"},
         kLower,
         {"D/E name taken"},
         1,
         true},
        {"the same, walked the other way",
         {"D/", "D/E/", "D/E/F/", "D/e/"},
         kLower,
         {"D/E name taken"},
         -1,
         true},
        {"one name in two folders is no conflict",
         {"P/Q/A.JPG", "P/Q/a.jpg", "P/A.JPG"},
         kLower,
         {"P/Q/A.JPG name taken"}},
        {"the working directory and the folders above it",
         {"W/", "W/In/", "Other/"},
         kLower,
         {"W working directory", "W/In working directory"},
         1,
         true,
         "W/In"},
    };
    int n = 0;
    for (const Case& c : cases)
        EXPECT_EQ(scanThenGo(c, temp / ("case" + std::to_string(n++))), c.marks) << c.what;
}

TEST_F(ConflictsTest, RandomTreesMarkExactlyWhatGoFails) {
    std::mt19937 random(20240612);
    const Lines names = {"a", "A", "a1", "A1", "a11", "b", "B", "xa", "xA", "ax", "a_b", "x"};
    int conflicts = 0;
    for (int tree = 0; tree < 40; ++tree) {
        Case c{"random tree", {}, 0, {}};
        c.rules = std::uniform_int_distribution<unsigned>(1, 15)(random);
        c.order = random() % 2 ? 1 : -1;
        c.dirsOnly = random() % 3 == 0;
        std::vector<std::string> folders = {""};
        for (int i = 0; i < 14; ++i) {
            const std::string name = names[random() % names.size()];
            const std::string path = folders[random() % folders.size()] + name;
            if (std::find(c.entries.begin(), c.entries.end(), path) != c.entries.end() ||
                std::find(c.entries.begin(), c.entries.end(), path + "/") != c.entries.end() ||
                path.size() > 6)
                continue;
            const bool directory = random() % 3 == 0;
            c.entries.push_back(directory ? path + "/" : path);
            if (directory)
                folders.push_back(path + "/");
        }
        conflicts += !scanThenGo(c, temp / ("random" + std::to_string(tree))).empty();
    }
    // The trees are small and crowded enough that most have conflicts.
    EXPECT_GT(conflicts, 20);
}

}  // namespace
}  // namespace zr::test
