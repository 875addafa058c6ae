// Backup sets: a program that rewrites the files a player keeps first puts their old bytes in
// one zip file per run, a set, so that its undo can put them back. A set is named after the
// run's local start time and its run number ("2026-12-08 19-32-13 run 12.zip"), and renamed
// "... restored.zip" once restored or "... refused.zip" when a restore refused it. Sets go by
// the order of the runs, which the run number keeps whatever the clock did; sets named before
// run numbers ("2026-12-07 19-32-13.zip") come first, by name.
//
// Each file's entry is its old bytes, named after its path below the kept folder that holds it
// and behind that folder's prefix ("first/..."), so that a player can copy one back by hand.
// Its private field records the run, the file's full path and the CRC-32 and size of the bytes
// the run wrote there: a restore puts back only a file that still holds them. After each batch
// of files is put in place, a small entry behind the program's own prefix ("<program>/batch
// N.txt") records how many of them were replaced, so that a restore counts only files the run
// changed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "hostenv/backup/setrecord.h"
#include "hostenv/backup/zipfile.h"
#include "hostenv/filesystem.h"

namespace hostenv::backup {

// What is the program's own in its sets: where they are, how its records are named, and the
// words its messages use.
struct SetOwner {
    // The program's name, as its messages begin a sentence with it.
    std::string program;
    // The folder of its sets inside the local application-data folder: "<program> backups".
    // Its sets are found by it, so it stays as it is once a set was made.
    std::string folder;
    // How the names of its batch entries begin: "<program>/" gives "<program>/batch 1.txt".
    std::string recordprefix;
    // The files it keeps and its runs that keep them, in the plural: "maps", "updates".
    std::string files;
    std::string runs;
    // The kept folders, as a sentence names them: "the map folder and the player's".
    std::string keptfolders;
    // A file and a run, in the singular: "map", "update".
    std::string file;
    std::string run;
};

// A folder whose files a set keeps, as this run finds it, and how the names of their entries
// begin: "first/".
struct KeptFolder {
    std::string path;
    std::string prefix;
};

// The folder of the owner's sets inside the local application-data folder. Throws Failure
// when Windows gave no such folder: a set anywhere else would land where no player looks.
std::string backupsfolder(const SetOwner& owner, const std::string& localappfolder);

// Keeps the old bytes of the files one run rewrites. The order that makes a set survive a
// killed run: add every file of a batch, commit, replace them, and close the batch. The set
// is made when the first file is added.
class BackupWriter {
  public:
    // stamp: the run's local start time, "YYYY-MM-DD HH-MM-SS"; folders: the kept folders.
    BackupWriter(hostenv::FileSystem& fs, SetOwner owner, std::string backupsfolder,
                 std::string stamp, std::vector<KeptFolder> folders);

    // Appends the old bytes of the file at path and the record of its new bytes to the
    // batch; nothing is written through to the disk yet. Throws Failure; after a failed write
    // the set takes nothing more (every file committed before stays restorable).
    void add(const std::string& path, std::string_view oldbytes, std::string_view newbytes);
    // As add, for a file the run removes, and for one it creates where there was none.
    void addremoved(const std::string& path, std::string_view oldbytes);
    void addcreated(const std::string& path, std::string_view newbytes);
    // Writes everything added through to the disk: the files added may now be changed.
    // Throws Failure, and then none of them may be.
    void commit();
    // Records that the first replaced files of the batch were put in place, the rest not.
    // Throws Failure; a batch left unclosed is told apart by what its files hold.
    void closebatch(std::size_t replaced);
    // Records which files of the batch, in the order added, were put in place.
    void closebatch(const std::vector<bool>& placed);
    // Writes the set's central directory, which standard zip readers need, and closes it;
    // call it however the run ends; once is enough. A set whose run replaced no file is
    // removed, as it has nothing to undo. After a failed write it writes nothing more: a set
    // left unfinished so, or by a killed run, is still restored. Throws Failure.
    void finish();

    // The set's full path; empty until the first file is added, and again once a set that
    // replaced nothing is removed.
    const std::string& setpath() const { return setpath_; }
    // The files replaced, as closebatch was told.
    std::size_t replaced() const { return replaced_; }

  private:
    void open();
    std::string entryname(const std::string& path) const;
    void addentry(const std::string& path, Change change, std::string_view oldbytes,
                  std::string_view newbytes);

    hostenv::FileSystem& fs_;
    SetOwner owner_;
    std::string folder_;
    std::string stamp_;
    std::vector<KeptFolder> folders_;
    std::optional<ZipWriter> zip_;
    std::string setpath_;
    std::uint32_t run_ = 0;
    std::vector<std::string> batch_;
    std::size_t batches_ = 0;
    std::size_t replaced_ = 0;
    bool finished_ = false;
    std::string record_;
};

// Names a run's set as the one under way while it lives: the program's end ("exit", closing
// the window) finishes it first (finishunderway), so that any zip reader opens it.
class SetUnderWay {
  public:
    SetUnderWay(BackupWriter*& current, BackupWriter& set) : current_(current) { current_ = &set; }
    ~SetUnderWay() { current_ = nullptr; }
    SetUnderWay(const SetUnderWay&) = delete;
    SetUnderWay& operator=(const SetUnderWay&) = delete;

  private:
    BackupWriter*& current_;
};

// Writes the end of the set under way, if any. A failure is dropped: the set is restorable
// without its end, and the player asked to stop.
void finishunderway(BackupWriter* set) noexcept;

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
SetListing backupsets(hostenv::FileSystem& fs, const SetOwner& owner, const std::string& folder);
// Deletes the sets before the keep newest, never the one at ownset nor any newer by the order
// of the runs; one that cannot be deleted now is left for a later run. Throws Failure only
// when the folder cannot be listed.
void prunebackupsets(hostenv::FileSystem& fs, const SetOwner& owner, const std::string& folder,
                     const std::string& ownset, std::size_t keep = 10);
// The time a set's name gives, as a person reads it: "2026-12-07 19:32:13".
std::string datetext(const BackupSet& set);

// Where a restore may write: inside the kept folders as this run finds them, and only files
// the program's own check lets through.
struct RestoreScope {
    const SetOwner& owner;
    // Their prefixes play no part in a restore.
    std::vector<KeptFolder> folders;
    // Why the program never restores the file at a full path, "." and ".." resolved, as a
    // clause after "which" ("is not a map"); nullopt when it may. None lets every file through.
    std::function<std::optional<std::string>(const std::string& path)> whynot;
};

// What a restore did with one file the run replaced.
enum class FileOutcome {
    restored,
    // It holds its old bytes again: put back by hand, say.
    alreadyold,
    changed,  // since the run, by the player or another run
    gone,
    link,     // it is a link now: nothing is written through it
    damaged,  // its old bytes in the set are not whole
    failed,   // putting them back failed; reason says why
};

struct FileRestore {
    std::string path;
    FileOutcome outcome = FileOutcome::failed;
    std::string reason;
    // What the run did to it: restored, a created file is removed again.
    Change change = Change::replaced;
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
    // The set has no end or is damaged part way: files the run replaced after the last it can
    // account for may be missing from it.
    bool incomplete = false;
    std::string lastaccounted;
    // The files the run replaced, in its order, as far as the set and the disk tell.
    std::vector<FileRestore> files;
    std::size_t count(FileOutcome outcome) const;
    // The same among the files the run created, or among the others.
    std::size_t count(FileOutcome outcome, bool created) const;
    // Whether nothing was left: every file holds its old bytes now, and the set is whole.
    bool complete() const;
};

// Which files of a set its run replaced, each record checked.
struct SetPlan;

// What a restore takes, and what undo asks before: the newest open set whose run changed a
// file, when it was made and how many files its run changed, and how many of those it created;
// and the files named like sets that were passed over, each with its reason.
struct RestoreOffer {
    std::optional<BackupSet> set;
    std::string date;
    std::size_t files = 0;
    std::vector<std::string> unreadable;
    // What the restore of set does, read once for the question and the restore.
    std::shared_ptr<const SetPlan> plan;
    std::size_t created = 0;
};
// Throws Failure when the folder cannot be read.
RestoreOffer restoreoffer(hostenv::FileSystem& fs, const std::string& folder,
                          const RestoreScope& scope);

// Renames the set "... restored.zip" or "... refused.zip", so that no later restore takes it.
// Throws Failure when the rename fails.
void markset(hostenv::FileSystem& fs, const BackupSet& set, BackupSet::State state);

// A whole restore of the set an offer names: each file the run replaced that still holds what
// the run wrote is put back, through the same safe replacement a run uses, pace's between
// running where the program may end; then the set is marked restored, or, when a record was
// refused and nothing written, marked refused. A set where putting a file back failed stays as
// it was, so that a later try finishes it; so does one whose restore the program's end
// stopped part way.
struct RestoreRun {
    SetRestore restore;
    // Why the set could not be marked; empty when it was, or was to stay.
    std::string markfailure;
};
// Where a restore lets the program's events run: between two files, with no file's old bytes
// waiting beside it. Files are put in place in batches, which end early when due says it is
// time for between.
struct RestorePace {
    std::function<void()> between;
    std::function<bool()> due;
};
RestoreRun restorefrom(hostenv::FileSystem& fs, const RestoreOffer& offer, const RestorePace& pace);

}  // namespace hostenv::backup
