// The records a set's entries carry in their private field: what a restore needs to know of
// each file, and of each batch the run put in place.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "hostenv/backup/zipfile.h"

namespace hostenv::backup {

// What a run did to a file: rewrote it, removed it, or created it where there was none. A
// removed file's record has no new bytes; a created file's entry has no old ones.
enum class Change { replaced, removed, created };

struct SetRecord {
    enum class Kind { file, batch };
    // 1: a file's, from before runs were numbered and batches recorded.
    unsigned version = 2;
    Kind kind = Kind::file;
    Change change = Change::replaced;
    std::uint32_t run = 0;
    // A file's: its full path and the CRC-32 and size of the bytes the run wrote there.
    std::string path;
    std::uint32_t newcrc = 0;
    std::uint64_t newsize = 0;
    // A batch's: how many of its files were put in place, and which: the first ones when
    // placed is empty.
    std::uint32_t replaced = 0;
    std::vector<bool> placed;
};

std::string filerecord(std::uint32_t run, Change change, std::uint32_t newcrc,
                       std::uint64_t newsize, std::string_view path);
inline std::string filerecord(std::uint32_t run, std::uint32_t newcrc, std::uint64_t newsize,
                              std::string_view path) {
    return filerecord(run, Change::replaced, newcrc, newsize, path);
}
// placed: which of the batch's files were put in place, in their order.
std::string batchrecord(std::uint32_t run, const std::vector<bool>& placed);
// The first replaced of the batch's files were put in place.
inline std::string batchrecord(std::uint32_t run, std::uint32_t replaced) {
    return batchrecord(run, std::vector<bool>(replaced, true));
}
// The record of an entry; nullopt when it carries none of ours.
std::optional<SetRecord> recordof(const ZipEntry& entry);

}  // namespace hostenv::backup
