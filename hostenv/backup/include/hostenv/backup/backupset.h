// Backup sets: every fix that rewrites a galaxy keeps the galaxy's old bytes in one zip file,
// a set, so that "galmend /restore" or the window's undo can put them back. A set is named
// after the run's local start time and its run number ("2026-12-08 19-32-13 run 12.zip"), and
// renamed "... restored.zip" once restored or "... refused.zip" when a restore refused it.
// Sets go by the order of the runs, which the run number keeps whatever the clock did; sets
// named before run numbers ("2026-12-07 19-32-13.zip") come first, by name.
//
// Each galaxy entry is one galaxy's old bytes, named "game/..." or "user/..." after its path
// below the game's or the player's galaxy folder, so that a player can copy one back by hand.
// Its private field records the run, the galaxy's full path and the CRC-32 and size of the
// bytes the fix wrote there: a restore puts back only a galaxy that still holds them. After
// each batch of galaxies is put in place, a small entry "galmend/batch N.txt" records how
// many of them were replaced, so that a restore counts only galaxies the fix changed.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "hostenv/backup/zipfile.h"
#include "hostenv/filesystem.h"
#include "hostenv/text.h"

namespace hostenv::backup {

// The folder of the sets inside the local application-data folder. Throws Failure when
// Windows gave no such folder: a set anywhere else would land where no player looks.
std::string backupsfolder(const std::string& localappfolder);

// Keeps the old bytes of the galaxies one fix rewrites. The order that makes a set survive a
// killed run: add every galaxy of a batch, commit, replace them, and close the batch. The file
// is made when the first galaxy is added.
class BackupWriter {
  public:
    // stamp: the run's local start time, "YYYY-MM-DD HH-MM-SS"; galaxyfolders: the game's
    // and the player's galaxy folder.
    BackupWriter(hostenv::FileSystem& fs, std::string backupsfolder, std::string stamp,
                 std::array<std::string, 2> galaxyfolders);

    // Appends the old bytes of the galaxy at path and the record of its new bytes to the
    // batch; nothing is written through to the disk yet. Throws Failure; after a failed write
    // the set takes nothing more (every galaxy committed before stays restorable).
    void add(const std::string& path, std::string_view oldbytes, std::string_view newbytes);
    // Writes everything added through to the disk: the galaxies added may now be replaced.
    // Throws Failure, and then none of them may be.
    void commit();
    // Records that the first replaced galaxies of the batch were put in place, the rest not.
    // Throws Failure; a batch left unclosed is told apart by what its galaxies hold.
    void closebatch(std::size_t replaced);
    // Writes the set's central directory, which standard zip readers need, and closes it;
    // call it however the fix ends; once is enough. A set whose fix replaced no galaxy is
    // removed, as it has nothing to undo. After a failed write it writes nothing more: a set
    // left unfinished so, or by a killed run, is still restored. Throws Failure.
    void finish();

    // The set's full path; empty until the first galaxy is added, and again once a set that
    // replaced nothing is removed.
    const std::string& setpath() const { return setpath_; }
    // The galaxies replaced, as closebatch was told.
    std::size_t replaced() const { return replaced_; }

  private:
    void open();
    std::string entryname(const std::string& path) const;

    hostenv::FileSystem& fs_;
    std::string folder_;
    std::string stamp_;
    std::array<std::string, 2> galaxyfolders_;
    std::optional<ZipWriter> zip_;
    std::string setpath_;
    std::uint32_t run_ = 0;
    std::vector<std::string> batch_;
    std::size_t batches_ = 0;
    std::size_t replaced_ = 0;
    bool finished_ = false;
    std::string record_;
};

// A set of ours, as its name and its first record tell.
struct BackupSet {
    enum class State { open, restored, refused };
    std::string path;
    std::string name;
    // Its run's number; 0 for a set made before runs were numbered.
    std::uint32_t run = 0;
    State state = State::open;
};

// The sets of a folder, oldest run first, and the files named like sets that could not be
// read (each with its reason): they are passed over, never offered.
struct SetListing {
    std::vector<BackupSet> sets;
    std::vector<std::string> unreadable;
    // The highest run number of the sets: the next run takes the one after.
    std::uint32_t highestrun = 0;
};

// Only sets of ours count, known by their first record; a file that is a link is passed over
// silently, never read, renamed or deleted. None when the folder is missing. Throws Failure
// when the folder is a link, or cannot be listed.
SetListing backupsets(hostenv::FileSystem& fs, const std::string& folder);
// Deletes the sets before the keep newest, never the one at ownset nor any newer by the order
// of the runs; one that cannot be deleted now is left for a later run. Throws Failure only
// when the folder cannot be listed.
void prunebackupsets(hostenv::FileSystem& fs, const std::string& folder, const std::string& ownset,
                     std::size_t keep = 10);
// The time a set's name gives, as a person reads it: "2026-12-07 19:32:13".
std::string datetext(const BackupSet& set);

// Where a restore may write: the galaxy folders as this run finds them, and the game's own
// maps, which no restore touches.
struct RestoreScope {
    std::array<std::string, 2> galaxyfolders;
    const hostenv::Lines& originalmaps;
};

// What a restore did with one galaxy the fix replaced.
enum class GalaxyOutcome {
    restored,
    // It holds its old bytes again: put back by hand, say.
    alreadyold,
    changed,  // since the fix, by the player or another run
    gone,
    link,     // it is a link now: nothing is written through it
    damaged,  // its old bytes in the set are not whole
    failed,   // putting them back failed; reason says why
};

struct GalaxyRestore {
    std::string path;
    GalaxyOutcome outcome = GalaxyOutcome::failed;
    std::string reason;
};

struct SetRestore {
    enum class Problem {
        none,
        // Not a set of ours, or damaged at its very start: nothing was restored.
        notours,
        // A record names a file no restore may write: nothing was restored.
        refused,
    };
    Problem problem = Problem::none;
    // For refused: the record's path and why.
    std::string refusedpath;
    std::string refusedwhy;
    // The set has no end or is damaged part way: galaxies the fix replaced after the last it
    // can account for may be missing from it.
    bool incomplete = false;
    std::string lastaccounted;
    // The galaxies the fix replaced, in its order, as far as the set and the disk tell.
    std::vector<GalaxyRestore> galaxies;
    std::size_t count(GalaxyOutcome outcome) const;
    // Whether nothing was left: every galaxy holds its old bytes now, and the set is whole.
    bool complete() const;
};

// Which galaxies of a set its fix replaced, each record checked.
struct SetPlan;

// What a restore takes, and what undo asks before: the newest open set whose fix replaced a
// galaxy, when it was made and how many galaxies its fix replaced; and the files named like
// sets that were passed over, each with its reason.
struct RestoreOffer {
    std::optional<BackupSet> set;
    std::string date;
    std::size_t galaxies = 0;
    std::vector<std::string> unreadable;
    // What the restore of set does, read once for the question and the restore.
    std::shared_ptr<const SetPlan> plan;
};
// Throws Failure when the folder cannot be read.
RestoreOffer restoreoffer(hostenv::FileSystem& fs, const std::string& folder,
                          const RestoreScope& scope);

// Renames the set "... restored.zip" or "... refused.zip", so that no later restore takes it.
// Throws Failure when the rename fails.
void markset(hostenv::FileSystem& fs, const BackupSet& set, BackupSet::State state);

// A whole restore of the set an offer names: each galaxy the fix replaced that still holds
// what the fix wrote is put back, through the same safe replacement a fix uses, pace's
// between running where the program may end; then the set is marked restored, or,
// when a record was refused and nothing written, marked refused. A set where putting a galaxy
// back failed stays as it was, so that a later try finishes it; so does one whose restore the
// program's end stopped part way.
struct RestoreRun {
    SetRestore restore;
    // Why the set could not be marked; empty when it was, or was to stay.
    std::string markfailure;
};
// Where a restore lets the program's events run: between two galaxies, with no galaxy's old
// bytes waiting beside it. Galaxies are put in place in batches, which end early when due
// says it is time for between.
struct RestorePace {
    std::function<void()> between;
    std::function<bool()> due;
};
RestoreRun restorefrom(hostenv::FileSystem& fs, const RestoreOffer& offer, const RestorePace& pace);

}  // namespace hostenv::backup
