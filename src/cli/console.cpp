// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/console.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

namespace zr {

namespace {

void writeLine(std::FILE* stream, std::string_view prefix, std::string_view text) {
    // An empty view may have no data at all, which fwrite must not be given.
    if (!prefix.empty())
        std::fwrite(prefix.data(), 1, prefix.size(), stream);
    if (!text.empty())
        std::fwrite(text.data(), 1, text.size(), stream);
    std::fputc('\n', stream);
    std::fflush(stream);
}

}  // namespace

Console Console::standard() {
    Console console;
    console.outIsTerminal = isatty(STDOUT_FILENO) == 1;
    console.errIsTerminal = isatty(STDERR_FILENO) == 1;
    const char* const term = std::getenv("TERM");
    console.errTakesControl =
        console.errIsTerminal && term && *term && std::string_view(term) != "dumb";
    winsize size{};
    if (console.errIsTerminal && ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
        console.errColumns = size.ws_col;
    return console;
}

void Console::error(std::string_view text) const {
    std::fflush(out);
    writeLine(err, std::string(kProgramName) + ": ", text);
}

void Console::warning(std::string_view text) const {
    std::fflush(out);
    writeLine(err, std::string(kProgramName) + ": warning: ", text);
}

bool Console::flushOut() const {
    return std::fflush(out) == 0 && !std::ferror(out);
}

void Console::line(std::string_view text, bool toErr) const {
    if (toErr)
        std::fflush(out);
    writeLine(toErr ? err : out, {}, text);
}

}  // namespace zr
