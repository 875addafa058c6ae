// Restoring a set: which files its run replaced, whether the set may write them at all, and
// putting their old bytes back.
#include <algorithm>
#include <deque>
#include <map>
#include <memory>
#include <new>
#include <stdexcept>
#include <utility>

#include "hostenv/backup/backupset.h"
#include "hostenv/backup/setrecord.h"
#include "hostenv/failure.h"
#include "hostenv/paths.h"
#include "hostenv/safereplace.h"
#include "hostenv/text.h"

namespace hostenv::backup {

namespace {

using hostenv::Failure;

// Where a restore may write, as this run finds it: inside the kept folders by their final
// paths, and only what the program's check lets through.
class Bounds {
  public:
    Bounds(hostenv::FileSystem& fs, const RestoreScope& scope) : fs_(fs), scope_(scope) {
        for (const auto& kept : scope.folders) {
            if (!kept.path.empty()) roots_.push_back(finalfolder(kept.path));
        }
    }

    // The path a restore writes for a record's path; nullopt, with why, when it may not.
    // final: the path the file has once its folder's links are followed; a file whose own
    // final path is another is a link.
    std::optional<std::string> target(const std::string& path, std::string& why,
                                      std::string& final) {
        auto resolved = hostenv::checkeddrivepath(path, why);
        if (!resolved) return std::nullopt;
        if (auto refused = scope_.whynot ? scope_.whynot(*resolved) : std::nullopt) {
            why = std::move(*refused);
            return std::nullopt;
        }
        const std::string_view name = hostenv::lastcomponent(*resolved);
        const std::string folder = finalfolder(hostenv::parentpath(*resolved));
        final = hostenv::joinpath(folder, name);
        if (std::none_of(roots_.begin(), roots_.end(), [&](const std::string& root) {
                return !root.empty() && hostenv::liesinside(folder, root);
            })) {
            why = "lies outside " + scope_.owner.keptfolders;
            return std::nullopt;
        }
        return resolved;
    }

  private:
    // A folder's final path, once per folder; as named when it is not there.
    std::string finalfolder(const std::string& folder) {
        const auto known = finals_.find(folder);
        if (known != finals_.end()) return known->second;
        return finals_[folder] = hostenv::withoutseparator(
                   fs_.describe(folder, hostenv::Ask::final).final.value_or(folder));
    }

    hostenv::FileSystem& fs_;
    const RestoreScope& scope_;
    std::vector<std::string> roots_;
    std::map<std::string, std::string> finals_;
};

// One file of a set and what the set knows of it.
struct Planned {
    std::string path;
    std::string final;
    SetRecord record;
    ZipEntry entry;
    // A closed batch says it was replaced; otherwise only what it holds can tell.
    bool known = false;
};

}  // namespace

struct SetPlan {
    SetRestore::Problem problem = SetRestore::Problem::none;
    std::string refusedpath;
    std::string refusedwhy;
    bool incomplete = false;
    std::string lastaccounted;
    std::vector<Planned> files;
};

namespace {

enum class Holding { these, other, gone };

// Whether the file at path, as found, holds size bytes of CRC crc; current keeps what it read.
Holding holding(hostenv::FileSystem& fs, const std::string& path, const hostenv::Description& found,
                std::uint64_t size, std::uint32_t crc, std::string& current) {
    if (found.what == hostenv::What::missing) return Holding::gone;
    if (found.what != hostenv::What::file || found.size != size) return Holding::other;
    fs.readinto(path, current);
    return crc32of(current) == crc ? Holding::these : Holding::other;
}

Holding holding(hostenv::FileSystem& fs, const std::string& path, std::uint64_t size,
                std::uint32_t crc, std::string& current) {
    return holding(fs, path, fs.describe(path, 0), size, crc, current);
}

// Whether the file holds what the run left there: its new bytes, or nothing at all.
bool holdsnew(hostenv::FileSystem& fs, const Planned& file, std::string& current) {
    if (file.record.change == Change::removed) {
        return fs.describe(file.path, 0).what == hostenv::What::missing;
    }
    return holding(fs, file.path, file.record.newsize, file.record.newcrc, current) ==
           Holding::these;
}

// The files the run that wrote the set changed, each record checked before anything is
// written.
SetPlan planset(hostenv::FileSystem& fs, const std::string& setpath, const RestoreScope& scope) {
    SetPlan plan;
    const ZipListing listing = listzip(fs, setpath);
    if (listing.entries.empty() || !recordof(listing.entries.front())) {
        plan.problem = SetRestore::Problem::notours;
        return plan;
    }
    Bounds bounds(fs, scope);
    std::vector<Planned> batch;
    for (const auto& entry : listing.entries) {
        auto record = recordof(entry);
        if (!record) {
            // Our writer gives every entry its record: the set is damaged from here on.
            plan.incomplete = true;
            break;
        }
        if (record->kind == SetRecord::Kind::batch) {
            const auto placed = [&](std::size_t i) {
                return record->placed.empty() ? i < record->replaced
                                              : i < record->placed.size() && record->placed[i];
            };
            std::size_t taken = 0;
            for (std::size_t i = 0; i < batch.size(); ++i) taken += placed(i) ? 1 : 0;
            if (taken != record->replaced) {
                plan.incomplete = true;
                break;
            }
            for (std::size_t i = 0; i < batch.size(); ++i) {
                if (!placed(i)) continue;
                batch[i].known = true;
                plan.files.push_back(std::move(batch[i]));
            }
            batch.clear();
            continue;
        }
        std::string why;
        std::string final;
        auto target = bounds.target(record->path, why, final);
        if (!target) {
            plan.problem = SetRestore::Problem::refused;
            plan.refusedpath = record->path;
            plan.refusedwhy = why;
            return plan;
        }
        if (entry.whole) plan.lastaccounted = *target;
        batch.push_back({std::move(*target), std::move(final), std::move(*record), entry, false});
    }
    // A batch never closed: the run was stopped while it put the batch in place, or before.
    std::string current;
    for (auto& file : batch) {
        // A file rewritten whose old bytes are whole was changed unless it holds them still.
        // Any other was changed only when it holds what the run left there: a file whose old
        // bytes were being written when the run stopped was never changed, and one the run
        // removed or created is there or not.
        const bool changed =
            file.entry.whole && file.record.change == Change::replaced
                ? holding(fs, file.path, file.entry.size, file.entry.crc, current) != Holding::these
                : holdsnew(fs, file, current);
        if (changed) plan.files.push_back(std::move(file));
    }
    if (listing.end != ZipListing::End::complete) plan.incomplete = true;
    return plan;
}

// Files whose old bytes wait beside them, complete, to be put in place together: as for a run,
// writing a batch of files and then moving them costs less than each in turn. Files the run
// created are removed after the batch's others are back: a file created beside one it
// replaced may hold the only other copy of that one's old bytes.
class Batch {
  public:
    Batch(hostenv::FileSystem& fs, std::vector<FileRestore>& results)
        : fs_(fs), results_(results) {}

    // Stages bytes for the file of results_[result], to replace it, or to be created where
    // nothing is; throws Failure, with nothing left.
    void stage(const std::string& path, std::string_view bytes, std::size_t result, bool create) {
        files_.emplace_back(fs_, path, bytes);
        waiting_.push_back({result, create});
        bytes_ += bytes.size();
    }
    void remove(const std::string& path, std::size_t result) {
        removals_.emplace_back(path, result);
    }
    bool full() const {
        return files_.size() + removals_.size() >= 64 || bytes_ >= (std::size_t{4} << 20);
    }
    bool empty() const { return files_.empty() && removals_.empty(); }
    // Moves each staged text into place and removes the files to remove; one that fails is
    // named so.
    void putinplace() {
        const auto failed = [&](std::size_t result, const Failure& failure) {
            results_[result].outcome = FileOutcome::failed;
            results_[result].reason = failure.what();
        };
        for (std::size_t i = 0; i < files_.size(); ++i) {
            try {
                if (waiting_[i].second) {
                    files_[i].create();
                } else {
                    files_[i].replace();
                }
            } catch (const Failure& failure) {
                failed(waiting_[i].first, failure);
            }
        }
        for (const auto& [path, result] : removals_) {
            try {
                fs_.remove(path);
            } catch (const Failure& failure) {
                failed(result, failure);
            }
        }
        files_.clear();
        waiting_.clear();
        removals_.clear();
        bytes_ = 0;
    }

  private:
    hostenv::FileSystem& fs_;
    std::vector<FileRestore>& results_;
    std::deque<hostenv::StagedFile> files_;
    std::vector<std::pair<std::size_t, bool>> waiting_;
    std::vector<std::pair<std::string, std::size_t>> removals_;
    std::size_t bytes_ = 0;
};

// What becomes of one file: when it holds what the run left there, its old bytes are staged,
// or, when the run created it, it is to be removed.
FileRestore restorefile(hostenv::FileSystem& fs, EntryReader& set, const Planned& file,
                        std::string& current, Batch& batch, std::size_t result) {
    const Change change = file.record.change;
    FileRestore outcome{file.path, FileOutcome::failed, {}, change};
    try {
        std::optional<std::string> old;
        if (change != Change::created) {
            old = file.entry.whole ? set.read(file.entry) : std::nullopt;
            if (!old) {
                outcome.outcome = FileOutcome::damaged;
                return outcome;
            }
        }
        // One question tells a link from the file itself, where its name finally leads, and
        // what it holds.
        const hostenv::Description found = fs.describe(file.path, hostenv::Ask::final);
        if (!found.final) {
            // A link that leads nowhere reaches nothing, yet it stands in the file's place: it
            // is no file as before, and nothing is written through it.
            if (auto target = fs.describe(file.path, hostenv::Ask::target).target) {
                outcome.outcome = FileOutcome::link;
                outcome.reason = std::move(*target);
                return outcome;
            }
            if (change == Change::removed) {
                batch.stage(file.path, *old, result, true);
                outcome.outcome = FileOutcome::restored;
            } else {
                outcome.outcome =
                    change == Change::created ? FileOutcome::alreadyold : FileOutcome::gone;
            }
            return outcome;
        }
        if (hostenv::lower(*found.final) != hostenv::lower(file.final)) {
            outcome.outcome = FileOutcome::link;
            outcome.reason = *found.final;
            return outcome;
        }
        if (change != Change::removed && holding(fs, file.path, found, file.record.newsize,
                                                 file.record.newcrc, current) == Holding::these) {
            if (old) {
                batch.stage(file.path, *old, result, false);
            } else {
                batch.remove(file.path, result);
            }
            outcome.outcome = FileOutcome::restored;
            return outcome;
        }
        outcome.outcome = old && holding(fs, file.path, found, old->size(), file.entry.crc,
                                         current) == Holding::these
                              ? FileOutcome::alreadyold
                              : FileOutcome::changed;
    } catch (const Failure& failure) {
        outcome.reason = failure.what();
    } catch (const std::bad_alloc&) {
        outcome.reason = "There is not enough memory to hold its old and its present bytes.";
    } catch (const std::length_error&) {
        outcome.reason = "There is not enough memory to hold its old and its present bytes.";
    }
    return outcome;
}

}  // namespace

std::size_t SetRestore::count(FileOutcome outcome) const {
    return static_cast<std::size_t>(
        std::count_if(files.begin(), files.end(),
                      [&](const FileRestore& file) { return file.outcome == outcome; }));
}

std::size_t SetRestore::count(FileOutcome outcome, bool created) const {
    return static_cast<std::size_t>(
        std::count_if(files.begin(), files.end(), [&](const FileRestore& file) {
            return file.outcome == outcome && (file.change == Change::created) == created;
        }));
}

bool SetRestore::complete() const {
    return problem == Problem::none && !incomplete &&
           count(FileOutcome::restored) + count(FileOutcome::alreadyold) == files.size();
}

namespace {

// Puts back the files of a checked set, in the order they lie in it.
SetRestore carryout(hostenv::FileSystem& fs, const std::string& setpath, const SetPlan& plan,
                    const RestorePace& pace) {
    SetRestore restore;
    restore.problem = plan.problem;
    restore.refusedpath = plan.refusedpath;
    restore.refusedwhy = plan.refusedwhy;
    restore.incomplete = plan.incomplete;
    restore.lastaccounted = plan.lastaccounted;
    if (restore.problem != SetRestore::Problem::none) return restore;
    EntryReader set(fs, setpath);
    std::string current;
    Batch batch(fs, restore.files);
    for (std::size_t i = 0; i < plan.files.size(); ++i) {
        restore.files.push_back(
            restorefile(fs, set, plan.files[i], current, batch, restore.files.size()));
        if (batch.full() || i + 1 == plan.files.size() || (pace.due && pace.due())) {
            batch.putinplace();
        }
        // Where the program may end: with no file's old bytes waiting beside it.
        if (pace.between && batch.empty()) pace.between();
    }
    return restore;
}

}  // namespace

RestoreOffer restoreoffer(hostenv::FileSystem& fs, const std::string& folder,
                          const RestoreScope& scope) {
    SetListing listing = backupsets(fs, scope.owner, folder);
    for (auto set = listing.sets.rbegin(); set != listing.sets.rend(); ++set) {
        if (set->state != BackupSet::State::open) continue;
        std::shared_ptr<const SetPlan> plan;
        try {
            plan = std::make_shared<const SetPlan>(planset(fs, set->path, scope));
        } catch (const Failure& failure) {
            listing.unreadable.push_back(failure.what());
            continue;
        }
        // A set that would be refused is offered, so that undo says why and sets it aside.
        if (plan->problem == SetRestore::Problem::none && plan->files.empty()) continue;
        const std::size_t files = plan->files.size();
        const auto created = static_cast<std::size_t>(std::count_if(
            plan->files.begin(), plan->files.end(),
            [](const Planned& file) { return file.record.change == Change::created; }));
        return RestoreOffer{
            *set, datetext(*set), files, std::move(listing.unreadable), std::move(plan), created};
    }
    return RestoreOffer{std::nullopt, {}, 0, std::move(listing.unreadable), nullptr, 0};
}

RestoreRun restorefrom(hostenv::FileSystem& fs, const RestoreOffer& offer,
                       const RestorePace& pace) {
    const BackupSet& set = *offer.set;
    RestoreRun run{carryout(fs, set.path, *offer.plan, pace), {}};
    if (run.restore.problem == SetRestore::Problem::notours ||
        run.restore.count(FileOutcome::failed) > 0) {
        return run;
    }
    try {
        markset(fs, set,
                run.restore.problem == SetRestore::Problem::refused ? BackupSet::State::refused
                                                                    : BackupSet::State::restored);
    } catch (const Failure& failure) {
        run.markfailure = failure.what();
    }
    return run;
}

}  // namespace hostenv::backup
