// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <algorithm>

#include "support/command_fixture.h"

namespace zr::test {
namespace {

using Lines = std::vector<std::string>;

// "Résumé.txt" twice in one directory: once composed, once decomposed (as copied from macOS).
// They are two files to the file system, and the rules turn both into the same new name.
class DecomposedNamesTest : public CommandTest {
protected:
    DecomposedNamesTest() {
        writeFile(tree + "/" + composed, "composed");
        writeFile(tree + "/" + decomposed, "decomposed");
        startAt();
        settings.setChecked(Option::CheckBox9, true);  // convert chars, the default table: é to e
        settings.setText(Option::Edit6, kDefaultConvertFrom);
        settings.setText(Option::Edit7, kDefaultConvertTo);
    }

    const std::string composed = "Résumé.txt";
    const std::string decomposed = "Re\u0301sume\u0301.txt";
};

TEST_F(DecomposedNamesTest, ScanShowsBothPlanningTheSameName) {
    renamer->Button5Click();
    ASSERT_EQ(view.rows.size(), 2u);
    Lines current;
    for (const PreviewRow& row : view.rows) {
        EXPECT_EQ(row.newName, "Resume.txt");
        current.push_back(row.currentName);
    }
    std::sort(current.begin(), current.end());
    EXPECT_EQ(current, (Lines{decomposed, composed}));
    // Two entries to the file system, one new name: Go renames the one walked last first, and
    // the other fails, as its row says.
    EXPECT_EQ(view.rows[0].fails, Conflict::SameNewName);
    EXPECT_EQ(view.rows[1].fails, Conflict::None);
    EXPECT_EQ(view.status, "Scanning done, found 2 file(s) to be renamed, 1 will fail.");
}

TEST_F(DecomposedNamesTest, GoRenamesOneAndLogsTheOtherWithoutOverwriting) {
    renamer->Button1Click();
    EXPECT_EQ(view.status, "Done, 1 file(s) renamed, 1 failure(s).  [see failure log]");
    // The walk's order decides which one is renamed; the other stays as it was.
    const Lines names = listNames(tree);
    ASSERT_EQ(names.size(), 2u);
    ASSERT_TRUE(std::count(names.begin(), names.end(), "Resume.txt"));
    const bool composedKept = std::count(names.begin(), names.end(), composed) != 0;
    const std::string kept = composedKept ? composed : decomposed;
    EXPECT_EQ(readFile(tree + "/Resume.txt"), composedKept ? "decomposed" : "composed");
    EXPECT_EQ(readFile(tree + "/" + kept), composedKept ? "composed" : "decomposed");
    EXPECT_EQ(readFile(work + "/renamer_failures.log"),
              "; Renamer failure log from 2023-11-14 22:13:20\r\n" + tree + "/" + kept +
                  " -> Resume.txt\r\n");
    EXPECT_EQ(renamer->flags().JournalCount, 2);
}

}  // namespace
}  // namespace zr::test
