// SPDX-License-Identifier: GPL-3.0-or-later
// Reproducible trees of files for benchmarks: N files over nested directories, or in one folder,
// with mixed extensions, upper- and lower-case names and accented names.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace zr::bench {

struct TreeStats {
    std::size_t files = 0;
    std::size_t directories = 0;
    std::size_t upperCaseJpegs = 0;  // names a lower-case rule with "*.JPG" would change
};

// Creates `files` empty files below `root` (which must not exist yet): 50 per directory, in
// directories two levels deep. Every name has a capital letter; four in ten end with ".JPG".
// The same arguments always give the same tree.
TreeStats buildTree(const std::string& root, std::size_t files);

// Creates `files` empty files with the same names directly in `root` (which must not exist
// yet): one huge folder.
TreeStats buildFlatFolder(const std::string& root, std::size_t files);

// The relative paths buildTree creates for `files` files, in creation order.
std::vector<std::string> treePaths(std::size_t files);

// Removes a tree made by buildTree (or any tree).
void removeTree(const std::string& root);

// A folder for benchmark trees: $ZR_BENCH_DIR, else $TMPDIR, else /tmp, plus a fresh name.
std::string freshBenchFolder(const std::string& name);

}  // namespace zr::bench
