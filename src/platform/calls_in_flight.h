// SPDX-License-Identifier: GPL-3.0-or-later
// What keeping several file-system calls in flight needs from the system: telling a slow file
// system from a busy machine, and threads, which the system may refuse.
#pragma once

#include <chrono>
#include <functional>
#include <string_view>
#include <thread>
#include <vector>

namespace zr {

// Tells, from the calls one thread makes, whether they wait for the file system (a network
// share, a disk that must be read), so that more calls in flight would shorten the run. On a
// busy machine a call that waits for a processor takes as long, but the thread never sleeps in
// it, and more threads would only wait for processors too: only calls that slept count.
//
// Calls are timed in blocks of kBlockCalls. A block whose calls took kSlowCall each on average
// has the following blocks checked call by call for sleeps (which costs a system call on each
// side of a call, so only while calls are long anyway); `slowBlocks` checked blocks in a row
// whose calls slept that long make the calls slow, for good. Where the system cannot tell
// sleeps, long calls alone count.
class SlowCallWatch {
public:
    static constexpr int kBlockCalls = 8;
    static constexpr std::chrono::microseconds kSlowCall{100};

    explicit SlowCallWatch(int slowBlocks);

    // Around each call, on the thread that makes them.
    void begin();
    // True once the calls are found slow.
    bool end();
    bool slow() const { return m_slow; }

private:
    using Clock = std::chrono::steady_clock;

    const int m_slowBlocks;
    bool m_slow = false;
    bool m_checking = false;
    int m_calls = 0;
    int m_slowInARow = 0;
    Clock::duration m_time{};
    Clock::time_point m_start;
    long m_sleepsAtStart = 0;
};

// Decides by trying whether calls in flight shorten a run whose calls do not sleep (a local disk
// whose data the system holds in memory): on an idle machine with processors to spare, threads
// that make the calls overlap the run's own work; on a busy one they only wait for processors
// too. The run reports each unit of work done (an entry walked). After kFirstUnits units, it is
// timed over at least kWindowUnits units and kWindowTime one call at a time (long enough that a
// busy machine taking the processor away for a while does not decide it); then calls go in
// flight for as many units, and stay there only if these took at most nine tenths of that time,
// which is checked again over every following stretch as long. A trial is cut short as soon as
// it can no longer pay, so that it costs at most one stretch; the next one comes after a wait
// twice as long as the last.
class InFlightTrial {
public:
    enum class Switch { Stay, Start, Stop };
    static constexpr int kFirstUnits = 256;
    static constexpr int kWindowUnits = 512;
    static constexpr std::chrono::milliseconds kWindowTime{10};
    // Units a failed trial first waits for, in stretches.
    static constexpr int kFirstGap = 16;

    // After each unit of work: whether calls go in flight now (Start), go back to one at a
    // time (Stop), or stay as they are.
    Switch done();
    // Whether the next unit ends the trial: the work it handed to the calls in flight is to be
    // finished before, so that the trial is timed for all of it.
    bool deciding() const { return m_phase == Phase::Trying && m_units + 1 >= m_stretchUnits; }
    // The trial that done() just started is not to run after all (no processor is free for
    // it): one call at a time goes on, and a trial is due again after a gap.
    void decline();

private:
    using Clock = std::chrono::steady_clock;
    enum class Phase { Waiting, Measuring, Trying, InFlight };

    Phase m_phase = Phase::Waiting;
    long m_wait = kFirstUnits;
    long m_gap = kFirstGap;
    long m_units = 0;
    long m_stretchUnits = 0;
    Clock::duration m_stretchTime{};
    Clock::time_point m_start;
};

// Whether a processor has nothing to run, from the text of /proc/stat (its "procs_running": the
// threads ready to run at this moment, the asking one among them) and the processors online.
// True where the text does not say: a trial of calls in flight then tells whether they pay.
bool processorFreeIn(std::string_view procStat, long processors);

// Starts up to `count` threads that run `work`; fewer, down to none, when the system refuses
// one (its limit of processes, memory). A run then keeps fewer calls in flight, never aborts.
std::vector<std::thread> startThreads(int count, const std::function<void()>& work);

}  // namespace zr
