#include "tallyhold.h"

#include <array>
#include <stdexcept>
#include <utility>

#include "hostenv/failure.h"
#include "hostenv/hostqueries.h"
#include "hostenv/paths.h"
#include "hostenv/progress.h"
#include "hostenv/safereplace.h"
#include "hostenv/startup.h"

namespace tallyhold {

namespace {

using hostenv::Failure;

constexpr const char* crlf = "\r\n";

// Two runs at once would each remove the other's new manifest, or move it aside to ".old".
constexpr const char* lockedtext =
    "Another tallyhold is changing the manifests now; nothing was changed. Try again when it "
    "has ended.";

// What a run says of the manifests it could not remove: each removal's failure.
std::string notremovedtext(const hostenv::Lines& failures) {
    std::string text = hostenv::counted(static_cast<long long>(failures.size()), "earlier manifest",
                                        "earlier manifests") +
                       " could not be removed:";
    for (const auto& failure : failures) text += crlf + failure;
    return text;
}

}  // namespace

namespace {

constexpr std::array controlrows{
    HOSTENV_BUTTON(Tallyhold, findbutton),   HOSTENV_BUTTON(Tallyhold, updatebutton),
    HOSTENV_BUTTON(Tallyhold, exitbutton),   HOSTENV_BUTTON(Tallyhold, locationbutton),
    HOSTENV_BUTTON(Tallyhold, removebutton), HOSTENV_CONTROL(Tallyhold, foundcountlabel),
    HOSTENV_CONTROL(Tallyhold, foundlist),   HOSTENV_CONTROL(Tallyhold, removalbox),
    HOSTENV_CONTROL(Tallyhold, drivelist),   HOSTENV_CONTROL(Tallyhold, folderlist),
    HOSTENV_CONTROL(Tallyhold, filelist)};

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
    reportifsilent();
    readwindir();
    filelist.setpattern("*.galaxy");
    findgalaxyfolders("");
    locationbutton.settooltip(galaxyfolders[0]);
    fortrelfolder = hostenv::withseparator(hostenv::joinpath(gamefolder, "Fortrel"));

    passgate({});
    readcommandline([this] {
        // "find and remove all galaxy.manifests" stays enabled, as it always has; the busy
        // guard of the silent run keeps it from doing anything.
        for (auto* button : {&findbutton, &updatebutton, &exitbutton, &locationbutton}) {
            button->setenabled(false);
        }
    });

    if (silentmode) {
        silentrun();
        ui_.endprogram(hostenv::exitnormal);
    }
    updatebutton.setenabled(false);
}

// Every manifest is removed and a new one is written into the game folder itself, where the
// button writes into the Fortrel folder: a scripted run has always left it there, and scripts
// may rely on it. The new one is safe on disk before any is removed, so a run that cannot
// write it changes nothing.
void Tallyhold::silentrun() {
    // "find and remove all galaxy.manifests" stays enabled: a click on it while a walk
    // lets events through must not start a removal in the middle of the run.
    const hostenv::Busy busy(busy_);
    const auto lock = platform_.takelock(programname);
    if (!lock) throw Failure(lockedtext);
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
    hostenv::StagedFile staged = stagemanifest(manifest);
    // A manifest another program holds does not keep the game from getting its new one: the
    // rest are removed, the new one is put in place, and then the run fails naming it.
    const hostenv::Lines notremoved = removefound(true, {});
    const std::string removed =
        notremoved.empty()
            ? "the " + std::to_string(manifestsremoved) + " manifests found were removed"
            : std::to_string(manifestsremoved) + " of the " + std::to_string(manifestpaths.size()) +
                  " manifests found were removed";
    try {
        putinplace(staged, manifest, manifestsremoved == 0 ? "nothing was changed" : removed);
    } catch (const Failure& failure) {
        if (notremoved.empty()) throw;
        throw Failure(std::string(failure.what()) + crlf + notremovedtext(notremoved));
    }
    const auto listed =
        static_cast<long long>(galaxynames.size() - leftout.size() - unquotable.size());
    ui_.report("Wrote " + manifest + " with " + hostenv::counted(listed, "galaxy", "galaxies") +
               "; " +
               hostenv::counted(static_cast<long long>(manifestsremoved), "earlier manifest was",
                                "earlier manifests were") +
               " removed.");
    tellleftout(manifest);
    // The new manifest is in place; what was left must reach a script.
    std::string left = linksleft();
    if (!notremoved.empty()) {
        if (!left.empty()) left += crlf;
        left += "Wrote " + manifest + ", but " + notremovedtext(notremoved);
    }
    if (!left.empty()) throw Failure(left);
}

void Tallyhold::findbutton_Click() {
    {
        const hostenv::Busy busy(busy_);
        searchgalaxies();
    }
    findbutton.setenabled(false);
    updatebutton.setenabled(true);
}

void Tallyhold::updatebutton_Click() {
    const bool written = underlock([this] {
        const hostenv::Busy busy(busy_);
        writemanifest(fortrelfolder);
    });
    if (!written) return;
    findbutton.setenabled(true);
    updatebutton.setenabled(false);
}

void Tallyhold::exitbutton_Click() {
    ui_.endprogram(hostenv::exitnormal);
}

void Tallyhold::locationbutton_Click() {
    folderlist.setpath(galaxyfolders[0]);
}

void Tallyhold::removebutton_Click() {
    const bool removed = underlock([this] {
        const hostenv::Busy busy(busy_);
        removemanifests();
    });
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
    hostenv::Progress progress(ui_, clock);
    removefound(false, [&] { progress.step([] {}); });
    progress.finish([] {});
}

void Tallyhold::findmanifests() {
    walkgalaxyfolders("galaxy.manifest", manifestpaths, [] {});
}

hostenv::Lines Tallyhold::removefound(bool keepgoing, const std::function<void()>& between) {
    manifestsremoved = 0;
    manifestlinks.clear();
    hostenv::Lines notremoved;
    for (const auto& path : manifestpaths) {
        try {
            // A link is not the manifest its name says: deleting it could delete what it leads
            // to. A manifest that cannot be looked at is one not removed, as one that cannot
            // be deleted.
            if (auto target = fs_.describe(path, hostenv::Ask::target).target) {
                manifestlinks.emplace_back(path, std::move(*target));
                continue;
            }
            removalbox.settext("killing " + path);
            fs_.remove(path);
            ++manifestsremoved;
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
