#include "hostenv/backup/zipfile.h"

#include <zlib.h>

#include <algorithm>
#include <charconv>

#include "hostenv/failure.h"

namespace hostenv::backup {

namespace {

using hostenv::Failure;

constexpr std::uint32_t localsignature = 0x04034b50;
constexpr std::uint32_t centralsignature = 0x02014b50;
constexpr std::uint32_t endsignature = 0x06054b50;
constexpr std::uint32_t zip64endsignature = 0x06064b50;
constexpr std::uint32_t zip64locatorsignature = 0x07064b50;
constexpr std::uint16_t zip64fieldid = 0x0001;

constexpr std::size_t localheadersize = 30;
constexpr std::uint16_t utf8names = 1 << 11;
// Version 2.0: folders and stored entries; 4.5: zip64 records.
constexpr std::uint16_t version20 = 20;
constexpr std::uint16_t version45 = 45;
constexpr std::uint32_t most32 = 0xFFFFFFFF;
constexpr std::uint16_t madeonunix = 3 << 8;
constexpr std::uint32_t ordinaryfile = 0100644u << 16;
constexpr std::uint16_t most16 = 0xFFFF;

void put16(std::string& out, std::uint16_t value) {
    out += static_cast<char>(value & 0xFF);
    out += static_cast<char>(value >> 8);
}

void put32(std::string& out, std::uint32_t value) {
    put16(out, static_cast<std::uint16_t>(value & 0xFFFF));
    put16(out, static_cast<std::uint16_t>(value >> 16));
}

void put64(std::string& out, std::uint64_t value) {
    put32(out, static_cast<std::uint32_t>(value & most32));
    put32(out, static_cast<std::uint32_t>(value >> 32));
}

std::uint16_t get16(std::string_view in, std::size_t at) {
    return static_cast<std::uint16_t>(static_cast<unsigned char>(in[at]) |
                                      static_cast<unsigned char>(in[at + 1]) << 8);
}

std::uint32_t get32(std::string_view in, std::size_t at) {
    return get16(in, at) | static_cast<std::uint32_t>(get16(in, at + 2)) << 16;
}

// A number of digits at text[at], when all of them are digits.
std::optional<unsigned> digits(std::string_view text, std::size_t at, std::size_t count) {
    unsigned value = 0;
    const char* first = text.data() + at;
    const auto [end, error] = std::from_chars(first, first + count, value);
    if (error != std::errc() || end != first + count) return std::nullopt;
    return value;
}

// The records after the central directory, which starts at start, holds count entries and
// is size bytes long: the zip64 ones when a count or an offset needs them, then the classic
// end, whose fields say "see zip64" where they are full.
void putends(std::string& directory, std::uint64_t start, std::uint64_t size, std::uint64_t count) {
    const bool zip64 = count >= most16 || start >= most32 || size >= most32;
    if (zip64) {
        const std::uint64_t recordoffset = start + size;
        put32(directory, zip64endsignature);
        put64(directory, 44);  // the size of the rest of the record
        put16(directory, version45);
        put16(directory, version45);
        put32(directory, 0);
        put32(directory, 0);
        put64(directory, count);
        put64(directory, count);
        put64(directory, size);
        put64(directory, start);
        put32(directory, zip64locatorsignature);
        put32(directory, 0);
        put64(directory, recordoffset);
        put32(directory, 1);
    }
    const auto count16 = static_cast<std::uint16_t>(std::min<std::uint64_t>(count, most16));
    put32(directory, endsignature);
    put16(directory, 0);
    put16(directory, 0);
    put16(directory, count16);
    put16(directory, count16);
    put32(directory, static_cast<std::uint32_t>(std::min<std::uint64_t>(size, most32)));
    put32(directory, static_cast<std::uint32_t>(std::min<std::uint64_t>(start, most32)));
    put16(directory, 0);  // comment
}

}  // namespace

ZipTime ziptime(std::string_view stamp) {
    // "YYYY-MM-DD HH-MM-SS"
    if (stamp.size() != 19) return {};
    const auto year = digits(stamp, 0, 4), month = digits(stamp, 5, 2), day = digits(stamp, 8, 2),
               hour = digits(stamp, 11, 2), minute = digits(stamp, 14, 2),
               second = digits(stamp, 17, 2);
    if (!year || !month || !day || !hour || !minute || !second || *year < 1980 || *year > 2107 ||
        *month < 1 || *month > 12 || *day < 1 || *day > 31 || *hour > 23 || *minute > 59 ||
        *second > 59) {
        return {};
    }
    return {static_cast<std::uint16_t>(*hour << 11 | *minute << 5 | *second / 2),
            static_cast<std::uint16_t>((*year - 1980) << 9 | *month << 5 | *day)};
}

std::uint32_t crc32of(std::string_view bytes) {
    return static_cast<std::uint32_t>(
        crc32_z(0, reinterpret_cast<const Bytef*>(bytes.data()), bytes.size()));
}

ZipWriter::ZipWriter(std::unique_ptr<hostenv::AppendFile> file, std::string path, ZipTime time)
    : file_(std::move(file)), path_(std::move(path)), time_(time) {}

void ZipWriter::usable() const {
    if (broken_ || !file_) {
        throw Failure("Cannot add to " + path_ +
                      "\r\nIt was finished, or a write to it failed before.");
    }
}

void ZipWriter::append(std::string_view bytes) {
    try {
        file_->append(bytes);
    } catch (...) {
        broken_ = true;
        throw;
    }
    written_ += bytes.size();
}

void ZipWriter::add(std::string_view name, std::string_view bytes, std::string_view privatedata) {
    usable();
    if (bytes.size() >= most32) {
        throw Failure("Cannot add " + std::string(name) + " to " + path_ +
                      "\r\nAn entry holds less than 4 GB.");
    }
    if (name.size() > most16 || privatedata.size() > most16 - 4) {
        throw Failure("Cannot add " + std::string(name) + " to " + path_ +
                      "\r\nIts name is too long for a zip entry.");
    }
    const auto size = static_cast<std::uint32_t>(bytes.size());
    const std::uint32_t crc = crc32of(bytes);
    header_.clear();
    put32(header_, localsignature);
    put16(header_, version20);
    put16(header_, utf8names);
    put16(header_, 0);  // stored
    put16(header_, time_.time);
    put16(header_, time_.date);
    put32(header_, crc);
    put32(header_, size);
    put32(header_, size);
    put16(header_, static_cast<std::uint16_t>(name.size()));
    put16(header_, static_cast<std::uint16_t>(4 + privatedata.size()));
    header_ += name;
    put16(header_, privatefieldid);
    put16(header_, static_cast<std::uint16_t>(privatedata.size()));
    header_ += privatedata;
    const std::uint64_t offset = written_;
    central_.push_back({std::string(name), crc, size, offset});
    try {
        append(header_);
        append(bytes);
    } catch (...) {
        central_.pop_back();
        throw;
    }
}

void ZipWriter::flush() {
    usable();
    try {
        file_->flush();
    } catch (...) {
        broken_ = true;
        throw;
    }
}

void ZipWriter::finish() {
    usable();
    const std::uint64_t start = written_;
    std::string directory;
    for (const auto& entry : central_) {
        const bool far = entry.offset >= most32;
        put32(directory, centralsignature);
        // Made on Unix: readers convert the names of a zip made on MS-DOS from its code page,
        // UTF-8 flag or not. The attributes are an ordinary file's, readable by all.
        put16(directory, madeonunix | version20);
        put16(directory, far ? version45 : version20);
        put16(directory, utf8names);
        put16(directory, 0);
        put16(directory, time_.time);
        put16(directory, time_.date);
        put32(directory, entry.crc);
        put32(directory, entry.size);
        put32(directory, entry.size);
        put16(directory, static_cast<std::uint16_t>(entry.name.size()));
        put16(directory, far ? 12 : 0);
        put16(directory, 0);  // comment
        put16(directory, 0);  // disk
        put16(directory, 0);  // internal attributes
        put32(directory, ordinaryfile);
        put32(directory, far ? most32 : static_cast<std::uint32_t>(entry.offset));
        directory += entry.name;
        if (far) {
            put16(directory, zip64fieldid);
            put16(directory, 8);
            put64(directory, entry.offset);
        }
    }
    putends(directory, start, directory.size(), central_.size());
    append(directory);
    flush();
    file_.reset();
}

namespace {

// Whether the end record at the file's end counts the entries listed and says where the
// central directory starts: one left half written is no end.
bool endcounts(hostenv::FileSystem& fs, const std::string& path, std::uint64_t filesize,
               std::uint64_t start, std::size_t entries) {
    constexpr std::size_t endsize = 22;
    if (filesize < start + endsize) return false;
    std::string end;
    fs.readpart(path, filesize - endsize, endsize, end);
    if (end.size() != endsize || get32(end, 0) != endsignature) return false;
    const std::uint16_t count = get16(end, 10);
    const std::uint32_t offset = get32(end, 16);
    return (count == most16 || count == entries) && (offset == most32 || offset == start);
}

}  // namespace

std::optional<ZipEntry> firstzipentry(hostenv::FileSystem& fs, const std::string& path) {
    ZipListing listing = listzip(fs, path, 1);
    if (listing.entries.empty()) return std::nullopt;
    return std::move(listing.entries.front());
}

ZipListing listzip(hostenv::FileSystem& fs, const std::string& path, std::size_t most) {
    using End = ZipListing::End;
    ZipListing listing;
    const std::uint64_t filesize = fs.filesize(path);
    std::uint64_t offset = 0;
    // Headers are read a window at a time: a set of thousands of small files takes a few
    // reads, not one per entry. After a large entry only the header is read.
    constexpr std::size_t usual = localheadersize + 1024;
    constexpr std::size_t window = 1 << 20;
    std::string chunk;
    std::uint64_t chunkstart = 0;
    bool small = most > 1;
    const auto headerat = [&](std::size_t length) {
        if (offset < chunkstart || offset + length > chunkstart + chunk.size()) {
            fs.readpart(path, offset, small ? std::max(length, window) : length, chunk);
            chunkstart = offset;
        }
        return std::string_view(chunk).substr(static_cast<std::size_t>(offset - chunkstart),
                                              length);
    };
    const auto finish = [&](End end) {
        listing.end = end;
        listing.endoffset = offset;
        return listing;
    };
    for (;;) {
        if (offset == filesize) return finish(End::unfinished);
        std::string_view header = headerat(usual);
        if (header.size() < 4) return finish(End::cut);
        const std::uint32_t signature = get32(header, 0);
        if (signature == centralsignature || signature == endsignature) {
            return finish(endcounts(fs, path, filesize, offset, listing.entries.size())
                              ? End::complete
                              : End::damaged);
        }
        if (signature != localsignature) return finish(End::damaged);
        if (header.size() < localheadersize) return finish(End::cut);
        const std::uint16_t flags = get16(header, 6);
        const std::uint16_t method = get16(header, 8);
        const std::uint32_t packed = get32(header, 18);
        const std::uint32_t size = get32(header, 22);
        const std::size_t namelength = get16(header, 26);
        const std::size_t extralength = get16(header, 28);
        // Only stored entries whose sizes stand in their header can be walked past.
        constexpr std::uint16_t encrypted = 1 << 0, sizesafter = 1 << 3;
        if (method != 0 || (flags & (encrypted | sizesafter)) != 0 || packed != size ||
            size == most32) {
            return finish(End::damaged);
        }
        const std::size_t headerlength = localheadersize + namelength + extralength;
        if (header.size() < headerlength) {
            header = headerat(headerlength);
            if (header.size() < headerlength) return finish(End::cut);
        }
        ZipEntry entry;
        entry.name = std::string(header.substr(localheadersize, namelength));
        entry.crc = get32(header, 14);
        entry.size = size;
        entry.dataoffset = offset + headerlength;
        const std::string_view extra = header.substr(localheadersize + namelength, extralength);
        for (std::size_t at = 0; at < extra.size();) {
            if (extra.size() - at < 4) return finish(End::damaged);
            const std::uint16_t id = get16(extra, at);
            const std::size_t length = get16(extra, at + 2);
            if (extra.size() - at - 4 < length) return finish(End::damaged);
            if (id == privatefieldid) entry.privatedata = std::string(extra.substr(at + 4, length));
            at += 4 + length;
        }
        entry.whole = filesize - entry.dataoffset >= size;
        listing.entries.push_back(std::move(entry));
        if (!listing.entries.back().whole) return finish(End::cut);
        offset = listing.entries.back().dataoffset + size;
        small = size < window / 4;
        if (listing.entries.size() == most) return finish(End::complete);
    }
}

EntryReader::EntryReader(hostenv::FileSystem& fs, std::string path)
    : fs_(fs), path_(std::move(path)) {}

std::optional<std::string_view> EntryReader::read(const ZipEntry& entry) {
    // A few megabytes at a time: the entries that follow come with the one asked for.
    constexpr std::size_t window = 4 << 20;
    if (entry.dataoffset < start_ || entry.dataoffset + entry.size > start_ + window_.size()) {
        fs_.readpart(path_, entry.dataoffset, std::max<std::size_t>(entry.size, window), window_);
        start_ = entry.dataoffset;
    }
    const std::string_view bytes = std::string_view(window_).substr(
        static_cast<std::size_t>(entry.dataoffset - start_), entry.size);
    if (bytes.size() != entry.size || crc32of(bytes) != entry.crc) return std::nullopt;
    return bytes;
}

}  // namespace hostenv::backup
