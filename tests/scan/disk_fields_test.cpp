// SPDX-License-Identifier: GPL-3.0-or-later
// Fields read from files during the walk: which entries are opened (only those the filters let
// through, only for a field of their file), reading ahead against one call at a time, Scan
// against Go on random trees of pictures and songs, and what Go takes from the Scan before it.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <ctime>
#include <memory>
#include <random>
#include <thread>

#include "support/command_fixture.h"
#include "support/sample_files.h"

namespace zr::test {
namespace {

using Rows = std::vector<std::string>;

class DiskFieldsTest : public CommandTest {
protected:
    DiskFieldsTest() { fs.sortListings(1); }

    void prefixWithFields(const std::string& text) {
        settings.setChecked(Option::CheckBox2, true);
        settings.setText(Option::Edit2, text);
        settings.setChecked(ExtendedOption::Fields, true);
    }

    // "path>new name" per row, or "path!why" for an entry the rules fail, the path below the
    // tree, in the order shown.
    Rows rows() const {
        Rows out;
        for (std::size_t i = 0; i < view.rows.size(); ++i) {
            const PreviewRow& row = view.rows[i];
            out.push_back(
                view.rowPaths.at(i).substr(tree.size() + 1) +
                (row.ruleFailure ? "!" + std::string(row.ruleFailure) : ">" + row.newName));
        }
        return out;
    }

    // Entering a folder takes a millisecond, as on a network share: the walk reads ahead.
    void slowDownEntering() {
        fs.onCall(Op::ChangeDirectory, [](const std::string& path) {
            if (!path.ends_with("/.."))
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        });
    }

    // Scans with `jobs` calls in flight (entering folders slowly; any "unreadable.jpg" fails to
    // open); the rows, and in `opened` the files opened and in `elsewhere` those opened on a
    // thread other than the walk's.
    Rows scan(int jobs, int& opened, int& elsewhere) {
        fs.clear();
        slowDownEntering();
        fs.fail(Op::OpenFile, "/unreadable.jpg", EIO);
        const int before = fs.calls(Op::OpenFile);
        const std::thread::id walker = std::this_thread::get_id();
        // The hook stays for a Go after the scan (as the failing open does): it holds what it
        // counts itself.
        const auto others = std::make_shared<std::atomic<int>>(0);
        fs.onCall(Op::OpenFile, [others, walker](const std::string&) {
            *others += std::this_thread::get_id() != walker ? 1 : 0;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        });
        renamer->flags().Jobs = jobs;
        renamer->Button5Click();
        opened = fs.calls(Op::OpenFile) - before;
        elsewhere = *others;
        return rows();
    }
};

TEST_F(DiskFieldsTest, OnlyEntriesTheFiltersPassAreOpenedAndOnlyForAFieldOfTheirFile) {
    // Folders first in the walk's order, so that reading ahead has begun at the files in "z".
    for (int i = 0; i < 30; ++i)
        writeFile(tree + "/D" + std::to_string(i) + "/f.dat", "x");
    const std::string files = tree + "/z";
    writeFile(files + "/a.jpg", jpegWithExif("2021:06:15 10:20:30", "Nikon D/7000"));
    writeFile(files + "/b.jpg", jpegWithExif("", "Canon"));
    writeFile(files + "/cut.jpg", jpegWithExif("2020:01:01 00:00:00", "X").substr(0, 40));
    writeFile(files + "/garbage.jpg", std::string(5000, '\xFF'));
    writeFile(files + "/unreadable.jpg", jpegWithExif("2020:01:01 00:00:00", "X"));
    writeFile(files + "/song.mp3", mp3WithTags({"AC/DC", "Live", " .Thunder. ", "3/12"}));
    writeFile(files + "/notes.txt", jpegWithExif("2019:01:01 00:00:00", "X"));
    ASSERT_EQ(symlink("a.jpg", (files + "/link.jpg").c_str()), 0);
    ASSERT_EQ(mkfifo((files + "/pipe.jpg").c_str(), 0600), 0);
    const std::time_t now = std::time(nullptr);
    const std::string year = std::to_string(std::localtime(&now)->tm_year + 1900);
    struct Case {
        const char* prefix;  // with fields on; null: lower case only
        const char* filters;
        Rows rows;
        int opened;  // files opened to be read
    };
    const Case cases[] = {
        {"{taken:%Y-%m-%d %H.%M.%S} ",
         "*.jpg",
         {"z/a.jpg>2021-06-15 10.20.30 a.jpg", "z/b.jpg!no date taken", "z/cut.jpg!no date taken",
          "z/garbage.jpg!no date taken", "z/link.jpg!no date taken", "z/pipe.jpg!no date taken",
          "z/unreadable.jpg!no date taken"},
         7},
        {"{n} {taken:%Y} ",
         "*.jpg",
         {"z/a.jpg>1 2021 a.jpg", "z/b.jpg!no date taken", "z/cut.jpg!no date taken",
          "z/garbage.jpg!no date taken", "z/link.jpg!no date taken", "z/pipe.jpg!no date taken",
          "z/unreadable.jpg!no date taken"},
         7},
        {"{camera} ",
         "*.jpg;*.txt",
         {"z/a.jpg>Nikon D-7000 a.jpg", "z/b.jpg>Canon b.jpg", "z/cut.jpg!no camera",
          "z/garbage.jpg!no camera", "z/link.jpg!no camera", "z/notes.txt>X notes.txt",
          "z/pipe.jpg!no camera", "z/unreadable.jpg!no camera"},
         8},
        {"{artist} - {title} {track:2} ", "*.mp3", {"z/song.mp3>AC-DC - Thunder 03 song.mp3"}, 1},
        {"{taken|modified:%Y} ",
         "a.jpg;b.jpg",
         {"z/a.jpg>2021 a.jpg", "z/b.jpg>" + year + " b.jpg"},
         2},
        {"{modified:%Y}{n}{parent}{ext} ", "*.mp3", {"z/song.mp3>" + year + "1z.mp3 song.mp3"}, 0},
        {nullptr, "*.JPG", {}, 0},
    };
    for (const Case& c : cases) {
        settings = RenameSettings{};
        startAt("tree", c.filters);
        if (c.prefix)
            prefixWithFields(c.prefix);
        else
            lowerCaseWholeName();
        Rows byJobs[2];
        for (const int jobs : {1, 16}) {
            int opened = 0;
            int elsewhere = 0;
            byJobs[jobs == 1 ? 0 : 1] = scan(jobs, opened, elsewhere);
            EXPECT_EQ(opened, c.opened) << c.filters << " jobs " << jobs;
            if (jobs == 16 && c.opened > 2) {
                EXPECT_GT(elsewhere, 0) << c.filters << ": read ahead on the walk's threads";
            }
        }
        EXPECT_EQ(byJobs[0], c.rows) << c.filters;
        EXPECT_EQ(byJobs[1], c.rows) << c.filters;
    }
}

// Numbers in the order of the dates taken: by date, then by name; entries without a date last,
// by name. Scan and Go agree, reading one call at a time or ahead.
TEST_F(DiskFieldsTest, NumbersFollowTheDatesTakenThenTheNames) {
    const std::pair<const char*, const char*> photos[] = {{"a.jpg", "2021:01:01 00:00:00"},
                                                          {"c.jpg", "2020:01:02 00:00:00"},
                                                          {"b.jpg", "2020:01:01 00:00:00"},
                                                          {"d.jpg", "2020:01:02 00:00:00"},
                                                          {"z.jpg", ""},
                                                          {"y.jpg", ""}};
    for (const int jobs : {1, 16}) {
        const std::string folder = tree + "/jobs" + std::to_string(jobs);
        for (const auto& [name, date] : photos)
            writeFile(folder + "/" + name, jpegWithExif(date, "Cam"));
        writeFile(folder + "/m.mp3", mp3WithTags({"A", "B", "T", "1"}));
        settings = RenameSettings{};
        startAt("tree/jobs" + std::to_string(jobs), "*");
        prefixWithFields("{n:2} ");
        settings.setValue(ExtendedOption::NumberOrder, static_cast<int>(NumberOrder::Taken));
        int opened = 0;
        int elsewhere = 0;
        Rows shown = scan(jobs, opened, elsewhere);
        std::sort(shown.begin(), shown.end());
        const std::string at = "jobs" + std::to_string(jobs) + "/";
        EXPECT_EQ(shown, (Rows{at + "a.jpg>04 a.jpg", at + "b.jpg>01 b.jpg", at + "c.jpg>02 c.jpg",
                               at + "d.jpg>03 d.jpg", at + "m.mp3>05 m.mp3", at + "y.jpg>06 y.jpg",
                               at + "z.jpg>07 z.jpg"}))
            << jobs;
        renamer->Button1Click();
        EXPECT_EQ(listNames(folder),
                  (std::vector<std::string>{"01 b.jpg", "02 c.jpg", "03 d.jpg", "04 a.jpg",
                                            "05 m.mp3", "06 y.jpg", "07 z.jpg"}))
            << jobs;
    }
}

// Random trees of pictures (some taken in the same second, some without a date, some broken)
// and songs, under rules of fields: Scan with one call at a time and with 16 shows the same rows,
// and Go then renames exactly the rows that will not fail, whether it reads the files itself or
// takes what the Scan read; a Go right after a Scan opens no file.
TEST_F(DiskFieldsTest, ScanAndGoAgreeOnRandomTreesOfPicturesAndSongs) {
    std::mt19937 random(20261209);
    const char* const templates[] = {"{taken:%Y-%m-%d %H.%M.%S} ", "{taken|modified:%Y} {camera} ",
                                     "{artist} - {album} - {track:2} {title} ", "{camera|title} ",
                                     "{n:2} {camera|title} "};
    const auto pick = [&random](int n) { return static_cast<int>(random() % n); };
    std::size_t renamed = 0;
    std::size_t failing = 0;
    for (int t = 0; t < 12; ++t) {
        const std::string root = temp / ("random" + std::to_string(t));
        makeDirectory(root);
        tree = root;
        for (int i = 0; i < 24; ++i) {
            const std::string folder = root + (pick(3) == 0 ? "/F" + std::to_string(pick(3)) : "");
            const std::string name = folder + "/e" + std::to_string(i);
            const std::string date = "2026:07:14 09:31:0" + std::to_string(pick(3));
            switch (pick(6)) {
                case 0:
                    writeFile(name + ".jpg", jpegWithExif(date, "Cam " + std::to_string(pick(2))));
                    break;
                case 1:
                    writeFile(name + ".jpg", jpegWithExif(date, ""));
                    break;
                case 2:
                    writeFile(name + ".jpg", jpegWithExif("", "Cam"));
                    break;
                case 3:
                    writeFile(name + ".jpg", jpegWithExif(date, "C").substr(0, 30 + pick(80)));
                    break;
                case 4:
                    writeFile(name + ".mp3", mp3WithTags({"A" + std::to_string(pick(2)), "B", "T",
                                                          std::to_string(pick(3))}));
                    break;
                default:
                    writeFile(name + ".mp3",
                              mp3WithTags({"", "B", "T" + std::to_string(pick(2)), ""}));
                    break;
            }
        }
        settings = RenameSettings{};
        startAt(root.substr(temp.path().size() + 1), "*");
        settings.setChecked(Option::CheckBox1, true);
        prefixWithFields(templates[pick(5)]);
        settings.setChecked(ExtendedOption::Unique, pick(2) == 0);
        settings.setValue(ExtendedOption::NumberOrder, static_cast<int>(NumberOrder::Taken));
        int opened = 0;
        int elsewhere = 0;
        const Rows one = scan(1, opened, elsewhere);
        const Rows many = scan(16, opened, elsewhere);
        EXPECT_EQ(one, many) << "tree " << t;
        const bool keptFromScan = t % 2 == 0;
        if (!keptFromScan)
            renamer->flags().FieldsRead.clear();
        // What Go must leave: every row renamed but those marked, every other entry as it was.
        std::vector<std::string> expected;
        std::vector<std::string> before = listTree(root);
        for (std::size_t i = 0; i < view.rows.size(); ++i) {
            const std::string path = view.rowPaths[i].substr(root.size() + 1);
            std::erase(before, path);
            const bool fails = view.rows[i].fails != Conflict::None;
            const std::string folder(directoryOfPath(path));
            expected.push_back(fails ? path
                                     : (folder.empty() || folder == "/" ? "" : folder + "/") +
                                           view.rows[i].newName);
        }
        for (const PreviewRow& row : view.rows)
            ++(row.fails == Conflict::None ? renamed : failing);
        expected.insert(expected.end(), before.begin(), before.end());
        std::sort(expected.begin(), expected.end());
        const int openedBefore = fs.calls(Op::OpenFile);
        renamer->Button1Click();
        std::vector<std::string> after = listTree(root);
        std::erase_if(after, [](const std::string& p) {
            return p.find("renamer_failures") != std::string::npos;
        });
        std::sort(after.begin(), after.end());
        EXPECT_EQ(after, expected) << "tree " << t;
        const int openedByGo = fs.calls(Op::OpenFile) - openedBefore;
        EXPECT_EQ(openedByGo == 0, keptFromScan) << "tree " << t << ": " << openedByGo;
    }
    // Both kinds are there in numbers: entries with their fields, and entries without.
    EXPECT_GT(renamed, 60u);
    EXPECT_GT(failing, 60u);
}

TEST_F(DiskFieldsTest, AFileChangedBetweenScanAndGoIsReadAgain) {
    writeFile(tree + "/a.jpg", jpegWithExif("2020:01:01 00:00:00", "X"));
    writeFile(tree + "/b.jpg", jpegWithExif("2022:02:02 00:00:00", "X"));
    startAt();
    prefixWithFields("{taken:%Y} ");
    renamer->Button5Click();
    ASSERT_EQ(rows(), (Rows{"a.jpg>2020 a.jpg", "b.jpg>2022 b.jpg"}));
    // The same size and modification time, other contents.
    struct stat st;
    ASSERT_EQ(stat((tree + "/a.jpg").c_str(), &st), 0);
    const int fd = open((tree + "/a.jpg").c_str(), O_WRONLY | O_CLOEXEC);
    const std::string changed = jpegWithExif("2021:01:01 00:00:00", "X");
    ASSERT_EQ(pwrite(fd, changed.data(), changed.size(), 0), static_cast<ssize_t>(changed.size()));
    const timespec times[2] = {st.st_atim, st.st_mtim};
    ASSERT_EQ(futimens(fd, times), 0);
    close(fd);
    const int opened = fs.calls(Op::OpenFile);
    renamer->Button1Click();
    EXPECT_EQ(listNames(tree), (std::vector<std::string>{"2021 a.jpg", "2022 b.jpg"}));
    EXPECT_EQ(fs.calls(Op::OpenFile), opened + 1);
}

}  // namespace
}  // namespace zr::test
