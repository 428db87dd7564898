// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/kept_runs.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>

#include "platform/user_folders.h"

namespace zr {

namespace {

constexpr std::string_view kPrefix = "go-";
constexpr std::string_view kSuffix = ".journal";

}  // namespace

std::string keptRunsFolder() {
    const std::string state = userStateFolder();
    return state.empty() ? std::string() : state + "/runs";
}

std::string newRunJournal(FileSystem& fileSystem, const std::string& folder, int& error) {
    error = fileSystem.createDirectories(folder);
    if (error != 0)
        return {};
    // Universal time, so that the names sort as the runs began whatever the time zone did.
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(now);
    const auto nanoseconds = std::chrono::duration_cast<std::chrono::nanoseconds>(now - seconds);
    const std::time_t t = seconds.count();
    std::tm utc{};
    gmtime_r(&t, &utc);
    char stamp[64];
    const std::size_t n = std::strftime(stamp, sizeof stamp, "%Y%m%dT%H%M%S", &utc);
    char fraction[16];
    std::snprintf(fraction, sizeof fraction, ".%09lldZ",
                  static_cast<long long>(nanoseconds.count()));
    return pathInDirectory(
        folder, std::string(kPrefix) + std::string(stamp, n) + fraction + std::string(kSuffix));
}

std::optional<std::time_t> runBegan(const std::string& journal) {
    const std::string_view name = nameOfPath(journal);
    if (!name.starts_with(kPrefix) || name.size() < kPrefix.size() + 15)
        return std::nullopt;
    std::tm utc{};
    const std::string stamp(name.substr(kPrefix.size(), 15));
    const char* end = strptime(stamp.c_str(), "%Y%m%dT%H%M%S", &utc);
    if (!end || *end != '\0')
        return std::nullopt;
    return timegm(&utc);
}

std::vector<std::string> keptRuns(FileSystem& fileSystem, const std::string& folder) {
    std::vector<std::string> names;
    int error = 0;
    const std::unique_ptr<DirectoryListing> listing = fileSystem.listDirectory(folder, error);
    if (!listing)
        return names;
    DirEntry entry;
    while (listing->next(entry)) {
        if (!entry.isDirectory && entry.name.starts_with(kPrefix) && entry.name.ends_with(kSuffix))
            names.push_back(entry.name);
    }
    std::sort(names.begin(), names.end(), std::greater<>());
    for (std::string& name : names)
        name = pathInDirectory(folder, name);
    return names;
}

void pruneKeptRuns(FileSystem& fileSystem, const std::string& folder) {
    const std::vector<std::string> runs = keptRuns(fileSystem, folder);
    for (std::size_t i = kKeptRuns; i < runs.size(); ++i) {
        std::unique_ptr<FileLock> lock;
        if (fileSystem.lockFile(runs[i], lock) == 0)
            fileSystem.removeFile(runs[i]);
    }
}

}  // namespace zr
