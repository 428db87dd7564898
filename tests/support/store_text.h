// SPDX-License-Identifier: GPL-3.0-or-later
// The text of a settings store file, for tests that write a store by hand or check one.
#pragma once

#include <string>

namespace zr::test {

inline const std::string kStoreHeader = "Windows Registry Editor Version 5.00\n\n";
inline const std::string kStoreParent = "[HKEY_CURRENT_USER\\Software\\Vornik]\n";
inline const std::string kStoreKey = "[HKEY_CURRENT_USER\\Software\\Vornik\\Zentarelrenamer]\n";

// A store holding the program's key with `values` (lines such as "\"ver\"=dword:000003ed\n").
inline std::string storeWithKey(const std::string& values) {
    return kStoreHeader + kStoreParent + "\n" + kStoreKey + values + "\n";
}

}  // namespace zr::test
