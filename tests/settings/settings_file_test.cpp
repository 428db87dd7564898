#include "settings/settings_file.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <vector>

#include "support/faulty_file_system.h"
#include "support/temp_dir.h"

namespace zr {
namespace {

// Loads `content`, recording the old-version notice and the options it changed, in order.
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

// Options that differ from the window-creation state in every way a file can express.
RenameSettings awkwardSettings() {
    RenameSettings s;
    s.setText(Option::Edit1, " /home/ann/My Photos/ ");
    s.setText(Option::Edit3, "\"*.jpg\";*.gif");
    s.setText(Option::Edit2, "pre=fix;");
    s.setText(Option::Edit4, "[suffix]");
    s.setText(Option::Edit5, "\"");
    s.setText(Option::Edit6, "ěščřžýáíéúůťďĚŠČŘŽÝÁÍÉŮÚŤĎ");
    s.setText(Option::Edit7, std::string("\xff\xfe\x80", 3));
    s.setText(Option::Edit8, "\t#_ ");
    s.setText(Option::Edit9, "; not a comment");
    s.setText(Option::Edit10, "");
    s.setChecked(Option::CheckBox1, false);
    s.setChecked(Option::CheckBox5, true);
    s.setChecked(Option::CheckBox14, true);
    s.setItemIndex(kAllFirstUpper);
    return s;
}

void expectSameOptions(const RenameSettings& a, const RenameSettings& b) {
    for (const OptionInfo& o : RenameSettings::all()) {
        EXPECT_EQ(a.checked(o.option), b.checked(o.option)) << o.key;
        EXPECT_EQ(a.text(o.option), b.text(o.option)) << o.key;
    }
    EXPECT_EQ(a.itemIndex(), b.itemIndex());
}

TEST(SettingsText, WritesVersionThenEveryOptionInOrderOfPosition) {
    RenameSettings s;
    s.restoreDefaults();
    s.setText(Option::Edit1, " /a b/ ");
    s.setItemIndex(-1);
    std::string content;
    ASSERT_EQ(writeSettingsText(content, s), std::nullopt);
    EXPECT_EQ(content,
              "[Renamer Settings]\r\n"
              "ver=1005\r\n"
              "ed8=\" /a b/ \"\r\n"
              "ch9=1\r\n"
              "ed11=*.jpg;*.gif\r\n"
              "ch13=0\r\n"
              "ed14=pic_\r\n"
              "ch15=0\r\n"
              "ed16=_th\r\n"
              "ch17=0\r\n"
              "cb18=-1\r\n"
              "ch19=0\r\n"
              "ed20=copy;small\r\n"
              "ch21=1\r\n"
              "ch22=0\r\n"
              "ch23=0\r\n"
              "ch24=0\r\n"
              "ed25=ěščřžýáíéúůťďĚŠČŘŽÝÁÍÉŮÚŤĎ\r\n"
              "ed26=escrzyaieuutdESCRZYAIEUUTD\r\n"
              "ed27=#_\r\n"
              "ch28=0\r\n"
              "ch30=0\r\n"
              "ch31=1\r\n"
              "ch32=0\r\n"
              "ch33=1\r\n"
              "ch35=0\r\n"
              "ed36=dok;602\r\n"
              "ed37=doc;txt\r\n"
              "ch39=0\r\n"
              "ch40=0\r\n");
}

TEST(SettingsText, AwkwardValuesRoundTrip) {
    const RenameSettings saved = awkwardSettings();
    std::string content = "[Renamer Settings]\nver=1004\ned8=old\n";
    ASSERT_EQ(writeSettingsText(content, saved), std::nullopt);
    RenameSettings loaded;
    loaded.restoreDefaults();
    Load load(loaded);
    EXPECT_EQ(load(content), std::nullopt);
    EXPECT_TRUE(load.notices.empty());
    expectSameOptions(loaded, saved);
}

TEST(SettingsText, ALineBreakRefusesTheSaveAndNamesTheKey) {
    RenameSettings s;
    s.setText(Option::Edit9, "a\nb");
    std::string content = "[Renamer Settings]\nver=1005\n";
    const std::optional<std::string> error = writeSettingsText(content, s);
    ASSERT_TRUE(error.has_value());
    EXPECT_NE(error->find("'ed36'"), std::string::npos) << *error;
    EXPECT_EQ(content, "[Renamer Settings]\nver=1005\n");
}

TEST(SettingsText, NoCurrentVersionShowsTheMessageThenRestoresDefaults) {
    const char* const contents[] = {
        "",
        "[Other]\nver=1005\n",
        "[Renamer Settings]\ned8=/x/\n",
        "[Renamer Settings]\nver=1004\ned8=/x/\n",
        "[Renamer Settings]\nver=abc\n",
    };
    for (const char* content : contents) {
        RenameSettings s;
        s.setChecked(Option::CheckBox7, true);
        const std::uint64_t before = s.revision();
        Load load(s);
        EXPECT_EQ(load(content), std::nullopt);
        ASSERT_EQ(load.notices.size(), 1u) << content;
        EXPECT_EQ(load.notices[0],
                  "Old settings file !\rDo not use it for compatibility purposes.");
        EXPECT_EQ(load.revisionAtNotice, before) << "defaults applied before the message";
        EXPECT_EQ(s.text(Option::Edit1), "/tmp/");
        EXPECT_FALSE(s.checked(Option::CheckBox7));
        EXPECT_EQ(s.itemIndex(), kLowerCase);
    }
}

TEST(SettingsText, OnlyTheKeysInTheFileChange) {
    RenameSettings expected = awkwardSettings();
    RenameSettings s = awkwardSettings();
    Load load(s);
    EXPECT_EQ(load("[Renamer Settings]\nver=1005\ned8=/home/ann/\n"), std::nullopt);
    EXPECT_TRUE(load.notices.empty());
    EXPECT_EQ(load.changed, std::vector<std::string>{"ed8"});
    expected.setText(Option::Edit1, "/home/ann/");
    expectSameOptions(s, expected);
}

TEST(SettingsText, KeysApplyInFileOrderThroughTheSetters) {
    RenameSettings s;
    Load load(s);
    EXPECT_EQ(load("[Renamer Settings]\nch22=1\ncb18=2\nver=0x3ED\nch21=0\ned20=a\n"),
              std::nullopt);
    EXPECT_EQ(load.changed, (std::vector<std::string>{"ch22", "cb18", "ch21", "ed20"}));
}

TEST(SettingsText, CheckBoxAndComboBoxValuesFollowTheIntegerRule) {
    struct Row {
        const char* value;
        bool checked;
    };
    for (const Row& r : {Row{"1", true}, Row{"0", false}, Row{"abc", false}, Row{"0x10", true},
                         Row{"-1", true}, Row{"", false}}) {
        RenameSettings s;
        s.setChecked(Option::CheckBox5, !r.checked);
        Load load(s);
        EXPECT_EQ(load(std::string("[Renamer Settings]\nver=1005\nch19=") + r.value), std::nullopt);
        EXPECT_EQ(s.checked(Option::CheckBox5), r.checked) << r.value;
    }
    struct IndexRow {
        const char* value;
        int index;
    };
    for (const IndexRow& r : {IndexRow{"3", 3}, IndexRow{"abc", 0}, IndexRow{"4", -1},
                              IndexRow{"-1", -1}, IndexRow{"0x2", 2}}) {
        RenameSettings s;
        s.setItemIndex(1);
        Load load(s);
        EXPECT_EQ(load(std::string("[Renamer Settings]\nver=1005\ncb18=") + r.value), std::nullopt);
        EXPECT_EQ(s.itemIndex(), r.index) << r.value;
    }
}

TEST(SettingsText, NamesCompareWithoutCase) {
    RenameSettings s;
    Load load(s);
    EXPECT_EQ(load("[RENAMER settings]\nVER=1005\nED8=/upper/\nCh19=1\n"), std::nullopt);
    EXPECT_TRUE(load.notices.empty());
    EXPECT_EQ(s.text(Option::Edit1), "/upper/");
    EXPECT_TRUE(s.checked(Option::CheckBox5));

    std::string content = "[renamer SETTINGS]\nVER=1004\nED8=/old/\nmine=kept\n";
    ASSERT_EQ(writeSettingsText(content, s), std::nullopt);
    EXPECT_TRUE(content.starts_with("[renamer SETTINGS]\nver=1005\ned8=/upper/\nmine=kept\n"))
        << content;
    EXPECT_EQ(content.find("VER"), std::string::npos);
}

TEST(SettingsText, ABadKeyStopsTheLoadWithWhatCameBeforeApplied) {
    struct Row {
        const char* key;
        const char* error;
    };
    const Row rows[] = {
        {"ch18", "'ch18' is not a valid settings key: component 18 (ComboBox1) is not a check box"},
        {"ed99", "'ed99' is not a valid settings key: the window has no component 99"},
        {"cbx", "'cbx' is not a valid settings key: 'x' is not a decimal number"},
        {"vx", "'vx' is not a valid settings key: '' is not a decimal number"},
        {"foo", "'foo' is not a valid settings key: 'o' is not a decimal number"},
    };
    for (const Row& r : rows) {
        RenameSettings s;
        Load load(s);
        const std::string content = std::string("[Renamer Settings]\nver=1005\ned8=/before/\n") +
                                    r.key + "=1\ned11=after\n";
        EXPECT_EQ(load(content), std::optional<std::string>(r.error));
        EXPECT_EQ(s.text(Option::Edit1), "/before/");
        EXPECT_EQ(s.text(Option::Edit3), "") << r.key;
    }
}

TEST(SettingsText, AKeyNamingAPositionButNoKindIsSkipped) {
    RenameSettings s;
    Load load(s);
    EXPECT_EQ(load("[Renamer Settings]\nver=1005\nxx12=1\ned11=after\n"), std::nullopt);
    EXPECT_EQ(load.changed, std::vector<std::string>{"ed11"});
}

class SettingsFileTest : public ::testing::Test {
protected:
    std::unique_ptr<FileSystem> real = makePosixFileSystem();
    test::FaultyFileSystem fs{*real};
    test::TempDir dir;
    std::string path = dir / "renamer.rns";
};

TEST_F(SettingsFileTest, SaveThenLoadRoundTripsAndKeepsTheRestOfTheFile) {
    const std::string before = "; my settings\n[Other]\nver=1\n";
    const std::string after = "\n[Last]\ned8=elsewhere\n";
    test::writeFile(path, before + "[Renamer Settings]\nver=1004\nmine=x\n" + after);
    const RenameSettings saved = awkwardSettings();
    ASSERT_EQ(saveSettingsFile(fs, path, saved), std::nullopt);
    const std::string once = test::readFile(path);
    EXPECT_TRUE(once.starts_with(before + "[Renamer Settings]\nver=1005\nmine=x\ned8=")) << once;
    EXPECT_TRUE(once.ends_with("ch40=1\n" + after)) << once;
    ASSERT_EQ(saveSettingsFile(fs, path, saved), std::nullopt);
    EXPECT_EQ(test::readFile(path), once);

    RenameSettings loaded;
    // "mine" names no position: the load stops there, after "ver".
    EXPECT_EQ(loadSettingsFile(fs, path, loaded, [](const std::string&) { FAIL(); }),
              "'mine' is not a valid settings key: 'ne' is not a decimal number");
    test::writeFile(path, "[Renamer Settings]\n");
    ASSERT_EQ(saveSettingsFile(fs, path, saved), std::nullopt);
    EXPECT_EQ(loadSettingsFile(fs, path, loaded, [](const std::string&) { FAIL(); }), std::nullopt);
    expectSameOptions(loaded, saved);
}

TEST_F(SettingsFileTest, AMissingFileGivesTheOldVersionMessageThenTheDefaults) {
    RenameSettings s;
    std::vector<std::string> notices;
    EXPECT_EQ(loadSettingsFile(fs, dir / "none.rns", s,
                               [&](const std::string& m) {
                                   EXPECT_EQ(s.text(Option::Edit1), "");
                                   notices.push_back(m);
                               }),
              std::nullopt);
    EXPECT_EQ(notices, std::vector<std::string>{kOldSettingsFileMessage});
    EXPECT_EQ(s.text(Option::Edit1), "/tmp/");
    EXPECT_FALSE(test::exists(dir / "none.rns"));
}

TEST_F(SettingsFileTest, AFileThatCannotBeReadChangesNothing) {
    test::makeDirectory(dir / "folder.rns");
    test::writeFile(path, "[Renamer Settings]\nver=1005\ned8=/x/\n");
    fs.fail(test::FaultyFileSystem::Op::ReadFile, "renamer.rns", EACCES);
    for (const std::string& unreadable : {path, dir / "folder.rns"}) {
        RenameSettings s;
        EXPECT_EQ(loadSettingsFile(fs, unreadable, s, [](const std::string&) { FAIL(); }),
                  "Unable to read " + unreadable);
        EXPECT_EQ(s.revision(), 0u);
    }
}

TEST_F(SettingsFileTest, AFileThatCannotBeWrittenIsReportedAndLeftWhole) {
    using Op = test::FaultyFileSystem::Op;
    const std::string old = "[Renamer Settings]\r\nver=1005\r\ned8=/old/\r\n";
    test::writeFile(path, old);
    RenameSettings s = awkwardSettings();

    fs.fail(Op::ReplaceFile, "renamer.rns", ENOSPC);
    EXPECT_EQ(saveSettingsFile(fs, path, s), "Unable to write to " + path);
    fs.clear();
    fs.failWritesAfter(100);
    EXPECT_EQ(saveSettingsFile(fs, path, s), "Unable to write to " + path);
    fs.clear();
    EXPECT_EQ(test::readFile(path), old);

    // Neither of these gets as far as writing: without the old content the file would lose its
    // other lines, and a line break cannot be stored.
    const int replacements = fs.calls(Op::ReplaceFile);
    fs.fail(Op::ReadFile, "renamer.rns", EIO);
    EXPECT_EQ(saveSettingsFile(fs, path, s), "Unable to write to " + path);
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
