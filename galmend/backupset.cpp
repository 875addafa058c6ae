#include "backupset.h"

#include <algorithm>
#include <utility>

#include "hostenv/failure.h"
#include "hostenv/safereplace.h"
#include "hostenv/text.h"

namespace galmend {

namespace {

using hostenv::Failure;

constexpr std::string_view zipending = ".zip";
constexpr std::string_view restoredending = " restored";
constexpr unsigned char recordversion = 1;

std::string withoutseparator(std::string folder) {
    while (folder.ends_with('\\')) folder.pop_back();
    return folder;
}

std::string inside(const std::string& folder, std::string_view name) {
    return withoutseparator(folder) + "\\" + std::string(name);
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

// What an entry's private field records: the galaxy's full path and its new bytes' CRC-32
// and size, after a version byte.
constexpr std::size_t recordhead = 1 + 4 + 8;

struct Record {
    std::string path;
    std::uint32_t newcrc = 0;
    std::uint64_t newsize = 0;
};

std::optional<Record> recordof(const ZipEntry& entry) {
    if (!entry.privatedata) return std::nullopt;
    const std::string_view data = *entry.privatedata;
    if (data.size() <= recordhead || static_cast<unsigned char>(data[0]) != recordversion) {
        return std::nullopt;
    }
    return Record{std::string(data.substr(recordhead)),
                  static_cast<std::uint32_t>(getnumber(data, 1, 4)), getnumber(data, 5, 8)};
}

bool isstamp(std::string_view text) {
    // "YYYY-MM-DD HH-MM-SS"
    constexpr std::string_view shape = "0000-00-00 00-00-00";
    if (text.size() != shape.size()) return false;
    for (std::size_t i = 0; i < shape.size(); ++i) {
        const bool digit = text[i] >= '0' && text[i] <= '9';
        if (shape[i] == '0' ? !digit : text[i] != shape[i]) return false;
    }
    return true;
}

std::string basename(const std::string& stamp, unsigned number) {
    return number == 1 ? stamp : stamp + " (" + std::to_string(number) + ")";
}

}  // namespace

std::string backupsfolder(const std::string& localappfolder) {
    return inside(localappfolder, "galmend backups");
}

BackupWriter::BackupWriter(hostenv::FileSystem& fs, std::string backupsfolder, std::string stamp,
                           std::array<std::string, 2> galaxyfolders)
    : fs_(fs),
      folder_(withoutseparator(std::move(backupsfolder))),
      stamp_(std::move(stamp)),
      galaxyfolders_{withoutseparator(std::move(galaxyfolders[0])),
                     withoutseparator(std::move(galaxyfolders[1]))} {}

void BackupWriter::open() {
    fs_.makefolder(folder_);
    // A run in the same second as others takes the number after theirs, restored or pruned
    // aside, so that the order of the names stays the order of the runs.
    unsigned first = 1;
    for (const auto& set : backupsets(fs_, folder_)) {
        if (set.stamp == stamp_) first = std::max(first, set.number + 1);
    }
    for (unsigned number = first; number < first + 100; ++number) {
        const std::string path = inside(folder_, basename(stamp_, number) + ".zip");
        if (auto file = fs_.createappending(path)) {
            zip_.emplace(std::move(file), path, ziptime(stamp_));
            setpath_ = path;
            return;
        }
    }
    throw Failure("Cannot create a backup set in " + folder_ +
                  "\r\nEvery name tried for the time " + stamp_ + " exists.");
}

std::string BackupWriter::entryname(const std::string& path) const {
    // The deepest folder that holds it: the game may lie inside the player's folder.
    static constexpr std::array<const char*, 2> prefixes = {"game/", "user/"};
    std::size_t best = prefixes.size();
    for (std::size_t i = 0; i < galaxyfolders_.size(); ++i) {
        const std::string& folder = galaxyfolders_[i];
        if (!folder.empty() && path.size() > folder.size() + 1 && path.starts_with(folder) &&
            path[folder.size()] == '\\' &&
            (best == prefixes.size() || folder.size() > galaxyfolders_[best].size())) {
            best = i;
        }
    }
    std::string name = best == prefixes.size()
                           ? "other/" + path
                           : prefixes[best] + path.substr(galaxyfolders_[best].size() + 1);
    std::replace(name.begin(), name.end(), '\\', '/');
    name.erase(std::remove(name.begin(), name.end(), ':'), name.end());
    return name;
}

void BackupWriter::add(const std::string& path, std::string_view oldbytes,
                       std::string_view newbytes) {
    if (!zip_) open();
    record_.clear();
    record_ += static_cast<char>(recordversion);
    putnumber(record_, crc32of(newbytes), 4);
    putnumber(record_, newbytes.size(), 8);
    record_ += path;
    zip_->add(entryname(path), oldbytes, record_);
    ++galaxies_;
}

void BackupWriter::commit() {
    if (zip_) zip_->flush();
}

void BackupWriter::finish() {
    // A set whose writing failed keeps what it committed, for a restore, and takes no end.
    if (zip_ && !zip_->failed()) zip_->finish();
}

std::optional<BackupSet> parsesetname(const std::string& folder, std::string_view name) {
    BackupSet set;
    std::string_view base = name;
    if (base.size() < zipending.size() ||
        hostenv::lower(base.substr(base.size() - zipending.size())) != zipending) {
        return std::nullopt;
    }
    base.remove_suffix(zipending.size());
    if (base.ends_with(restoredending)) {
        set.restored = true;
        base.remove_suffix(restoredending.size());
    }
    if (base.ends_with(')')) {
        const std::size_t open = base.rfind(" (");
        if (open == std::string_view::npos) return std::nullopt;
        const std::string_view digits = base.substr(open + 2, base.size() - open - 3);
        if (digits.empty() || digits.size() > 4 || digits.front() == '0' ||
            digits.find_first_not_of("0123456789") != std::string_view::npos) {
            return std::nullopt;
        }
        set.number = static_cast<unsigned>(std::stoul(std::string(digits)));
        if (set.number < 2) return std::nullopt;
        base = base.substr(0, open);
    }
    if (!isstamp(base)) return std::nullopt;
    set.stamp = std::string(base);
    set.name = std::string(name);
    set.path = inside(folder, name);
    return set;
}

std::vector<BackupSet> backupsets(hostenv::FileSystem& fs, const std::string& folder) {
    std::vector<BackupSet> sets;
    if (!fs.hasfolder(folder)) return sets;
    for (const auto& name : fs.files(inside(folder, ""), "*.zip")) {
        if (auto set = parsesetname(folder, name)) sets.push_back(std::move(*set));
    }
    std::stable_sort(sets.begin(), sets.end(), [](const BackupSet& a, const BackupSet& b) {
        return a.stamp != b.stamp ? a.stamp < b.stamp : a.number < b.number;
    });
    return sets;
}

std::optional<BackupSet> newestunrestored(hostenv::FileSystem& fs, const std::string& folder) {
    const auto sets = backupsets(fs, folder);
    const auto newest = std::find_if(sets.rbegin(), sets.rend(),
                                     [](const BackupSet& set) { return !set.restored; });
    if (newest == sets.rend()) return std::nullopt;
    return *newest;
}

void prunebackupsets(hostenv::FileSystem& fs, const std::string& folder, std::size_t keep) {
    const auto sets = backupsets(fs, folder);
    if (sets.size() <= keep) return;
    for (std::size_t i = 0; i < sets.size() - keep; ++i) {
        try {
            fs.remove(sets[i].path);
        } catch (const Failure&) {
            // Open in another program or read-only: the next fix tries again.
        }
    }
}

std::string datetext(const BackupSet& set) {
    std::string date = set.stamp;
    date[13] = ':';
    date[16] = ':';
    return date;
}

std::optional<RestoreOffer> restoreoffer(hostenv::FileSystem& fs, const std::string& folder) {
    auto set = newestunrestored(fs, folder);
    if (!set) return std::nullopt;
    const ZipListing listing = listzip(fs, set->path);
    const auto galaxies = static_cast<std::size_t>(
        std::count_if(listing.entries.begin(), listing.entries.end(),
                      [](const ZipEntry& entry) { return recordof(entry).has_value(); }));
    return RestoreOffer{*set, datetext(*set), galaxies};
}

bool SetRestore::complete() const {
    return problem == Problem::none &&
           std::all_of(galaxies.begin(), galaxies.end(), [](const GalaxyRestore& galaxy) {
               return galaxy.outcome == GalaxyOutcome::restored ||
                      galaxy.outcome == GalaxyOutcome::alreadyold;
           });
}

namespace {

// Whether the galaxy holds the bytes the fix wrote there.
bool holdswritten(hostenv::FileSystem& fs, const Record& record, std::string& current) {
    try {
        if (fs.filesize(record.path) != record.newsize) return false;
        fs.readinto(record.path, current);
    } catch (const Failure&) {
        return false;
    }
    return crc32of(current) == record.newcrc;
}

// What to do with one galaxy whose old bytes are whole in old.
GalaxyRestore restoregalaxy(hostenv::FileSystem& fs, const Record& record, const ZipEntry& entry,
                            const std::string& old, std::string& current) {
    GalaxyRestore result{record.path, GalaxyOutcome::failed, {}};
    try {
        std::uint64_t size = 0;
        try {
            size = fs.filesize(record.path);
        } catch (const Failure&) {
            // Looked for only when its size cannot be had: a galaxy that is there costs no search.
            if (fs.lookup(record.path, hostenv::Entries::files)) throw;
            result.outcome = GalaxyOutcome::gone;
            return result;
        }
        if (size != record.newsize && size != entry.size) {
            result.outcome = GalaxyOutcome::changed;
            return result;
        }
        fs.readinto(record.path, current);
        const std::uint32_t crc = crc32of(current);
        if (current.size() == record.newsize && crc == record.newcrc) {
            hostenv::safereplace(fs, record.path, old);
            result.outcome = GalaxyOutcome::restored;
        } else if (current.size() == entry.size && crc == entry.crc) {
            result.outcome = GalaxyOutcome::alreadyold;
        } else {
            result.outcome = GalaxyOutcome::changed;
        }
    } catch (const Failure& failure) {
        result.reason = failure.what();
    }
    return result;
}

}  // namespace

SetRestore restoreset(hostenv::FileSystem& fs, const std::string& setpath) {
    SetRestore restore;
    const ZipListing listing = listzip(fs, setpath);
    if (listing.entries.empty()) {
        restore.problem = listing.end == ZipListing::End::damaged ? SetRestore::Problem::notours
                                                                  : SetRestore::Problem::empty;
        return restore;
    }
    if (!recordof(listing.entries.front())) {
        restore.problem = SetRestore::Problem::notours;
        return restore;
    }
    std::string old;
    std::string current;
    for (const auto& entry : listing.entries) {
        const auto record = recordof(entry);
        if (!record) {
            // Our writer gives every entry its record: the set is damaged from here on.
            restore.problem = SetRestore::Problem::damaged;
            break;
        }
        bool whole = false;
        try {
            whole = entry.whole && readentry(fs, setpath, entry, old);
        } catch (const Failure& failure) {
            restore.galaxies.push_back({record->path, GalaxyOutcome::failed, failure.what()});
            continue;
        }
        if (!whole) {
            // The entry a failed or killed fix was writing when it stopped: the fix puts a
            // galaxy in place only after its old bytes are whole on the disk, so one that does
            // not hold what the fix wrote was never replaced.
            const bool cut =
                &entry == &listing.entries.back() && !holdswritten(fs, *record, current);
            restore.galaxies.push_back(
                {record->path, cut ? GalaxyOutcome::alreadyold : GalaxyOutcome::damaged, {}});
            continue;
        }
        restore.galaxies.push_back(restoregalaxy(fs, *record, entry, old, current));
    }
    if (listing.end == ZipListing::End::damaged) restore.problem = SetRestore::Problem::damaged;
    return restore;
}

void markrestored(hostenv::FileSystem& fs, const BackupSet& set) {
    fs.rename(set.path, set.path.substr(0, set.path.size() - zipending.size()) +
                            std::string(restoredending) + ".zip");
}

}  // namespace galmend
