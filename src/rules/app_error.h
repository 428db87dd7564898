// SPDX-License-Identifier: GPL-3.0-or-later
// Errors that end a whole command and reach the top of its handler, where the front end shows
// them (the window in an error box titled with the application's title, the command line on
// standard error).
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace zr {

// An error that abandons the running command. The message is the exact text shown to the user,
// before the full-stop rule of errorBoxText().
class AppError : public std::runtime_error {
public:
    explicit AppError(const std::string& message) : std::runtime_error(message) {}
};

// The text of the error box: the message, with a full stop added when its last character has a
// code above that of "." (so "... at (3)" gets none, "File access denied" gets one).
std::string errorBoxText(std::string_view message);

// The message for a system error number: "File not found", "Invalid filename", "Too many open
// files" and "File access denied" for the errors of those meanings, as the original platform
// words them, the program's own words for the errors of its checks, and the system's words for
// any other.
std::string systemErrorText(int errorNumber);
// The same for a folder the walk cannot enter or leave, where any other error reads "I/O error"
// and its number, as the original platform's walk says it.
std::string directoryErrorText(int errorNumber);

// Inside a catch block: the message of the exception being handled. An AppError's own text,
// "Out of memory" when memory ran out, the text of any other standard exception, and
// "Unexpected error" for anything else; so every exception ends a command like an error.
std::string currentErrorText();

}  // namespace zr
