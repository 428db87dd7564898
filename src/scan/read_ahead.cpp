// SPDX-License-Identifier: GPL-3.0-or-later
#include "scan/read_ahead.h"

#include <algorithm>

namespace zr {

std::vector<DirEntry> readWhole(DirectoryListing& listing) {
    std::vector<DirEntry> entries;
    DirEntry entry;
    while (listing.next(entry))
        entries.push_back(entry);
    return entries;
}

ReadAhead::ReadAhead(int jobs) : m_limit(static_cast<std::size_t>(std::max(jobs, 1)) * 4) {
    for (int i = 0; i < std::max(jobs, 1); ++i)
        m_threads.emplace_back([this] { work(); });
}

ReadAhead::~ReadAhead() {
    cancel();
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        // Details being read are waited for; those not started are not read any more.
        m_infos.erase(m_infos.begin() + static_cast<std::ptrdiff_t>(m_firstUnstarted),
                      m_infos.end());
        m_done.wait(lock, [&] {
            return std::all_of(m_infos.begin(), m_infos.end(),
                               [](const auto& job) { return job->done; });
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
    }
}

void ReadAhead::request(WalkPlace place, std::shared_ptr<DirectoryListing> parent,
                        std::string name) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_cancelled || m_slots.count(place) != 0)
            return;
        Slot& slot = m_slots[place];
        slot.parent = std::move(parent);
        slot.name = std::move(name);
        m_waiting.insert(std::move(place));
    }
    m_work.notify_one();
}

void ReadAhead::work() {
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        m_work.wait(lock, [&] {
            return m_stopping || m_firstUnstarted < m_infos.size() ||
                   (!m_waiting.empty() && m_busy < m_limit);
        });
        if (m_stopping)
            return;
        // The details of rows first: the walk waits for them soonest.
        if (m_firstUnstarted < m_infos.size()) {
            const std::shared_ptr<InfoJob> job = m_infos[m_firstUnstarted++];
            job->started = true;
            lock.unlock();
            EntryInfo details;
            const bool known = job->listing->info(job->name, details);
            lock.lock();
            job->info = details;
            job->known = known;
            job->done = true;
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
        m_done.notify_all();
        m_work.notify_all();
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
        m_work.notify_all();
        return result;
    }
    m_done.wait(lock, [&] { return m_slots.at(place).state == Slot::State::Done; });
    const auto done = m_slots.find(place);
    std::unique_ptr<ReadListing> result = std::move(done->second.result);
    m_slots.erase(done);
    --m_busy;
    m_work.notify_all();
    return result;
}

void ReadAhead::requestInfo(std::shared_ptr<DirectoryListing> listing, std::string name) {
    auto job = std::make_shared<InfoJob>();
    job->listing = std::move(listing);
    job->name = std::move(name);
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_infos.push_back(std::move(job));
    }
    m_work.notify_one();
}

bool ReadAhead::takeInfo(bool wait, EntryInfo& info, bool& known) {
    std::unique_lock<std::mutex> lock(m_mutex);
    if (m_infos.empty())
        return false;
    const std::shared_ptr<InfoJob> job = m_infos.front();
    if (!job->done) {
        if (!wait)
            return false;
        if (!job->started) {
            // Nobody has it yet: read it here.
            job->started = true;
            ++m_firstUnstarted;
            lock.unlock();
            job->known = job->listing->info(job->name, job->info);
            lock.lock();
            job->done = true;
        }
        m_done.wait(lock, [&] { return job->done; });
    }
    m_infos.pop_front();
    --m_firstUnstarted;
    info = job->info;
    known = job->known;
    return true;
}

void ReadAhead::cancel() {
    std::unique_lock<std::mutex> lock(m_mutex);
    m_cancelled = true;
    // The listings that wait are dropped, and those being read once they are; the details of
    // rows already asked for are still wanted.
    for (const WalkPlace& place : m_waiting)
        m_slots.erase(place);
    m_waiting.clear();
    m_done.wait(lock, [&] {
        return std::none_of(m_slots.begin(), m_slots.end(),
                            [](const auto& s) { return s.second.state == Slot::State::Running; });
    });
    m_slots.clear();
    m_busy = 0;
}

}  // namespace zr
