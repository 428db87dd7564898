// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/calls_in_flight.h"

#include <sys/resource.h>

#include <algorithm>
#include <charconv>
#include <new>
#include <system_error>

namespace zr {

namespace {

// How often the calling thread has slept (waited for something other than a processor) so far;
// -1 where the system does not say.
long voluntarySwitches() {
    rusage usage{};
    if (getrusage(RUSAGE_THREAD, &usage) != 0)
        return -1;
    return usage.ru_nvcsw;
}

}  // namespace

SlowCallWatch::SlowCallWatch(int slowBlocks) : m_slowBlocks(slowBlocks) {}

void SlowCallWatch::begin() {
    if (m_checking)
        m_sleepsAtStart = voluntarySwitches();
    m_start = Clock::now();
}

bool SlowCallWatch::end() {
    if (m_slow)
        return true;
    const Clock::duration took = Clock::now() - m_start;
    if (!m_checking) {
        m_time += took;
    } else {
        const long sleeps = voluntarySwitches();
        // Where sleeps cannot be told, the time alone decides.
        if (sleeps < 0 || m_sleepsAtStart < 0 || sleeps > m_sleepsAtStart)
            m_time += took;
    }
    if (++m_calls < kBlockCalls)
        return false;
    const bool longBlock = m_time >= kBlockCalls * kSlowCall;
    if (m_checking && longBlock) {
        m_slow = ++m_slowInARow >= m_slowBlocks;
    } else {
        m_slowInARow = 0;
        m_checking = longBlock;
    }
    m_calls = 0;
    m_time = {};
    return m_slow;
}

InFlightTrial::Switch InFlightTrial::done() {
    switch (m_phase) {
        case Phase::Waiting:
            if (--m_wait <= 0) {
                m_phase = Phase::Measuring;
                m_units = 0;
                m_start = Clock::now();
            }
            return Switch::Stay;
        case Phase::Measuring: {
            // The clock is read every few units only: it costs as much as a quick call.
            if (++m_units < kWindowUnits || m_units % 16 != 0)
                return Switch::Stay;
            const Clock::time_point now = Clock::now();
            if (now - m_start < kWindowTime)
                return Switch::Stay;
            m_stretchUnits = m_units;
            m_stretchTime = now - m_start;
            m_phase = Phase::Trying;
            m_units = 0;
            // The trial's time counts from here: starting the calls in flight is part of its cost.
            m_start = Clock::now();
            return Switch::Start;
        }
        case Phase::Trying:
        case Phase::InFlight: {
            ++m_units;
            if (m_units % 16 != 0 && m_units < m_stretchUnits)
                return Switch::Stay;
            const Clock::time_point now = Clock::now();
            const bool pays = (now - m_start) * 10 < m_stretchTime * 9;
            if (!pays) {
                // Back to one call at a time, and measured afresh before the next trial.
                m_phase = Phase::Waiting;
                m_wait = m_gap * m_stretchUnits;
                m_gap *= 2;
                return Switch::Stop;
            }
            if (m_units >= m_stretchUnits) {
                m_phase = Phase::InFlight;
                m_units = 0;
                m_start = now;
            }
            return Switch::Stay;
        }
    }
    return Switch::Stay;
}

void InFlightTrial::decline() {
    // The gap does not grow: the machine's load, not the file system, said no.
    m_phase = Phase::Waiting;
    m_wait = m_gap * m_stretchUnits;
}

bool processorFreeIn(std::string_view procStat, long processors) {
    constexpr std::string_view key = "procs_running ";
    for (std::size_t at = 0; at < procStat.size();) {
        const std::size_t end = std::min(procStat.find('\n', at), procStat.size());
        const std::string_view line = procStat.substr(at, end - at);
        at = end + 1;
        if (!line.starts_with(key))
            continue;
        long running = 0;
        const std::string_view digits = line.substr(key.size());
        const auto [rest, error] =
            std::from_chars(digits.data(), digits.data() + digits.size(), running);
        if (error != std::errc() || rest == digits.data() || processors < 1)
            return true;
        return running < processors;
    }
    return true;
}

std::vector<std::thread> startThreads(int count, const std::function<void()>& work) {
    std::vector<std::thread> threads;
    try {
        threads.reserve(static_cast<std::size_t>(count));
        for (int i = 0; i < count; ++i)
            threads.emplace_back(work);
    } catch (const std::system_error&) {
        // Refused: the ones started so far do the work.
    } catch (const std::bad_alloc&) {
    }
    return threads;
}

}  // namespace zr
