// galmend's fix: each galaxy found is rewritten in memory, staged beside itself with its old
// bytes kept in the run's backup set, and put in place in batches.
#include <algorithm>
#include <cstdint>
#include <iomanip>
#include <new>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <string_view>

#include "galaxysets.h"
#include "galmend.h"
#include "hostenv/backup/backupset.h"
#include "hostenv/failure.h"
#include "hostenv/paths.h"
#include "hostenv/progress.h"
#include "hostenv/safereplace.h"
#include "hostenv/text.h"
#include "rewrite.h"
#include "structure.h"

namespace galmend {

namespace {

using hostenv::Failure;
using hostenv::backup::prunebackupsets;

// Line 1 of a galaxy's bytes, cut as splitlines cuts them; none when it has fewer lines.
std::optional<std::string_view> versionline(std::string_view bytes) {
    bytes = hostenv::withoutfinalbreaks(bytes);
    const std::size_t first = bytes.find("\r\n");
    if (first == std::string_view::npos) return std::nullopt;
    const std::size_t start = first + 2;
    const std::size_t end = bytes.find("\r\n", start);
    return bytes.substr(start, end == std::string_view::npos ? end : end - start);
}

// A file's size as Windows' Explorer gives it: "1.6 GB", "512 MB".
std::string sizetext(std::uint64_t bytes) {
    constexpr double mb = 1024.0 * 1024.0;
    std::ostringstream text;
    text << std::fixed;
    if (static_cast<double>(bytes) >= 1024 * mb) {
        text << std::setprecision(1) << static_cast<double>(bytes) / (1024 * mb) << " GB";
    } else {
        text << std::setprecision(0) << static_cast<double>(bytes) / mb << " MB";
    }
    return text.str();
}

// A version as a person writes it: 4, 4.5.
std::string versiontext(double version) {
    std::ostringstream text;
    text << version;
    return text.str();
}

// A galaxy whose name Windows forbids, and which no name of it reaches: the others are still
// rewritten.
class UnreachableGalaxy : public Failure {
  public:
    using Failure::Failure;
};

// A failure that is not one galaxy's: no later galaxy would fare better, so even a check,
// which names every galaxy a fix would fail on, stops at it.
class StopsTheFix : public Failure {
  public:
    using Failure::Failure;
};

// The most galaxies staged at once: each is a temporary file until the batch is put in place.
constexpr std::size_t batchlimit = 64;

// How often the fixed list grows during a fix. Under Wine each growth of a long multi-line
// text box costs 10 to 20 ms, whatever it adds: at every showing it would cost the fix more
// than a tenth of its time.
constexpr auto listinterval = 5 * hostenv::Progress::interval;

}  // namespace

void Galmend::fixgalaxies() {
    const Rewriter rewriter(*oldstruct, oldblocks, *newstruct, newblocks);
    FixState state;
    state.largest = platform_.addressspace() / 8;
    // Without the folder, a fix fails at the first galaxy it would rewrite (keepold).
    BackupWriter backup(fs_, galaxysets(),
                        localappfolder.empty() ? "" : backupsfolder(galaxysets(), localappfolder),
                        platform_.localtimestamp(), keptgalaxyfolders(galaxyfolders));
    const hostenv::backup::SetUnderWay fixing(fixset_, backup);
    rewritten = 0;
    wouldfail = 0;
    keptnote.clear();
    stagelabel.setcaption(hostenv::signform(++stages));
    // The names rewritten since the fixed list last grew, and when it did. The count shows at
    // every showing; the list grows at most every listinterval, and whole at the end.
    std::string fixed;
    auto listed = clock();
    const auto show = [&](bool whole) {
        updatedlabel.setcaption(hostenv::signform(rewritten));
        if (fixed.empty() || (!whole && clock() - listed < listinterval)) return;
        fixedlist.append(fixed);
        fixed.clear();
        listed = clock();
    };
    hostenv::Progress progress(ui_, clock);
    show(true);
    try {
        for (std::size_t i = 0; i < foundgalaxies.size(); ++i) {
            try {
                fixgalaxy(foundgalaxies[i], rewriter, state, backup);
            } catch (const UnreachableGalaxy& failure) {
                state.unreachable.push_back(failure.what());
            } catch (const StopsTheFix&) {
                if (!state.backupbroken && !state.stagedpaths.empty()) {
                    putinplace(state, backup, fixed);
                }
                throw;
            } catch (const Failure& failure) {
                // The galaxies staged before this one are put in place: work done stays done.
                // A check does the same, so that it names the failures in the fix's order and
                // foresees every galaxy staged before a last one that fails.
                if (!state.backupbroken && !state.stagedpaths.empty()) {
                    putinplace(state, backup, fixed);
                }
                if (!checkmode) throw;
                wouldfailon(failure.what());
            }
            if (!state.stagedpaths.empty() &&
                (i + 1 == foundgalaxies.size() || state.stagedpaths.size() >= batchlimit ||
                 progress.due())) {
                putinplace(state, backup, fixed);
            }
            // Between two galaxies, with no temporary file open: where "exit" may end the run.
            if (state.stagedpaths.empty()) progress.step([&] { show(false); });
        }
    } catch (const std::exception&) {
        // The window shows what was rewritten before the failure, and the set stays whole.
        // The program's end unwinds nothing on Windows: "exit" and closing finish the set
        // themselves (endnow).
        show(true);
        try {
            backup.finish();
        } catch (const Failure&) {
            // The set is restorable without its end; the first failure is the one to tell.
        }
        throw;
    }
    finishset(backup);
    progress.finish([&] { show(true); });
    endfix(backup, wouldfail + state.unreachable.size());
    if (!state.unreachable.empty()) {
        const bool one = state.unreachable.size() == 1;
        std::string text = "galmend cannot reach " +
                           hostenv::counted(static_cast<long long>(state.unreachable.size()),
                                            "galaxy", "galaxies") +
                           (one ? " whose name Windows forbids; it is"
                                : " whose names Windows forbids; they are") +
                           " unchanged, and every other galaxy was rewritten. Rename " +
                           (one ? "it" : "them") + " to have " + (one ? "it" : "them") +
                           " rewritten.";
        for (const auto& reason : state.unreachable) text += "\r\n" + reason;
        throw Failure(text);
    }
}

void Galmend::finishset(BackupWriter& backup) {
    try {
        backup.finish();
    } catch (const Failure& failure) {
        endfix(backup, 0);
        throw Failure("Cannot finish the backup set " + backup.setpath() +
                      ": it is incomplete, but galmend /restore can still put back every galaxy "
                      "this fix rewrote from it.\r\n" +
                      failure.what());
    }
}

void Galmend::wouldfailon(const std::string& message) {
    ++wouldfail;
    ui_.messagebox(message);
}

void Galmend::checkrun() {
    findgalaxies();
    fixgalaxies();
    ui_.endprogram(wouldfail > 0   ? hostenv::exitfailure
                   : rewritten > 0 ? hostenv::exitwouldchange
                                   : hostenv::exitnormal);
}

void Galmend::endfix(const BackupWriter& backup, std::size_t failing) {
    const auto found = static_cast<long long>(foundgalaxies.size());
    ui_.report(
        (checkmode ? "Would rewrite " : "Rewrote ") + std::to_string(rewritten) + " of the " +
        hostenv::counted(found, "galaxy", "galaxies") + " found" +
        (rewritten < found ? "; the others are the game's own or in the new format already" : "") +
        (failing > 0 ? "; " + std::to_string(failing) + " would fail" : "") + ".");
    if (checkmode || backup.setpath().empty()) return;
    keptnote =
        "The old galaxies are kept in " + backup.setpath() + "; galmend /restore puts them back.";
    ui_.report(keptnote);
    try {
        prunebackupsets(fs_, galaxysets(), backupsfolder(galaxysets(), localappfolder),
                        backup.setpath());
    } catch (const Failure&) {
        // Older sets that cannot be listed now are removed by a later fix.
    }
}

bool Galmend::fixgalaxy(const std::string& path, const Rewriter& rewriter, FixState& state,
                        BackupWriter& backup) {
    if (!originalmaps) {
        throw StopsTheFix(missingfile("original zarn galaxies.txt", "list of the game's own maps") +
                          " No galaxy was changed from " + path + " on.");
    }
    if (std::any_of(originalmaps->begin(), originalmaps->end(),
                    [&](const auto& name) { return hostenv::samefilename(path, name); })) {
        return false;
    }
    try {
        return convertgalaxy(path, rewriter, state, backup);
    } catch (const std::bad_alloc&) {
        throw Failure("Out of memory while converting the galaxy " + path + ".");
    }
}

namespace {

// The set learns which galaxies of the batch are in place; when it cannot take that, a
// restore tells them apart by what they hold.
void closebatch(BackupWriter& backup, std::size_t replaced) {
    try {
        backup.closebatch(replaced);
    } catch (const Failure&) {
        // The batch stays open in the set; a later write failure tells the fix.
    }
}

}  // namespace

void Galmend::putinplace(FixState& state, BackupWriter& backup, std::string& fixed) {
    try {
        backup.commit();
    } catch (const Failure& failure) {
        state.backupbroken = true;
        throw StopsTheFix("Cannot write the backup set " + backup.setpath() +
                          " through to the disk; no galaxy was changed from " +
                          state.stagedpaths.front() + " on.\r\n" + failure.what());
    }
    std::size_t replaced = 0;
    try {
        for (; replaced < state.staged.size(); ++replaced) {
            try {
                state.staged[replaced].replace();
            } catch (const Failure& failure) {
                // A check foresees a galaxy the replacement refuses (a read-only one).
                if (!checkmode) throw;
                wouldfailon(failure.what());
                continue;
            }
            ++rewritten;
            fixed +=
                hostenv::shownpath(hostenv::lastcomponent(state.stagedpaths[replaced])) + "\r\n";
            ui_.report((checkmode ? "Would rewrite " : "Rewrote ") +
                       hostenv::shownpath(state.stagedpaths[replaced]));
        }
    } catch (const Failure&) {
        closebatch(backup, replaced);
        throw;
    }
    closebatch(backup, replaced);
    state.staged.clear();
    state.stagedpaths.clear();
}

bool Galmend::convertgalaxy(const std::string& path, const Rewriter& rewriter, FixState& state,
                            BackupWriter& backup) {
    // Read as readtextlines reads, but kept as bytes: as Lines, a galaxy of short lines
    // would take several times its size in memory.
    std::string& bytes = state.bytes;
    hostenv::Description galaxy;
    try {
        galaxy = fs_.describe(path, 0);
        if (galaxy.what == hostenv::What::file && galaxy.size <= state.largest)
            fs_.readinto(path, bytes);
    } catch (const Failure& failure) {
        if (hostenv::forbiddenname(hostenv::lastcomponent(path))) {
            throw UnreachableGalaxy(hostenv::shownpath(path) + "\r\n" + failure.what());
        }
        // Looked for only when the read fails: a galaxy that is there costs no search.
        if (fs_.lookup(path, hostenv::Entries::files)) {
            throw Failure("The galaxy " + path + " cannot be read.\r\n" + failure.what());
        }
        galaxy.what = hostenv::What::missing;
    }
    if (galaxy.what != hostenv::What::file) {
        throw Failure("The galaxy " + path + " has disappeared since it was found.");
    }
    const std::uint64_t size = galaxy.size;
    if (size > state.largest) {
        throw Failure("The galaxy " + path + " is " + sizetext(size) +
                      "; galmend converts galaxies of up to " + sizetext(state.largest) +
                      " on this Windows. It is unchanged.");
    }
    const std::optional<std::string_view> version = versionline(bytes);
    if (!version) {
        throw Failure("The galaxy " + path +
                      " has no version line: a galaxy has at least two lines ended by CR LF.");
    }
    if (versionofline(*version) >= newversion) return false;

    // The new text is complete in memory before the file is touched.
    std::string& text = state.text;
    text.clear();
    text.reserve(bytes.size() + bytes.size() / 4);
    try {
        rewriter.rewritegalaxy(bytes, text);
    } catch (const Failure& failure) {
        // The rewriting's messages are one line of ASCII but for the definition lines they
        // quote, which are bytes in the ANSI code page.
        throw Failure("Cannot rewrite the galaxy " + path + "; it is unchanged.\r\n" +
                      filetext(failure.what()));
    }
    refuseoldformat(path, text);
    const std::string folder = hostenv::parentpath(path);
    if (state.cleanedfolders.insert(folder).second)
        hostenv::removestaletemporaries(fs_, platform_, folder);
    keepold(path, state, backup);
    return true;
}

// Stages the galaxy's new text, and adds its old bytes to the set: both are on the disk before
// the galaxy is replaced.
void Galmend::keepold(const std::string& path, FixState& state, BackupWriter& backup) {
    // Without the folder Windows gives for it, the set would land in no place a player knows.
    if (localappfolder.empty()) {
        throw StopsTheFix(
            "galmend keeps the old galaxies in the local application-data folder, "
            "which Windows did not give; no galaxy was changed from " +
            (state.stagedpaths.empty() ? path : state.stagedpaths.front()) + " on.");
    }
    state.staged.emplace_back(fs_, path, state.text);
    state.stagedpaths.push_back(path);
    try {
        backup.add(path, state.bytes, state.text);
    } catch (const Failure& failure) {
        state.backupbroken = true;
        const std::string where = backup.setpath().empty()
                                      ? backupsfolder(galaxysets(), localappfolder)
                                      : backup.setpath();
        throw StopsTheFix("Cannot keep the old galaxy " + path + " in " + where +
                          "; no galaxy was changed from " + state.stagedpaths.front() + " on.\r\n" +
                          failure.what());
    }
}

// Definitions that do not describe the galaxy's old format rewrite it into a text that is
// still old; counted as updated, it would be "updated" again on every run.
void Galmend::refuseoldformat(const std::string& path, std::string_view text) const {
    const std::optional<std::string_view> version = versionline(text);
    if (version && versionofline(*version) >= newversion) return;
    const std::string line = version ? "\"" + filetext(*version) + "\"" : "none";
    throw Failure("Cannot rewrite the galaxy " + path + "; it is unchanged.\r\n" +
                  "Its new text would not be in the new format: its version line would be " + line +
                  ", below version " + versiontext(newversion) +
                  " of \"newstruct.txt\". Check that \"oldstruct.txt\" and \"newstruct.txt\" "
                  "describe this galaxy's format.");
}

}  // namespace galmend
