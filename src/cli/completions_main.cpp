// SPDX-License-Identifier: GPL-3.0-or-later
// zr-completions SHELL FILE: writes the completion file for bash, zsh or fish at build time.
#include <cstdio>
#include <string>
#include <string_view>

#include "cli/completions.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fputs("usage: zr-completions bash|zsh|fish FILE\n", stderr);
        return 2;
    }
    const std::string_view shell = argv[1];
    const std::string text = shell == "bash"   ? zr::bashCompletion()
                             : shell == "zsh"  ? zr::zshCompletion()
                             : shell == "fish" ? zr::fishCompletion()
                                               : std::string();
    if (text.empty()) {
        std::fprintf(stderr, "zr-completions: unknown shell '%s'\n", argv[1]);
        return 2;
    }
    std::FILE* file = std::fopen(argv[2], "w");
    if (!file || std::fputs(text.c_str(), file) < 0 || std::fclose(file) != 0) {
        std::perror(argv[2]);
        return 1;
    }
    return 0;
}
