// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/settings_file.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <vector>

#include "settings/ini_text.h"
#include "support/faulty_file_system.h"
#include "support/temp_dir.h"

namespace zr {
namespace {

using Op = test::FaultyFileSystem::Op;

// Loads `content`, recording the old-version notices and the keys of the options changed.
struct Load {
    explicit Load(RenameSettings& s) : settings(s) {
        settings.setChangeListener(
            [this](Option o) { changed.push_back(RenameSettings::info(o).key); });
    }
    std::optional<std::string> operator()(std::string_view content) {
        return applySettingsText(content, settings, [this](const std::string& message) {
            notices.push_back(message);
            revisionAtNotice = settings.revision();
        });
    }
    RenameSettings& settings;
    std::vector<std::string> changed;
    std::vector<std::string> notices;
    std::uint64_t revisionAtNotice = 0;
};

const OldVersionNotice kNoNotice = [](const std::string&) { ADD_FAILURE() << "old version"; };

// Options that differ from the window-creation state in every way a file can express.
RenameSettings awkwardSettings() {
    RenameSettings s;
    s.setText(Option::Edit1, " /home/ann/My Photos/ ");
    s.setText(Option::Edit3, "\"*.jpg\";*.gif");
    s.setText(Option::Edit2, "pre=fix;");
    s.setText(Option::Edit4, "[suffix]");
    s.setText(Option::Edit5, "\"");
    s.setText(Option::Edit6, "ěščřžýáíéúůťďĚŠČŘŽÝÁÍÉŮÚŤĎ");
    s.setText(Option::Edit7, "\xff\xfe\x80");
    s.setText(Option::Edit8, "\t#_ ");
    s.setText(Option::Edit9, "; not a comment");
    s.setChecked(Option::CheckBox1, false);
    s.setChecked(Option::CheckBox5, true);
    s.setChecked(Option::CheckBox14, true);
    s.setItemIndex(kAllFirstUpper);
    s.setChecked(ExtendedOption::PatternReplace, true);
    s.setText(ExtendedOption::Pattern, " ^(?<n>IMG)_(\\d+)=\"x\"; ");
    s.setText(ExtendedOption::Replacement, "${n} $1 {n:3} \xff");
    s.setValue(ExtendedOption::PatternRange, static_cast<int>(PatternRange::Extension));
    s.setValue(ExtendedOption::NumberStart, 0);
    s.setValue(ExtendedOption::NumberStep, -999999);
    s.setValue(ExtendedOption::NumberOrder, static_cast<int>(NumberOrder::Modified));
    s.setValue(ExtendedOption::NumberScope, static_cast<int>(NumberScope::Run));
    s.setChecked(ExtendedOption::Unique, true);
    s.setText(ExtendedOption::ExcludeMasks, "*.tmp;;x");
    s.setValue(ExtendedOption::ScriptFormat, static_cast<int>(ScriptFormat::Sh));
    return s;
}

void expectSameOptions(const RenameSettings& a, const RenameSettings& b) {
    for (const OptionInfo& o : RenameSettings::all()) {
        EXPECT_EQ(a.checked(o.option), b.checked(o.option)) << o.key;
        EXPECT_EQ(a.text(o.option), b.text(o.option)) << o.key;
    }
    EXPECT_EQ(a.itemIndex(), b.itemIndex());
    for (const ExtendedOptionInfo& o : allExtended()) {
        EXPECT_EQ(a.value(o.option), b.value(o.option)) << o.key;
        EXPECT_EQ(a.text(o.option), b.text(o.option)) << o.key;
    }
}

TEST(SettingsText, WritesVersionThenEveryOptionInOrderOfPosition) {
    RenameSettings s;
    s.restoreDefaults();
    s.setText(Option::Edit1, " /a b/ ");
    s.setItemIndex(-1);
    std::string content;
    ASSERT_EQ(writeSettingsText(content, s), std::nullopt);
    EXPECT_EQ(content,
              "[Renamer Settings]\r\nver=1005\r\ned8=\" /a b/ \"\r\nch9=1\r\ned11=*.jpg;*.gif\r\n"
              "ch13=0\r\ned14=pic_\r\nch15=0\r\ned16=_th\r\nch17=0\r\ncb18=-1\r\nch19=0\r\n"
              "ed20=copy;small\r\nch21=1\r\nch22=0\r\nch23=0\r\nch24=0\r\n"
              "ed25=ěščřžýáíéúůťďĚŠČŘŽÝÁÍÉŮÚŤĎ\r\ned26=escrzyaieuutdESCRZYAIEUUTD\r\n"
              "ed27=#_\r\nch28=0\r\nch30=0\r\nch31=1\r\nch32=0\r\nch33=1\r\nch35=0\r\n"
              "ed36=dok;602\r\ned37=doc;txt\r\nch39=0\r\nch40=0\r\n"
              // The extended options follow, at their defaults.
              "pattern-replace=0\r\npattern=\r\nreplace=\r\npattern-ignore-case=0\r\n"
              "pattern-all=0\r\npattern-range=name\r\nfields=0\r\nnumber-start=1\r\n"
              "number-step=1\r\nnumber-order=name\r\nnumber-scope=folder\r\nunique=0\r\n"
              "exclude=\r\nskip-hidden=0\r\nscript-format=bat\r\n");
}

TEST(SettingsText, NoSettingsSectionChangesNothing) {
    for (const char* content : {"", "\xff\xd8\xff\xe0 JFIF", "[Other]\nver=1005\ned8=/x/\n"}) {
        RenameSettings s;
        s.setChecked(Option::CheckBox7, true);
        const std::uint64_t before = s.revision();
        EXPECT_EQ(applySettingsText(content, s, kNoNotice),
                  "Not a settings file: it holds no section [Renamer Settings], so no option was "
                  "changed");
        EXPECT_EQ(s.revision(), before);
    }
}

TEST(SettingsText, NoCurrentVersionShowsTheMessageThenRestoresDefaults) {
    for (const char* content :
         {"[renamer settings]\n", "[Renamer Settings]\ned8=/x/\n",
          "[Renamer Settings]\nver=1004\ned8=/x/\n", "[Renamer Settings]\nver=abc\n"}) {
        RenameSettings s;
        s.setChecked(Option::CheckBox7, true);
        const std::uint64_t before = s.revision();
        Load load(s);
        EXPECT_EQ(load(content), std::nullopt);
        EXPECT_EQ(load.notices,
                  std::vector<std::string>{
                      "Old settings file !\rDo not use it for compatibility purposes."});
        EXPECT_EQ(load.revisionAtNotice, before) << "defaults applied before the message";
        EXPECT_EQ(s.text(Option::Edit1), "/tmp/");
        EXPECT_FALSE(s.checked(Option::CheckBox7));
    }
}

TEST(SettingsText, OnlyTheKeysInTheFileChangeInFileOrder) {
    RenameSettings expected = awkwardSettings();
    RenameSettings s = awkwardSettings();
    Load load(s);
    EXPECT_EQ(load("[Renamer Settings]\nver=1005\ned8=/home/ann/\n"), std::nullopt);
    EXPECT_EQ(load.changed, std::vector<std::string>{"ed8"});
    expected.setText(Option::Edit1, "/home/ann/");
    expectSameOptions(s, expected);

    load.changed.clear();
    EXPECT_EQ(load("[RENAMER settings]\nch21=0\nVER=0x3ED\nCb18=2\nxx12=1\nED20=a\n"),
              std::nullopt);
    EXPECT_TRUE(load.notices.empty());
    EXPECT_EQ(load.changed, (std::vector<std::string>{"ch21", "cb18", "ed20"}));
}

TEST(SettingsText, AFileWithoutTheExtendedKeysLeavesThemAsTheyAre) {
    RenameSettings expected = awkwardSettings();
    RenameSettings s = awkwardSettings();
    Load load(s);
    EXPECT_EQ(load("[Renamer Settings]\nver=1005\ned8=/a/\nch19=0\n"), std::nullopt);
    EXPECT_EQ(load.changed, (std::vector<std::string>{"ed8", "ch19"}));
    expected.setText(Option::Edit1, "/a/");
    expected.setChecked(Option::CheckBox5, false);
    expectSameOptions(s, expected);
}

TEST(SettingsText, ExtendedValuesAreCheckedBeforeAnyOptionChanges) {
    const std::pair<const char*, const char*> rows[] = {
        {"number-step=0", "'0' is not a number from -999999 to 999999 other than 0"},
        {"number-step=abc", "'abc' is not a number from -999999 to 999999 other than 0"},
        {"number-start=-1", "'-1' is not a number from 0 to 999999999"},
        {"number-start=1000000000", "'1000000000' is not a number from 0 to 999999999"},
        {"NUMBER-ORDER=date", "'date' is not name, modified, walk or taken"},
        {"pattern-range=", "'' is not name, all or extension"},
        {"unique=2", "'2' is not 0 or 1"},
        {"script-format=cmd", "'cmd' is not bat or sh"},
    };
    for (const auto& [line, why] : rows) {
        RenameSettings s;
        const std::string content = std::string("[Renamer Settings]\nver=1005\ned8=/x/\n") + line;
        const std::string key = std::string(line).substr(0, std::string(line).find('='));
        EXPECT_EQ(applySettingsText(content, s, kNoNotice),
                  "Invalid value for '" + foldIniName(key) + "': " + why);
        EXPECT_EQ(s.revision(), 0u) << line;
    }
    // Names and choices in any letter case; numbers by the integer rule.
    RenameSettings s;
    EXPECT_EQ(applySettingsText("[Renamer Settings]\nver=1005\nNumber-Order=MODIFIED\n"
                                "number-step=0x10\nPATTERN=a=b\n",
                                s, kNoNotice),
              std::nullopt);
    EXPECT_EQ(s.choice<NumberOrder>(ExtendedOption::NumberOrder), NumberOrder::Modified);
    EXPECT_EQ(s.value(ExtendedOption::NumberStep), 16);
    EXPECT_EQ(s.text(ExtendedOption::Pattern), "a=b");
}

TEST(SettingsText, CheckBoxAndComboBoxValuesFollowTheIntegerRule) {
    for (const auto& [value, checked] : std::vector<std::pair<std::string, bool>>{
             {"1", true}, {"0", false}, {"abc", false}, {"0x10", true}, {"", false}}) {
        RenameSettings s;
        s.setChecked(Option::CheckBox5, !checked);
        EXPECT_EQ(applySettingsText("[Renamer Settings]\nver=1005\nch19=" + value, s, kNoNotice),
                  std::nullopt);
        EXPECT_EQ(s.checked(Option::CheckBox5), checked) << value;
    }
    for (const auto& [value, index] :
         std::vector<std::pair<std::string, int>>{{"3", 3}, {"abc", 0}, {"4", -1}, {"-1", -1}}) {
        RenameSettings s;
        s.setItemIndex(1);
        EXPECT_EQ(applySettingsText("[Renamer Settings]\nver=1005\ncb18=" + value, s, kNoNotice),
                  std::nullopt);
        EXPECT_EQ(s.itemIndex(), index) << value;
    }
}

TEST(SettingsText, ABadKeyStopsTheLoadWithWhatCameBeforeApplied) {
    const std::pair<const char*, const char*> rows[] = {
        {"ch18", "component 18 (ComboBox1) is not a check box"},
        {"ed99", "the window has no component 99"},
        {"cbx", "'x' is not a decimal number"},
        {"foo", "'o' is not a decimal number"},
    };
    for (const auto& [key, why] : rows) {
        RenameSettings s;
        const std::string content =
            std::string("[Renamer Settings]\nver=1005\ned8=/before/\n") + key + "=1\ned11=after\n";
        EXPECT_EQ(applySettingsText(content, s, kNoNotice),
                  "'" + std::string(key) + "' is not a valid settings key: " + why);
        EXPECT_EQ(s.text(Option::Edit1), "/before/");
        EXPECT_EQ(s.text(Option::Edit3), "") << key;
    }
}

class SettingsFileTest : public ::testing::Test {
protected:
    std::unique_ptr<FileSystem> real = makePosixFileSystem();
    test::FaultyFileSystem fs{*real};
    test::TempDir dir;
    std::string path = dir / "renamer.rns";
};

TEST_F(SettingsFileTest, SaveThenLoadRoundTripsAndKeepsTheRestOfTheFile) {
    const std::string before =
        "; my settings\n[Other]\nver=1\n[Renamer Settings]\nver=1004\nxx12=7\n";
    const std::string after = "\n[Last]\ned8=elsewhere\n";
    test::writeFile(path, before + after);
    const RenameSettings saved = awkwardSettings();
    ASSERT_EQ(saveSettingsFile(fs, path, saved), std::nullopt);
    const std::string once = test::readFile(path);
    EXPECT_TRUE(once.starts_with(
        "; my settings\n[Other]\nver=1\n[Renamer Settings]\nver=1005\nxx12=7\ned8="))
        << once;
    EXPECT_TRUE(
        once.ends_with("ch40=1\npattern-replace=1\npattern=\" ^(?<n>IMG)_(\\d+)=\"x\"; \"\n"
                       "replace=${n} $1 {n:3} \xff\npattern-ignore-case=0\n"
                       "pattern-all=0\npattern-range=extension\nfields=0\n"
                       "number-start=0\nnumber-step=-999999\nnumber-order=modified\n"
                       "number-scope=run\nunique=1\nexclude=*.tmp;;x\nskip-hidden=0\n"
                       "script-format=sh\n" +
                       after))
        << once;
    ASSERT_EQ(saveSettingsFile(fs, path, saved), std::nullopt);
    EXPECT_EQ(test::readFile(path), once);

    RenameSettings loaded;
    loaded.restoreDefaults();
    EXPECT_EQ(loadSettingsFile(fs, path, loaded, kNoNotice), std::nullopt);
    expectSameOptions(loaded, saved);
}

TEST_F(SettingsFileTest, AFileThatCannotBeReadChangesNothing) {
    test::makeDirectory(dir / "folder.rns");
    test::writeFile(path, "[Renamer Settings]\nver=1005\ned8=/x/\n");
    fs.fail(Op::ReadFile, "renamer.rns", EACCES);
    for (const auto& [unreadable, why] : {std::pair{path, "File access denied"},
                                          {dir / "folder.rns", "it is not a regular file"},
                                          {dir / "none.rns", "File not found"}}) {
        RenameSettings s;
        EXPECT_EQ(loadSettingsFile(fs, unreadable, s, kNoNotice),
                  "Unable to read " + unreadable + ": " + why);
        EXPECT_EQ(s.revision(), 0u);
    }
}

TEST_F(SettingsFileTest, AFileThatCannotBeWrittenIsReportedAndLeftWhole) {
    const std::string old = "[Renamer Settings]\r\nver=1005\r\ned8=/old/\r\n";
    test::writeFile(path, old);
    RenameSettings s = awkwardSettings();
    const std::string full = "Unable to write to " + path + ": No space left on device";
    fs.fail(Op::ReplaceFile, "renamer.rns", ENOSPC);
    EXPECT_EQ(saveSettingsFile(fs, path, s), full);
    fs.clear();
    fs.failWritesAfter(100);
    EXPECT_EQ(saveSettingsFile(fs, path, s), full);
    fs.clear();

    // Neither of these gets as far as writing: without the old content the file would lose its
    // other lines, and a line break cannot be stored.
    const int replacements = fs.calls(Op::ReplaceFile);
    fs.fail(Op::ReadFile, "renamer.rns", EIO);
    EXPECT_EQ(saveSettingsFile(fs, path, s), "Unable to write to " + path + ": Input/output error");
    fs.clear();
    s.setText(Option::Edit9, "two\nlines");
    EXPECT_EQ(saveSettingsFile(fs, path, s),
              "Unable to write to " + path +
                  ": the value of 'ed36' holds a line break, which a settings file cannot store");
    EXPECT_EQ(fs.calls(Op::ReplaceFile), replacements);
    EXPECT_EQ(test::readFile(path), old);
    EXPECT_EQ(test::listNames(dir.path()), std::vector<std::string>{"renamer.rns"});
}

}  // namespace
}  // namespace zr
