#include "hostenv/backup/backupset.h"

#include <algorithm>
#include <charconv>
#include <limits>
#include <utility>

#include "hostenv/backup/setrecord.h"
#include "hostenv/failure.h"
#include "hostenv/paths.h"
#include "hostenv/text.h"

namespace hostenv::backup {

namespace {

using hostenv::Failure;

constexpr std::string_view zipending = ".zip";
constexpr std::string_view restoredending = " restored";
constexpr std::string_view refusedending = " refused";
constexpr std::string_view runword = " run ";

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

std::optional<std::uint32_t> number(std::string_view digits) {
    std::uint32_t value = 0;
    if (digits.empty() || digits.size() > 10 || digits.front() == '0') return std::nullopt;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (error != std::errc() || end != digits.data() + digits.size()) return std::nullopt;
    return value;
}

// A set's name: "<stamp>[ (n)][ run N][ restored| refused].zip".
struct SetName {
    std::string stamp;
    std::uint32_t sameseconds = 1;  // the n of " (n)", from before runs were numbered
    std::optional<std::uint32_t> run;
    BackupSet::State state = BackupSet::State::open;
};

std::optional<SetName> parsesetname(std::string_view name) {
    SetName set;
    std::string_view base = name;
    if (base.size() < zipending.size() ||
        hostenv::lower(base.substr(base.size() - zipending.size())) != zipending) {
        return std::nullopt;
    }
    base.remove_suffix(zipending.size());
    if (base.ends_with(restoredending)) {
        set.state = BackupSet::State::restored;
        base.remove_suffix(restoredending.size());
    } else if (base.ends_with(refusedending)) {
        set.state = BackupSet::State::refused;
        base.remove_suffix(refusedending.size());
    }
    if (const std::size_t at = base.rfind(runword); at != std::string_view::npos) {
        set.run = number(base.substr(at + runword.size()));
        if (!set.run) return std::nullopt;
        base = base.substr(0, at);
    } else if (base.ends_with(')')) {
        const std::size_t open = base.rfind(" (");
        if (open == std::string_view::npos) return std::nullopt;
        const auto n = number(base.substr(open + 2, base.size() - open - 3));
        if (!n || *n < 2) return std::nullopt;
        set.sameseconds = *n;
        base = base.substr(0, open);
    }
    if (!isstamp(base)) return std::nullopt;
    set.stamp = std::string(base);
    return set;
}

// The set's first record, which tells a set of ours from any other zip. Throws Failure when
// the file cannot be read.
std::optional<SetRecord> firstrecord(hostenv::FileSystem& fs, const std::string& path) {
    const auto entry = firstzipentry(fs, path);
    return entry ? recordof(*entry) : std::nullopt;
}

}  // namespace

std::string backupsfolder(const SetOwner& owner, const std::string& localappfolder) {
    if (localappfolder.empty()) {
        throw Failure(owner.program + " keeps the old " + owner.files +
                      " in the local application-data folder, which Windows did not give: "
                      "without it there is no undo, so nothing was changed.");
    }
    return hostenv::joinpath(localappfolder, owner.folder);
}

BackupWriter::BackupWriter(hostenv::FileSystem& fs, SetOwner owner, std::string backupsfolder,
                           std::string stamp, std::vector<KeptFolder> folders)
    : fs_(fs),
      owner_(std::move(owner)),
      folder_(hostenv::withoutseparator(backupsfolder)),
      stamp_(std::move(stamp)),
      folders_(std::move(folders)) {
    // Each with one separator at its end, as the paths inside it start.
    for (auto& kept : folders_) kept.path = hostenv::withseparator(kept.path);
}

void BackupWriter::open() {
    fs_.makefolder(folder_);
    // The run after every run whose set is here, restored and refused ones included.
    const SetListing listing = backupsets(fs_, owner_, folder_);
    for (std::uint32_t run = listing.highestrun + 1; run != 0 && run < listing.highestrun + 100;
         ++run) {
        const std::string path = hostenv::joinpath(
            folder_, stamp_ + std::string(runword) + std::to_string(run) + ".zip");
        if (auto file = fs_.createappending(path)) {
            zip_.emplace(std::move(file), path, ziptime(stamp_));
            setpath_ = path;
            run_ = run;
            return;
        }
    }
    if (listing.highestrun == std::numeric_limits<std::uint32_t>::max()) {
        throw Failure("Cannot create a backup set in " + folder_ + "\r\nA set there has run " +
                      std::to_string(listing.highestrun) +
                      ", the highest a set can have: move it elsewhere for " + owner_.program +
                      " to number its " + owner_.runs + " again.");
    }
    throw Failure("Cannot create a backup set in " + folder_ +
                  "\r\nEvery name tried for the run after run " +
                  std::to_string(listing.highestrun) + " exists.");
}

std::string BackupWriter::entryname(const std::string& path) const {
    // The deepest folder that holds it: one kept folder may lie inside another.
    const KeptFolder* best = nullptr;
    for (const auto& kept : folders_) {
        const std::string& folder = kept.path;
        if (!folder.empty() && path.size() > folder.size() && path.starts_with(folder) &&
            (best == nullptr || folder.size() > best->path.size())) {
            best = &kept;
        }
    }
    std::string name =
        best == nullptr ? "other/" + path : best->prefix + path.substr(best->path.size());
    std::replace(name.begin(), name.end(), '\\', '/');
    name.erase(std::remove(name.begin(), name.end(), ':'), name.end());
    return name;
}

void BackupWriter::add(const std::string& path, std::string_view oldbytes,
                       std::string_view newbytes) {
    addentry(path, Change::replaced, oldbytes, newbytes);
}

void BackupWriter::addremoved(const std::string& path, std::string_view oldbytes) {
    addentry(path, Change::removed, oldbytes, {});
}

void BackupWriter::addcreated(const std::string& path, std::string_view newbytes) {
    addentry(path, Change::created, {}, newbytes);
}

void BackupWriter::addentry(const std::string& path, Change change, std::string_view oldbytes,
                            std::string_view newbytes) {
    if (!zip_) open();
    record_ = filerecord(run_, change, crc32of(newbytes), newbytes.size(), path);
    zip_->add(entryname(path), oldbytes, record_);
    batch_.push_back(path);
}

void BackupWriter::commit() {
    if (zip_) zip_->flush();
}

void BackupWriter::closebatch(std::size_t replaced) {
    std::vector<bool> placed(batch_.size(), false);
    std::fill_n(placed.begin(), std::min(replaced, placed.size()), true);
    closebatch(placed);
}

void BackupWriter::closebatch(const std::vector<bool>& placed) {
    if (batch_.empty()) return;
    std::string text = owner_.program + " put these " + owner_.files +
                       " of the entries before this one in place:\r\n";
    std::vector<bool> inbatch(batch_.size(), false);
    for (std::size_t i = 0; i < batch_.size() && i < placed.size(); ++i) {
        if (!placed[i]) continue;
        inbatch[i] = true;
        ++replaced_;
        text += batch_[i] + "\r\n";
    }
    batch_.clear();
    zip_->add(owner_.recordprefix + "batch " + std::to_string(++batches_) + ".txt", text,
              batchrecord(run_, inbatch));
}

void BackupWriter::finish() {
    if (finished_ || !zip_) return;
    finished_ = true;
    // A set whose writing failed keeps what it committed, for a restore, and takes no end.
    if (!zip_->failed()) zip_->finish();
    zip_.reset();
    if (replaced_ == 0) {
        // Nothing to undo.
        try {
            fs_.remove(setpath_);
        } catch (const Failure&) {
            // Never offered all the same: it holds no file its run replaced.
        }
        setpath_.clear();
    }
}

void finishunderway(BackupWriter* set) noexcept {
    if (set == nullptr) return;
    try {
        set->finish();
    } catch (const Failure&) {
        // Restorable without its end; the player asked to stop.
    }
}

SetListing backupsets(hostenv::FileSystem& fs, const SetOwner& owner, const std::string& folder) {
    SetListing listing;
    const hostenv::Description sets = fs.describe(folder, hostenv::Ask::target);
    if (sets.what != hostenv::What::folder) return listing;
    if (const auto& target = sets.target) {
        throw Failure(folder + " is a link to " + *target + ".\r\n" + owner.program +
                      " keeps its backup sets only in a folder of its own, and reads, renames "
                      "and deletes nothing through a link.");
    }
    std::vector<std::pair<SetName, BackupSet>> found;
    for (const auto& file : fs.readfolder(hostenv::withseparator(folder), "", "*.zip").files) {
        const std::string& name = file.name;
        auto parsed = parsesetname(name);
        if (!parsed) continue;
        const std::string path = hostenv::joinpath(folder, name);
        std::optional<SetRecord> record;
        // A link or an unreadable file may be a set of ours all the same: no run takes the
        // number its name holds again. A zip that is not ours numbers nothing.
        const auto numbered = [&] {
            listing.highestrun = std::max(listing.highestrun, parsed->run.value_or(0));
        };
        try {
            if (fs.describe(path, hostenv::Ask::target).target) {
                numbered();
                continue;
            }
            record = firstrecord(fs, path);
        } catch (const Failure& failure) {
            listing.unreadable.push_back(failure.what());
            numbered();
            continue;
        }
        // A set of ours holds our record first, with the run its name gives.
        if (!record || (record->version > 1 && record->run != parsed->run) ||
            (record->version == 1 && parsed->run)) {
            continue;
        }
        BackupSet set{path, name, parsed->run.value_or(0), parsed->state};
        listing.highestrun = std::max(listing.highestrun, set.run);
        found.emplace_back(std::move(*parsed), std::move(set));
    }
    std::stable_sort(found.begin(), found.end(), [](const auto& a, const auto& b) {
        if (a.second.run != b.second.run) return a.second.run < b.second.run;
        if (a.first.stamp != b.first.stamp) return a.first.stamp < b.first.stamp;
        return a.first.sameseconds < b.first.sameseconds;
    });
    for (auto& [name, set] : found) listing.sets.push_back(std::move(set));
    return listing;
}

void prunebackupsets(hostenv::FileSystem& fs, const SetOwner& owner, const std::string& folder,
                     const std::string& ownset, std::size_t keep) {
    const auto sets = backupsets(fs, owner, folder).sets;
    const auto own = std::find_if(sets.begin(), sets.end(), [&](const BackupSet& set) {
        return hostenv::lower(set.path) == hostenv::lower(ownset);
    });
    // Nothing from this run's own set on: a set newer than it came from a clock or a hand
    // this run cannot judge.
    const auto end = static_cast<std::size_t>(own - sets.begin());
    if (own == sets.end() || sets.size() <= keep) return;
    for (std::size_t i = 0; i < std::min(end, sets.size() - keep); ++i) {
        try {
            fs.remove(sets[i].path);
        } catch (const Failure&) {
            // Open in another program or read-only: the next run tries again.
        }
    }
}

std::string datetext(const BackupSet& set) {
    std::string date = set.name.substr(0, 19);
    date[13] = ':';
    date[16] = ':';
    return date;
}

void markset(hostenv::FileSystem& fs, const BackupSet& set, BackupSet::State state) {
    const auto parsed = parsesetname(set.name);
    std::string base = set.path.substr(0, set.path.size() - zipending.size());
    if (parsed && parsed->state != BackupSet::State::open) {
        base.resize(base.size() - (parsed->state == BackupSet::State::restored
                                       ? restoredending.size()
                                       : refusedending.size()));
    }
    fs.rename(set.path,
              base +
                  std::string(state == BackupSet::State::refused ? refusedending : restoredending) +
                  ".zip");
}

}  // namespace hostenv::backup
