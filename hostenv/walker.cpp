#include "hostenv/walker.h"

#include <algorithm>
#include <optional>

#include "hostenv/failure.h"
#include "hostenv/paths.h"

namespace hostenv {

namespace {

// Each folder is read once, as the walk enters it: going back up reads nothing again, so a
// walk costs the same for each folder however many siblings it has. None when a subfolder
// found earlier is gone: the walk skips it.
std::optional<FolderContents> readfolder(FileSystem& fs, const std::string& base,
                                         const std::string& identity, const std::string& pattern,
                                         bool found) {
    try {
        return fs.readfolder(base, identity, pattern);
    } catch (const Failure&) {
        if (found && !fs.hasfolder(base)) return std::nullopt;
        throw;
    }
}

// The identity of what is at path, which must be there: a guess would let a link loop pass
// unseen.
std::string identityof(FileSystem& fs, const std::string& path) {
    Description found = fs.describe(path, Ask::identity);
    if (found.what == What::missing)
        throw Failure("Cannot look for " + path + "\r\nIt is not there.");
    return std::move(found.identity);
}

// Whether an identity has no file index, or one of zeros only: what a file system that gives
// every file the index 0 answers.
bool zeroindex(std::string_view identity) {
    const std::size_t colon = identity.find(':');
    const std::string_view index =
        colon == std::string_view::npos ? identity : identity.substr(colon + 1);
    return index.find_first_not_of("0:") == std::string_view::npos;
}

// A path as Windows tells names apart: letter case aside, each name without the dots and
// blanks at its end (which Windows drops), no "\" at the end.
std::string comparable(std::string_view path) {
    std::string folded;
    while (!path.empty()) {
        const std::size_t end = std::min(path.find('\\'), path.size());
        std::string_view name = path.substr(0, end);
        while (name.ends_with('.') || name.ends_with(' ')) name.remove_suffix(1);
        folded += name;
        path.remove_prefix(end);
        if (path.size() > 1) folded += '\\';
        if (!path.empty()) path.remove_prefix(1);
    }
    return lower(folded);
}

// Where path leads, each link on its way followed, as comparable gives it: what tells folders
// apart where identities cannot. The drive, or a share's "\\server\share", is taken as it is.
std::string finalpath(FileSystem& fs, const std::string& path) {
    std::size_t end = rootlength(path);
    std::string reached = path.substr(0, end);
    while (end < path.size()) {
        const std::size_t start = path[end] == '\\' ? end + 1 : end;
        const std::size_t next = std::min(path.find('\\', start), path.size());
        const std::string name = path.substr(start, next - start);
        end = next;
        if (name.empty()) continue;
        std::string step = joinpath(reached, name);
        auto target = fs.describe(step, Ask::target).target;
        reached = target ? std::move(*target) : std::move(step);
    }
    return comparable(reached);
}

// A folder on the walk's way down, or above the folder it was given.
struct Place {
    // As the walk reached it, without a "\" at its end but for a drive root's ("C:\").
    std::string path;
    // Its identity; where it leads (finalpath) once identities are unfit.
    std::string identity;
    std::string final;
};

struct Walk {
    FileSystem& fs;
    const std::string& pattern;
    const WalkHook& entered;
    Walked& walked;
    Lines& list;
    // The folders above the one given, then those the walk is in, outermost first.
    std::vector<Place> ancestors;

    enum class Verdict { fresh, met, unfit };

    // Whether the folder at place, by its identity, is new to the search (and now recorded),
    // met before, or not to be told by identity. withancestors: whether a folder on the way
    // down counts as met.
    Verdict byidentity(const Place& place, bool withancestors) {
        if (zeroindex(place.identity)) return unfit();
        const std::string* earlier = nullptr;
        if (withancestors) {
            const auto ancestor =
                std::find_if(ancestors.begin(), ancestors.end(),
                             [&](const Place& above) { return above.identity == place.identity; });
            if (ancestor != ancestors.end()) earlier = &ancestor->path;
        }
        const auto walkedbefore = walked.folders.find(place.identity);
        if (earlier == nullptr && walkedbefore != walked.folders.end()) {
            earlier = &walkedbefore->second;
        }
        if (earlier == nullptr) {
            walked.folders.emplace(place.identity, place.path);
            return Verdict::fresh;
        }
        // The same folder reached again (a link, a name Windows reads as another), or another
        // folder that the file system gave the same index: where both lead tells.
        if (finalpath(fs, place.path) == finalpath(fs, *earlier)) return Verdict::met;
        return unfit();
    }

    // From now on the search tells folders apart by where they lead, the folders it entered
    // so far included.
    Verdict unfit() {
        walked.bypath = true;
        for (const auto& [identity, path] : walked.folders)
            walked.paths.insert(finalpath(fs, path));
        walked.folders.clear();
        for (auto& place : ancestors) place.final = finalpath(fs, place.path);
        for (auto& [name, met] : walked.files) {
            for (auto& [path, known] : met) known.clear();
        }
        return Verdict::unfit;
    }

    // Whether a folder that leads to final is new to the search (and now recorded): neither
    // entered before nor an ancestor, by path, of one the walk is in or was given.
    bool freshbypath(const std::string& final) {
        for (const auto& place : ancestors) {
            if (liesinside(place.final, final)) return false;
        }
        return walked.paths.insert(final).second;
    }

    // What tells a file apart from others of its name: its identity, or where it leads.
    std::string sameness(const std::string& path) {
        if (!walked.bypath) {
            std::string identity = identityof(fs, path);
            if (!zeroindex(identity)) return identity;
        }
        return finalpath(fs, path);
    }

    // Whether path is a file met before under the same name in another folder (a hard link, a
    // link to a file). Identities, or where files lead, are asked only when a name comes again:
    // one open per galaxy would slow a search over thousands of them, and folders reached twice
    // are caught by their own identities.
    bool metbefore(const std::string& path, const std::string& name) {
        auto& samename = walked.files[lower(name)];
        if (samename.empty()) {
            samename.emplace_back(path, "");
            return false;
        }
        std::string known = sameness(path);
        for (auto& [earlier, itsown] : samename) {
            if (itsown.empty()) itsown = sameness(earlier);
            if (itsown == known) return true;
        }
        samename.emplace_back(path, std::move(known));
        return false;
    }

    // Enters the folder at place, recorded as walked already.
    void folder(Place place, bool found) {
        const std::optional<FolderContents> read =
            readfolder(fs, place.path, place.identity, pattern, found);
        if (!read) return;
        if (entered) entered(WalkPlace{place.path, read->subfolders, read->files});
        ancestors.push_back(std::move(place));
        std::vector<std::string> files;
        for (const auto& file : read->files) {
            std::string path = joinpath(ancestors.back().path, file.name);
            if (!metbefore(path, file.name)) files.push_back(std::move(path));
        }
        for (const auto& sub : read->subfolders) subfolder(sub.name, sub.identity);
        list.insert(list.end(), files.begin(), files.end());
        ancestors.pop_back();
    }

    // A subfolder of the folder the walk is in. identity: what the folder's reading gave, or
    // empty.
    void subfolder(const std::string& name, std::string identity) {
        Place place{joinpath(ancestors.back().path, name), std::move(identity), ""};
        if (!walked.bypath) {
            if (place.identity.empty()) {
                Description folder = fs.describe(place.path, Ask::identity);
                // Gone since the folder was read: nothing left to find there.
                if (folder.what != What::folder) return;
                place.identity = std::move(folder.identity);
            }
            // A folder walked before (reached again through a link, or under a name Windows
            // reads as another) holds nothing new; an ancestor is always among them.
            const Verdict verdict = byidentity(place, true);
            if (verdict == Verdict::fresh) folder(std::move(place), true);
            if (verdict != Verdict::unfit) return;
        }
        // A link counts as where it leads; any other folder as where its folder leads, and
        // its name.
        const auto target = fs.describe(place.path, Ask::target).target;
        place.final =
            target ? comparable(*target) : joinpath(ancestors.back().final, comparable(name));
        if (freshbypath(place.final)) folder(std::move(place), true);
    }
};

// The folders above folder, from its root down, with their identities, or where they lead
// once identities are unfit: a link to one of them would lead the walk out of folder and back
// over it.
std::vector<Place> placesabove(FileSystem& fs, const std::string& base, bool bypath) {
    std::vector<Place> places;
    // A drive root's own separator ends no folder above it.
    for (std::size_t separator = base.find('\\');
         separator != std::string::npos && separator + 1 < base.size();
         separator = base.find('\\', separator + 1)) {
        std::string path = base.substr(0, separator + 1);
        if (bypath) {
            places.push_back(Place{path, "", finalpath(fs, path)});
        } else {
            places.push_back(Place{path, identityof(fs, path), ""});
        }
    }
    return places;
}

}  // namespace

bool walkfolders(FileSystem& fs, const std::string& folder, const std::string& pattern,
                 const WalkHook& entered, Walked& walked, Lines& list) {
    const std::string base = withoutseparator(folder);
    // What it is and its identity, in one look.
    Description given = fs.describe(base, walked.bypath ? 0 : Ask::identity);
    // A player who never made a map has no per-user galaxy folder yet.
    if (given.what != What::folder) return false;
    Walk walk{fs, pattern, entered, walked, list, placesabove(fs, base, walked.bypath)};
    Place place{base, "", ""};
    if (!walked.bypath) {
        place.identity = std::move(given.identity);
        // The same folder given again, or one a walk before has entered, holds nothing new.
        const Walk::Verdict verdict = walk.byidentity(place, false);
        if (verdict == Walk::Verdict::met) return false;
        if (verdict == Walk::Verdict::fresh) {
            walk.folder(std::move(place), false);
            return true;
        }
    }
    place.final = finalpath(fs, base);
    if (!walk.freshbypath(place.final)) return false;
    walk.folder(std::move(place), false);
    return true;
}

}  // namespace hostenv
