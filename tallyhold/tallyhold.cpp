#include "tallyhold.h"

#include <array>
#include <optional>
#include <stdexcept>
#include <utility>

#include "hostenv/backup/backupset.h"
#include "hostenv/failure.h"
#include "hostenv/hostqueries.h"
#include "hostenv/paths.h"
#include "hostenv/progress.h"
#include "hostenv/safereplace.h"
#include "hostenv/startup.h"

namespace tallyhold {

namespace {

using hostenv::Failure;
using hostenv::backup::BackupWriter;

constexpr const char* crlf = "\r\n";

// What a run says of the manifests it could not remove: each removal's failure.
std::string notremovedtext(const hostenv::Lines& failures) {
    std::string text = hostenv::counted(static_cast<long long>(failures.size()), "earlier manifest",
                                        "earlier manifests") +
                       " could not be removed:";
    for (const auto& failure : failures) text += crlf + failure;
    return text;
}

constexpr std::array controlrows{
    HOSTENV_BUTTON(Tallyhold, findbutton),       HOSTENV_BUTTON(Tallyhold, updatebutton),
    HOSTENV_BUTTON(Tallyhold, exitbutton),       HOSTENV_BUTTON(Tallyhold, locationbutton),
    HOSTENV_BUTTON(Tallyhold, removebutton),     HOSTENV_BUTTON(Tallyhold, undobutton),
    HOSTENV_CONTROL(Tallyhold, foundcountlabel), HOSTENV_CONTROL(Tallyhold, foundlist),
    HOSTENV_CONTROL(Tallyhold, removalbox),      HOSTENV_CONTROL(Tallyhold, drivelist),
    HOSTENV_CONTROL(Tallyhold, folderlist),      HOSTENV_CONTROL(Tallyhold, filelist)};

}  // namespace

Tallyhold::Tallyhold(hostenv::FileSystem& fs, hostenv::Platform& platform,
                     hostenv::UserInterface& ui)
    : ProgramForm(fs, platform, ui) {
    bindcontrols();
    hostenv::nametemporaries("tallyhold", platform.processid());
}

std::span<const hostenv::ControlRow<Tallyhold>> Tallyhold::controltable() {
    return controlrows;
}

void Tallyhold::Form_Load() {
    restoremode = restoreasked();
    // A restore reports as a silent run does.
    if (restoremode) ui_.beginreport();
    if (checkmode) begincheck();
    reportifsilent();
    readwindir();
    filelist.setpattern("*.galaxy");
    findgalaxyfolders("");
    locationbutton.settooltip(galaxyfolders[0]);
    fortrelfolder = hostenv::withseparator(hostenv::joinpath(gamefolder, "Fortrel"));
    if (restoremode) restorerun();
    if (checkmode) runalone();

    passgate({});
    readcommandline([this] {
        // "find and remove all galaxy.manifests" stays enabled, as it always has; the busy
        // guard of the silent run keeps it from doing anything.
        for (auto* button :
             {&findbutton, &updatebutton, &exitbutton, &locationbutton, &undobutton}) {
            button->setenabled(false);
        }
    });

    if (silentmode || checkmode) {
        silentrun();
        ui_.endprogram(wouldchange ? hostenv::exitwouldchange : hostenv::exitnormal);
    }
    updatebutton.setenabled(false);
    offerundo();
}

// Every manifest is removed and a new one is written into the game folder itself, where the
// button writes into the Fortrel folder: a scripted run has always left it there, and scripts
// may rely on it. The new one is safe on disk, and every manifest the run changes is kept in
// its backup set, before anything is changed; so a run that cannot write it changes nothing.
void Tallyhold::silentrun() {
    // "find and remove all galaxy.manifests" stays enabled: a click on it while a walk
    // lets events through must not start a removal in the middle of the run.
    const hostenv::Busy busy(busy_);
    // A check takes no lock: it changes nothing, and a launcher asks it before the game.
    const auto lock = checkmode ? nullptr : platform_.takelock(programname);
    if (!lock && !checkmode) throw Failure(lockedtext);
    searchgalaxies();
    // Both walks end before the new manifest is staged: a walk lets window events through,
    // and an event may end the program, which must not leave the staged file behind.
    findmanifests();
    const std::string manifest = hostenv::joinpath(gamefolder, "galaxy.manifest");
    // Checked before anything is removed: a run that removes the manifests and then cannot
    // put the new one in place leaves the game without any.
    if (fs_.hasfolder(manifest)) {
        throw Failure("Cannot write " + manifest + "; nothing was changed.\r\n" + manifest +
                      " is a folder. Remove or rename it, then run again.");
    }
    refuselink(manifest, "nothing was changed");
    const hostenv::Lines found = removable(manifest);
    std::string text;
    hostenv::StagedFile staged = stagemanifest(manifest, text);
    BackupWriter set = newset();
    const hostenv::backup::SetUnderWay changing(changeset_, set);
    // The game's manifest is replaced in one step, never removed first: the game is never
    // without one, and its set records the one change.
    std::optional<std::string> previous;
    // A manifest that cannot be read now (another program holds it) cannot be kept, and so
    // is not removed; it is named with the others left.
    hostenv::Lines removals;
    hostenv::Lines notremoved;
    keep(set, [&] {
        for (const auto& path : found) {
            std::string bytes;
            try {
                fs_.readinto(path, bytes);
            } catch (const Failure& failure) {
                notremoved.push_back("Cannot delete " + path +
                                     ": it cannot be read, to be kept in the backup set first." +
                                     crlf + failure.what());
                continue;
            }
            set.addremoved(path, bytes);
            removals.push_back(path);
        }
        const auto there = fs_.lookup(manifest, hostenv::Entries::files);
        if (there && there->size() > 3) previous = fs_.readfile(manifest);
        if (previous) {
            set.add(manifest, *previous, text);
        } else {
            set.addcreated(manifest, text);
        }
    });
    std::vector<bool> placed(removals.size() + 1, false);
    try {
        if (previous) {
            staged.replace();
        } else {
            staged.create();
        }
    } catch (const Failure& failure) {
        closeset(set, placed);
        throw Failure("Cannot write " + manifest + "; nothing was changed.\r\n" + failure.what());
    }
    placed.back() = true;
    // A manifest another program holds does not keep the others from being removed: the
    // run fails naming it once the rest are.
    for (auto& failure : removefound(removals, placed, true, {})) {
        notremoved.push_back(std::move(failure));
    }
    const std::string setfailure = closeset(set, placed);
    if (previous) ++manifestsremoved;
    const auto listed =
        static_cast<long long>(galaxynames.size() - leftout.size() - unquotable.size());
    const std::string galaxies = hostenv::counted(listed, "galaxy", "galaxies");
    if (checkmode) {
        ui_.report("Would write " + manifest + " with " + galaxies);
        wouldchange = !removals.empty() || previous != text;
    } else {
        ui_.report("Wrote " + manifest + " with " + galaxies + "; " +
                   hostenv::counted(static_cast<long long>(manifestsremoved),
                                    "earlier manifest was", "earlier manifests were") +
                   " removed.");
    }
    tellleftout(manifest);
    // The new manifest is in place; what was left must reach a script.
    std::string left = linksleft();
    const auto add = [&left](const std::string& line) {
        if (line.empty()) return;
        if (!left.empty()) left += crlf;
        left += line;
    };
    // A check wrote nothing: it must not say it did.
    if (!notremoved.empty()) {
        add((checkmode ? "Would write " : "Wrote ") + manifest + ", but " +
            notremovedtext(notremoved));
    }
    add(setfailure);
    if (!left.empty()) throw Failure(left);
}

void Tallyhold::findbutton_Click() {
    undobutton.setenabled(false);
    {
        const hostenv::Busy busy(busy_);
        searchgalaxies();
    }
    findbutton.setenabled(false);
    updatebutton.setenabled(true);
    offerundo();
}

void Tallyhold::updatebutton_Click() {
    undobutton.setenabled(false);
    const bool written = underlock([this] {
        const hostenv::Busy busy(busy_);
        writemanifest(fortrelfolder);
    });
    offerundo();
    if (!written) return;
    findbutton.setenabled(true);
    updatebutton.setenabled(false);
}

void Tallyhold::exitbutton_Click() {
    endnow(hostenv::exitnormal);
}

void Tallyhold::locationbutton_Click() {
    folderlist.setpath(galaxyfolders[0]);
}

void Tallyhold::removebutton_Click() {
    undobutton.setenabled(false);
    const bool removed = underlock([this] {
        const hostenv::Busy busy(busy_);
        removemanifests();
    });
    offerundo();
    if (removed && !manifestlinks.empty()) ui_.messagebox(linksleft());
}

bool Tallyhold::underlock(const std::function<void()>& change) {
    const auto lock = platform_.takelock(programname);
    if (!lock) {
        ui_.messagebox(lockedtext);
        return false;
    }
    change();
    return true;
}

void Tallyhold::searchgalaxies() {
    // The found list grows as the walk finds, a batch of names at a time.
    std::size_t shown = 0;
    walkgalaxyfolders("*.galaxy", foundgalaxies, [&] {
        std::string found;
        for (; shown < foundgalaxies.size(); ++shown)
            found += std::string(hostenv::lastcomponent(foundgalaxies[shown])) + crlf;
        if (!found.empty()) foundlist.append(found);
        foundcountlabel.setcaption(hostenv::signform(static_cast<long long>(foundgalaxies.size())) +
                                   " galaxies found");
    });
    galaxynames.clear();
    for (const auto& path : foundgalaxies) {
        const std::string_view name = hostenv::lastcomponent(path);
        // The walk's pattern guarantees the ".galaxy" ending.
        galaxynames.emplace_back(name.substr(0, name.size() - 7));
    }
}

void Tallyhold::removemanifests() {
    findmanifests();
    const hostenv::Lines removals = removable("");
    if (removals.empty()) return;
    BackupWriter set = newset();
    const hostenv::backup::SetUnderWay changing(changeset_, set);
    keep(set, [&] {
        for (const auto& path : removals) set.addremoved(path, fs_.readfile(path));
    });
    std::vector<bool> placed(removals.size(), false);
    hostenv::Progress progress(ui_, clock);
    try {
        removefound(removals, placed, false, [&] { progress.step([] {}); });
    } catch (const Failure&) {
        closeset(set, placed);
        throw;
    }
    const std::string setfailure = closeset(set, placed);
    progress.finish([] {});
    if (!setfailure.empty()) throw Failure(setfailure);
}

void Tallyhold::findmanifests() {
    walkgalaxyfolders("galaxy.manifest", manifestpaths, [] {});
}

hostenv::Lines Tallyhold::removable(const std::string& except) {
    manifestlinks.clear();
    hostenv::Lines removals;
    for (const auto& path : manifestpaths) {
        if (!except.empty() && hostenv::lower(path) == hostenv::lower(except)) continue;
        // A link is not the manifest its name says: deleting it could delete what it leads to.
        if (auto target = fs_.describe(path, hostenv::Ask::target).target) {
            manifestlinks.emplace_back(path, std::move(*target));
        } else {
            removals.push_back(path);
        }
    }
    return removals;
}

hostenv::Lines Tallyhold::removefound(const hostenv::Lines& removals, std::vector<bool>& placed,
                                      bool keepgoing, const std::function<void()>& between) {
    manifestsremoved = 0;
    hostenv::Lines notremoved;
    for (std::size_t i = 0; i < removals.size(); ++i) {
        try {
            removalbox.settext("killing " + removals[i]);
            fs_.remove(removals[i]);
            placed[i] = true;
            ++manifestsremoved;
            if (checkmode) ui_.report("Would remove " + removals[i]);
        } catch (const Failure& failure) {
            if (!keepgoing) throw;
            notremoved.push_back(failure.what());
        }
        if (between) between();
    }
    return notremoved;
}

std::string Tallyhold::linksleft() const {
    std::string text;
    for (const auto& [path, target] : manifestlinks) {
        if (!text.empty()) text += crlf;
        text += "left " + path + " alone: it is a link to " + target;
    }
    return text;
}

}  // namespace tallyhold
