// SPDX-License-Identifier: GPL-3.0-or-later
// The fields of an entry read from the disk, as the templates write them: dates of files with
// and without a zone, the modification time in the zone TZ names, tags and numbers, fields
// without a value, and the fields a run asks the reader for.
#include "scan/entry_fields.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <set>

#include "rules/new_name.h"
#include "rules/text.h"

namespace zr {
namespace {

// Sets TZ for the life of the object, and puts the one before back.
class ZoneForTest {
public:
    explicit ZoneForTest(const char* zone) {
        if (const char* old = std::getenv("TZ"))
            m_old = old;
        setenv("TZ", zone, 1);
        tzset();
    }
    ~ZoneForTest() {
        if (m_old)
            setenv("TZ", m_old->c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }

private:
    std::optional<std::string> m_old;
};

// The expansion of `text` for the entry, or "! reason".
std::string expand(const std::string& text, const FieldValues& values) {
    NameTemplate compiled;
    if (const auto error = compiled.compile(toCodePoints(text), nullptr))
        return "@" + error->reason;
    std::u32string out;
    if (const char* missing = compiled.expand(values, {}, out))
        return std::string("! ") + missing;
    return toBytes(out);
}

TEST(EntryFields, WritesTheDiskAndFileValuesAsTheTemplateAsks) {
    // Central European time, summer time from the last Sunday of March: no zone files needed.
    const ZoneForTest zone("CET-1CEST,M3.5.0,M10.5.0/3");
    FileFields photo;
    photo.setDate(FileField::taken, FieldDate{2021, 6, 15, 10, 20, 30, std::nullopt});
    photo.setText(FileField::camera, "Canon EOS 80D");
    photo.setNumber(FileField::width, 4000);
    FileFields movie;
    movie.setDate(FileField::taken, FieldDate{2019, 12, 31, 23, 59, 1, -300});
    FileFields song;
    song.setText(FileField::artist, "AC-DC");
    song.setText(FileField::title, "Étoile");
    song.setNumber(FileField::track, 3);
    song.setNumber(FileField::year, 1979);

    const std::time_t summer = 1718439630;     // 2024-06-15 08:20:30 UTC
    const std::time_t winter = 1704067199;     // 2023-12-31 23:59:59 UTC
    const std::time_t tooLate = 253402300800;  // 10000-01-01 UTC
    struct Row {
        const char* text;
        std::optional<std::time_t> modified;
        const FileFields* file;
        const char* expected;
    };
    const Row rows[] = {
        {"{taken}", summer, &photo, "2021-06-15 10.20.30"},
        // The zone of a photo's clock is not known: %z writes nothing.
        {"{taken:%Y%m%d-%H%M%S%z}", summer, &photo, "20210615-102030"},
        {"{taken:%F %H.%M %z %a}", summer, &movie, "2019-12-31 23.59 -0500 Tue"},
        {"{modified}", summer, nullptr, "2024-06-15 10.20.30"},
        {"{modified:%F %H.%M.%S %z}", winter, nullptr, "2024-01-01 00.59.59 +0100"},
        {"{modified:%Y}", std::nullopt, &photo, "! no modified time"},
        {"{modified:%Y}", tooLate, nullptr, "! no modified time"},
        {"{camera} {width}x{height|n}", summer, &photo, "! no height"},
        {"{camera} {width:5}", summer, &photo, "Canon EOS 80D 04000"},
        {"{artist} - {track:2} {title} ({year})", std::nullopt, &song, "AC-DC - 03 Étoile (1979)"},
        {"{album}", std::nullopt, &song, "! no album"},
        {"{taken|modified:%Y%m%d}", summer, &song, "20240615"},
        {"{taken|modified:%Y%m%d}", summer, &photo, "20210615"},
        {"{taken}", summer, nullptr, "! no date taken"},
        {"{genre|artist}", summer, nullptr, "! no genre"},
    };
    for (const Row& row : rows) {
        const EntryFieldValues values(row.modified, row.file);
        EXPECT_EQ(expand(row.text, values), row.expected) << row.text;
    }
    // {n}, {parent} and {ext} are the new-name computation's own.
    const EntryFieldValues values(summer, &photo);
    for (const char* own : {"{n}", "{parent}", "{ext}"})
        EXPECT_EQ(expand(own, values).substr(0, 1), "!") << own;
}

TEST(EntryFields, ARunReadsOnlyTheFileFieldsItsTemplatesUse) {
    std::set<FileField> reached;
    for (std::size_t i = 0; i < kFieldCount; ++i) {
        if (const std::optional<FileField> file = fileFieldOf(static_cast<Field>(i))) {
            EXPECT_TRUE(reached.insert(*file).second) << i;
        }
    }
    EXPECT_EQ(reached.size(), kFileFieldCount);

    FieldSet fields;
    for (Field f : {Field::Number, Field::Modified, Field::Taken, Field::Track})
        fields.add(f);
    EXPECT_EQ(fileFieldsOf(fields), (FileFieldSet{FileField::taken, FileField::track}));
    EXPECT_TRUE(needsModifiedTime(fields));
    fields = {};
    fields.add(Field::Parent);
    EXPECT_TRUE(fileFieldsOf(fields).empty());
    EXPECT_FALSE(needsModifiedTime(fields));
}

TEST(EntryFields, TheNewNameComputationTakesThemFromTheWalk) {
    RenameSettings settings;
    settings.setText(Option::Edit3, "*");
    settings.setChecked(ExtendedOption::Fields, true);
    settings.setChecked(Option::CheckBox2, true);
    settings.setText(Option::Edit2, "{taken:%Y%m%d} {n:2} ");
    ParsedLists lists;
    ParseOptionLists(settings, lists);
    RuleState state;
    state.PreviewMode = true;
    NewNameComputer computer(settings, lists, state);

    FileFields photo;
    photo.setDate(FileField::taken, FieldDate{2021, 6, 15, 10, 20, 30, std::nullopt});
    const EntryFieldValues values(std::nullopt, &photo);
    NameResult result = computer.ComputeNewName("/dir", "IMG.jpg", EntryContext{4, &values});
    EXPECT_EQ(result.outcome, NameOutcome::Renamed);
    EXPECT_EQ(state.NewNameResult, "20210615 04 IMG.jpg");
    // Without a value, the entry fails and takes no number.
    result = computer.ComputeNewName("/dir", "IMG.jpg", EntryContext{5, nullptr});
    EXPECT_EQ(result.outcome, NameOutcome::Failed);
    EXPECT_STREQ(result.failureReason, "no date taken");
    EXPECT_FALSE(result.numberUsed);
}

}  // namespace
}  // namespace zr
