// The rules that keep renames in flight to the outcome of one after another, checked on the
// times the renames really ran: renames of one directory never overlap and keep their order,
// fences wait or hold as they say, outcomes come back in order, and no more run at once than
// asked for.
#include "rename/rename_scheduler.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <random>
#include <stdexcept>
#include <thread>

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
    int syncDirectory(const std::string&) override { return ENOSYS; }
    int lockFile(const std::string&, std::unique_ptr<FileLock>&) override { return ENOSYS; }
    int createDirectories(const std::string&) override { return ENOSYS; }
    int readFile(const std::string&, std::string&) override { return ENOSYS; }
    int replaceFile(const std::string&, std::string_view) override { return ENOSYS; }

private:
    class Session : public RenameSession {
    public:
        explicit Session(TimedFileSystem& owner) : m_owner(owner) {}
        int rename(const std::string& from, const std::string&, std::string&) override {
            const std::size_t index = std::stoul(from.substr(from.rfind('/') + 1));
            const int now = ++m_owner.inFlight;
            int most = m_owner.mostInFlight;
            while (now > most && !m_owner.mostInFlight.compare_exchange_weak(most, now)) {
            }
            Span& span = m_owner.spans[index];
            span.start = Clock::now();
            std::this_thread::sleep_for(std::chrono::microseconds(200 + (index * 7919) % 700));
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
                // The index travels in the name; the directory is the planned one.
                rename.from = planned[i].directory + "/" + std::to_string(i);
                rename.to = rename.from + "x";
                rename.fence = planned[i].fence;
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
    std::size_t settled = 0;
    EXPECT_THROW(RenameScheduler(fs, 8).run(
                     count,
                     [&](std::size_t i, RenameScheduler::Rename& rename) {
                         rename.from = planned[i].directory + "/" + std::to_string(i);
                         rename.to = rename.from + "x";
                     },
                     [&](std::size_t i, RenameScheduler::Outcome&) {
                         EXPECT_EQ(i, settled);
                         ++settled;
                     }),
                 std::runtime_error);
    EXPECT_EQ(settled, 120u);   // everything before it, nothing after
    EXPECT_EQ(fs.inFlight, 0);  // and nothing still running
}

}  // namespace
}  // namespace zr
