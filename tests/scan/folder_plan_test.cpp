// SPDX-License-Identifier: GPL-3.0-or-later
#include "scan/folder_plan.h"

#include <gtest/gtest.h>

#include <random>

#include "rules/natural_order.h"

namespace zr {
namespace {

// The sort takes a shortcut through the first bytes of the names: on names crowded with digit
// runs of every length, leading zeros, and bytes on both sides of the digits, its order is the
// natural order, and by time it is the time first, then the natural order.
TEST(SortForNumbering, FollowsTheNaturalOrderAndTheTimes) {
    std::mt19937 random(42);
    const std::string pieces[] = {"0", "00", "7", "10", "0010", "123456789", "1234567890", "99",
                                  "a", "A",  "/", ":",  " ",    "\xc3\xa9",  "IMG_",       "."};
    for (int round = 0; round < 20; ++round) {
        std::vector<DirEntry> entries;
        std::vector<EntryInfo> infos;
        std::vector<bool> known;
        for (int i = 0; i < 300; ++i) {
            std::string name;
            for (int p = random() % 6; p >= 0; --p)
                name += pieces[random() % std::size(pieces)];
            entries.push_back(DirEntry{name, false, 0});
            infos.push_back(EntryInfo{0, static_cast<std::time_t>(random() % 3), EntryType::File});
            known.push_back(random() % 8 != 0);
        }
        for (const NumberOrder order : {NumberOrder::Name, NumberOrder::Modified}) {
            std::vector<std::uint32_t> indices(entries.size());
            for (std::uint32_t i = 0; i < indices.size(); ++i)
                indices[i] = i;
            sortForNumbering(order, indices, entries, infos, known);
            for (std::size_t k = 1; k < indices.size(); ++k) {
                const std::uint32_t a = indices[k - 1];
                const std::uint32_t b = indices[k];
                if (order == NumberOrder::Modified && known[a] != known[b]) {
                    EXPECT_TRUE(known[a]) << "an unknown time comes last";
                    continue;
                }
                if (order == NumberOrder::Modified && known[a] &&
                    infos[a].lastWrite != infos[b].lastWrite) {
                    EXPECT_LT(infos[a].lastWrite, infos[b].lastWrite);
                    continue;
                }
                EXPECT_LE(compareNatural(entries[a].name, entries[b].name), 0)
                    << entries[a].name << " before " << entries[b].name;
            }
        }
    }
}

}  // namespace
}  // namespace zr
