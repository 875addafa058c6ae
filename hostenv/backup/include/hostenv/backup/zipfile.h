// A zip file of stored (uncompressed) entries, written piece by piece and read back by its
// local headers alone: a file whose end (the central directory) was never written, because
// the run that wrote it was killed, still gives every entry written whole before that.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "hostenv/filesystem.h"

namespace hostenv::backup {

// The header id of the extra field of our own that each entry carries in its local header;
// other readers skip a field they do not know.
inline constexpr std::uint16_t privatefieldid = 0x4D47;  // "GM"

// An entry's time as the zip format keeps it (MS-DOS date and time, local).
struct ZipTime {
    std::uint16_t time = 0;
    std::uint16_t date = (1 << 5) | 1;  // 1980-01-01, the earliest it can say
};

// The zip time of a local time "YYYY-MM-DD HH-MM-SS"; the earliest time for any other text.
ZipTime ziptime(std::string_view stamp);

// The CRC-32 a zip entry records of its bytes.
std::uint32_t crc32of(std::string_view bytes);

class ZipWriter {
  public:
    // path: the file's name, for failures.
    ZipWriter(std::unique_ptr<hostenv::AppendFile> file, std::string path, ZipTime time);

    // Appends an entry named name (UTF-8, "/" between folders) holding bytes, its private
    // field holding privatedata; not written through to the disk. Throws Failure; after a
    // failure the writer refuses every further entry, as the file may end inside this one.
    void add(std::string_view name, std::string_view bytes, std::string_view privatedata);
    // Writes every entry added so far through to the disk; throws Failure.
    void flush();
    // Writes the central directory and the end record, flushes them and closes the file.
    // Throws Failure.
    void finish();
    // Whether a write or a flush failed: the file may end inside an entry.
    bool failed() const { return broken_; }

  private:
    struct Central {
        std::string name;
        std::uint32_t crc;
        std::uint32_t size;
        std::uint64_t offset;
    };
    void append(std::string_view bytes);
    void usable() const;

    std::unique_ptr<hostenv::AppendFile> file_;
    std::string path_;
    ZipTime time_;
    std::vector<Central> central_;
    std::uint64_t written_ = 0;
    bool broken_ = false;
    std::string header_;
};

struct ZipEntry {
    std::string name;
    // The data of its private field; nullopt when it has none.
    std::optional<std::string> privatedata;
    std::uint32_t crc = 0;
    std::uint64_t dataoffset = 0;
    std::uint32_t size = 0;
    // Whether all its bytes are in the file (whether they are right, only their CRC says).
    bool whole = false;
};

struct ZipListing {
    enum class End {
        // The central directory follows the last entry, and the end record counts them all.
        complete,
        // The file ends right after the last entry: its writer stopped before finishing.
        unfinished,
        // The file ends inside an entry: the last one listed when it is not whole, else one
        // whose header is cut too short to name it.
        cut,
        // Something that begins no entry of ours follows the entries listed.
        damaged,
    };
    std::vector<ZipEntry> entries;
    End end = End::complete;
    // Where the entries listed end.
    std::uint64_t endoffset = 0;
};

// The entries of the zip file at path, walked by their local headers, up to most of them.
// Throws Failure when the file cannot be read.
ZipListing listzip(hostenv::FileSystem& fs, const std::string& path,
                   std::size_t most = static_cast<std::size_t>(-1));
// The first entry, or nullopt when the file begins with none; throws Failure when it cannot
// be read.
std::optional<ZipEntry> firstzipentry(hostenv::FileSystem& fs, const std::string& path);

// Reads the entries of the zip file at path through one window of the file, so that thousands
// of small entries read in the order they lie take a few reads, not one each.
class EntryReader {
  public:
    EntryReader(hostenv::FileSystem& fs, std::string path);
    // The bytes of a whole entry, valid until the next read; nullopt when they do not match
    // its CRC. Throws Failure when the file cannot be read.
    std::optional<std::string_view> read(const ZipEntry& entry);

  private:
    hostenv::FileSystem& fs_;
    std::string path_;
    std::string window_;
    std::uint64_t start_ = 0;
};

}  // namespace hostenv::backup
