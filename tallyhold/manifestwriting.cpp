// Writing the manifest: the names the game can read, staged beside the manifest, and put in
// place with the previous one kept as ".old".
#include <algorithm>
#include <optional>

#include "hostenv/backup/backupset.h"
#include "hostenv/failure.h"
#include "hostenv/hostqueries.h"
#include "hostenv/paths.h"
#include "hostenv/safereplace.h"
#include "tallyhold.h"

namespace tallyhold {

namespace {

using hostenv::Failure;
using hostenv::backup::BackupWriter;

constexpr const char* crlf = "\r\n";

}  // namespace

std::string manifesttext(const hostenv::Lines& galaxynames) {
    std::string text = std::string("TXT") + crlf;
    text +=
        "fileCount " + hostenv::signform(static_cast<long long>(galaxynames.size())) + " " + crlf;
    for (const auto& name : galaxynames) text += "fileName \"" + name + "\"" + crlf;
    return text + crlf;
}

void Tallyhold::writemanifest(const std::string& locate) {
    const std::string manifest = hostenv::joinpath(locate, "galaxy.manifest");
    std::string text;
    hostenv::StagedFile staged = stagemanifest(manifest, text);
    BackupWriter set = newset();
    putinplace(staged, manifest, text, set);
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

hostenv::StagedFile Tallyhold::stagemanifest(const std::string& manifest, std::string& text) {
    const std::string folder = hostenv::parentpath(manifest);
    hostenv::removestaletemporaries(fs_, platform_, folder);
    text = manifesttext(manifestnames());
    try {
        return hostenv::StagedFile(fs_, manifest, text);
    } catch (const Failure& failure) {
        throw Failure("Cannot write " + manifest + "; nothing was changed.\r\n" + failure.what());
    }
}

void Tallyhold::putinplace(hostenv::StagedFile& staged, const std::string& manifest,
                           const std::string& text, BackupWriter& set) {
    const std::string old = manifest + ".old";
    const std::string cannot = "Cannot write " + manifest + "; nothing was changed.\r\n";
    // A look that fails is no answer: the run says why it changed nothing.
    const auto lookup = [&](const std::string& path) {
        try {
            return fs_.lookup(path, hostenv::Entries::files);
        } catch (const Failure& failure) {
            throw Failure(cannot + failure.what());
        }
    };
    // Any name the lookup finds is longer than three characters: the length test is how the
    // manager has always asked whether a manifest is there.
    const auto found = lookup(manifest);
    const bool present = found && found->size() > 3;
    // Asked now, not at the search: the window's find and update are two clicks apart.
    refuselink(manifest, "nothing was changed");
    // The previous manifest is kept as ".old", which is never replaced: the player decides
    // what becomes of an earlier backup.
    if (present && lookup(old)) {
        throw Failure(cannot + "The previous manifest is kept as " + old +
                      ", and that file exists already. Remove or rename " + old +
                      ", then write the manifest again.");
    }
    const hostenv::backup::SetUnderWay changing(changeset_, set);
    std::optional<std::string> previous;
    keep(set, [&] {
        if (present) previous = fs_.readfile(manifest);
        if (previous) {
            set.add(manifest, *previous, text);
            set.addcreated(old, *previous);
        } else {
            set.addcreated(manifest, text);
        }
    });
    // The ".old" is written as a copy, and the new manifest then replaces the previous one in
    // one step: at no moment is the folder without its manifest, so a run stopped between
    // the two is undone by taking the ".old" away.
    std::vector<bool> placed(previous ? 2 : 1, false);
    try {
        if (previous) {
            hostenv::StagedFile(fs_, old, *previous).create();
            placed[1] = true;
            staged.replace();
        } else {
            staged.create();
        }
        placed[0] = true;
    } catch (const Failure& failure) {
        // The copy goes again: with the previous manifest in its place it is no change.
        std::string said = cannot;
        if (previous && placed[1]) {
            try {
                fs_.remove(old);
                placed[1] = false;
            } catch (const Failure&) {
                said = "Cannot write " + manifest + "; the previous manifest is kept as " + old +
                       " as well.\r\n";
            }
        }
        closeset(set, placed);
        throw Failure(said + failure.what());
    }
    const std::string setfailure = closeset(set, placed);
    if (!setfailure.empty()) throw Failure(setfailure);
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

}  // namespace tallyhold
