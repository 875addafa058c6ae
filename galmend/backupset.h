// Backup sets: every fix that rewrites a galaxy keeps the galaxy's old bytes in one zip file,
// a set, so that "galmend /restore" or the window's undo can put them back. A set is named
// after the run's local start time ("2026-12-07 19-32-13.zip", then " (2)"... for runs in the
// same second) and renamed "... restored.zip" once restored; the newest not yet restored is
// the one a restore takes.
//
// Each entry is one galaxy's old bytes, named "game/..." or "user/..." after its path below
// the game's or the player's galaxy folder, so that a player can copy one back by hand. Its
// private field records the galaxy's full path and the CRC-32 and size of the bytes the fix
// wrote there: a restore puts back only a galaxy that still holds them.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "hostenv/filesystem.h"
#include "hostenv/ui.h"
#include "zipfile.h"

namespace galmend {

// The folder of the sets inside the local application-data folder.
std::string backupsfolder(const std::string& localappfolder);

// Keeps the old bytes of the galaxies one fix rewrites. The order that makes a set survive a
// killed run: add every galaxy of a batch, commit, and only then replace them. The file is
// made when the first galaxy is added; a fix that rewrites nothing leaves no set.
class BackupWriter {
  public:
    // stamp: the run's local start time, "YYYY-MM-DD HH-MM-SS"; galaxyfolders: the game's
    // and the player's galaxy folder.
    BackupWriter(hostenv::FileSystem& fs, std::string backupsfolder, std::string stamp,
                 std::array<std::string, 2> galaxyfolders);

    // Appends the old bytes of the galaxy at path and the record of its new bytes; nothing
    // is written through to the disk yet, nor held in memory. Throws Failure; after a failed
    // write the set takes nothing more (every galaxy committed before stays restorable).
    void add(const std::string& path, std::string_view oldbytes, std::string_view newbytes);
    // Writes everything added through to the disk: the galaxies added may now be replaced.
    // Throws Failure, and then none of them may be.
    void commit();
    // Writes the set's central directory, which standard zip readers need, and closes it;
    // call it however the fix ends. After a failed add or commit it writes nothing more:
    // a set left unfinished so, or by a killed run, is still restored whole.
    void finish();

    // The set's full path; empty until the first galaxy is added.
    const std::string& setpath() const { return setpath_; }
    // The galaxies added.
    std::size_t galaxies() const { return galaxies_; }

  private:
    void open();
    std::string entryname(const std::string& path) const;

    hostenv::FileSystem& fs_;
    std::string folder_;
    std::string stamp_;
    std::array<std::string, 2> galaxyfolders_;
    std::optional<ZipWriter> zip_;
    std::string setpath_;
    std::size_t galaxies_ = 0;
    std::string record_;
};

// A set as its file name tells.
struct BackupSet {
    std::string path;
    std::string name;
    std::string stamp;      // "YYYY-MM-DD HH-MM-SS"
    unsigned number = 1;    // the n of " (n)"; 1 without
    bool restored = false;  // named "... restored.zip"
};

// The set that the file name in folder names; nullopt for any other name.
std::optional<BackupSet> parsesetname(const std::string& folder, std::string_view name);
// The sets in folder, oldest first; none when the folder is missing. Throws Failure when the
// folder cannot be listed.
std::vector<BackupSet> backupsets(hostenv::FileSystem& fs, const std::string& folder);
// The newest set not yet restored.
std::optional<BackupSet> newestunrestored(hostenv::FileSystem& fs, const std::string& folder);
// Deletes every set but the keep newest, restored or not; one that cannot be deleted now is
// left for a later run. Throws Failure only when the folder cannot be listed.
void prunebackupsets(hostenv::FileSystem& fs, const std::string& folder, std::size_t keep = 10);
// The time a set was made, as a person reads it: "2026-12-07 19:32:13".
std::string datetext(const BackupSet& set);

// What the window asks before it restores: the newest set not yet restored, when it was
// made and how many galaxies it holds. Throws Failure when the set cannot be read.
struct RestoreOffer {
    BackupSet set;
    std::string date;
    std::size_t galaxies = 0;
};
std::optional<RestoreOffer> restoreoffer(hostenv::FileSystem& fs, const std::string& folder);

// What a restore did with one galaxy of a set.
enum class GalaxyOutcome {
    restored,
    // It held its old bytes already: the fix stopped before it replaced it.
    alreadyold,
    changed,  // since the fix, by the player or another run
    gone,
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
        // Not a set of ours (or damaged at its very start): nothing was restored.
        notours,
        // It ends before its first galaxy: the fix that made it changed none.
        empty,
        // Something that is no galaxy of ours follows the galaxies listed: any beyond them
        // are lost.
        damaged,
    };
    Problem problem = Problem::none;
    std::vector<GalaxyRestore> galaxies;
    // Whether every galaxy listed holds its old bytes now.
    bool complete() const;
};

// Puts back each galaxy of the set at setpath that still holds what the fix wrote, through
// the same safe replacement a fix uses. Throws Failure when the set cannot be read at all.
SetRestore restoreset(hostenv::FileSystem& fs, const std::string& setpath);
// Renames the set "... restored.zip", so that no later restore takes it. Throws Failure when
// the rename fails.
void markrestored(hostenv::FileSystem& fs, const BackupSet& set);

// The whole restore of "/restore" and the window's undo: restores the newest set in folder
// not yet restored and marks it restored (unless putting a galaxy back failed, so that a
// later try can). Reports "Restored <path>" for each galaxy put back and a line for each
// galaxy left, with its reason; then the count line, or why nothing was restored, goes to a
// message box when something was left or when not silent, else to the report. Whether every
// galaxy holds its old bytes now (true with no set to restore). A failure to read the folder
// or the set is shown the same way, never thrown.
bool restorenewest(hostenv::FileSystem& fs, const std::string& folder, hostenv::UserInterface& ui,
                   bool silent);

}  // namespace galmend
