// SPDX-License-Identifier: GPL-3.0-or-later
// The rules that keep renames in flight to the outcome of one after another, checked on the
// times the renames really ran: renames of one directory never overlap and keep their order,
// fences wait or hold as they say, outcomes come back in order, and no more run at once than
// asked for.
#include "rename/rename_scheduler.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <random>
#include <stdexcept>
#include <thread>
#include <tuple>

namespace zr {
namespace {

using Clock = std::chrono::steady_clock;
using Fence = RenameScheduler::Fence;

// A file system whose renames only take a little time and note when they ran.
class TimedFileSystem : public FileSystem {
public:
    struct Span {
        Clock::time_point start;
        Clock::time_point end;
    };

    explicit TimedFileSystem(std::size_t count) : spans(count) {}

    std::vector<Span> spans;  // by the index the path "/d/<index>" names
    std::atomic<int> inFlight{0};
    std::atomic<int> mostInFlight{0};
    std::string throwAt;
    // Renames from this index on are quick, and those before it slow, as on a network share.
    std::size_t quickFrom = SIZE_MAX;
    std::thread::id caller = std::this_thread::get_id();
    std::atomic<int> elsewhere{0};  // renames run on another thread than the caller's

    std::unique_ptr<RenameSession> openRenameSession() override {
        return std::make_unique<Session>(*this);
    }

    std::string initialDirectory() override { return "/"; }
    int changeDirectory(const std::string&, const std::string&, std::string&) override {
        return ENOSYS;
    }
    std::unique_ptr<DirectoryListing> listDirectory(const std::string&, int& error) override {
        error = ENOSYS;
        return nullptr;
    }
    int rename(const std::string&, const std::string&) override { return ENOSYS; }
    bool exists(const std::string&) override { return false; }
    std::unique_ptr<OutputFile> createFile(const std::string&, int& error) override {
        error = ENOSYS;
        return nullptr;
    }
    int removeFile(const std::string&) override { return ENOSYS; }
    int removeFileIf(const std::string&, const FileId&) override { return ENOSYS; }
    int identify(const std::string&, FileId&) override { return ENOSYS; }
    int syncDirectory(const std::string&) override { return ENOSYS; }
    int lockFile(const std::string&, std::unique_ptr<FileLock>&) override { return ENOSYS; }
    int createDirectories(const std::string&) override { return ENOSYS; }
    int readFile(const std::string&, std::string&) override { return ENOSYS; }
    int replaceFile(const std::string&, std::string_view) override { return ENOSYS; }
    std::unique_ptr<OutputFile> createUnnamedFile(const std::string&, int& error) override {
        error = ENOSYS;
        return nullptr;
    }
    std::unique_ptr<InputFile> openTextFile(const std::string&, int& error) override {
        error = ENOSYS;
        return nullptr;
    }

    // Whether rename `index` ran.
    bool ran(std::size_t index) const { return spans[index].end != Clock::time_point{}; }

private:
    class Session : public RenameSession {
    public:
        explicit Session(TimedFileSystem& owner) : m_owner(owner) {}
        int locate(const RenameRequest&, bool&) override { return 0; }
        int rename(const RenameRequest& request, std::string&) override {
            const std::string& from = request.from;
            const std::size_t index = std::stoul(from.substr(from.rfind('/') + 1));
            const int now = ++m_owner.inFlight;
            int most = m_owner.mostInFlight;
            while (now > most && !m_owner.mostInFlight.compare_exchange_weak(most, now)) {
            }
            Span& span = m_owner.spans[index];
            span.start = Clock::now();
            if (index < m_owner.quickFrom)
                std::this_thread::sleep_for(std::chrono::microseconds(200 + (index * 7919) % 700));
            if (std::this_thread::get_id() != m_owner.caller)
                ++m_owner.elsewhere;
            span.end = Clock::now();
            --m_owner.inFlight;
            if (from == m_owner.throwAt)
                throw std::runtime_error("thrown by a rename");
            return index % 5 == 0 ? EACCES : 0;
        }

    private:
        TimedFileSystem& m_owner;
    };
};

struct Planned {
    std::string directory;
    Fence fence = Fence::None;
};

// A run over a few directories, in runs of one directory broken up by others, with fences.
std::vector<Planned> plan(std::size_t count, unsigned seed) {
    std::mt19937 rng(seed);
    std::vector<Planned> renames;
    while (renames.size() < count) {
        const std::string directory = "/d" + std::to_string(rng() % 6);
        for (std::size_t n = 1 + rng() % 5; n > 0 && renames.size() < count; --n)
            renames.push_back({directory, Fence::None});
        if (rng() % 7 == 0)
            renames.back().fence = rng() % 2 ? Fence::WaitsForEarlier : Fence::HoldsLater;
    }
    return renames;
}

// Describes rename i of `planned`: the index travels in the name "<directory>/<i>"; with
// `fences`, the planned fences too.
RenameScheduler::Describe describe(const std::vector<Planned>& planned, bool fences) {
    return [&planned, fences](std::size_t i, RenameScheduler::Rename& rename) {
        rename.from = planned[i].directory + "/" + std::to_string(i);
        rename.to = rename.from + "x";
        if (fences)
            rename.fence = planned[i].fence;
    };
}

TEST(RenameScheduler, RenamesInFlightKeepTheRulesOfOneAfterAnother) {
    for (unsigned seed = 1; seed <= 6; ++seed) {
        const std::size_t count = 400;
        const std::vector<Planned> planned = plan(count, seed);
        TimedFileSystem fs(count);
        std::vector<std::size_t> settled;
        std::vector<int> errors;
        RenameScheduler(fs, 8).run(
            count,
            [&](std::size_t i, RenameScheduler::Rename& rename) {
                describe(planned, true)(i, rename);
                rename.refused = i % 11 == 0;
            },
            [&](std::size_t i, RenameScheduler::Outcome& outcome) {
                settled.push_back(i);
                errors.push_back(outcome.error);
            });

        ASSERT_EQ(settled.size(), count) << "seed " << seed;
        for (std::size_t i = 0; i < count; ++i) {
            EXPECT_EQ(settled[i], i);
            EXPECT_EQ(errors[i], i % 11 == 0 ? EPERM : i % 5 == 0 ? EACCES : 0) << i;
        }
        EXPECT_GT(fs.mostInFlight, 1) << "seed " << seed;
        EXPECT_LE(fs.mostInFlight, 8) << "seed " << seed;
        for (std::size_t j = 0; j < count; ++j) {
            if (j % 11 == 0)
                continue;  // refused: never called
            for (std::size_t i = 0; i < j; ++i) {
                if (i % 11 == 0)
                    continue;
                const bool ordered = planned[i].directory == planned[j].directory ||
                                     planned[j].fence == Fence::WaitsForEarlier ||
                                     planned[i].fence == Fence::HoldsLater;
                if (ordered) {
                    EXPECT_LE(fs.spans[i].end, fs.spans[j].start)
                        << "seed " << seed << ": " << i << " before " << j;
                }
            }
        }
    }
}

TEST(RenameScheduler, AnExceptionOfAWorkerComesBackInOrderAndStopsTheRun) {
    const std::size_t count = 200;
    const std::vector<Planned> planned = plan(count, 99);
    TimedFileSystem fs(count);
    fs.throwAt = planned[120].directory + "/120";
    std::vector<std::size_t> settled;
    EXPECT_THROW(RenameScheduler(fs, 8).run(
                     count, describe(planned, false),
                     [&](std::size_t i, RenameScheduler::Outcome&) { settled.push_back(i); }),
                 std::runtime_error);
    // Everything before it in order; after it, only what was under way.
    ASSERT_GE(settled.size(), 120u);
    for (std::size_t i = 0; i < 120; ++i)
        EXPECT_EQ(settled[i], i);
    for (std::size_t k = 120; k < settled.size(); ++k) {
        EXPECT_GT(settled[k], 120u);
        EXPECT_TRUE(fs.ran(settled[k])) << settled[k];
    }
    EXPECT_EQ(fs.inFlight, 0);  // and nothing still running
}

TEST(RenameScheduler, WhenTakingAnOutcomeThrowsEveryRenameDoneIsStillHandedBack) {
    // As when the failure log cannot take a line: the run stops, but the renames under way are
    // done, and the caller must know them all.
    const std::size_t count = 300;
    const std::vector<Planned> planned = plan(count, 7);
    TimedFileSystem fs(count);
    std::vector<std::size_t> settled;
    EXPECT_THROW(RenameScheduler(fs, 8).run(count, describe(planned, false),
                                            [&](std::size_t i, RenameScheduler::Outcome& outcome) {
                                                EXPECT_TRUE(outcome.tried) << i;
                                                settled.push_back(i);
                                                if (i == 100 || i == 150)
                                                    throw std::runtime_error("the log is full");
                                            }),
                 std::runtime_error);
    ASSERT_GT(settled.size(), 100u);
    for (std::size_t i = 0; i <= 100; ++i)
        EXPECT_EQ(settled[i], i);
    for (std::size_t i = 0; i < count; ++i) {
        const bool handedBack = std::find(settled.begin(), settled.end(), i) != settled.end();
        EXPECT_EQ(handedBack, fs.ran(i)) << i;
    }
    EXPECT_EQ(fs.inFlight, 0);
}

// Quick renames (a local disk) run one after another on the calling thread; slow ones send
// the rest of the run to the workers, and with one job nothing does.
TEST(RenameScheduler, OnlySlowRenamesAreHandedToOtherThreads) {
    const std::size_t count = 300;
    const std::vector<Planned> planned = plan(count, 3);
    for (const auto& [quickFrom, jobs, handedOver] :
         {std::tuple{std::size_t{0}, 8, false}, std::tuple{std::size_t{40}, 8, true},
          std::tuple{std::size_t{40}, 1, false}}) {
        TimedFileSystem fs(count);
        fs.quickFrom = quickFrom;
        std::vector<std::size_t> settled;
        RenameScheduler(fs, jobs).run(
            count, describe(planned, true),
            [&](std::size_t i, RenameScheduler::Outcome&) { settled.push_back(i); });
        ASSERT_EQ(settled.size(), count);
        for (std::size_t i = 0; i < count; ++i)
            EXPECT_EQ(settled[i], i);
        EXPECT_EQ(fs.elsewhere > 0, handedOver) << quickFrom << " " << jobs;
    }
}

}  // namespace
}  // namespace zr
