#include "galmend.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <set>
#include <stdexcept>
#include <string_view>

#include "galaxysets.h"
#include "hostenv/backup/backupset.h"
#include "hostenv/backup/undo.h"
#include "hostenv/failure.h"
#include "hostenv/hostqueries.h"
#include "hostenv/paths.h"
#include "hostenv/progress.h"
#include "hostenv/safereplace.h"
#include "hostenv/startup.h"
#include "hostenv/text.h"
#include "structure.h"

namespace galmend {

namespace {

using hostenv::Failure;
using hostenv::backup::backupsets;
using hostenv::backup::restorefrom;
using hostenv::backup::restoreoffer;

bool isrestoreswitch(const std::string& piece) {
    return hostenv::isswitch(piece, "restore");
}

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

std::string missingfile(const std::string& file, const std::string& role) {
    return "The " + role + " \"" + file +
           "\" was not found in the folder the program was started from.";
}

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
    restoremode = restoreasked();
    // A restore reports as a silent run does.
    if (restoremode) ui_.beginreport();
    if (checkmode) begincheck();
    reportifsilent();
    readwindir();
    showhost();
    filelist.setpattern("*.galaxy");
    findgalaxyfolders("\\");
    gamefolderbutton.settooltip(galaxyfolders[0]);
    userfolderbutton.settooltip(galaxyfolders[1]);
    // A restore converts nothing: after a game update, when the way back matters most, it
    // needs neither the version the release was made for nor the structure definitions.
    if (restoremode) restorerun();
    if (checkmode) runalone();

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

    // A check takes no lock: it changes nothing, and a launcher asks it before the game.
    if (checkmode) checkrun();
    if (silentmode) {
        const auto lock = lockrun();
        if (!lock) ui_.endprogram(hostenv::exitfailure);
        findgalaxies();
        fixgalaxies();
        ui_.endprogram(hostenv::exitnormal);
    }
    fixbutton.setenabled(false);
    offerundo();
}

void Galmend::restorerun() {
    beginrestore();
    loadoriginalmaps();
    const auto lock = lockrun();
    if (!lock) ui_.endprogram(hostenv::exitfailure);
    const bool whole = restore(newestoffer(), true);
    ui_.endprogram(whole ? hostenv::exitnormal : hostenv::exitfailure);
}

RestoreOffer Galmend::newestoffer() {
    // Without the list, a restore could not tell the game's own maps, which it never writes.
    if (!originalmaps) {
        throw Failure(missingfile("original zarn galaxies.txt", "list of the game's own maps") +
                      " Nothing was restored.");
    }
    return restoreoffer(fs_, backupsfolder(galaxysets(), localappfolder),
                        restorescope(galaxyfolders, *originalmaps));
}

bool Galmend::restore(const RestoreOffer& offer, bool silent) {
    const hostenv::Busy busy(busy_);
    return hostenv::backup::restorereported(
        fs_, ui_, clock, galaxysets(), backupsfolder(galaxysets(), localappfolder), offer, silent);
}

std::unique_ptr<hostenv::HeldLock> Galmend::lockrun() {
    auto lock = platform_.takelock("galmend");
    if (!lock) {
        ui_.messagebox(
            "Another galmend is fixing or restoring galaxies now; nothing was changed. Try "
            "again when it has ended.");
    }
    return lock;
}

void Galmend::offerundo() {
    undobutton.setenabled(hostenv::backup::undoable(fs_, galaxysets(), localappfolder));
}

void Galmend::undobutton_Click() {
    // The question names the set that Yes restores: no other galmend changes the sets
    // between the two.
    const auto lock = lockrun();
    if (!lock) return;
    hostenv::backup::askandrestore(
        ui_, [this] { return newestoffer(); },
        [](const RestoreOffer& offer) {
            return "Put back the old bytes of the " +
                   hostenv::counted(static_cast<long long>(offer.files), "galaxy", "galaxies") +
                   " that the fix of " + offer.date +
                   " rewrote?\r\nA galaxy changed since that fix is left as it is.";
        },
        [this](const RestoreOffer& offer) { restore(offer, false); });
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
    const auto lock = lockrun();
    if (!lock) return;
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
    endnow(hostenv::exitnormal);
}

void Galmend::closed() {
    endnow(hostenv::exitnormal);
}

void Galmend::endnow(int exitcode) {
    hostenv::backup::finishunderway(fixset_);
    ui_.endprogram(exitcode);
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
            found += std::string(hostenv::lastcomponent(foundgalaxies[shown])) + "\r\n";
        if (!found.empty()) foundlist.append(found);
        foundcountlabel.setcaption(std::to_string(foundgalaxies.size()));
    });
    stagelabel.setcaption(hostenv::signform(++stages));
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
