// SPDX-License-Identifier: GPL-3.0-or-later
#include "scan/read_ahead.h"

#include <algorithm>

#include "platform/calls_in_flight.h"

namespace zr {

std::vector<DirEntry> readWhole(DirectoryListing& listing) {
    std::vector<DirEntry> entries;
    DirEntry entry;
    while (listing.next(entry))
        entries.push_back(entry);
    return entries;
}

ReadAhead::ReadAhead(int jobs)
    : m_jobs(static_cast<std::size_t>(std::max(jobs, 1))), m_limit(m_jobs * 4) {
    m_threads = startThreads(static_cast<int>(m_jobs), [this] { work(); });
}

ReadAhead::~ReadAhead() {
    cancel();
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        // Details being read are waited for; those not started are not read any more.
        m_infos.erase(m_infos.begin() + static_cast<std::ptrdiff_t>(m_infosStarted), m_infos.end());
        m_worksWaiting.clear();
        waitForThreads(lock, [&] {
            return std::all_of(m_infos.begin(), m_infos.end(),
                               [](const InfoJob& job) { return job.done; }) &&
                   std::all_of(m_works.begin(), m_works.end(), [](const auto& job) {
                       return !job.second.started || job.second.done;
                   });
        });
        m_stopping = true;
    }
    m_work.notify_all();
    for (std::thread& thread : m_threads)
        thread.join();
}

std::unique_ptr<ReadListing> ReadAhead::read(DirectoryListing& parent, const std::string& name) {
    auto result = std::make_unique<ReadListing>();
    std::unique_ptr<DirectoryListing> listing;
    result->enterError = parent.enterSubdirectory(name, listing);
    if (result->enterError == 0 && listing) {
        result->entries = readWhole(*listing);
        result->handle = std::move(listing);
    }
    return result;
}

void ReadAhead::wakeOne() {
    if (m_idle > 0)
        m_work.notify_one();
}

template <class Ready>
void ReadAhead::waitForThreads(std::unique_lock<std::mutex>& lock, Ready ready) {
    m_walkWaits = true;
    m_done.wait(lock, ready);
    m_walkWaits = false;
}

void ReadAhead::requestChildren(const WalkPlace& place, const ReadListing& listing) {
    if (!listing.handle || m_cancelled)
        return;
    for (std::size_t i = 0; i < listing.entries.size(); ++i) {
        const DirEntry& entry = listing.entries[i];
        if (!entry.isDirectory || entry.name == "." || entry.name == "..")
            continue;
        WalkPlace child = place;
        child.push_back(static_cast<std::uint32_t>(i));
        Slot& slot = m_slots[child];
        slot.parent = listing.handle;
        slot.name = entry.name;
        m_waiting.insert(std::move(child));
        wakeOne();
    }
}

void ReadAhead::request(WalkPlace place, std::shared_ptr<DirectoryListing> parent,
                        std::string name) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_cancelled || m_slots.count(place) != 0)
        return;
    Slot& slot = m_slots[place];
    slot.parent = std::move(parent);
    slot.name = std::move(name);
    m_waiting.insert(std::move(place));
    wakeOne();
}

void ReadAhead::work() {
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        ++m_idle;
        m_work.wait(lock, [&] {
            return m_stopping || !m_worksWaiting.empty() || m_infosStarted < m_infos.size() ||
                   (!m_waiting.empty() && m_busy < m_limit);
        });
        --m_idle;
        if (m_stopping)
            return;
        // The work for entries first: the walk waits for it before it can go on.
        if (!m_worksWaiting.empty()) {
            const auto found = m_works.find(m_worksWaiting.front());
            m_worksWaiting.pop_front();
            if (found == m_works.end() || found->second.started)
                continue;
            WorkJob& job = found->second;
            job.started = true;
            lock.unlock();
            job.work();
            lock.lock();
            job.done = true;
            if (m_walkWaits)
                m_done.notify_all();
            continue;
        }
        // The details of rows first: the walk waits for them soonest. A share of those asked
        // for, so that every thread gets some, in one batch.
        if (m_infosStarted < m_infos.size()) {
            const std::size_t unstarted = m_infos.size() - m_infosStarted;
            const std::size_t count = std::clamp<std::size_t>(unstarted / m_jobs, 1, kInfoBatch);
            InfoJob* batch[kInfoBatch];
            for (std::size_t i = 0; i < count; ++i)
                batch[i] = &m_infos[m_infosStarted + i];
            m_infosStarted += count;
            lock.unlock();
            for (std::size_t i = 0; i < count; ++i) {
                InfoJob& job = *batch[i];
                job.known = job.listing->info(job.name, job.info);
            }
            lock.lock();
            for (std::size_t i = 0; i < count; ++i)
                batch[i]->done = true;
            if (m_walkWaits)
                m_done.notify_all();
            continue;
        }
        // The first directory in the walk's order that waits.
        const WalkPlace place = *m_waiting.begin();
        m_waiting.erase(m_waiting.begin());
        Slot& slot = m_slots.at(place);
        slot.state = Slot::State::Running;
        ++m_busy;
        const std::shared_ptr<DirectoryListing> parent = slot.parent;
        const std::string name = slot.name;
        lock.unlock();
        std::unique_ptr<ReadListing> result = read(*parent, name);
        lock.lock();
        requestChildren(place, *result);
        Slot& done = m_slots.at(place);
        done.result = std::move(result);
        done.state = Slot::State::Done;
        if (m_walkWaits)
            m_done.notify_all();
    }
}

std::unique_ptr<ReadListing> ReadAhead::take(const WalkPlace& place) {
    std::unique_lock<std::mutex> lock(m_mutex);
    const auto found = m_slots.find(place);
    if (found == m_slots.end())
        return nullptr;
    if (found->second.state == Slot::State::Waiting) {
        // Not started: read it here rather than wait for a thread to come free.
        Slot slot = std::move(found->second);
        m_slots.erase(found);
        m_waiting.erase(place);
        lock.unlock();
        std::unique_ptr<ReadListing> result = read(*slot.parent, slot.name);
        lock.lock();
        requestChildren(place, *result);
        return result;
    }
    waitForThreads(lock, [&] { return m_slots.at(place).state == Slot::State::Done; });
    const auto done = m_slots.find(place);
    std::unique_ptr<ReadListing> result = std::move(done->second.result);
    m_slots.erase(done);
    // Room for one more listing ahead: a thread waiting for it goes on.
    --m_busy;
    if (!m_waiting.empty())
        wakeOne();
    return result;
}

void ReadAhead::requestInfo(std::shared_ptr<DirectoryListing> listing, std::string name) {
    std::lock_guard<std::mutex> lock(m_mutex);
    InfoJob& job = m_infos.emplace_back();
    job.listing = std::move(listing);
    job.name = std::move(name);
    // The threads at work take what waits when they come back, in batches: an idle one is woken
    // only once they have enough to do.
    const std::size_t working = m_threads.size() - m_idle;
    if (m_infos.size() - m_infosStarted > working * kInfoBacklog)
        wakeOne();
}

bool ReadAhead::takeInfo(bool wait, EntryInfo& info, bool& known) {
    std::unique_lock<std::mutex> lock(m_mutex);
    if (m_infos.empty())
        return false;
    InfoJob& job = m_infos.front();
    if (!job.done) {
        if (!wait)
            return false;
        if (m_infosStarted == 0) {
            // Nobody has it yet: read it here.
            ++m_infosStarted;
            lock.unlock();
            job.known = job.listing->info(job.name, job.info);
            lock.lock();
            job.done = true;
        } else {
            // Every idle thread helps with what waits behind it.
            if (m_infosStarted < m_infos.size() && m_idle > 0)
                m_work.notify_all();
            waitForThreads(lock, [&] { return job.done; });
        }
    }
    info = job.info;
    known = job.known;
    m_infos.pop_front();
    --m_infosStarted;
    return true;
}

ReadAhead::Ticket ReadAhead::requestWork(std::function<void()> work) {
    std::lock_guard<std::mutex> lock(m_mutex);
    const Ticket ticket = m_nextTicket++;
    m_works[ticket].work = std::move(work);
    m_worksWaiting.push_back(ticket);
    wakeOne();
    return ticket;
}

void ReadAhead::awaitWork(Ticket ticket) {
    std::unique_lock<std::mutex> lock(m_mutex);
    const auto found = m_works.find(ticket);
    if (found == m_works.end())
        return;
    WorkJob& job = found->second;
    if (!job.started) {
        job.started = true;
        lock.unlock();
        job.work();
        lock.lock();
    } else {
        waitForThreads(lock, [&] { return job.done; });
    }
    m_works.erase(ticket);
}

void ReadAhead::cancel() {
    std::unique_lock<std::mutex> lock(m_mutex);
    m_cancelled = true;
    // The listings that wait are dropped, and those being read once they are; the details of
    // rows already asked for are still wanted.
    for (const WalkPlace& place : m_waiting)
        m_slots.erase(place);
    m_waiting.clear();
    waitForThreads(lock, [&] {
        return std::none_of(m_slots.begin(), m_slots.end(),
                            [](const auto& s) { return s.second.state == Slot::State::Running; });
    });
    m_slots.clear();
    m_busy = 0;
}

}  // namespace zr
