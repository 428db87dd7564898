// SPDX-License-Identifier: GPL-3.0-or-later
// The system clock and the user's LC_TIME formats.
#include <ctime>

#include "platform/clock.h"

namespace zr {

namespace {

std::string format(std::time_t t, const char* pattern) {
    std::tm local{};
    localtime_r(&t, &local);
    char buffer[128];
    const std::size_t n = std::strftime(buffer, sizeof buffer, pattern, &local);
    return std::string(buffer, n);
}

class SystemClock : public Clock {
public:
    std::time_t now() override { return std::time(nullptr); }
    std::string formatDate(std::time_t t) override { return format(t, "%x"); }
    std::string formatTime(std::time_t t) override { return format(t, "%X"); }
};

}  // namespace

std::unique_ptr<Clock> makeSystemClock() {
    return std::make_unique<SystemClock>();
}

std::string formatIsoTime(std::time_t t) {
    // strftime's %z has no colon ("+0100"); the extended form that goes with the dashes has.
    std::string text = format(t, "%Y-%m-%dT%H:%M:%S%z");
    if (text.size() >= 5)
        text.insert(text.size() - 2, 1, ':');
    return text;
}

}  // namespace zr
