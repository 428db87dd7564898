// SPDX-License-Identifier: GPL-3.0-or-later
// What keeping several file-system calls in flight needs from the system: telling a slow file
// system from a busy machine, and threads, which the system may refuse.
#pragma once

#include <chrono>
#include <functional>
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

// Starts up to `count` threads that run `work`; fewer, down to none, when the system refuses
// one (its limit of processes, memory). A run then keeps fewer calls in flight, never aborts.
std::vector<std::thread> startThreads(int count, const std::function<void()>& work);

}  // namespace zr
