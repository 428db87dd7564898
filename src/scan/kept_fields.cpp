// SPDX-License-Identifier: GPL-3.0-or-later
#include "scan/kept_fields.h"

namespace zr {

std::size_t KeptFields::StampHash::operator()(const FileStamp& stamp) const noexcept {
    std::size_t h = std::hash<std::uint64_t>{}(stamp.id.inode);
    for (const std::uint64_t part : {stamp.id.device, static_cast<std::uint64_t>(stamp.size),
                                     static_cast<std::uint64_t>(stamp.modifiedNs),
                                     static_cast<std::uint64_t>(stamp.changedNs)})
        h ^= std::hash<std::uint64_t>{}(part) + 0x9e3779b97f4a7c15ULL + (h << 6) + (h >> 2);
    return h;
}

void KeptFields::keep(const FileStamp& stamp, FileFieldSet read, const FileFields& fields) {
    if (fields.error != 0 || m_kept.size() >= kLimit)
        return;
    m_kept.insert_or_assign(stamp, Kept{read, fields});
}

const FileFields* KeptFields::find(const FileStamp& stamp, FileFieldSet wanted) const {
    const auto found = m_kept.find(stamp);
    if (found == m_kept.end() || (found->second.read & wanted) != wanted)
        return nullptr;
    return &found->second.fields;
}

}  // namespace zr
