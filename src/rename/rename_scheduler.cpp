#include "rename/rename_scheduler.h"

#include <algorithm>
#include <cerrno>
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
    outcome.error =
        rename.refused ? EPERM : session.rename(rename.from, rename.to, outcome.strandedAt);
    return outcome;
}

}  // namespace

RenameScheduler::RenameScheduler(FileSystem& fileSystem, int jobs)
    : m_fileSystem(fileSystem), m_jobs(std::max(jobs, 1)) {}

void RenameScheduler::run(std::size_t count, const Describe& describe, const Settle& settle) {
    if (m_jobs == 1 || count < 2)
        runInOrder(count, describe, settle);
    else
        runInParallel(count, describe, settle);
}

void RenameScheduler::runInOrder(std::size_t count, const Describe& describe,
                                 const Settle& settle) {
    const std::unique_ptr<RenameSession> session = m_fileSystem.openRenameSession();
    Rename rename;
    for (std::size_t i = 0; i < count; ++i) {
        rename = Rename{};
        describe(i, rename);
        Outcome outcome = attempt(*session, rename);
        settle(i, outcome);
    }
}

void RenameScheduler::runInParallel(std::size_t count, const Describe& describe,
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

    try {
        std::size_t described = 0;
        std::size_t settled = 0;
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
            for (std::size_t i = 0; i < oldest->renames.size(); ++i) {
                if (oldest->outcomes[i].thrown)
                    std::rethrow_exception(oldest->outcomes[i].thrown);
                settle(oldest->first + i, oldest->outcomes[i]);
            }
            settled += oldest->renames.size();
            inWindow -= oldest->renames.size();
            chains.pop_front();
        }
    } catch (...) {
        // Renames under way finish; nothing new starts.
        stop();
        throw;
    }
    stop();
}

}  // namespace zr
