// What a restore tells the player: each file put back, each one left and why, and the count.
#include "hostenv/backup/undo.h"

#include <algorithm>
#include <cstddef>
#include <string>
#include <vector>

#include "hostenv/failure.h"
#include "hostenv/text.h"

namespace hostenv::backup {

namespace {

std::string leftline(const SetOwner& owner, const FileRestore& file) {
    const std::string path = hostenv::shownpath(file.path);
    switch (file.outcome) {
        case FileOutcome::changed:
            return "Not restored, changed since the " + owner.run + ": " + path;
        case FileOutcome::gone:
            return "Not restored, gone: " + path;
        case FileOutcome::link:
            return "Not restored, it is a link now (to " + file.reason +
                   "), and nothing is written through a link: " + path;
        case FileOutcome::damaged:
            return "Not restored, its backup is damaged: " + path;
        case FileOutcome::failed:
            return "Not restored, failed: " + path + "\r\n" + file.reason;
        case FileOutcome::restored:
        case FileOutcome::alreadyold:
            break;
    }
    return {};
}

// A box of thousands of lines would not fit the screen: the console has them all.
constexpr std::size_t boxedlines = 20;

// The files the run created where there were none are not counted: putting back is not what
// undo does to them, and each one removed has its line.
std::string countline(const SetOwner& owner, const SetRestore& restore, const BackupSet& set) {
    std::size_t created = 0;
    for (const auto& file : restore.files) created += file.change == Change::created ? 1 : 0;
    const auto total = static_cast<long long>(restore.files.size() - created);
    std::string line = "Restored " + std::to_string(restore.count(FileOutcome::restored, false)) +
                       " of the " + hostenv::counted(total, owner.file, owner.files) + " in " +
                       set.name;
    if (const auto already = restore.count(FileOutcome::alreadyold, false); already > 0) {
        line += "; " + std::to_string(already) + (already == 1 ? " was" : " were") +
                " already as before the " + owner.run;
    }
    return line + ".";
}

}  // namespace

std::vector<KeptFolder> keptgalaxyfolders(const std::array<std::string, 2>& galaxyfolders) {
    return {{galaxyfolders[0], "game/"}, {galaxyfolders[1], "user/"}};
}

std::string nosettext(const std::string& folder) {
    return "There is no backup set to restore in " + folder + ".";
}

bool reportrestore(const SetOwner& owner, const RestoreOffer& offer, const RestoreRun& run,
                   hostenv::UserInterface& ui, bool silent) {
    const SetRestore& restore = run.restore;
    const BackupSet& set = *offer.set;
    std::vector<std::string> left;
    for (const auto& reason : offer.unreadable) {
        left.push_back("Passed over a file named like a backup set: " + reason);
    }
    std::string summary;
    if (restore.problem == SetRestore::Problem::notours) {
        summary = set.path + " is not a " + owner.program +
                  " backup set, or it is damaged at its start. Nothing was restored.";
    } else if (restore.problem == SetRestore::Problem::refused) {
        summary = "The backup set " + set.path + " is refused: it names " +
                  hostenv::shownpath(restore.refusedpath) + ", which " + restore.refusedwhy +
                  ". A backup set puts back only " + owner.files + " in " + owner.keptfolders +
                  ". Nothing was restored, and the set is set aside, so that the next undo "
                  "takes the one before it.";
    } else {
        for (const auto& file : restore.files) {
            const std::string path = hostenv::shownpath(file.path);
            if (file.outcome == FileOutcome::restored) {
                ui.report((file.change == Change::created ? "Removed " : "Restored ") + path);
            }
            if (file.outcome == FileOutcome::alreadyold) {
                ui.report("Already as before the " + owner.run + ": " + path);
            }
            const std::string line = leftline(owner, file);
            if (!line.empty()) left.push_back(line);
        }
        if (restore.incomplete) {
            left.push_back(
                set.path + " is incomplete: " +
                (restore.lastaccounted.empty() ? "it accounts for no " + owner.file
                                               : "the last " + owner.file + " it accounts for is " +
                                                     hostenv::shownpath(restore.lastaccounted)) +
                ". It has no end (the " + owner.run +
                " that wrote it was stopped) or is cut "
                "short: a " +
                owner.file + " the " + owner.run + " replaced after that one is not in it.");
        }
        summary = countline(owner, restore, set);
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

bool restorereported(hostenv::FileSystem& fs, hostenv::UserInterface& ui,
                     const hostenv::ProgressClock& clock, const SetOwner& owner,
                     const std::string& folder, const RestoreOffer& offer, bool silent) {
    if (!offer.set) {
        std::string text = nosettext(folder);
        for (const auto& reason : offer.unreadable) {
            text += "\r\nPassed over a file named like a backup set: " + reason;
        }
        if (silent) {
            ui.report(text);
        } else {
            ui.messagebox(text);
        }
        return true;
    }
    hostenv::Progress progress(ui, clock);
    const RestoreRun run =
        restorefrom(fs, offer, {[&] { progress.step([] {}); }, [&] { return progress.due(); }});
    progress.finish([] {});
    return reportrestore(owner, offer, run, ui, silent);
}

bool undoable(hostenv::FileSystem& fs, const SetOwner& owner, const std::string& localappfolder) {
    try {
        const auto sets = backupsets(fs, owner, backupsfolder(owner, localappfolder)).sets;
        return std::any_of(sets.begin(), sets.end(), [](const BackupSet& set) {
            return set.state == BackupSet::State::open;
        });
    } catch (const hostenv::Failure&) {
        return false;
    }
}

void askandrestore(hostenv::UserInterface& ui, const std::function<RestoreOffer()>& newest,
                   const std::function<std::string(const RestoreOffer&)>& question,
                   const std::function<void(const RestoreOffer&)>& restore) {
    try {
        RestoreOffer offer = newest();
        for (;;) {
            if (!offer.set || offer.files == 0) {
                restore(offer);
                return;
            }
            if (!ui.question(question(offer))) return;
            RestoreOffer now = newest();
            if (now.set && now.set->path == offer.set->path) {
                restore(now);
                return;
            }
            ui.messagebox("The newest backup set changed while you were asked: " +
                          (now.set ? "it is now " + now.set->name : std::string("there is none")) +
                          ". Nothing was restored.");
            offer = std::move(now);
        }
    } catch (const hostenv::Failure& failure) {
        ui.messagebox(failure.what());
    }
}

}  // namespace hostenv::backup
