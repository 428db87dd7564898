// SPDX-License-Identifier: GPL-3.0-or-later
// The shell scripts a batch run writes with --script-format sh, run by a real sh: on names that
// hold every byte a shell could interpret, the rename script renames exactly what the run
// planned and its undo script brings the tree back byte for byte; a name that is taken is never
// replaced, nor is anything moved into a directory of that name.
#include "rename/shell_script.h"

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <map>

#include "support/child_process.h"
#include "support/command_fixture.h"

namespace zr::test {
namespace {

using Lines = std::vector<std::string>;

// Runs `sh script` in `cwd`, in a process group of its own with a time limit.
ProcessResult runSh(const std::string& cwd, const std::string& script) {
    ProcessOptions options;
    options.cwd = cwd;
    options.timeout = std::chrono::seconds(60);
    return ChildProcess("/bin/sh", {script}, options).wait();
}

// Every path below `root` with the content of each file and the target of each link: what
// "the same tree" means.
std::map<std::string, std::string> snapshot(const std::string& root) {
    std::map<std::string, std::string> result;
    for (const std::string& path : listTree(root)) {
        const std::filesystem::path full = root + "/" + path;
        if (std::filesystem::is_symlink(full))
            result[path] = "-> " + std::filesystem::read_symlink(full).string();
        else if (!path.ends_with("/"))
            result[path] = readFile(full);
    }
    return result;
}

// Names with every kind of byte a shell would act on.
const Lines kHostileNames = {
    "it's.JPG",     "''.JPG",        "$HOME.JPG", "`touch PWNED`.JPG", "$(touch PWNED).JPG",
    "a  b.JPG",     "-rf.JPG",       "--.JPG",    "new\nline.JPG",     "\xff\xfe not utf8.JPG",
    "\\ \"q\".JPG", "tab\there.JPG", "cr\r.JPG",  "*?[x].JPG",         "a;b&c|d>e<f.JPG",
    "~.JPG",        "!#%^{}.JPG",
};
// What the runs put in front of every new name.
const std::string kPrefix = "'$(touch PWNED)`x`\\";

std::string asciiLower(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

class ShellScriptTest : public CommandTest {
protected:
    void SetUp() override {
        startAt();
        lowerCaseWholeName();
        settings.setChecked(Option::CheckBox2, true);
        settings.setText(Option::Edit2, kPrefix);
        settings.setChecked(Option::CheckBox13, true);
        settings.setValue(ExtendedOption::ScriptFormat, static_cast<int>(ScriptFormat::Sh));
    }

    ProcessResult runScript(const std::string& name) { return runSh(work, name); }
    bool pwned() { return exists(work + "/PWNED") || exists(tree + "/PWNED"); }
};

TEST_F(ShellScriptTest, HostileNamesAreRenamedAsPlannedAndUndoneByteForByte) {
    const std::string dir = "dir 'x' $y `z`\n";
    makeDirectory(tree + "/" + dir);
    Lines expected = {dir + "/"};
    for (const std::string& name : kHostileNames) {
        writeFile(tree + "/" + name, name);
        writeFile(tree + "/" + dir + "/" + name, "inside " + name);
        expected.push_back(kPrefix + asciiLower(name));
        expected.push_back(dir + "/" + kPrefix + asciiLower(name));
    }
    std::sort(expected.begin(), expected.end());
    const auto before = snapshot(tree);

    renamer->Button1Click();
    EXPECT_EQ(view.status, "Done, 34 file(s) placed in batch file.");
    EXPECT_EQ(snapshot(tree), before);  // the scripts only
    EXPECT_EQ(listNames(work), (Lines{"renamer.sh", "renamer_undo.sh"}));
    for (const char* name : {"renamer.sh", "renamer_undo.sh"}) {
        struct stat st {};
        ASSERT_EQ(stat((work + "/" + name).c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0111, (st.st_mode & 0444) >> 2) << name;
        const std::string text = readFile(work + "/" + name);
        EXPECT_TRUE(text.starts_with("#!/bin/sh\n# Renamer ")) << text;
        EXPECT_EQ(text.find("\r\n"), std::string::npos);
        EXPECT_TRUE(text.ends_with("\nexit \"$failed\"\n"));
    }

    const ProcessResult rename = runScript("renamer.sh");
    EXPECT_EQ(rename.status, 0) << rename.err;
    EXPECT_EQ(listTree(tree), expected);
    for (const std::string& name : kHostileNames)
        EXPECT_EQ(readFile(tree + "/" + kPrefix + asciiLower(name)), name);

    const ProcessResult undo = runScript("renamer_undo.sh");
    EXPECT_EQ(undo.status, 0) << undo.err;
    EXPECT_EQ(snapshot(tree), before);
    EXPECT_FALSE(pwned());
}

TEST_F(ShellScriptTest, NestedDirectoriesAreRenamedInsideOutAndRestoredOutsideIn) {
    settings.setChecked(Option::CheckBox14, true);  // only directories, every level
    makeDirectory(tree + "/A'1/B $2/C `3`");
    writeFile(tree + "/A'1/B $2/C `3`/F.JPG", "f");
    const auto before = snapshot(tree);
    renamer->Button1Click();

    EXPECT_EQ(runScript("renamer.sh").status, 0);
    const std::string a = kPrefix + "a'1", b = kPrefix + "b $2", c = kPrefix + "c `3`";
    EXPECT_EQ(listTree(tree), (Lines{a + "/", a + "/" + b + "/", a + "/" + b + "/" + c + "/",
                                     a + "/" + b + "/" + c + "/F.JPG"}));
    EXPECT_EQ(runScript("renamer_undo.sh").status, 0);
    EXPECT_EQ(snapshot(tree), before);
    EXPECT_FALSE(pwned());
}

TEST_F(ShellScriptTest, ATakenNameIsNeverReplacedNorADirectoryEntered) {
    settings.setChecked(Option::CheckBox2, false);
    writeFile(tree + "/A.JPG", "A");
    writeFile(tree + "/B.JPG", "B");
    writeFile(tree + "/C.JPG", "C");
    writeFile(tree + "/\x1b[2JD.JPG", "D");
    renamer->Button1Click();
    // Taken after the scripts were written: by a file, by a directory, by a dangling link.
    writeFile(tree + "/a.jpg", "mine");
    makeDirectory(tree + "/b.jpg");
    ASSERT_EQ(symlink("nowhere", (tree + "/c.jpg").c_str()), 0);
    writeFile(tree + "/\x1b[2jd.jpg", "mine");
    const auto before = snapshot(tree);

    const ProcessResult run = runScript("renamer.sh");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(snapshot(tree), before);
    // A name is shown, escaped, and never obeyed: no escape sequence reaches the terminal.
    for (const char* name : {"a.jpg", "b.jpg", "c.jpg", "\\x1b[2jd.jpg"})
        EXPECT_NE(run.err.find("not renamed, the name is taken: " + tree + "/" + name + "\n"),
                  std::string::npos)
            << run.err;
    EXPECT_EQ(run.err.find('\x1b'), std::string::npos);
}

TEST(ShellQuoting, EveryByteIsTakenLiterally) {
    EXPECT_EQ(shellQuoted(""), "''");
    EXPECT_EQ(shellQuoted("it's"), "'it'\\''s'");
    EXPECT_EQ(shellQuoted("''"), "''\\'''\\'''");
    EXPECT_EQ(shellQuoted("$x `y` \\ \"z\"\n"), "'$x `y` \\ \"z\"\n'");
    const JournalEntry entry("/t/it's", "new'");
    EXPECT_EQ(shellRenameLine(entry),
              "taken '/t/new'\\''' || mv -n -- '/t/it'\\''s' '/t/new'\\''' || failed=1");
    EXPECT_EQ(shellUndoLine(entry),
              "taken '/t/it'\\''s' || mv -n -- '/t/new'\\''' '/t/it'\\''s' || failed=1");
}

}  // namespace
}  // namespace zr::test
