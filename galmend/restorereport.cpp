// What a restore tells the player: each galaxy put back, each one left and why, and the count.
#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "backupset.h"
#include "hostenv/failure.h"
#include "hostenv/text.h"

namespace galmend {

using hostenv::Failure;

namespace {

std::string leftline(const GalaxyRestore& galaxy) {
    switch (galaxy.outcome) {
        case GalaxyOutcome::changed:
            return "Not restored, changed since the fix: " + galaxy.path;
        case GalaxyOutcome::gone:
            return "Not restored, gone: " + galaxy.path;
        case GalaxyOutcome::damaged:
            return "Not restored, its backup is damaged: " + galaxy.path;
        case GalaxyOutcome::failed:
            return "Not restored, failed: " + galaxy.path + "\r\n" + galaxy.reason;
        case GalaxyOutcome::restored:
        case GalaxyOutcome::alreadyold:
            break;
    }
    return {};
}

// A box of thousands of lines would not fit the screen: the console has them all.
constexpr std::size_t boxedlines = 20;

// Reports each galaxy put back (or never replaced) and collects in left a line for each of
// the others; how many are back, and whether one failed (a later try may put it back).
std::pair<std::size_t, bool> reportgalaxies(const SetRestore& restore, hostenv::UserInterface& ui,
                                            std::vector<std::string>& left) {
    std::size_t back = 0;
    bool retry = false;
    for (const auto& galaxy : restore.galaxies) {
        if (galaxy.outcome == GalaxyOutcome::restored) ui.report("Restored " + galaxy.path);
        if (galaxy.outcome == GalaxyOutcome::alreadyold) {
            ui.report("Already as before the fix: " + galaxy.path);
        }
        if (galaxy.outcome == GalaxyOutcome::restored ||
            galaxy.outcome == GalaxyOutcome::alreadyold) {
            ++back;
            continue;
        }
        retry = retry || galaxy.outcome == GalaxyOutcome::failed;
        left.push_back(leftline(galaxy));
    }
    return {back, retry};
}

}  // namespace

bool restorenewest(hostenv::FileSystem& fs, const std::string& folder, hostenv::UserInterface& ui,
                   bool silent) {
    const auto conclude = [&](const std::string& text, bool success) {
        if (success && silent) {
            ui.report(text);
        } else {
            ui.messagebox(text);
        }
        return success;
    };
    try {
        const auto set = newestunrestored(fs, folder);
        if (!set) return conclude("There is no backup set to restore in " + folder + ".", true);
        const SetRestore restore = restoreset(fs, set->path);
        if (restore.problem == SetRestore::Problem::notours) {
            return conclude(set->path +
                                " is not a galmend backup set, or it is damaged at its start. "
                                "Nothing was restored.",
                            false);
        }
        std::vector<std::string> left;
        const auto [back, retry] = reportgalaxies(restore, ui, left);
        if (restore.problem == SetRestore::Problem::damaged) {
            left.push_back(set->path +
                           " is damaged after the galaxies named above: any galaxy it "
                           "held beyond them cannot be restored.");
        }
        std::string summary =
            restore.problem == SetRestore::Problem::empty
                ? set->name + " holds no galaxy: the fix that made it ended before it changed any."
                : "Restored " + std::to_string(back) + " of the " +
                      hostenv::counted(static_cast<long long>(restore.galaxies.size()), "galaxy",
                                       "galaxies") +
                      " in " + set->name + ".";
        // A galaxy that failed may be restored by a later try, once its cause is gone: the set
        // stays the one a restore takes.
        if (!retry) {
            try {
                markrestored(fs, *set);
            } catch (const Failure& failure) {
                left.push_back(failure.what());
            }
        }
        const bool complete = left.empty();
        // The box says which were left and why, as far as a box can; a silent run's report,
        // which gets the box's lines too, gets the rest.
        for (std::size_t i = 0; i < left.size(); ++i) {
            if (i < boxedlines) summary += "\r\n" + left[i];
            if (i >= boxedlines && silent) ui.report(left[i]);
        }
        if (!silent && left.size() > boxedlines) {
            summary += "\r\n... and " + std::to_string(left.size() - boxedlines) + " more.";
        }
        return conclude(summary, complete);
    } catch (const Failure& failure) {
        return conclude(failure.what(), false);
    }
}

}  // namespace galmend
