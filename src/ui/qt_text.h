// SPDX-License-Identifier: GPL-3.0-or-later
// Text between the core and Qt: the core's texts and names are UTF-8 bytes (names need not be
// valid UTF-8; what is not shows as replacement characters).
#pragma once

#include <QString>
#include <string_view>

namespace zr {

inline QString fromBytes(std::string_view bytes) {
    return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

}  // namespace zr
