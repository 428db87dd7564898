// SPDX-License-Identifier: GPL-3.0-or-later
#include "rules/natural_order.h"

namespace zr {

namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

}  // namespace

int compareNatural(std::string_view a, std::string_view b) {
    int zeros = 0;  // the first difference in leading zeros, for a tie
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < a.size() && j < b.size()) {
        if (!isDigit(a[i]) || !isDigit(b[j])) {
            if (a[i] != b[j])
                return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[j]) ? -1 : 1;
            ++i;
            ++j;
            continue;
        }
        const std::size_t runA = i;
        const std::size_t runB = j;
        while (i < a.size() && a[i] == '0')
            ++i;
        while (j < b.size() && b[j] == '0')
            ++j;
        const std::size_t zerosA = i - runA;
        const std::size_t zerosB = j - runB;
        const std::size_t valueA = i;
        const std::size_t valueB = j;
        while (i < a.size() && isDigit(a[i]))
            ++i;
        while (j < b.size() && isDigit(b[j]))
            ++j;
        // Without their leading zeros the longer run is the larger number.
        if (i - valueA != j - valueB)
            return i - valueA < j - valueB ? -1 : 1;
        if (const int c = a.substr(valueA, i - valueA).compare(b.substr(valueB, j - valueB)))
            return c < 0 ? -1 : 1;
        if (zeros == 0 && zerosA != zerosB)
            zeros = zerosA < zerosB ? -1 : 1;
    }
    if (i < a.size() || j < b.size())
        return i < a.size() ? 1 : -1;
    return zeros;
}

}  // namespace zr
