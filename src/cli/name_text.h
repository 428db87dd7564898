// SPDX-License-Identifier: GPL-3.0-or-later
// How names, which are the file system's bytes and need not be UTF-8, are written on a terminal:
// tab-separated cells (rules/escaped_text.h) and JSON strings, and how wide they show. Every
// form can be turned back into the exact bytes.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "rules/escaped_text.h"

namespace zr {

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
