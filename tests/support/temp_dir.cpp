// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/temp_dir.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace zr::test {

TempDir::TempDir() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/zr-test-XXXXXX";
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("cannot create a temporary folder under " + pattern);
    m_path = pattern;
}

TempDir::~TempDir() {
    removeTree(m_path);
}

FolderHandle::FolderHandle(const std::string& path)
    : m_fd(open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
    if (m_fd < 0)
        throw std::runtime_error("cannot open the folder " + path);
}

FolderHandle::~FolderHandle() {
    close(m_fd);
}

namespace {

// Removes the entry `name` of the folder `parent` with everything below it; relative to
// handles, so no path grows with the depth.
void removeAt(int parent, const char* name) {
    if (unlinkat(parent, name, 0) == 0 || (errno != EISDIR && errno != EPERM))
        return;
    // A folder: let removal through one that a test made unreadable (when that fails, so does
    // the open below).
    [[maybe_unused]] const int madeSearchable = fchmodat(parent, name, 0700, 0);
    const int fd = openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return;
    DIR* dir = fdopendir(fd);
    if (!dir) {
        close(fd);
        return;
    }
    std::vector<std::string> names;
    while (const dirent* d = readdir(dir)) {
        const std::string entry = d->d_name;
        if (entry != "." && entry != "..")
            names.push_back(entry);
    }
    for (const std::string& entry : names)
        removeAt(dirfd(dir), entry.c_str());
    closedir(dir);
    unlinkat(parent, name, AT_REMOVEDIR);
}

}  // namespace

void removeTree(const std::string& path) {
    removeAt(AT_FDCWD, path.c_str());
}

void makeDeepTree(const std::string& root, int levels, const std::string& name,
                  const std::string& file) {
    int dir = open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    for (int level = 0; level < levels && dir >= 0; ++level) {
        mkdirat(dir, name.c_str(), 0755);
        const int next = openat(dir, name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        close(dir);
        dir = next;
        if (dir >= 0)
            close(openat(dir, file.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644));
    }
    if (dir < 0)
        throw std::runtime_error("cannot make a deep tree below " + root);
    close(dir);
}

std::string TempDir::operator/(std::string_view relative) const {
    return m_path + "/" + std::string(relative);
}

void makeDirectory(const std::string& path) {
    std::filesystem::create_directories(path);
}

void writeFile(const std::string& path, std::string_view content) {
    const std::size_t slash = path.rfind('/');
    if (slash != std::string::npos && slash > 0)
        std::filesystem::create_directories(path.substr(0, slash));
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out)
        throw std::runtime_error("cannot write " + path);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + path);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

bool exists(const std::string& path) {
    struct stat st;
    return lstat(path.c_str(), &st) == 0;
}

std::vector<std::string> listNames(const std::string& directory) {
    std::vector<std::string> names;
    DIR* dir = opendir(directory.c_str());
    if (!dir)
        throw std::runtime_error("cannot list " + directory);
    while (const dirent* d = readdir(dir)) {
        const std::string name = d->d_name;
        if (name != "." && name != "..")
            names.push_back(name);
    }
    closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

namespace {

void collect(const std::string& root, const std::string& prefix, std::vector<std::string>& out) {
    for (const std::string& name : listNames(root + (prefix.empty() ? "" : "/" + prefix))) {
        const std::string relative = prefix.empty() ? name : prefix + "/" + name;
        struct stat st;
        lstat((root + "/" + relative).c_str(), &st);
        if (S_ISDIR(st.st_mode)) {
            out.push_back(relative + "/");
            collect(root, relative, out);
        } else {
            out.push_back(relative);
        }
    }
}

}  // namespace

std::vector<std::string> listTree(const std::string& root) {
    std::vector<std::string> out;
    collect(root, "", out);
    std::sort(out.begin(), out.end());
    return out;
}

std::map<std::string, std::string> snapshotTree(const std::string& root) {
    std::map<std::string, std::string> tree;
    for (const std::string& path : listTree(root)) {
        const std::string full = root + "/" + path;
        struct stat st;
        lstat(full.c_str(), &st);
        if (S_ISLNK(st.st_mode))
            tree[path] = "-> " + std::filesystem::read_symlink(full).string();
        else
            tree[path] = path.ends_with("/") ? "" : readFile(full);
    }
    return tree;
}

}  // namespace zr::test
