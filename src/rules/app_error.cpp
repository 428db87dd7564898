// SPDX-License-Identifier: GPL-3.0-or-later
#include "rules/app_error.h"

#include <cerrno>
#include <cstring>
#include <exception>
#include <new>

#include "platform/file_id.h"

namespace zr {

std::string errorBoxText(std::string_view message) {
    std::string text(message);
    // The last character is compared by its code; any byte of a multi-byte UTF-8 character is
    // above ".", as the character itself is.
    if (!text.empty() && static_cast<unsigned char>(text.back()) > static_cast<unsigned char>('.'))
        text += '.';
    return text;
}

namespace {

// The four texts the original platform's users know, for the errors of their meaning.
const char* knownErrorText(int errorNumber) {
    switch (errorNumber) {
        case ENOENT:
            return "File not found";
        case ENOTDIR:
        case ENAMETOOLONG:
        case ELOOP:
        case EINVAL:
            return "Invalid filename";
        case EMFILE:
        case ENFILE:
            return "Too many open files";
        case EACCES:
        case EPERM:
        case EROFS:
            return "File access denied";
        case kErrorMountedSince:
            return "A file system was mounted there after the walk began";
        case kErrorFolderChanged:
            return "The folder is no longer the one the walk saw";
        case kErrorNotTheEntry:
            return "Not the file the run renamed";
        default:
            return nullptr;
    }
}

}  // namespace

std::string systemErrorText(int errorNumber) {
    if (const char* known = knownErrorText(errorNumber))
        return known;
    // strerror_r of the GNU library: the text may be its own or the buffer's.
    char buffer[256];
    return strerror_r(errorNumber, buffer, sizeof buffer);
}

std::string directoryErrorText(int errorNumber) {
    if (const char* known = knownErrorText(errorNumber))
        return known;
    return "I/O error " + std::to_string(errorNumber);
}

std::string currentErrorText() {
    try {
        throw;
    } catch (const AppError& e) {
        return e.what();
    } catch (const std::bad_alloc&) {
        return "Out of memory";
    } catch (const std::exception& e) {
        return std::string("Unexpected error: ") + e.what();
    } catch (...) {
        return "Unexpected error";
    }
}

}  // namespace zr
