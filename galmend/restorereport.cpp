// What a restore tells the player: each galaxy put back, each one left and why, and the count.
#include "restorereport.h"

#include <cstddef>
#include <string>
#include <vector>

#include "hostenv/text.h"

namespace galmend {

namespace {

std::string leftline(const FileRestore& galaxy) {
    const std::string path = hostenv::shownpath(galaxy.path);
    switch (galaxy.outcome) {
        case FileOutcome::changed:
            return "Not restored, changed since the fix: " + path;
        case FileOutcome::gone:
            return "Not restored, gone: " + path;
        case FileOutcome::link:
            return "Not restored, it is a link now (to " + galaxy.reason +
                   "), and nothing is written through a link: " + path;
        case FileOutcome::damaged:
            return "Not restored, its backup is damaged: " + path;
        case FileOutcome::failed:
            return "Not restored, failed: " + path + "\r\n" + galaxy.reason;
        case FileOutcome::restored:
        case FileOutcome::alreadyold:
            break;
    }
    return {};
}

// A box of thousands of lines would not fit the screen: the console has them all.
constexpr std::size_t boxedlines = 20;

std::string countline(const SetRestore& restore, const BackupSet& set) {
    const auto total = static_cast<long long>(restore.files.size());
    std::string line = "Restored " + std::to_string(restore.count(FileOutcome::restored)) +
                       " of the " + hostenv::counted(total, "galaxy", "galaxies") + " in " +
                       set.name;
    if (const auto already = restore.count(FileOutcome::alreadyold); already > 0) {
        line += "; " + std::to_string(already) + (already == 1 ? " was" : " were") +
                " already as before the fix";
    }
    return line + ".";
}

}  // namespace

std::string nosettext(const std::string& folder) {
    return "There is no backup set to restore in " + folder + ".";
}

bool reportrestore(const RestoreOffer& offer, const RestoreRun& run, hostenv::UserInterface& ui,
                   bool silent) {
    const SetRestore& restore = run.restore;
    const BackupSet& set = *offer.set;
    std::vector<std::string> left;
    for (const auto& reason : offer.unreadable) {
        left.push_back("Passed over a file named like a backup set: " + reason);
    }
    std::string summary;
    if (restore.problem == SetRestore::Problem::notours) {
        summary = set.path +
                  " is not a galmend backup set, or it is damaged at its start. "
                  "Nothing was restored.";
    } else if (restore.problem == SetRestore::Problem::refused) {
        summary = "The backup set " + set.path + " is refused: it names " +
                  hostenv::shownpath(restore.refusedpath) + ", which " + restore.refusedwhy +
                  ". A backup set puts back only galaxies in the game's galaxy folder and the "
                  "player's. Nothing was restored, and the set is set aside, so that the next "
                  "undo takes the one before it.";
    } else {
        for (const auto& galaxy : restore.files) {
            const std::string path = hostenv::shownpath(galaxy.path);
            if (galaxy.outcome == FileOutcome::restored) ui.report("Restored " + path);
            if (galaxy.outcome == FileOutcome::alreadyold) {
                ui.report("Already as before the fix: " + path);
            }
            const std::string line = leftline(galaxy);
            if (!line.empty()) left.push_back(line);
        }
        if (restore.incomplete) {
            left.push_back(
                set.path + " is incomplete: " +
                (restore.lastaccounted.empty() ? std::string("it accounts for no galaxy")
                                               : "the last galaxy it accounts for is " +
                                                     hostenv::shownpath(restore.lastaccounted)) +
                ". It has no end (the fix that wrote it was stopped) or is cut short: a galaxy "
                "the fix replaced after that one is not in it.");
        }
        summary = countline(restore, set);
    }
    if (!run.markfailure.empty()) left.push_back(run.markfailure);
    const bool complete = restore.complete() && run.markfailure.empty();
    // The box says which were left and why, as far as a box can; a silent run's report,
    // which gets the box's lines too, gets the rest.
    for (std::size_t i = 0; i < left.size(); ++i) {
        if (i < boxedlines) summary += "\r\n" + left[i];
        if (i >= boxedlines && silent) ui.report(left[i]);
    }
    if (!silent && left.size() > boxedlines) {
        summary += "\r\n... and " + std::to_string(left.size() - boxedlines) + " more.";
    }
    if (complete && silent) {
        ui.report(summary);
    } else {
        ui.messagebox(summary);
    }
    return complete;
}

}  // namespace galmend
