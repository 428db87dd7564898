// SPDX-License-Identifier: GPL-3.0-or-later
#include "rename/rename_scheduler.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>
#include <unordered_map>
#include <vector>

#include "platform/calls_in_flight.h"

namespace zr {

namespace {

using Rename = RenameScheduler::Rename;
using Outcome = RenameScheduler::Outcome;
using Fence = RenameScheduler::Fence;

// Blocks of slow renames in a row that send a run to the workers: renames write, and a local
// disk's journal makes a few of them wait now and then.
constexpr int kSlowBlocks = 2;

// Consecutive renames of one folder, carried out by one worker in their order.
struct Chain {
    std::size_t first = 0;  // index of its first rename in the run
    std::string folder;     // folderKey() of its renames
    std::vector<Rename> renames;
    std::vector<Outcome> outcomes;
    std::vector<Chain*> dependents;
    int unmet = 0;             // chains it waits for
    bool released = false;     // complete, and handed to the workers once it waits for nothing
    std::size_t ran = 0;       // renames carried out (or stopped at) so far, from the first
    bool done = false;         // its worker is through with it
    bool handingBack = false;  // the calling thread waits for each of its outcomes
};

Outcome attempt(RenameSession& session, const Rename& rename) {
    Outcome outcome;
    outcome.tried = true;
    outcome.error = rename.refused ? EPERM : session.rename(rename, outcome.strandedAt);
    return outcome;
}

// What tells the folder of a rename from every other: its identity where the walk knew it (so
// that two paths to one folder are one), else its path. A path never starts with a NUL.
std::string folderKey(const Rename& rename) {
    if (!rename.folder.known())
        return std::string(directoryOfPath(rename.from));
    std::string key(1 + sizeof rename.folder.device + sizeof rename.folder.inode, '\0');
    std::memcpy(key.data() + 1, &rename.folder.device, sizeof rename.folder.device);
    std::memcpy(key.data() + 1 + sizeof rename.folder.device, &rename.folder.inode,
                sizeof rename.folder.inode);
    return key;
}

}  // namespace

RenameScheduler::RenameScheduler(FileSystem& fileSystem, int jobs)
    : m_fileSystem(fileSystem), m_jobs(std::max(jobs, 1)) {}

void RenameScheduler::run(std::size_t count, const Describe& describe, const Settle& settle,
                          const StopRequested& stop) {
    const std::size_t begin = runInOrder(0, count, m_jobs > 1, describe, settle, stop);
    if (begin < count)
        runInParallel(begin, count, describe, settle, stop);
}

std::size_t RenameScheduler::runInOrder(std::size_t begin, std::size_t count, bool watch,
                                        const Describe& describe, const Settle& settle,
                                        const StopRequested& stop) {
    // One rename after another while they are quick: on a local disk handing renames to other
    // threads would cost more than it saves.
    SlowCallWatch watcher(kSlowBlocks);
    const std::unique_ptr<RenameSession> session = m_fileSystem.openRenameSession();
    Rename rename;
    for (std::size_t i = begin; i < count; ++i) {
        if (stop && stop())
            return count;
        rename = Rename{};
        describe(i, rename);
        if (watch)
            watcher.begin();
        Outcome outcome = attempt(*session, rename);
        const bool slow = watch && watcher.end();
        settle(i, outcome);
        if (slow)
            return i + 1;
    }
    return count;
}

void RenameScheduler::runInParallel(std::size_t begin, std::size_t count, const Describe& describe,
                                    const Settle& settle, const StopRequested& stop) {
    std::mutex mutex;
    std::condition_variable workReady;  // for the workers
    std::condition_variable progress;   // for this thread
    std::deque<Chain*> ready;
    bool stopping = false;
    // Set once the run is to end: no rename starts after it.
    std::atomic<bool> halted{false};
    const auto mayStart = [&] {
        return !halted.load(std::memory_order_relaxed) && !(stop && stop());
    };

    // Chains in the run's order, from the oldest one not yet handed back.
    std::deque<std::unique_ptr<Chain>> chains;
    // The newest chain of each folder whose renames are not all done.
    std::unordered_map<std::string, Chain*> lastOfFolder;
    Chain* lastHolding = nullptr;  // the newest fence that holds later renames

    auto worker = [&] {
        const std::unique_ptr<RenameSession> session = m_fileSystem.openRenameSession();
        std::unique_lock<std::mutex> lock(mutex);
        for (;;) {
            workReady.wait(lock, [&] { return stopping || !ready.empty(); });
            if (stopping)
                return;
            Chain* chain = ready.front();
            ready.pop_front();
            lock.unlock();
            // Other workers may have renamed in its folder since this one was last there.
            session->forgetFolders();
            for (std::size_t i = 0; i < chain->renames.size() && mayStart(); ++i) {
                Outcome outcome;
                try {
                    outcome = attempt(*session, chain->renames[i]);
                } catch (...) {
                    // The run ends there: the renames after it in the chain never start.
                    outcome.tried = true;
                    outcome.thrown = std::current_exception();
                }
                const bool thrown = outcome.thrown != nullptr;
                chain->outcomes[i] = std::move(outcome);
                lock.lock();
                chain->ran = i + 1;
                if (chain->handingBack)
                    progress.notify_one();
                lock.unlock();
                if (thrown)
                    break;
            }
            lock.lock();
            chain->done = true;
            for (Chain* dependent : chain->dependents) {
                if (--dependent->unmet == 0 && dependent->released) {
                    ready.push_back(dependent);
                    workReady.notify_one();
                }
            }
            if (chain->handingBack)
                progress.notify_one();
        }
    };

    // Links `chain` after `before` (under the mutex).
    auto waitFor = [](Chain* chain, Chain* before) {
        if (before && before != chain && !before->done) {
            before->dependents.push_back(chain);
            ++chain->unmet;
        }
    };

    std::vector<std::thread> workers = startThreads(m_jobs, worker);
    if (workers.empty()) {
        // The system gives no thread: one rename after another, here.
        runInOrder(begin, count, false, describe, settle, stop);
        return;
    }
    // Renames described but not yet handed back, at most this many: memory stays bounded
    // however long the run is.
    const std::size_t window = workers.size() * 64;
    auto finish = [&] {
        halted = true;
        {
            std::lock_guard<std::mutex> lock(mutex);
            stopping = true;
            ready.clear();
        }
        workReady.notify_all();
        for (std::thread& w : workers)
            w.join();
    };

    // The oldest chain's outcomes handed back so far.
    std::size_t handedBack = 0;
    std::exception_ptr error;
    try {
        std::size_t described = begin;
        std::size_t inWindow = 0;
        Chain* open = nullptr;  // the chain being filled, not yet handed to the workers

        // Hands the chain being filled to the workers, or queues it behind what it waits for.
        auto release = [&] {
            if (!open)
                return;
            std::lock_guard<std::mutex> lock(mutex);
            open->released = true;
            if (open->unmet == 0) {
                ready.push_back(open);
                workReady.notify_one();
            }
            open = nullptr;
        };

        while (!halted && (described < count || !chains.empty())) {
            // Describe ahead while there is room.
            while (described < count && inWindow < window) {
                Rename rename;
                describe(described, rename);
                std::string folder = folderKey(rename);
                const bool joins = open && open->folder == folder && rename.fence == Fence::None;
                if (!joins) {
                    release();
                    auto chain = std::make_unique<Chain>();
                    chain->first = described;
                    Chain* c = chain.get();
                    std::lock_guard<std::mutex> lock(mutex);
                    const auto same = lastOfFolder.find(folder);
                    if (same != lastOfFolder.end())
                        waitFor(c, same->second);
                    waitFor(c, lastHolding);
                    if (rename.fence == Fence::WaitsForEarlier) {
                        for (const auto& earlier : chains)
                            waitFor(c, earlier.get());
                    }
                    lastOfFolder[folder] = c;
                    if (rename.fence == Fence::HoldsLater)
                        lastHolding = c;
                    c->folder = std::move(folder);
                    chains.push_back(std::move(chain));
                    open = c;
                }
                open->renames.push_back(std::move(rename));
                open->outcomes.emplace_back();
                ++described;
                ++inWindow;
                // A fence is a chain of its own.
                if (open->renames.back().fence != Fence::None)
                    release();
            }
            // Nothing more can be described now: whatever is open goes to the workers.
            release();

            // Hand back the oldest chain's outcomes as they come.
            Chain* oldest = chains.front().get();
            for (handedBack = 0;;) {
                std::size_t ran = 0;
                bool done = false;
                {
                    std::unique_lock<std::mutex> lock(mutex);
                    oldest->handingBack = true;
                    progress.wait(lock, [&] { return oldest->ran > handedBack || oldest->done; });
                    ran = oldest->ran;
                    done = oldest->done;
                }
                while (handedBack < ran) {
                    // Counted as handed back whatever it throws.
                    Outcome& outcome = oldest->outcomes[handedBack++];
                    if (outcome.thrown)
                        std::rethrow_exception(outcome.thrown);
                    settle(oldest->first + handedBack - 1, outcome);
                }
                if (done)
                    break;
            }
            {
                std::lock_guard<std::mutex> lock(mutex);
                const auto same = lastOfFolder.find(oldest->folder);
                if (same != lastOfFolder.end() && same->second == oldest)
                    lastOfFolder.erase(same);
                if (lastHolding == oldest)
                    lastHolding = nullptr;
            }
            // A chain its worker left part-way was stopped: the run ends.
            if (oldest->ran < oldest->renames.size())
                halted = true;
            inWindow -= oldest->renames.size();
            handedBack = 0;
            chains.pop_front();
        }
    } catch (...) {
        error = std::current_exception();
    }
    // Renames under way finish; nothing new starts. Every rename that was tried is handed back,
    // in order: the rest of the oldest chain, then the chains that ran ahead of it.
    finish();
    for (std::size_t c = 0; c < chains.size(); ++c) {
        Chain& chain = *chains[c];
        for (std::size_t i = c == 0 ? handedBack : 0; i < chain.outcomes.size(); ++i) {
            if (!chain.outcomes[i].tried || chain.outcomes[i].thrown)
                continue;
            try {
                settle(chain.first + i, chain.outcomes[i]);
            } catch (...) {
                // The first exception is the one that goes on.
                if (!error)
                    error = std::current_exception();
            }
        }
    }
    if (error)
        std::rethrow_exception(error);
}

}  // namespace zr
