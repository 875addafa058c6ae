// The records a set's entries carry in their private field: what a restore needs to know of
// each galaxy, and of each batch the fix put in place.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "hostenv/backup/zipfile.h"

namespace hostenv::backup {

struct SetRecord {
    enum class Kind { galaxy, batch };
    // 1: a galaxy's, from before runs were numbered and batches recorded.
    unsigned version = 2;
    Kind kind = Kind::galaxy;
    std::uint32_t run = 0;
    // A galaxy's: its full path and the CRC-32 and size of the bytes the fix wrote there.
    std::string path;
    std::uint32_t newcrc = 0;
    std::uint64_t newsize = 0;
    // A batch's: how many of its galaxies were put in place, the first ones.
    std::uint32_t replaced = 0;
};

std::string galaxyrecord(std::uint32_t run, std::uint32_t newcrc, std::uint64_t newsize,
                         std::string_view path);
std::string batchrecord(std::uint32_t run, std::uint32_t replaced);
// The record of an entry; nullopt when it carries none of ours.
std::optional<SetRecord> recordof(const ZipEntry& entry);

}  // namespace hostenv::backup
