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

// The files the run that wrote the set replaced, each record checked before anything is
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
            if (record->replaced > batch.size()) {
                plan.incomplete = true;
                break;
            }
            for (std::size_t i = 0; i < record->replaced; ++i) {
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
        if (!file.entry.whole) {
            // Its old bytes were being written when the run stopped, so it was never replaced,
            // unless it holds the new bytes, which only a damaged set explains.
            if (holding(fs, file.path, file.record.newsize, file.record.newcrc, current) ==
                Holding::these) {
                plan.files.push_back(std::move(file));
            }
        } else if (holding(fs, file.path, file.entry.size, file.entry.crc, current) !=
                   Holding::these) {
            plan.files.push_back(std::move(file));
        }
    }
    if (listing.end != ZipListing::End::complete) plan.incomplete = true;
    return plan;
}

// Files whose old bytes wait beside them, complete, to be put in place together: as for a run,
// writing a batch of files and then moving them costs less than each in turn.
class Batch {
  public:
    Batch(hostenv::FileSystem& fs, std::vector<FileRestore>& results)
        : fs_(fs), results_(results) {}

    // Stages bytes for the file of results_[result]; throws Failure, with nothing left.
    void stage(const std::string& path, std::string_view bytes, std::size_t result) {
        files_.emplace_back(fs_, path, bytes);
        waiting_.push_back(result);
        bytes_ += bytes.size();
    }
    bool full() const { return files_.size() >= 64 || bytes_ >= (std::size_t{4} << 20); }
    bool empty() const { return files_.empty(); }
    // Moves each staged text over its file; one that fails is named so.
    void putinplace() {
        for (std::size_t i = 0; i < files_.size(); ++i) {
            try {
                files_[i].replace();
            } catch (const Failure& failure) {
                results_[waiting_[i]].outcome = FileOutcome::failed;
                results_[waiting_[i]].reason = failure.what();
            }
        }
        files_.clear();
        waiting_.clear();
        bytes_ = 0;
    }

  private:
    hostenv::FileSystem& fs_;
    std::vector<FileRestore>& results_;
    std::deque<hostenv::StagedFile> files_;
    std::vector<std::size_t> waiting_;
    std::size_t bytes_ = 0;
};

// What becomes of one file: its old bytes are staged when it holds what the run wrote.
FileRestore restorefile(hostenv::FileSystem& fs, EntryReader& set, const Planned& file,
                        std::string& current, Batch& batch, std::size_t result) {
    FileRestore outcome{file.path, FileOutcome::failed, {}};
    try {
        const auto old = file.entry.whole ? set.read(file.entry) : std::nullopt;
        if (!old) {
            outcome.outcome = FileOutcome::damaged;
            return outcome;
        }
        // One question tells a link from the file itself, where its name finally leads, and
        // what it holds.
        const hostenv::Description found = fs.describe(file.path, hostenv::Ask::final);
        if (!found.final) {
            outcome.outcome = FileOutcome::gone;
            return outcome;
        }
        if (hostenv::lower(*found.final) != hostenv::lower(file.final)) {
            outcome.outcome = FileOutcome::link;
            outcome.reason = *found.final;
            return outcome;
        }
        switch (holding(fs, file.path, found, file.record.newsize, file.record.newcrc, current)) {
            case Holding::these:
                batch.stage(file.path, *old, result);
                outcome.outcome = FileOutcome::restored;
                break;
            case Holding::gone:
                outcome.outcome = FileOutcome::gone;
                break;
            case Holding::other:
                outcome.outcome = holding(fs, file.path, found, old->size(), file.entry.crc,
                                          current) == Holding::these
                                      ? FileOutcome::alreadyold
                                      : FileOutcome::changed;
                break;
        }
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
        return RestoreOffer{*set, datetext(*set), files, std::move(listing.unreadable),
                            std::move(plan)};
    }
    return RestoreOffer{std::nullopt, {}, 0, std::move(listing.unreadable), nullptr};
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
