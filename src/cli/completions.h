// SPDX-License-Identifier: GPL-3.0-or-later
// Shell completions for zentarel-renamer-cli, written from the same table of flags as --help, so
// the verbs, flags and choices a shell offers are always the ones the program takes.
#pragma once

#include <string>

namespace zr {

// A bash completion file (for /usr/share/bash-completion/completions/), self-contained: it
// needs no helper functions of the bash-completion package.
std::string bashCompletion();
// A zsh completion function file "_zentarel-renamer-cli" (#compdef).
std::string zshCompletion();
// A fish completion file (for vendor_completions.d).
std::string fishCompletion();

}  // namespace zr
