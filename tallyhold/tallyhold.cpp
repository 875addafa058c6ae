#include "tallyhold.h"

#include <algorithm>
#include <array>
#include <optional>
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

std::string manifesttext(const hostenv::Lines& galaxynames) {
    std::string text = std::string("TXT") + crlf;
    text +=
        "fileCount " + hostenv::signform(static_cast<long long>(galaxynames.size())) + " " + crlf;
    for (const auto& name : galaxynames) text += "fileName \"" + name + "\"" + crlf;
    return text + crlf;
}

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

void Tallyhold::writemanifest(const std::string& locate) {
    const std::string manifest = hostenv::joinpath(locate, "galaxy.manifest");
    hostenv::StagedFile staged = stagemanifest(manifest);
    putinplace(staged, manifest, "nothing was changed");
    tellleftout(manifest);
}

// The part of a found path below the galaxy folder it was found in: what the game must be
// able to name to open the galaxy. The folders themselves are the game's own.
std::string Tallyhold::belowgalaxyfolder(const std::string& path) const {
    std::size_t longest = 0;
    for (const auto& galaxyfolder : galaxyfolders) {
        const std::string folder = hostenv::withseparator(galaxyfolder);
        if (folder.size() > longest && path.starts_with(folder)) longest = folder.size();
    }
    return path.substr(longest);
}

hostenv::Lines Tallyhold::manifestnames() {
    hostenv::Lines names;
    leftout.clear();
    unquotable.clear();
    for (std::size_t i = 0; i < galaxynames.size(); ++i) {
        // The two lists come from one search; a name without its path is checked alone.
        const std::string path = i < foundgalaxies.size() ? foundgalaxies[i] : galaxynames[i];
        const std::string below = belowgalaxyfolder(path);
        // A name is one quoted line of the manifest: a quote or a line break would cut it.
        if (std::any_of(below.begin(), below.end(),
                        [](char c) { return c == '"' || static_cast<unsigned char>(c) < 0x20; })) {
            unquotable.push_back(path);
            continue;
        }
        auto ansi = platform_.toansi(galaxynames[i]);
        if (ansi && platform_.toansi(below)) {
            names.push_back(std::move(*ansi));
        } else {
            leftout.push_back(path);
        }
    }
    return names;
}

namespace {

std::string leftouttext(const std::string& manifest, const hostenv::Lines& paths,
                        const std::string& why) {
    std::string text =
        manifest + " leaves out " +
        hostenv::counted(static_cast<long long>(paths.size()), "galaxy", "galaxies") + ": " + why +
        " Rename them to play them.";
    for (const auto& path : paths) text += crlf + hostenv::shownpath(path);
    return text;
}

}  // namespace

void Tallyhold::tellleftout(const std::string& manifest) {
    std::string text;
    if (!leftout.empty()) {
        text = leftouttext(manifest, leftout,
                           "the game reads the manifest in the system's ANSI code page, which has "
                           "no exact form of these names.");
    }
    if (!unquotable.empty()) {
        if (!text.empty()) text += std::string(crlf) + crlf;
        text += leftouttext(manifest, unquotable,
                            "the manifest cannot hold a name with a double quote (\") or a "
                            "control character such as a line break.");
    }
    if (!text.empty()) ui_.messagebox(text);
}

hostenv::StagedFile Tallyhold::stagemanifest(const std::string& manifest) {
    const std::string folder = hostenv::parentpath(manifest);
    hostenv::removestaletemporaries(fs_, platform_, folder);
    const hostenv::Lines names = manifestnames();
    try {
        return hostenv::StagedFile(fs_, manifest, manifesttext(names));
    } catch (const Failure& failure) {
        throw Failure("Cannot write " + manifest + "; nothing was changed.\r\n" + failure.what());
    }
}

void Tallyhold::putinplace(hostenv::StagedFile& staged, const std::string& manifest,
                           const std::string& sofar) {
    const std::string old = manifest + ".old";
    // A look that fails is no answer: the run says what it had changed, and why.
    const auto lookup = [&](const std::string& path) {
        try {
            return fs_.lookup(path, hostenv::Entries::files);
        } catch (const Failure& failure) {
            throw Failure("Cannot write " + manifest + "; " + sofar + ".\r\n" + failure.what());
        }
    };
    // Any name the lookup finds is longer than three characters: the length test is how the
    // manager has always asked whether a manifest is there.
    const auto found = lookup(manifest);
    const bool present = found && found->size() > 3;
    // Asked now, not at the search: the window's find and update are two clicks apart.
    refuselink(manifest, sofar);
    if (present) {
        // The previous manifest is kept as ".old", which is never replaced: the player
        // decides what becomes of an earlier backup.
        if (lookup(old)) {
            throw Failure("Cannot write " + manifest + "; " + sofar +
                          ".\r\nThe previous manifest is kept as " + old +
                          ", and that file exists already. Remove or rename " + old +
                          ", then write the manifest again.");
        }
        try {
            fs_.rename(manifest, old);
        } catch (const Failure& failure) {
            throw Failure("Cannot write " + manifest + "; " + sofar + ".\r\n" + failure.what());
        }
    }
    try {
        staged.create();
    } catch (const Failure& failure) {
        if (!present) {
            throw Failure("Cannot write " + manifest + "; " + sofar + ".\r\n" + failure.what());
        }
        try {
            fs_.rename(old, manifest);
        } catch (const Failure&) {
            throw Failure("Cannot write " + manifest + "; the previous manifest is kept as " + old +
                          ".\r\n" + failure.what());
        }
        throw Failure("Cannot write " + manifest + "; " + sofar +
                      ": the previous manifest is back in its place.\r\n" + failure.what());
    }
}

// Wine renames and deletes what a link leads to, not the link: a link moved aside to ".old"
// would bring a file from outside into the game's folder, and leave the link dangling.
void Tallyhold::refuselink(const std::string& manifest, const std::string& sofar) {
    const std::string cannot = "Cannot write " + manifest + "; " + sofar + ".\r\n";
    std::optional<std::string> target;
    try {
        target = fs_.describe(manifest, hostenv::Ask::target).target;
    } catch (const Failure& failure) {
        throw Failure(cannot + failure.what());
    }
    if (target) {
        throw Failure(cannot + manifest + " is a link to " + *target +
                      ", which tallyhold leaves alone. Remove the link, then write the manifest "
                      "again.");
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
