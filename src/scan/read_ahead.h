// SPDX-License-Identifier: GPL-3.0-or-later
// Directory listings and entry details read ahead of a walk by a few threads, so that on a slow
// file system (a network share) many calls wait at once while the walk itself stays in order on
// its own thread.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "platform/file_system.h"

namespace zr {

// A directory read whole: its entries in the file system's order, and its handle for entering
// its subdirectories and reading the details of its entries.
struct ReadListing {
    // Entering it failed with this errno; the walk enters it again itself, so the failure is
    // met and reported at its place in the walk.
    int enterError = 0;
    // Null when it could be entered but not listed.
    std::shared_ptr<DirectoryListing> handle;
    std::vector<DirEntry> entries;
};

// Reads `listing` to its end.
std::vector<DirEntry> readWhole(DirectoryListing& listing);

// The place of a directory in the walk's order: the positions of the entries that lead to it
// from the start directory, so that comparing two places compares when the walk reaches them.
using WalkPlace = std::vector<std::uint32_t>;

// Reads the subdirectories of a walk ahead of it, in the order the walk will want them (depth
// first), with up to `jobs` calls at once and a bounded number read but not yet taken; and the
// size and time of entries, asked for one by one and taken in the order asked. Every call it
// makes is one the walk would make itself; what the walk never reaches is at most read in vain.
// The threads take the details asked for in batches and hand them back a batch at a time, and
// are woken only when they are needed, so that the walk and they meet at the lock once per batch
// rather than once per entry. Threads the system refuses leave fewer calls in flight; with none,
// the walk reads everything itself as it asks for it, one call at a time.
class ReadAhead {
public:
    explicit ReadAhead(int jobs);
    ~ReadAhead();
    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;

    // Asks for the subdirectory `name` of `parent`, which the walk reaches at `place`; the
    // subdirectories of what is read are asked for in turn.
    void request(WalkPlace place, std::shared_ptr<DirectoryListing> parent, std::string name);
    // The directory at `place`, as soon as it is read; one not started yet is read now, on this
    // thread. Null when it was never asked for.
    std::unique_ptr<ReadListing> take(const WalkPlace& place);

    // Asks for the size and time of `name` in `listing`; the answers are taken in this order.
    void requestInfo(std::shared_ptr<DirectoryListing> listing, std::string name);
    // The next answer, in the order asked: true with `known` (whether the entry could be read)
    // and `info`; false when none is asked for, or, without `wait`, when it is not there yet.
    bool takeInfo(bool wait, EntryInfo& info, bool& known);

    // Work for one entry that the walk needs before it can compute the entry's name (reading
    // what its file holds), done on a thread ahead of the walk. The work must be safe to run on
    // any thread; it runs once, before awaitWork() returns for its ticket.
    using Ticket = std::uint64_t;
    Ticket requestWork(std::function<void()> work);
    // Waits until the work of `ticket` is done; work no thread has started is done here.
    void awaitWork(Ticket ticket);

    // Drops the listings not started and waits for those under way (the walk was stopped or
    // met an error); no listing is read ahead after it. Details asked for are still answered.
    void cancel();

private:
    struct Slot {
        std::shared_ptr<DirectoryListing> parent;
        std::string name;
        enum class State { Waiting, Running, Done } state = State::Waiting;
        std::unique_ptr<ReadListing> result;
    };
    struct InfoJob {
        std::shared_ptr<DirectoryListing> listing;
        std::string name;
        bool done = false;
        bool known = false;
        EntryInfo info;
    };
    struct WorkJob {
        std::function<void()> work;
        bool started = false;
        bool done = false;
    };
    // Details a thread takes at once, at most.
    static constexpr std::size_t kInfoBatch = 32;
    // Details that may wait for each thread at work before an idle one is woken.
    static constexpr std::size_t kInfoBacklog = 2;

    void work();
    static std::unique_ptr<ReadListing> read(DirectoryListing& parent, const std::string& name);
    // Asks for the subdirectories of what was read at `place` (under the mutex).
    void requestChildren(const WalkPlace& place, const ReadListing& listing);
    // Wakes a thread for work that was added, if one is idle (under the mutex).
    void wakeOne();
    // The walk waits on m_done until `ready` (under the mutex, held by `lock`).
    template <class Ready>
    void waitForThreads(std::unique_lock<std::mutex>& lock, Ready ready);

    const std::size_t m_jobs;
    const std::size_t m_limit;  // listings read or being read but not taken
    mutable std::mutex m_mutex;
    std::condition_variable m_work;
    std::condition_variable m_done;
    std::map<WalkPlace, Slot> m_slots;
    std::set<WalkPlace> m_waiting;  // the slots not started, first in the walk's order first
    std::size_t m_busy = 0;         // slots running or done
    // The details asked for, in order; the first m_infosStarted are taken by a thread (or the
    // walk). A thread holds its batch by address: a deque keeps its elements in place while
    // others are added at the back and taken from the front, and only done ones are taken.
    std::deque<InfoJob> m_infos;
    std::size_t m_infosStarted = 0;
    // The work for entries, by ticket; the tickets no thread has started, oldest first (a ticket
    // the walk took over itself is passed over).
    std::map<Ticket, WorkJob> m_works;
    std::deque<Ticket> m_worksWaiting;
    Ticket m_nextTicket = 1;
    std::size_t m_idle = 0;    // threads waiting for work
    bool m_walkWaits = false;  // the walk waits on m_done
    bool m_cancelled = false;
    bool m_stopping = false;
    std::vector<std::thread> m_threads;
};

}  // namespace zr
