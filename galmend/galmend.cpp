#include "galmend.h"

#include <algorithm>
#include <cstdint>
#include <iomanip>
#include <new>
#include <optional>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string_view>

#include "backupset.h"
#include "hostenv/failure.h"
#include "hostenv/hostqueries.h"
#include "hostenv/progress.h"
#include "hostenv/safereplace.h"
#include "hostenv/startup.h"
#include "hostenv/text.h"
#include "rewrite.h"
#include "structure.h"

namespace galmend {

namespace {

using hostenv::Failure;

std::string missingfile(const std::string& file, const std::string& role) {
    return "The " + role + " \"" + file +
           "\" was not found in the folder the program was started from.";
}

// Line 1 of a galaxy's bytes, cut as splitlines cuts them; none when it has fewer lines.
std::optional<std::string_view> versionline(std::string_view bytes) {
    bytes = hostenv::withoutfinalbreaks(bytes);
    const std::size_t first = bytes.find("\r\n");
    if (first == std::string_view::npos) return std::nullopt;
    const std::size_t start = first + 2;
    const std::size_t end = bytes.find("\r\n", start);
    return bytes.substr(start, end == std::string_view::npos ? end : end - start);
}

constexpr const char* crlf = "\r\n";

bool isrestoreswitch(const std::string& piece) {
    return hostenv::isswitch(piece, "restore");
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

}  // namespace

namespace {

constexpr std::array controlrows{
    HOSTENV_BUTTON(Galmend, findbutton),       HOSTENV_BUTTON(Galmend, fixbutton),
    HOSTENV_BUTTON(Galmend, exitbutton),       HOSTENV_BUTTON(Galmend, gamefolderbutton),
    HOSTENV_BUTTON(Galmend, userfolderbutton), HOSTENV_BUTTON(Galmend, undobutton),
    HOSTENV_CONTROL(Galmend, cputypelabel),    HOSTENV_CONTROL(Galmend, cpuidlabel),
    HOSTENV_CONTROL(Galmend, cpulevellabel),   HOSTENV_CONTROL(Galmend, cpurevisionlabel),
    HOSTENV_CONTROL(Galmend, coreslabel),      HOSTENV_CONTROL(Galmend, oslabel),
    HOSTENV_CONTROL(Galmend, winverlabel),     HOSTENV_CONTROL(Galmend, bitslabel),
    HOSTENV_CONTROL(Galmend, waitlabel),       HOSTENV_CONTROL(Galmend, stagecaption),
    HOSTENV_CONTROL(Galmend, stagelabel),      HOSTENV_CONTROL(Galmend, stagetotal),
    HOSTENV_CONTROL(Galmend, silentlabel),     HOSTENV_CONTROL(Galmend, updatedlabel),
    HOSTENV_CONTROL(Galmend, outofcaption),    HOSTENV_CONTROL(Galmend, foundcountlabel),
    HOSTENV_CONTROL(Galmend, updatedcaption),  HOSTENV_CONTROL(Galmend, foundheading),
    HOSTENV_CONTROL(Galmend, fixedheading),    HOSTENV_CONTROL(Galmend, foundlist),
    HOSTENV_CONTROL(Galmend, fixedlist),       HOSTENV_CONTROL(Galmend, drivelist),
    HOSTENV_CONTROL(Galmend, folderlist),      HOSTENV_CONTROL(Galmend, filelist)};

}  // namespace

Galmend::Galmend(hostenv::FileSystem& fs, hostenv::Platform& platform, hostenv::UserInterface& ui)
    : ProgramForm(fs, platform, ui) {
    bindcontrols();
    hostenv::nametemporaries("galmend", platform.processid());
}

std::span<const hostenv::ControlRow<Galmend>> Galmend::controltable() {
    return controlrows;
}

// The processor and Windows the program runs on, in the labels at the top.
void Galmend::showhost() {
    cputypelabel.setcaption(environment("PROCESSOR_ARCHITECTURE") + " type");
    cpuidlabel.setcaption(environment("PROCESSOR_IDENTIFIER") + " ID");
    cpulevellabel.setcaption(environment("PROCESSOR_LEVEL") + " Level");
    cpurevisionlabel.setcaption(environment("PROCESSOR_REVISION") + " revision");
    winverlabel.setcaption(hostenv::winvershort(platform_));
    bitslabel.setcaption("32 bit");
    if (hostenv::is64bitwindows(platform_, fs_, windirdrive)) bitslabel.setcaption("64 bit");
    coreslabel.setcaption(environment("NUMBER_OF_PROCESSORS") + " cores");
    oslabel.setcaption(environment("OS") + " O.S.");
}

void Galmend::Form_Load() {
    const hostenv::Lines pieces = hostenv::splitatblanks(platform_.commandargs());
    restoremode = std::any_of(pieces.begin(), pieces.end(), isrestoreswitch);
    // A restore reports as a silent run does.
    if (restoremode) ui_.beginreport();
    reportifsilent();
    readwindir();
    showhost();
    filelist.setpattern("*.galaxy");
    findgalaxyfolders("\\");
    gamefolderbutton.settooltip(galaxyfolders[0]);
    userfolderbutton.settooltip(galaxyfolders[1]);

    loadold();
    loadnew();
    loadoriginalmaps();

    passgate({"local apps is", localappfolder + ":", "and the zarn user directory is",
              galaxyfolders[1]});
    readcommandline(
        [this] {
            for (auto* button : {&findbutton, &fixbutton, &exitbutton, &gamefolderbutton,
                                 &userfolderbutton, &undobutton}) {
                button->setenabled(false);
            }
            silentlabel.setvisible(true);
        },
        isrestoreswitch);

    if (restoremode) restorerun();
    if (silentmode) {
        findgalaxies();
        fixgalaxies();
        ui_.endprogram(hostenv::exitnormal);
    }
    fixbutton.setenabled(false);
    offerundo();
}

void Galmend::restorerun() {
    const hostenv::Lines pieces = hostenv::splitatblanks(platform_.commandargs());
    if (pieces.size() > 1) {
        // A restore is a run of its own: "/restore /s" would leave a script guessing which.
        const auto other =
            std::find_if(pieces.begin() + 1, pieces.end(),
                         [&](const std::string& piece) { return piece != pieces[0]; });
        ui_.messagebox("Invalid argument: " + (other == pieces.end() ? pieces[1] : *other));
        ui_.endprogram(hostenv::exitinvalidargument);
    }
    const bool whole = restorenewest(fs_, backupsfolder(localappfolder), ui_, true);
    ui_.endprogram(whole ? hostenv::exitnormal : hostenv::exitfailure);
}

void Galmend::offerundo() {
    bool restorable = false;
    try {
        restorable = newestunrestored(fs_, backupsfolder(localappfolder)).has_value();
    } catch (const Failure&) {
        // A folder that cannot be listed now offers nothing to undo.
    }
    undobutton.setenabled(restorable);
}

void Galmend::undobutton_Click() {
    const std::string folder = backupsfolder(localappfolder);
    const std::optional<RestoreOffer> offer = restoreoffer(fs_, folder);
    if (!offer) {
        ui_.messagebox("There is no backup set to restore in " + folder + ".");
    } else if (ui_.question(
                   "Put back the old bytes of the " +
                   hostenv::counted(static_cast<long long>(offer->galaxies), "galaxy", "galaxies") +
                   " that the fix of " + offer->date +
                   " rewrote?\r\nA galaxy changed since that fix is left as it is.")) {
        restorenewest(fs_, folder, ui_, false);
    }
    offerundo();
}

void Galmend::findbutton_Click() {
    undobutton.setenabled(false);
    {
        const hostenv::Busy busy(busy_);
        findgalaxies();
    }
    findbutton.setenabled(false);
    fixbutton.setenabled(true);
    offerundo();
}

void Galmend::fixbutton_Click() {
    undobutton.setenabled(false);
    {
        const hostenv::Busy busy(busy_);
        fixgalaxies();
    }
    findbutton.setenabled(true);
    fixbutton.setenabled(false);
    offerundo();
    if (!keptnote.empty()) ui_.messagebox(keptnote);
}

void Galmend::exitbutton_Click() {
    ui_.endprogram(hostenv::exitnormal);
}

void Galmend::gamefolderbutton_Click() {
    folderlist.setpath(galaxyfolders[0]);
}

void Galmend::userfolderbutton_Click() {
    folderlist.setpath(galaxyfolders[1]);
}

void Galmend::findgalaxies() {
    searchpattern = "*.galaxy";
    // The found list grows as the walk finds, a batch of names at a time.
    std::size_t shown = 0;
    walkgalaxyfolders(searchpattern, foundgalaxies, [&] {
        std::string found;
        for (; shown < foundgalaxies.size(); ++shown)
            found += std::string(hostenv::lastcomponent(foundgalaxies[shown])) + crlf;
        if (!found.empty()) foundlist.append(found);
        foundcountlabel.setcaption(std::to_string(foundgalaxies.size()));
    });
    stagelabel.setcaption(hostenv::signform(++stages));
}

namespace {

// The most galaxies staged at once: each is a temporary file until the batch is put in place.
constexpr std::size_t batchlimit = 64;

}  // namespace

void Galmend::fixgalaxies() {
    const Rewriter rewriter(*oldstruct, oldblocks, *newstruct, newblocks);
    // A galaxy and its new text each need one block of addresses beside the program's own.
    FixState state;
    state.largest = platform_.addressspace() / 8;
    BackupWriter backup(fs_, backupsfolder(localappfolder), platform_.localtimestamp(),
                        galaxyfolders);
    rewritten = 0;
    keptnote.clear();
    stagelabel.setcaption(hostenv::signform(++stages));
    // The names rewritten since the fixed list last grew.
    std::string fixed;
    const auto show = [&] {
        updatedlabel.setcaption(hostenv::signform(rewritten));
        if (!fixed.empty()) fixedlist.append(fixed);
        fixed.clear();
    };
    hostenv::Progress progress(ui_, clock);
    show();
    try {
        for (std::size_t i = 0; i < foundgalaxies.size(); ++i) {
            try {
                fixgalaxy(foundgalaxies[i], rewriter, state, backup);
            } catch (const Failure&) {
                // The galaxies staged before this one are put in place: work done stays done.
                if (!state.backupbroken && !state.stagedpaths.empty()) {
                    putinplace(state, backup, fixed);
                }
                throw;
            }
            if (!state.stagedpaths.empty() &&
                (i + 1 == foundgalaxies.size() || state.stagedpaths.size() >= batchlimit ||
                 progress.due())) {
                putinplace(state, backup, fixed);
            }
            // Between two galaxies, with no temporary file open: where "exit" may end the run.
            if (state.stagedpaths.empty()) progress.step(show);
        }
    } catch (...) {
        // The window shows what was rewritten before the failure, and the set stays whole.
        show();
        try {
            backup.finish();
        } catch (const Failure&) {
            // The set is restorable without its end; the first failure is the one to tell.
        }
        throw;
    }
    backup.finish();
    progress.finish(show);
    endfix(backup);
}

void Galmend::endfix(const BackupWriter& backup) {
    const auto found = static_cast<long long>(foundgalaxies.size());
    ui_.report("Rewrote " + std::to_string(rewritten) + " of the " +
               hostenv::counted(found, "galaxy", "galaxies") + " found" +
               (rewritten < found ? "; the others are the game's own or in the new format already."
                                  : "."));
    if (backup.setpath().empty()) return;
    keptnote =
        "The old galaxies are kept in " + backup.setpath() + "; galmend /restore puts them back.";
    ui_.report(keptnote);
    try {
        prunebackupsets(fs_, backupsfolder(localappfolder));
    } catch (const Failure&) {
        // Older sets that cannot be listed now are removed by a later fix.
    }
}

bool Galmend::fixgalaxy(const std::string& path, const Rewriter& rewriter, FixState& state,
                        BackupWriter& backup) {
    if (!originalmaps) {
        throw Failure(missingfile("original zarn galaxies.txt", "list of the game's own maps") +
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

void Galmend::putinplace(FixState& state, BackupWriter& backup, std::string& fixed) {
    try {
        backup.commit();
    } catch (const Failure& failure) {
        state.backupbroken = true;
        throw Failure("Cannot write the backup set " + backup.setpath() +
                      " through to the disk; no galaxy was changed from " +
                      state.stagedpaths.front() + " on.\r\n" + failure.what());
    }
    for (std::size_t i = 0; i < state.staged.size(); ++i) {
        state.staged[i].replace();
        ++rewritten;
        fixed += std::string(hostenv::lastcomponent(state.stagedpaths[i])) + crlf;
        ui_.report("Rewrote " + state.stagedpaths[i]);
    }
    state.staged.clear();
    state.stagedpaths.clear();
}

bool Galmend::convertgalaxy(const std::string& path, const Rewriter& rewriter, FixState& state,
                            BackupWriter& backup) {
    // Read as readtextlines reads, but kept as bytes: as Lines, a galaxy of short lines
    // would take several times its size in memory.
    std::string& bytes = state.bytes;
    std::uint64_t size = 0;
    try {
        size = fs_.filesize(path);
        if (size <= state.largest) fs_.readinto(path, bytes);
    } catch (const Failure& failure) {
        // Looked for only when the read fails: a galaxy that is there costs no search.
        if (!fs_.lookup(path, hostenv::Entries::files)) {
            throw Failure("The galaxy " + path + " has disappeared since it was found.");
        }
        throw Failure("The galaxy " + path + " cannot be read.\r\n" + failure.what());
    }
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
    const std::string folder = path.substr(0, hostenv::lastcomponentstart(path));
    if (state.cleanedfolders.insert(folder).second) hostenv::removestaletemporaries(fs_, folder);
    keepold(path, state, backup);
    return true;
}

// Stages the galaxy's new text, and adds its old bytes to the set: both are on the disk before
// the galaxy is replaced.
void Galmend::keepold(const std::string& path, FixState& state, BackupWriter& backup) {
    // Without the folder Windows gives for it, the set would land in no place a player knows.
    if (localappfolder.empty()) {
        throw Failure(
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
        const std::string where =
            backup.setpath().empty() ? backupsfolder(localappfolder) : backup.setpath();
        throw Failure("Cannot keep the old galaxy " + path + " in " + where +
                      "; no galaxy was changed from " + state.stagedpaths.front() + " on.\r\n" +
                      failure.what());
    }
}

// A galaxy and its new text are each held whole, in one block of memory, beside the program
// and what it has loaded: an eighth of the address space leaves room for both and for the
// gaps between what is in use. A 32-bit galmend gets 256 to 512 MB; a 64-bit one has no
// limit a galaxy reaches.
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

void Galmend::loadold() {
    oldstruct = hostenv::readdatafile(fs_, "oldstruct.txt", "old structure definition");
    if (!oldstruct) throw Failure(missingfile("oldstruct.txt", "old structure definition"));
    oldblocks = blocktable(*oldstruct, "oldstruct.txt");
}

void Galmend::loadnew() {
    newstruct = hostenv::readdatafile(fs_, "newstruct.txt", "new structure definition");
    if (!newstruct) throw Failure(missingfile("newstruct.txt", "new structure definition"));
    newblocks = blocktable(*newstruct, "newstruct.txt");
    if (newstruct->size() < 2) {
        throw Failure(
            "The new structure definition \"newstruct.txt\" has no version line: its second "
            "line must end in the new map format's version.");
    }
    newversion = versionofline((*newstruct)[1]);
    // The version is read from the line's last two characters, as every galaxy's is: a
    // definition whose version reads as 0 would take every galaxy for the new format, and the
    // galaxies it wrote would read as old again.
    if (!(newversion > 0)) {
        throw Failure(
            "The new structure definition \"newstruct.txt\" gives no version above 0 "
            "in its version line, line 2: \"" +
            (*newstruct)[1] +
            "\". The line must end in the new map format's version, with nothing "
            "after it (not even a blank).");
    }
}

void Galmend::loadoriginalmaps() {
    const char* const file = "original zarn galaxies.txt";
    std::string bytes;
    try {
        if (!fs_.lookup(file, hostenv::Entries::files)) return;
        fs_.readinto(file, bytes);
    } catch (const Failure& failure) {
        throw Failure(std::string("The list of the game's own maps \"") + file +
                      "\" cannot be read.\r\n" + failure.what());
    }
    originalmaps = originalmapnames(bytes, platform_);
}

}  // namespace galmend
