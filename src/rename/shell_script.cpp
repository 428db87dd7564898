// SPDX-License-Identifier: GPL-3.0-or-later
#include "rename/shell_script.h"

#include "rules/escaped_text.h"

namespace zr {

namespace {

std::string moveLine(std::string_view from, std::string_view to) {
    const std::string target = shellQuoted(to);
    // The name as the message shows it, where that differs from its bytes: a name is shown,
    // never obeyed, so no control byte of it reaches the terminal.
    const std::string shown = escapeTsv(to);
    const std::string display = shown == to ? std::string() : " " + shellQuoted(shown);
    return "taken " + target + display + " || mv -n -- " + shellQuoted(from) + " " + target +
           " || failed=1";
}

}  // namespace

std::string shellQuoted(std::string_view bytes) {
    std::string out = "'";
    out.reserve(bytes.size() + 2);
    for (const char c : bytes) {
        if (c == '\'')
            out += "'\\''";
        else
            out += c;
    }
    out += '\'';
    return out;
}

void writeShellScriptHeader(TextFile& file, std::string_view kind, const std::string& date,
                            const std::string& time, std::size_t count) {
    const std::string k(kind);
    file.writeLine("#!/bin/sh");
    file.writeLine("# Renamer " + k + " file from " + date + " " + time);
    file.writeLine("# to " + k + " queued " + std::to_string(count) + " file(s)");
    file.writeLine("#");
    file.writeLine(
        "# Every path is absolute, so the script can run from any directory. Each entry");
    file.writeLine(
        "# is one mv -n, which never replaces an existing entry. An entry whose new name");
    file.writeLine(
        "# is taken already (by a file, a directory or a link) is left as it is and named");
    file.writeLine(
        "# on standard error, as is one that mv cannot rename; the script then ends with");
    file.writeLine("# status 1, after trying every other entry.");
    file.writeLine("");
    file.writeLine("failed=0");
    file.writeLine("");
    file.writeLine(
        "# Whether an entry named $1 exists. mv would move an entry into a directory of");
    file.writeLine("# that name, and -n alone would skip a file of that name without a word.");
    file.writeLine("# $2, when given, is the name as the message shows it, its control bytes");
    file.writeLine("# escaped.");
    file.writeLine("taken() {");
    file.writeLine("    if [ -e \"$1\" ] || [ -h \"$1\" ]; then");
    file.writeLine("        printf 'not renamed, the name is taken: %s\\n' \"${2-$1}\" >&2");
    file.writeLine("        failed=1");
    file.writeLine("    else");
    file.writeLine("        return 1");
    file.writeLine("    fi");
    file.writeLine("}");
    file.writeLine("");
}

void writeShellScriptEnd(TextFile& file) {
    file.writeLine("");
    file.writeLine("exit \"$failed\"");
}

std::string shellRenameLine(const JournalEntry& entry) {
    return moveLine(entry.oldFullPath(), entry.newFullPath());
}

std::string shellUndoLine(const JournalEntry& entry) {
    return moveLine(entry.newFullPath(), entry.oldFullPath());
}

}  // namespace zr
