// SPDX-License-Identifier: GPL-3.0-or-later
// Temporary folders for tests, under $TMPDIR, removed with everything in them.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace zr::test {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return m_path; }
    // path() + "/" + relative
    std::string operator/(std::string_view relative) const;

private:
    std::string m_path;
};

// A folder opened as a handle, for the calls made relative to it; closed with the object.
class FolderHandle {
public:
    explicit FolderHandle(const std::string& path);
    ~FolderHandle();
    FolderHandle(const FolderHandle&) = delete;
    FolderHandle& operator=(const FolderHandle&) = delete;
    int fd() const { return m_fd; }

private:
    int m_fd;
};

// Removes `path` and everything below it, however deep, through folders without permissions
// too.
void removeTree(const std::string& path);
// Creates `levels` folders named `name`, each inside the one before, below the folder `root`,
// and an empty file `file` in each of them. Made relative to handles, so the deepest paths may
// exceed PATH_MAX.
void makeDeepTree(const std::string& root, int levels, const std::string& name,
                  const std::string& file);

// Creates a file (and its missing parent directories) holding `content`.
void writeFile(const std::string& path, std::string_view content = {});
void makeDirectory(const std::string& path);
std::string readFile(const std::string& path);
bool exists(const std::string& path);
// The names in a directory, sorted, without "." and "..".
std::vector<std::string> listNames(const std::string& directory);
// Every path below `root`, relative to it, sorted; directories end with "/".
std::vector<std::string> listTree(const std::string& root);
// Every path below `root` with what it holds: a file's bytes, "" for a directory, "-> target"
// for a symbolic link; so two trees compare name for name and byte for byte.
std::map<std::string, std::string> snapshotTree(const std::string& root);

}  // namespace zr::test
