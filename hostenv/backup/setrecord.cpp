#include "hostenv/backup/setrecord.h"

#include <algorithm>

namespace hostenv::backup {

namespace {

// The kinds as the sets made so far hold them, which every restore reads; a removed or a
// created file has a kind of its own.
constexpr char filekind = 'G';
constexpr char removedkind = 'R';
constexpr char createdkind = 'C';
constexpr char batchkind = 'B';

char kindof(Change change) {
    switch (change) {
        case Change::removed:
            return removedkind;
        case Change::created:
            return createdkind;
        case Change::replaced:
            break;
    }
    return filekind;
}

void putnumber(std::string& out, std::uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

std::uint64_t getnumber(std::string_view in, std::size_t at, int bytes) {
    std::uint64_t value = 0;
    for (int i = 0; i < bytes; ++i) {
        value |= std::uint64_t{static_cast<unsigned char>(in[at + static_cast<std::size_t>(i)])}
                 << (8 * i);
    }
    return value;
}

// Version 1: the version byte, the new bytes' CRC-32 (4) and size (8), the path.
constexpr std::size_t version1head = 1 + 4 + 8;
// Version 2: the version byte, the kind, the run (4), then a file's CRC-32 (4), size (8) and
// path, or a batch's count (4) and, when not the first ones were put in place, one bit for
// each of its files.
constexpr std::size_t version2head = 1 + 1 + 4;
constexpr std::size_t filehead = version2head + 4 + 8;
constexpr std::size_t batchsize = version2head + 4;

}  // namespace

std::string filerecord(std::uint32_t run, Change change, std::uint32_t newcrc,
                       std::uint64_t newsize, std::string_view path) {
    std::string record{static_cast<char>(2), kindof(change)};
    putnumber(record, run, 4);
    putnumber(record, newcrc, 4);
    putnumber(record, newsize, 8);
    record += path;
    return record;
}

std::string batchrecord(std::uint32_t run, const std::vector<bool>& placed) {
    std::string record{static_cast<char>(2), batchkind};
    putnumber(record, run, 4);
    const auto replaced =
        static_cast<std::uint32_t>(std::count(placed.begin(), placed.end(), true));
    putnumber(record, replaced, 4);
    // The first ones, as every set before had them, need no bits.
    if (std::find(placed.begin() + replaced, placed.end(), true) == placed.end()) return record;
    std::string bits((placed.size() + 7) / 8, '\0');
    for (std::size_t i = 0; i < placed.size(); ++i) {
        if (placed[i]) bits[i / 8] = static_cast<char>(bits[i / 8] | (1 << (i % 8)));
    }
    return record + bits;
}

std::optional<SetRecord> recordof(const ZipEntry& entry) {
    if (!entry.privatedata) return std::nullopt;
    const std::string_view data = *entry.privatedata;
    SetRecord record;
    if (data.size() > version1head && data[0] == 1) {
        record.version = 1;
        record.newcrc = static_cast<std::uint32_t>(getnumber(data, 1, 4));
        record.newsize = getnumber(data, 5, 8);
        record.path = std::string(data.substr(version1head));
        return record;
    }
    if (data.size() < version2head || data[0] != 2) return std::nullopt;
    record.run = static_cast<std::uint32_t>(getnumber(data, 2, 4));
    const char kind = data[1];
    if ((kind == filekind || kind == removedkind || kind == createdkind) &&
        data.size() > filehead) {
        record.change = kind == removedkind   ? Change::removed
                        : kind == createdkind ? Change::created
                                              : Change::replaced;
        record.newcrc = static_cast<std::uint32_t>(getnumber(data, 6, 4));
        record.newsize = getnumber(data, 10, 8);
        record.path = std::string(data.substr(filehead));
        return record;
    }
    if (kind == batchkind && data.size() >= batchsize) {
        record.kind = SetRecord::Kind::batch;
        record.replaced = static_cast<std::uint32_t>(getnumber(data, 6, 4));
        const std::string_view bits = data.substr(batchsize);
        for (std::size_t i = 0; i < bits.size() * 8; ++i) {
            record.placed.push_back((static_cast<unsigned char>(bits[i / 8]) >> (i % 8) & 1) != 0);
        }
        // Bits that disagree with the count are no record of ours.
        if (!bits.empty() && std::count(record.placed.begin(), record.placed.end(), true) !=
                                 static_cast<std::ptrdiff_t>(record.replaced)) {
            return std::nullopt;
        }
        return record;
    }
    return std::nullopt;
}

}  // namespace hostenv::backup
