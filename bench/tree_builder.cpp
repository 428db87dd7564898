// SPDX-License-Identifier: GPL-3.0-or-later
#include "tree_builder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>

namespace zr::bench {

namespace {

constexpr std::size_t kFilesPerDirectory = 50;
constexpr std::size_t kDirectoriesPerLevel = 40;

// Every name holds an ASCII capital, so lower case on the whole name changes all of them;
// the accented letters are small ones, which any lower-casing leaves as they are.
const char* const kPatterns[] = {
    "IMG_%06zu.JPG",      "DSC%06zu.jpg",          "Dovolená u moře %zu.JPG",
    "Scan_%zu.PNG",       "Výlet na horu %zu.jpg", "Notes %zu.TXT",
    "P%07zu.JPG",         "Song-%zu.mp3",          "Léto %zu.JPG",
    "Screenshot %zu.png",
};

std::string fileName(std::size_t index) {
    char buffer[128];
    std::snprintf(buffer, sizeof buffer, kPatterns[index % 10], index);
    return buffer;
}

std::string directoryFor(std::size_t index) {
    const std::size_t leaf = index / kFilesPerDirectory;
    return "Album " + std::to_string(leaf / kDirectoriesPerLevel) + "/Day " +
           std::to_string(leaf % kDirectoriesPerLevel);
}

// Creates the empty file of index `index` in `directory`.
void addFile(const std::string& directory, std::size_t index, TreeStats& stats) {
    const std::string name = fileName(index);
    const std::string path = directory + "/" + name;
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
    if (fd < 0)
        throw std::runtime_error("cannot create " + path);
    close(fd);
    ++stats.files;
    if (name.ends_with(".JPG"))
        ++stats.upperCaseJpegs;
}

}  // namespace

std::vector<std::string> treePaths(std::size_t files) {
    std::vector<std::string> paths;
    paths.reserve(files);
    for (std::size_t i = 0; i < files; ++i)
        paths.push_back(directoryFor(i) + "/" + fileName(i));
    return paths;
}

TreeStats buildTree(const std::string& root, std::size_t files) {
    if (mkdir(root.c_str(), 0755) != 0)
        throw std::runtime_error("cannot create " + root);
    TreeStats stats;
    std::string lastDirectory;
    for (std::size_t i = 0; i < files; ++i) {
        const std::string directory = root + "/" + directoryFor(i);
        if (directory != lastDirectory) {
            std::filesystem::create_directories(directory);
            lastDirectory = directory;
            ++stats.directories;
        }
        addFile(directory, i, stats);
    }
    return stats;
}

TreeStats buildFlatFolder(const std::string& root, std::size_t files) {
    if (mkdir(root.c_str(), 0755) != 0)
        throw std::runtime_error("cannot create " + root);
    TreeStats stats;
    stats.directories = 1;
    for (std::size_t i = 0; i < files; ++i)
        addFile(root, i, stats);
    return stats;
}

void removeTree(const std::string& root) {
    std::error_code ignored;
    std::filesystem::remove_all(root, ignored);
}

std::string freshBenchFolder(const std::string& name) {
    const char* base = std::getenv("ZR_BENCH_DIR");
    if (!base || !*base)
        base = std::getenv("TMPDIR");
    if (!base || !*base)
        base = "/tmp";
    std::string pattern = std::string(base) + "/zr-bench-" + name + "-XXXXXX";
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("cannot create a folder under " + std::string(base));
    return pattern;
}

}  // namespace zr::bench
