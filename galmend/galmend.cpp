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

#include "hostenv/failure.h"
#include "hostenv/hostqueries.h"
#include "hostenv/safereplace.h"
#include "hostenv/startup.h"
#include "hostenv/text.h"
#include "hostenv/walker.h"
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

Galmend::Galmend(hostenv::FileSystem& fs, hostenv::Platform& platform, hostenv::UserInterface& ui)
    : GameForm(fs, platform, ui, drivelist, folderlist, filelist),
      findbutton(hostenv::button(galmendlayout(), "findbutton")),
      fixbutton(hostenv::button(galmendlayout(), "fixbutton")),
      exitbutton(hostenv::button(galmendlayout(), "exitbutton")),
      gamefolderbutton(hostenv::button(galmendlayout(), "gamefolderbutton")),
      userfolderbutton(hostenv::button(galmendlayout(), "userfolderbutton")),
      cputypelabel(hostenv::label(galmendlayout(), "cputypelabel")),
      cpuidlabel(hostenv::label(galmendlayout(), "cpuidlabel")),
      cpulevellabel(hostenv::label(galmendlayout(), "cpulevellabel")),
      cpurevisionlabel(hostenv::label(galmendlayout(), "cpurevisionlabel")),
      coreslabel(hostenv::label(galmendlayout(), "coreslabel")),
      oslabel(hostenv::label(galmendlayout(), "oslabel")),
      winverlabel(hostenv::label(galmendlayout(), "winverlabel")),
      bitslabel(hostenv::label(galmendlayout(), "bitslabel")),
      waitlabel(hostenv::label(galmendlayout(), "waitlabel")),
      stagecaption(hostenv::label(galmendlayout(), "stagecaption")),
      stagelabel(hostenv::label(galmendlayout(), "stagelabel")),
      stagetotal(hostenv::label(galmendlayout(), "stagetotal")),
      silentlabel(hostenv::label(galmendlayout(), "silentlabel")),
      updatedlabel(hostenv::label(galmendlayout(), "updatedlabel")),
      outofcaption(hostenv::label(galmendlayout(), "outofcaption")),
      foundcountlabel(hostenv::label(galmendlayout(), "foundcountlabel")),
      updatedcaption(hostenv::label(galmendlayout(), "updatedcaption")),
      foundheading(hostenv::label(galmendlayout(), "foundheading")),
      fixedheading(hostenv::label(galmendlayout(), "fixedheading")),
      drivelist(fs),
      folderlist(fs),
      filelist(fs) {
    folderlist.change = [this] { hostenv::Dir1_Change(folderlist, filelist); };
}

hostenv::Control& Galmend::control(std::string_view name) {
    const std::pair<std::string_view, hostenv::Control*> controls[] = {
        {"findbutton", &findbutton},
        {"fixbutton", &fixbutton},
        {"exitbutton", &exitbutton},
        {"gamefolderbutton", &gamefolderbutton},
        {"userfolderbutton", &userfolderbutton},
        {"cputypelabel", &cputypelabel},
        {"cpuidlabel", &cpuidlabel},
        {"cpulevellabel", &cpulevellabel},
        {"cpurevisionlabel", &cpurevisionlabel},
        {"coreslabel", &coreslabel},
        {"oslabel", &oslabel},
        {"winverlabel", &winverlabel},
        {"bitslabel", &bitslabel},
        {"waitlabel", &waitlabel},
        {"stagecaption", &stagecaption},
        {"stagelabel", &stagelabel},
        {"stagetotal", &stagetotal},
        {"silentlabel", &silentlabel},
        {"updatedlabel", &updatedlabel},
        {"outofcaption", &outofcaption},
        {"foundcountlabel", &foundcountlabel},
        {"updatedcaption", &updatedcaption},
        {"foundheading", &foundheading},
        {"fixedheading", &fixedheading},
        {"foundlist", &foundlist},
        {"fixedlist", &fixedlist},
        {"drivelist", &drivelist},
        {"folderlist", &folderlist},
        {"filelist", &filelist}};
    return findcontrol(controls, hostenv::design(galmendlayout(), name).role);
}

void Galmend::command(std::string_view role) {
    const std::pair<std::string_view, void (Galmend::*)()> handlers[] = {
        {"findbutton", &Galmend::findbutton_Click},
        {"fixbutton", &Galmend::fixbutton_Click},
        {"exitbutton", &Galmend::exitbutton_Click},
        {"gamefolderbutton", &Galmend::gamefolderbutton_Click},
        {"userfolderbutton", &Galmend::userfolderbutton_Click}};
    for (const auto& [name, handler] : handlers) {
        if (name == role) (this->*handler)();
    }
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
    readcommandline([this] {
        for (auto* button :
             {&findbutton, &fixbutton, &exitbutton, &gamefolderbutton, &userfolderbutton}) {
            button->setenabled(false);
        }
        silentlabel.setvisible(true);
    });

    if (silentmode) {
        findgalaxies();
        fixgalaxies();
        ui_.endprogram(hostenv::exitnormal);
    }
    fixbutton.setenabled(false);
}

void Galmend::findbutton_Click() {
    {
        const hostenv::Busy busy(busy_);
        findgalaxies();
    }
    findbutton.setenabled(false);
    fixbutton.setenabled(true);
}

void Galmend::fixbutton_Click() {
    {
        const hostenv::Busy busy(busy_);
        fixgalaxies();
    }
    findbutton.setenabled(true);
    fixbutton.setenabled(false);
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
    foundgalaxies.clear();
    for (const auto& folder : galaxyfolders) {
        hostenv::walkfolders(searchpattern, folder, foundgalaxies,
                             {fs_, folderlist, filelist, ui_});
    }
    stagelabel.setcaption(hostenv::signform(++stages));
    std::string found;
    for (const auto& path : foundgalaxies)
        found += std::string(hostenv::lastcomponent(path)) + crlf;
    foundlist.append(found);
    foundcountlabel.setcaption(std::to_string(foundgalaxies.size()));
}

void Galmend::fixgalaxies() {
    const Rewriter rewriter(*oldstruct, oldblocks, *newstruct, newblocks);
    FixState state;
    rewritten = 0;
    stagelabel.setcaption(hostenv::signform(++stages));
    for (const auto& path : foundgalaxies) {
        updatedlabel.setcaption(hostenv::signform(rewritten));
        if (!originalmaps) {
            throw Failure(missingfile("original zarn galaxies.txt", "list of the game's own maps") +
                          " No galaxy was changed from " + path + " on.");
        }
        if (std::any_of(originalmaps->begin(), originalmaps->end(),
                        [&](const auto& name) { return hostenv::samefilename(path, name); })) {
            continue;
        }
        bool converted = false;
        try {
            converted = convertgalaxy(path, rewriter, state);
        } catch (const std::bad_alloc&) {
            throw Failure("Out of memory while converting the galaxy " + path + ".");
        }
        if (converted) {
            ++rewritten;
            fixedlist.append(std::string(hostenv::lastcomponent(path)) + crlf);
            ui_.report("Rewrote " + path);
        }
    }
    updatedlabel.setcaption(hostenv::signform(rewritten));
    const auto found = static_cast<long long>(foundgalaxies.size());
    ui_.report("Rewrote " + std::to_string(rewritten) + " of the " +
               hostenv::counted(found, "galaxy", "galaxies") + " found" +
               (rewritten < found ? "; the others are the game's own or in the new format already."
                                  : "."));
}

bool Galmend::convertgalaxy(const std::string& path, const Rewriter& rewriter, FixState& state) {
    // Read as readtextlines reads, but kept as bytes: as Lines, a galaxy of short lines
    // would take several times its size in memory.
    std::string& bytes = state.bytes;
    std::uint64_t size = 0;
    try {
        size = fs_.filesize(path);
        if (size <= largestgalaxy()) fs_.readinto(path, bytes);
    } catch (const Failure& failure) {
        // Looked for only when the read fails: a galaxy that is there costs no search.
        if (!fs_.lookup(path, hostenv::Entries::files)) {
            throw Failure("The galaxy " + path + " has disappeared since it was found.");
        }
        throw Failure("The galaxy " + path + " cannot be read.\r\n" + failure.what());
    }
    if (size > largestgalaxy()) {
        throw Failure("The galaxy " + path + " is " + sizetext(size) +
                      "; galmend converts galaxies of up to " + sizetext(largestgalaxy()) +
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
    hostenv::safereplace(fs_, path, text);
    return true;
}

// A galaxy and its new text are each held whole, in one block of memory, beside the program
// and what it has loaded: an eighth of the address space leaves room for both and for the
// gaps between what is in use. A 32-bit galmend gets 256 to 512 MB; a 64-bit one has no
// limit a galaxy reaches.
std::uint64_t Galmend::largestgalaxy() const {
    return platform_.addressspace() / 8;
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
}

void Galmend::loadoriginalmaps() {
    originalmaps =
        hostenv::readdatafile(fs_, "original zarn galaxies.txt", "list of the game's own maps");
    // The game writes its list in the ANSI code page; names inside the program are Unicode.
    if (originalmaps) {
        for (auto& name : *originalmaps) name = platform_.fromansi(name);
    }
}

}  // namespace galmend
