// SPDX-License-Identifier: GPL-3.0-or-later
#include "scan/rename_outcome.h"

namespace zr {

std::string_view conflictReason(Conflict conflict) {
    switch (conflict) {
        case Conflict::None:
            return {};
        case Conflict::InvalidName:
            return "invalid name";
        case Conflict::NameTooLong:
            return "name too long";
        case Conflict::InUse:
            return "working directory";
        case Conflict::Taken:
            return "name taken";
        case Conflict::FreedTooLate:
            return "name freed too late";
        case Conflict::SameNewName:
            return "same new name";
        case Conflict::RuleFailed:
            return "no new name";
    }
    return {};
}

std::string_view conflictExplanation(Conflict conflict) {
    switch (conflict) {
        case Conflict::None:
            return {};
        case Conflict::InvalidName:
            return "the new name is \".\" or \"..\" or holds a \"/\", so it would move the entry "
                   "to another folder.";
        case Conflict::NameTooLong:
            return "the new name is longer than the file system of this folder allows.";
        case Conflict::InUse:
            return "this folder is the working directory of the run or holds it, so it is in "
                   "use.";
        case Conflict::Taken:
            return "another entry of this folder has the new name and keeps it; nothing is "
                   "overwritten.";
        case Conflict::FreedTooLate:
            return "the entry that has the new name is renamed only after this one.";
        case Conflict::SameNewName:
            return "another entry of this folder is renamed to the same name first.";
        case Conflict::RuleFailed:
            return "the rules give this entry no new name.";
    }
    return {};
}

bool isPlainName(std::string_view name) {
    // Two scans of the name for one byte each: find_first_of would look up every byte.
    return !name.empty() && name != "." && name != ".." &&
           name.find('/') == std::string_view::npos && name.find('\0') == std::string_view::npos;
}

bool holdsDirectory(std::string_view path, std::string_view workingDirectory) {
    // An entry of the root reads "//name".
    while (path.starts_with("//"))
        path.remove_prefix(1);
    if (path.empty() || !workingDirectory.starts_with(path))
        return false;
    return workingDirectory.size() == path.size() || workingDirectory[path.size()] == '/' ||
           path == "/";
}

Conflict refusedRename(std::string_view oldFullPath, std::string_view newName,
                       std::string_view workingDirectory) {
    if (!isPlainName(newName))
        return Conflict::InvalidName;
    if (holdsDirectory(oldFullPath, workingDirectory))
        return Conflict::InUse;
    return Conflict::None;
}

}  // namespace zr
