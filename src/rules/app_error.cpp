// SPDX-License-Identifier: GPL-3.0-or-later
#include "rules/app_error.h"

#include <cerrno>
#include <exception>
#include <new>

namespace zr {

std::string errorBoxText(std::string_view message) {
    std::string text(message);
    // The last character is compared by its code; any byte of a multi-byte UTF-8 character is
    // above ".", as the character itself is.
    if (!text.empty() && static_cast<unsigned char>(text.back()) > static_cast<unsigned char>('.'))
        text += '.';
    return text;
}

std::string systemErrorText(int errorNumber) {
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
        default:
            return "I/O error " + std::to_string(errorNumber);
    }
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
