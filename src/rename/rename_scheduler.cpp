// SPDX-License-Identifier: GPL-3.0-or-later
#include "rename/rename_scheduler.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>
#include <unordered_map>
#include <vector>

namespace zr {

namespace {

using Rename = RenameScheduler::Rename;
using Outcome = RenameScheduler::Outcome;
using Fence = RenameScheduler::Fence;

// Consecutive renames of one directory, carried out by one worker in their order.
struct Chain {
    std::size_t first = 0;  // index of its first rename in the run
    std::string directory;
    std::vector<Rename> renames;
    std::vector<Outcome> outcomes;
    std::vector<Chain*> dependents;
    int unmet = 0;          // chains it waits for
    bool released = false;  // complete, and handed to the workers once it waits for nothing
    bool done = false;
};

Outcome attempt(RenameSession& session, const Rename& rename) {
    Outcome outcome;
    outcome.tried = true;
    outcome.error = rename.refused ? EPERM : session.rename(rename, outcome.strandedAt);
    return outcome;
}

}  // namespace

RenameScheduler::RenameScheduler(FileSystem& fileSystem, int jobs)
    : m_fileSystem(fileSystem), m_jobs(std::max(jobs, 1)) {}

void RenameScheduler::run(std::size_t count, const Describe& describe, const Settle& settle) {
    const std::size_t begin = runInOrder(count, describe, settle);
    if (begin < count)
        runInParallel(begin, count, describe, settle);
}

std::size_t RenameScheduler::runInOrder(std::size_t count, const Describe& describe,
                                        const Settle& settle) {
    // One rename after another while they are quick: on a local disk handing renames to other
    // threads would cost more than it saves. Renames that took kSlowRename each on average in
    // kSlowBlocks blocks of kBlock in a row (a network share) send the rest to the workers; one
    // slow block alone is as likely a busy machine (another program had the processor).
    constexpr std::size_t kBlock = 8;
    constexpr int kSlowBlocks = 3;
    constexpr std::chrono::microseconds kSlowRename{100};
    const bool watch = m_jobs > 1;
    const std::unique_ptr<RenameSession> session = m_fileSystem.openRenameSession();
    Rename rename;
    std::chrono::steady_clock::duration blockTime{};
    int slowBlocks = 0;
    for (std::size_t i = 0; i < count; ++i) {
        rename = Rename{};
        describe(i, rename);
        const auto start = std::chrono::steady_clock::now();
        Outcome outcome = attempt(*session, rename);
        if (watch) {
            blockTime += std::chrono::steady_clock::now() - start;
            if ((i + 1) % kBlock == 0) {
                slowBlocks = blockTime >= kBlock * kSlowRename ? slowBlocks + 1 : 0;
                blockTime = {};
                if (slowBlocks == kSlowBlocks) {
                    settle(i, outcome);
                    return i + 1;
                }
            }
        }
        settle(i, outcome);
    }
    return count;
}

void RenameScheduler::runInParallel(std::size_t begin, std::size_t count, const Describe& describe,
                                    const Settle& settle) {
    // Renames described but not yet handed back, at most this many: memory stays bounded
    // however long the run is.
    const std::size_t window = static_cast<std::size_t>(m_jobs) * 64;

    std::mutex mutex;
    std::condition_variable workReady;  // for the workers
    std::condition_variable chainDone;  // for this thread
    std::deque<Chain*> ready;
    bool stopping = false;

    // Chains in the run's order, from the oldest one not yet handed back.
    std::deque<std::unique_ptr<Chain>> chains;
    // The newest chain of each directory whose renames are not all done.
    std::unordered_map<std::string, Chain*> lastOfDirectory;
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
            for (std::size_t i = 0; i < chain->renames.size(); ++i) {
                try {
                    chain->outcomes[i] = attempt(*session, chain->renames[i]);
                } catch (...) {
                    // The run ends there: the renames after it in the chain never start.
                    chain->outcomes[i].thrown = std::current_exception();
                    break;
                }
            }
            lock.lock();
            chain->done = true;
            for (Chain* dependent : chain->dependents) {
                if (--dependent->unmet == 0 && dependent->released)
                    ready.push_back(dependent);
            }
            workReady.notify_all();
            chainDone.notify_one();
        }
    };

    // Links `chain` after `before` (under the mutex).
    auto waitFor = [](Chain* chain, Chain* before) {
        if (before && before != chain && !before->done) {
            before->dependents.push_back(chain);
            ++chain->unmet;
        }
    };

    std::vector<std::thread> workers;
    for (int i = 0; i < m_jobs; ++i)
        workers.emplace_back(worker);
    auto stop = [&] {
        {
            std::lock_guard<std::mutex> lock(mutex);
            stopping = true;
            ready.clear();
        }
        workReady.notify_all();
        for (std::thread& w : workers)
            w.join();
    };

    // The outcome being handed back: where to go on after an exception.
    std::size_t settling = 0;
    try {
        std::size_t described = begin;
        std::size_t settled = begin;
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

        while (settled < count) {
            // Describe ahead while there is room.
            while (described < count && inWindow < window) {
                Rename rename;
                describe(described, rename);
                const std::string directory(directoryOfPath(rename.from));
                const bool joins =
                    open && open->directory == directory && rename.fence == Fence::None;
                if (!joins) {
                    release();
                    auto chain = std::make_unique<Chain>();
                    chain->first = described;
                    chain->directory = directory;
                    std::lock_guard<std::mutex> lock(mutex);
                    Chain* c = chain.get();
                    const auto same = lastOfDirectory.find(directory);
                    if (same != lastOfDirectory.end())
                        waitFor(c, same->second);
                    waitFor(c, lastHolding);
                    if (rename.fence == Fence::WaitsForEarlier) {
                        for (const auto& earlier : chains)
                            waitFor(c, earlier.get());
                    }
                    lastOfDirectory[directory] = c;
                    if (rename.fence == Fence::HoldsLater)
                        lastHolding = c;
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

            // Hand back the oldest chain once it is done.
            Chain* oldest = chains.front().get();
            {
                std::unique_lock<std::mutex> lock(mutex);
                chainDone.wait(lock, [&] { return oldest->done; });
                const auto same = lastOfDirectory.find(oldest->directory);
                if (same != lastOfDirectory.end() && same->second == oldest)
                    lastOfDirectory.erase(same);
                if (lastHolding == oldest)
                    lastHolding = nullptr;
            }
            for (settling = 0; settling < oldest->renames.size(); ++settling) {
                if (oldest->outcomes[settling].thrown)
                    std::rethrow_exception(oldest->outcomes[settling].thrown);
                settle(oldest->first + settling, oldest->outcomes[settling]);
            }
            settling = 0;
            settled += oldest->renames.size();
            inWindow -= oldest->renames.size();
            chains.pop_front();
        }
    } catch (...) {
        // Renames under way finish; nothing new starts. Every rename that was tried is handed
        // back: after the one that failed, the rest of its chain and every other chain.
        const std::exception_ptr error = std::current_exception();
        stop();
        for (std::size_t c = 0; c < chains.size(); ++c) {
            Chain& chain = *chains[c];
            for (std::size_t i = c == 0 ? settling + 1 : 0; i < chain.outcomes.size(); ++i) {
                if (!chain.outcomes[i].tried || chain.outcomes[i].thrown)
                    continue;
                try {
                    settle(chain.first + i, chain.outcomes[i]);
                } catch (...) {
                    // The first exception is the one that goes on.
                }
            }
        }
        std::rethrow_exception(error);
    }
    stop();
}

}  // namespace zr
