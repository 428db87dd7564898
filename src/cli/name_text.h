// How names, which are the file system's bytes and need not be UTF-8, are written where text is
// expected: tab-separated cells (also what a terminal shows), JSON strings and journal fields.
// Every form can be turned back into the exact bytes.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace zr {

// Appends `bytes` with "\\" for a backslash, "\t", "\n" and "\r", and "\xHH" for every other
// control byte and for every byte that is not part of valid UTF-8; with `escapeStar`, "\*" for
// "*" as well. The result is valid UTF-8 without tabs or line breaks.
void appendEscaped(std::string& out, std::string_view bytes, bool escapeStar = false);
std::string escapeTsv(std::string_view bytes);

// Reverses appendEscaped (with "\*" accepted). False, with `error` set, for an unknown escape,
// a lone backslash at the end, "\x00", or a raw control character.
bool unescape(std::string_view text, std::string& out, std::string& error);

// Appends `bytes` as the body of a JSON string (without the quotes): valid UTF-8 as it is, '"'
// and '\\' and control characters escaped, and each byte that is not valid UTF-8 as "\udcXX",
// the lone surrogate U+DC80..U+DCFF it decodes to, so the bytes can be recovered.
void appendJson(std::string& out, std::string_view bytes);

// Columns that UTF-8 text takes on a terminal: wide East Asian characters two, combining marks
// and control characters none.
std::size_t displayWidth(std::string_view text);

// The end of `text` that fits `columns` columns, "..." leading when something was cut.
std::string fitFromEnd(std::string_view text, std::size_t columns);

}  // namespace zr
