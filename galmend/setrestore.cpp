// Restoring a set: which galaxies its fix replaced, whether the set may write them at all, and
// putting their old bytes back.
#include <algorithm>
#include <cctype>
#include <deque>
#include <map>
#include <memory>
#include <new>
#include <stdexcept>
#include <utility>

#include "backupset.h"
#include "hostenv/failure.h"
#include "hostenv/safereplace.h"
#include "hostenv/text.h"
#include "setrecord.h"

namespace galmend {

namespace {

using hostenv::Failure;

// The path a record names with "." and ".." resolved as Windows resolves them; nullopt, with
// why, for a path no restore writes: not a full path, or with a name that Windows would change
// (a trailing dot or blank) or ends early (a NUL), and so would lead elsewhere than it reads.
std::optional<std::string> resolvedpath(std::string_view path, std::string& why) {
    if (path.size() < 3 || !std::isalpha(static_cast<unsigned char>(path[0])) || path[1] != ':' ||
        path[2] != '\\') {
        why = "is not a full path on a drive";
        return std::nullopt;
    }
    std::string_view rest = path.substr(3);
    if (path.find('/') != std::string_view::npos) {
        why = "holds a \"/\", which Windows reads as a folder's end";
        return std::nullopt;
    }
    // Windows ends a path at a NUL: the file written would be another than the one checked.
    // Other characters Windows forbids stay: a galaxy in a Linux folder seen through Wine may
    // be named so, and its record keeps its name.
    if (rest.find('\0') != std::string_view::npos) {
        why = "holds a NUL, where Windows would end it";
        return std::nullopt;
    }
    std::vector<std::string_view> parts;
    while (!rest.empty() || !parts.empty()) {
        const std::size_t end = std::min(rest.find('\\'), rest.size());
        const std::string_view part = rest.substr(0, end);
        if (part.empty()) {
            why = "has an empty name between two \"\\\"";
            return std::nullopt;
        }
        if (part == "..") {
            if (parts.empty()) {
                why = "leads above its drive";
                return std::nullopt;
            }
            parts.pop_back();
        } else if (part != ".") {
            if (part.back() == '.' || part.back() == ' ') {
                why = "has a name ending in a dot or a blank, which Windows would change";
                return std::nullopt;
            }
            parts.push_back(part);
        }
        if (end == rest.size()) break;
        rest = rest.substr(end + 1);
    }
    std::string resolved(path.substr(0, 2));
    for (const auto part : parts) resolved += "\\" + std::string(part);
    return resolved;
}

// Where a restore may write, as this run finds it: inside the two galaxy folders by their
// final paths, never a game's own map.
class Bounds {
  public:
    Bounds(hostenv::FileSystem& fs, const RestoreScope& scope)
        : fs_(fs), originalmaps_(scope.originalmaps) {
        for (std::size_t i = 0; i < roots_.size(); ++i) {
            if (!scope.galaxyfolders[i].empty()) roots_[i] = finalfolder(scope.galaxyfolders[i]);
        }
    }

    // The path a restore writes for a record's path; nullopt, with why, when it may not.
    // final: the path the galaxy has once its folder's links are followed; a galaxy whose own
    // final path is another is a link.
    std::optional<std::string> target(const std::string& path, std::string& why,
                                      std::string& final) {
        auto resolved = resolvedpath(path, why);
        if (!resolved) return std::nullopt;
        const std::string_view name = hostenv::lastcomponent(*resolved);
        if (!hostenv::lower(name).ends_with(".galaxy")) {
            why = "is not a galaxy (a \".galaxy\" file)";
            return std::nullopt;
        }
        if (std::any_of(originalmaps_.begin(), originalmaps_.end(),
                        [&](const auto& own) { return hostenv::samefilename(*resolved, own); })) {
            why = "is one of the game's own maps";
            return std::nullopt;
        }
        final = finalfolder(resolved->substr(0, resolved->size() - name.size() - 1));
        const std::string folder = hostenv::lower(final);
        final += "\\" + std::string(name);
        if (std::none_of(roots_.begin(), roots_.end(), [&](const std::string& root) {
                return !root.empty() && (folder == hostenv::lower(root) ||
                                         folder.starts_with(hostenv::lower(root) + "\\"));
            })) {
            why = "lies outside the game's galaxy folder and the player's";
            return std::nullopt;
        }
        return resolved;
    }

  private:
    // A folder's final path, once per folder; as named when it is not there.
    std::string finalfolder(const std::string& folder) {
        const auto known = finals_.find(folder);
        if (known != finals_.end()) return known->second;
        std::string final = fs_.describe(folder, hostenv::Ask::final).final.value_or(folder);
        while (final.ends_with('\\')) final.pop_back();
        return finals_[folder] = final;
    }

    hostenv::FileSystem& fs_;
    const hostenv::Lines& originalmaps_;
    std::array<std::string, 2> roots_;
    std::map<std::string, std::string> finals_;
};

// One galaxy of a set and what the set knows of it.
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
    std::vector<Planned> galaxies;
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

// The galaxies the fix that wrote the set replaced, each record checked before anything is
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
                plan.galaxies.push_back(std::move(batch[i]));
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
    // A batch never closed: the fix was stopped while it put the batch in place, or before.
    std::string current;
    for (auto& galaxy : batch) {
        if (!galaxy.entry.whole) {
            // Its old bytes were being written when the fix stopped, so it was never replaced,
            // unless it holds the new bytes, which only a damaged set explains.
            if (holding(fs, galaxy.path, galaxy.record.newsize, galaxy.record.newcrc, current) ==
                Holding::these) {
                plan.galaxies.push_back(std::move(galaxy));
            }
        } else if (holding(fs, galaxy.path, galaxy.entry.size, galaxy.entry.crc, current) !=
                   Holding::these) {
            plan.galaxies.push_back(std::move(galaxy));
        }
    }
    if (listing.end != ZipListing::End::complete) plan.incomplete = true;
    return plan;
}

// Galaxies whose old bytes wait beside them, complete, to be put in place together: as for a
// fix, writing a batch of files and then moving them costs less than each in turn.
class Batch {
  public:
    Batch(hostenv::FileSystem& fs, std::vector<GalaxyRestore>& results)
        : fs_(fs), results_(results) {}

    // Stages bytes for the galaxy of results_[result]; throws Failure, with nothing left.
    void stage(const std::string& path, std::string_view bytes, std::size_t result) {
        files_.emplace_back(fs_, path, bytes);
        waiting_.push_back(result);
        bytes_ += bytes.size();
    }
    bool full() const { return files_.size() >= 64 || bytes_ >= (std::size_t{4} << 20); }
    bool empty() const { return files_.empty(); }
    // Moves each staged text over its galaxy; one that fails is named so.
    void putinplace() {
        for (std::size_t i = 0; i < files_.size(); ++i) {
            try {
                files_[i].replace();
            } catch (const Failure& failure) {
                results_[waiting_[i]].outcome = GalaxyOutcome::failed;
                results_[waiting_[i]].reason = failure.what();
            }
        }
        files_.clear();
        waiting_.clear();
        bytes_ = 0;
    }

  private:
    hostenv::FileSystem& fs_;
    std::vector<GalaxyRestore>& results_;
    std::deque<hostenv::StagedFile> files_;
    std::vector<std::size_t> waiting_;
    std::size_t bytes_ = 0;
};

// What becomes of one galaxy: its old bytes are staged when it holds what the fix wrote.
GalaxyRestore restoregalaxy(hostenv::FileSystem& fs, EntryReader& set, const Planned& galaxy,
                            std::string& current, Batch& batch, std::size_t result) {
    GalaxyRestore outcome{galaxy.path, GalaxyOutcome::failed, {}};
    try {
        const auto old = galaxy.entry.whole ? set.read(galaxy.entry) : std::nullopt;
        if (!old) {
            outcome.outcome = GalaxyOutcome::damaged;
            return outcome;
        }
        // One question tells a link from the galaxy itself, where its name finally leads, and
        // what it holds.
        const hostenv::Description found = fs.describe(galaxy.path, hostenv::Ask::final);
        if (!found.final) {
            outcome.outcome = GalaxyOutcome::gone;
            return outcome;
        }
        if (hostenv::lower(*found.final) != hostenv::lower(galaxy.final)) {
            outcome.outcome = GalaxyOutcome::link;
            outcome.reason = *found.final;
            return outcome;
        }
        switch (
            holding(fs, galaxy.path, found, galaxy.record.newsize, galaxy.record.newcrc, current)) {
            case Holding::these:
                batch.stage(galaxy.path, *old, result);
                outcome.outcome = GalaxyOutcome::restored;
                break;
            case Holding::gone:
                outcome.outcome = GalaxyOutcome::gone;
                break;
            case Holding::other:
                outcome.outcome = holding(fs, galaxy.path, found, old->size(), galaxy.entry.crc,
                                          current) == Holding::these
                                      ? GalaxyOutcome::alreadyold
                                      : GalaxyOutcome::changed;
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

std::size_t SetRestore::count(GalaxyOutcome outcome) const {
    return static_cast<std::size_t>(
        std::count_if(galaxies.begin(), galaxies.end(),
                      [&](const GalaxyRestore& galaxy) { return galaxy.outcome == outcome; }));
}

bool SetRestore::complete() const {
    return problem == Problem::none && !incomplete &&
           count(GalaxyOutcome::restored) + count(GalaxyOutcome::alreadyold) == galaxies.size();
}

namespace {

// Puts back the galaxies of a checked set, in the order they lie in it.
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
    Batch batch(fs, restore.galaxies);
    for (std::size_t i = 0; i < plan.galaxies.size(); ++i) {
        restore.galaxies.push_back(
            restoregalaxy(fs, set, plan.galaxies[i], current, batch, restore.galaxies.size()));
        if (batch.full() || i + 1 == plan.galaxies.size() || (pace.due && pace.due())) {
            batch.putinplace();
        }
        // Where the program may end: with no galaxy's old bytes waiting beside it.
        if (pace.between && batch.empty()) pace.between();
    }
    return restore;
}

}  // namespace

RestoreOffer restoreoffer(hostenv::FileSystem& fs, const std::string& folder,
                          const RestoreScope& scope) {
    SetListing listing = backupsets(fs, folder);
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
        if (plan->problem == SetRestore::Problem::none && plan->galaxies.empty()) continue;
        const std::size_t galaxies = plan->galaxies.size();
        return RestoreOffer{*set, datetext(*set), galaxies, std::move(listing.unreadable),
                            std::move(plan)};
    }
    return RestoreOffer{std::nullopt, {}, 0, std::move(listing.unreadable), nullptr};
}

RestoreRun restorefrom(hostenv::FileSystem& fs, const RestoreOffer& offer,
                       const RestorePace& pace) {
    const BackupSet& set = *offer.set;
    RestoreRun run{carryout(fs, set.path, *offer.plan, pace), {}};
    if (run.restore.problem == SetRestore::Problem::notours ||
        run.restore.count(GalaxyOutcome::failed) > 0) {
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

}  // namespace galmend
