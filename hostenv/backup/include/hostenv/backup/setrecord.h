// The records a set's entries carry in their private field: what a restore needs to know of
// each file, and of each batch the run put in place.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "hostenv/backup/zipfile.h"

namespace hostenv::backup {

struct SetRecord {
    enum class Kind { file, batch };
    // 1: a file's, from before runs were numbered and batches recorded.
    unsigned version = 2;
    Kind kind = Kind::file;
    std::uint32_t run = 0;
    // A file's: its full path and the CRC-32 and size of the bytes the run wrote there.
    std::string path;
    std::uint32_t newcrc = 0;
    std::uint64_t newsize = 0;
    // A batch's: how many of its files were put in place, the first ones.
    std::uint32_t replaced = 0;
};

std::string filerecord(std::uint32_t run, std::uint32_t newcrc, std::uint64_t newsize,
                       std::string_view path);
std::string batchrecord(std::uint32_t run, std::uint32_t replaced);
// The record of an entry; nullopt when it carries none of ours.
std::optional<SetRecord> recordof(const ZipEntry& entry);

}  // namespace hostenv::backup
