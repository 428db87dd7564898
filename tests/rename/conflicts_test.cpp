// SPDX-License-Identifier: GPL-3.0-or-later
// Scan's marks against what Go then does, on real trees: every row marked as failing fails at
// Go (it is in the failure log) and every unmarked row is renamed.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <random>

#include "support/command_fixture.h"

namespace zr::test {
namespace {

using Lines = std::vector<std::string>;

// Rules that change names, combined as bits.
enum Rule : unsigned {
    kLower = 1,         // lower case, whole name
    kSuffix1 = 2,       // "1" after the extension: a chain f -> f1 -> f11
    kKillX = 4,         // remove every "x"
    kSlash = 8,         // "_" becomes "/"
    kLongSuffix = 16,   // 250 letters after the extension
    kUnique = 32,       // a taken new name becomes the first free "name (2)"
    kNumber = 64,       // "{n:2} " before every name, numbered by name in each folder
    kByModified = 128,  // ... by modification time: the later an entry is built, the older
    kByWalk = 256,      // ... in the walk's order
    kAcrossRun = 512,   // ... across the run
    kNoDate = 1024,     // "{taken} " after every name: the rules fail on it ("no date taken")
    kRunaway = 2048,    // pattern replace with "(a+)+$", which runs away on "aaa...b"
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
    // When given, the tree after Go.
    Lines after = {};
};

class ConflictsTest : public CommandTest {
protected:
    void build(const std::string& root, const Lines& entries) {
        makeDirectory(root);
        // Each entry is older than the one before it.
        std::time_t time = 1700000000;
        for (const std::string& entry : entries) {
            const std::string path = root + "/" + entry;
            if (entry.ends_with('/'))
                makeDirectory(path);
            else if (entry.ends_with('@'))
                ASSERT_EQ(symlink("nowhere", path.substr(0, path.size() - 1).c_str()), 0);
            else
                writeFile(path, entry);
            const timespec times[2] = {{time, 0}, {time, 0}};
            time -= 60;
            utimensat(AT_FDCWD, path.substr(0, path.size() - entry.ends_with('@')).c_str(), times,
                      AT_SYMLINK_NOFOLLOW);
        }
    }

    void applyRules(RenameSettings& s, unsigned rules, bool dirsOnly) {
        s.setText(Option::Edit3, "*");
        s.setChecked(Option::CheckBox1, true);
        s.setChecked(Option::CheckBox14, dirsOnly);
        s.setChecked(Option::CheckBox4, rules & kLower);
        s.setItemIndex(kLowerCase);
        s.setChecked(Option::CheckBox6, true);
        s.setChecked(Option::CheckBox3, rules & (kSuffix1 | kLongSuffix | kNoDate));
        s.setText(Option::Edit4, rules & kLongSuffix ? std::string(250, 'L')
                                 : rules & kNoDate   ? " {taken}"
                                                     : "1");
        s.setChecked(Option::CheckBox2, rules & kNumber);
        s.setText(Option::Edit2, "{n:2} ");
        s.setChecked(ExtendedOption::Fields, rules & (kNumber | kNoDate));
        s.setValue(ExtendedOption::NumberOrder,
                   static_cast<int>(rules & kByModified ? NumberOrder::Modified
                                    : rules & kByWalk   ? NumberOrder::Walk
                                                        : NumberOrder::Name));
        s.setValue(ExtendedOption::NumberScope,
                   static_cast<int>(rules & kAcrossRun ? NumberScope::Run : NumberScope::Folder));
        s.setChecked(ExtendedOption::Unique, rules & kUnique);
        s.setChecked(ExtendedOption::PatternReplace, rules & kRunaway);
        s.setText(ExtendedOption::Pattern, "(a+)+$");
        s.setText(ExtendedOption::Replacement, "z");
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
                            std::string(failureReason(v.rows[i])));
        }
        const std::string scanStatus = v.status;
        // The renames Scan shows, which Go must carry out as shown.
        Lines shown;
        for (std::size_t i = 0; i < v.rows.size(); ++i) {
            if (v.rows[i].fails == Conflict::None)
                shown.push_back(v.rowPaths[i] + " > " + v.rows[i].newName);
        }

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
                const std::size_t notRenamed = line.find(" (not renamed: ");
                if (notRenamed != std::string::npos)
                    failed.push_back(line.substr(0, notRenamed));
                else if (arrow + 4 < line.size())
                    failed.push_back(line.substr(0, arrow));
                at = end + 2;
            }
        }
        std::sort(marked.begin(), marked.end());
        std::sort(failed.begin(), failed.end());
        EXPECT_EQ(marked, failed) << c.what;
        Lines done;
        for (std::size_t i = 0; i < flags.Journal.size(); ++i) {
            if (!flags.Journal.failed(i))
                done.push_back(std::string(flags.Journal[i].oldFullPath()) + " > " +
                               std::string(flags.Journal[i].newName()));
        }
        std::sort(shown.begin(), shown.end());
        std::sort(done.begin(), done.end());
        EXPECT_EQ(shown, done) << c.what;
        if (!c.after.empty()) {
            EXPECT_EQ(listTree(root), c.after) << c.what;
        }
        std::string expected =
            "Scanning done, found " +
            std::to_string(flags.JournalCount + std::int32_t(flags.RuleFailures.size())) +
            " file(s) to be renamed";
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

TEST_F(ConflictsTest, NumbersUniqueNamesAndFailedEntriesAreWhatGoDoes) {
    const std::string slow(40, 'a');
    const Case cases[] = {
        {"numbered by name in natural order, each folder from 1",
         {"IMG_10.jpg", "IMG_2.jpg", "IMG_1.jpg", "D/", "D/b", "D/a"},
         kNumber,
         {},
         1,
         false,
         {},
         {"01 IMG_1.jpg", "02 IMG_2.jpg", "03 IMG_10.jpg", "D/", "D/01 a", "D/02 b"}},
        {"numbered by modification time, oldest first",
         {"IMG_1.jpg", "IMG_2.jpg", "IMG_10.jpg", "D/", "D/a", "D/b"},
         kNumber | kByModified,
         {},
         1,
         false,
         {},
         {"01 IMG_10.jpg", "02 IMG_2.jpg", "03 IMG_1.jpg", "D/", "D/01 b", "D/02 a"}},
        {"numbered in the walk's order across the run: a folder before the folders inside it",
         {"IMG_1.jpg", "IMG_2.jpg", "IMG_10.jpg", "D/", "D/a", "D/b"},
         kNumber | kByWalk | kAcrossRun,
         {},
         -1,
         false,
         {},
         {"01 IMG_2.jpg", "02 IMG_10.jpg", "03 IMG_1.jpg", "D/", "D/04 b", "D/05 a"}},
        {"an entry the rules fail takes no number",
         {"c", slow + "b", "b"},
         kNumber | kRunaway,
         {slow + "b pattern took too long"},
         1,
         false,
         {},
         {"01 b", "02 c", slow + "b"}},
        {"a field without a value: not renamed, marked with the reason",
         {"a.txt", "D/", "D/b.txt"},
         kNoDate,
         {"D/b.txt no date taken", "a.txt no date taken"},
         1,
         false,
         {},
         {"D/", "D/b.txt", "a.txt"}},
        {"unique: taken by an entry that keeps its name",
         {"B.JPG", "b.jpg"},
         kLower | kUnique,
         {},
         1,
         false,
         {},
         {"b (2).jpg", "b.jpg"}},
        {"unique: two entries given one name",
         {"X.JPG", "x.JPG"},
         kLower | kUnique,
         {},
         1,
         false,
         {},
         {"x (2).jpg", "x.jpg"}},
        {"unique: a counter goes on from the one a name has",
         {"A (2).JPG", "a (2).jpg", "a.jpg"},
         kLower | kUnique,
         {},
         1,
         false,
         {},
         {"a (2).jpg", "a (3).jpg", "a.jpg"}},
        {"unique: a chain f -> f1 -> f11 that Go carries out as it stands",
         {"f", "f1"},
         kSuffix1 | kUnique,
         {},
         1,
         false,
         {},
         {"f1", "f11"}},
        {"unique: the chain walked so that f1 still has its name when f is renamed",
         {"f", "f1"},
         kSuffix1 | kUnique,
         {},
         -1,
         false,
         {},
         {"f1 (2)", "f11"}},
        {"unique: a change of case alone takes no counter",
         {"A.JPG", "Mixed.Txt"},
         kLower | kUnique,
         {},
         1,
         false,
         {},
         {"a.jpg", "mixed.txt"}},
        {"unique: what fails for another reason stays marked",
         {"short", "shorter"},
         kLongSuffix | kUnique,
         {"shorter name too long"}},
    };
    int n = 0;
    for (const Case& c : cases)
        EXPECT_EQ(scanThenGo(c, temp / ("case" + std::to_string(n++))), c.marks) << c.what;
}

TEST_F(ConflictsTest, RandomTreesMarkExactlyWhatGoFails) {
    std::mt19937 random(20240612);
    const Lines names = {"a", "A", "a1", "A1", "a11", "b", "B", "xa", "xA", "ax", "a_b", "x"};
    // The new rules, drawn apart so that the trees stay those of the rules before them.
    std::mt19937 more(20261209);
    const unsigned newRules[] = {0,
                                 kUnique,
                                 kNumber,
                                 kNumber | kByModified | kUnique,
                                 kNumber | kByWalk | kAcrossRun,
                                 kNumber | kAcrossRun | kUnique};
    int conflicts = 0;
    int countersGiven = 0;
    for (int tree = 0; tree < 60; ++tree) {
        Case c{"random tree", {}, 0, {}};
        c.rules = std::uniform_int_distribution<unsigned>(1, 15)(random) |
                  newRules[more() % std::size(newRules)];
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
        const std::string root = temp / ("random" + std::to_string(tree));
        const bool marked = !scanThenGo(c, root).empty();
        if (!(c.rules & kUnique)) {
            conflicts += marked;
        } else {
            const Lines after = listTree(root);
            countersGiven += std::any_of(after.begin(), after.end(), [](const std::string& path) {
                return path.find(" (") != std::string::npos;
            });
        }
    }
    // The trees are small and crowded enough that most have conflicts, or counters to settle
    // them.
    EXPECT_GT(conflicts, 6);
    EXPECT_GT(countersGiven, 5);
}

}  // namespace
}  // namespace zr::test
