// SPDX-License-Identifier: GPL-3.0-or-later
// The time of day and the user's date and time formats, behind an interface so that tests can
// fix the clock.
#pragma once

#include <ctime>
#include <memory>
#include <string>

namespace zr {

class Clock {
public:
    virtual ~Clock() = default;
    virtual std::time_t now() = 0;
    // The local date in the user's short date format (LC_TIME's "%x").
    virtual std::string formatDate(std::time_t t) = 0;
    // The local time of day in the user's long time format (LC_TIME's "%X").
    virtual std::string formatTime(std::time_t t) = 0;
};

std::unique_ptr<Clock> makeSystemClock();

// The local date and time in ISO 8601 with seconds and the offset from UTC, as
// "2023-11-14T23:13:21+01:00", the same in every locale.
std::string formatIsoTime(std::time_t t);

}  // namespace zr
