#include "galmend.h"

#include <algorithm>
#include <optional>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string_view>

#include "hostenv/failure.h"
#include "hostenv/hostqueries.h"
#include "hostenv/safereplace.h"
#include "hostenv/startup.h"
#include "hostenv/walker.h"
#include "rewrite.h"
#include "structure.h"

namespace updater {

namespace {

using hostenv::Failure;

const hostenv::ControlLayout& design(std::string_view name) {
    return hostenv::design(galmendlayout(), name);
}

hostenv::Button button(std::string_view name) {
    return hostenv::Button(design(name).caption);
}

hostenv::Label label(std::string_view name) {
    const auto& d = design(name);
    return hostenv::Label(d.caption, d.visible);
}

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

// A version as a person writes it: 4, 4.5.
std::string versiontext(double version) {
    std::ostringstream text;
    text << version;
    return text.str();
}

std::string filename(const std::string& path) {
    return path.substr(static_cast<std::size_t>(hostenv::lastinstr(path, "\\") - 1));
}

}  // namespace

Galmend::Galmend(hostenv::FileSystem& fs, hostenv::Platform& platform, hostenv::UserInterface& ui)
    : CommandForm(ui, Drive1, Dir1, File1),
      Command1(button("Command1")),
      Command2(button("Command2")),
      Command3(button("Command3")),
      Command4(button("Command4")),
      Command5(button("Command5")),
      Label1(label("Label1")),
      Label2(label("Label2")),
      Label3(label("Label3")),
      Label4(label("Label4")),
      Label5(label("Label5")),
      Label6(label("Label6")),
      Label7(label("Label7")),
      Label8(label("Label8")),
      Label9(label("Label9")),
      Label10(label("Label10")),
      Label11(label("Label11")),
      Label12(label("Label12")),
      Label13(label("Label13")),
      Label14(label("Label14")),
      Label15(label("Label15")),
      Label16(label("Label16")),
      Label17(label("Label17")),
      Label18(label("Label18")),
      Label19(label("Label19")),
      Drive1(fs),
      Dir1(fs),
      File1(fs),
      fs_(fs),
      platform_(platform) {
    Dir1.change = [this] { hostenv::Dir1_Change(Dir1, File1); };
}

hostenv::Control& Galmend::control(std::string_view name) {
    const std::pair<std::string_view, hostenv::Control*> controls[] = {
        {"Command1", &Command1}, {"Command2", &Command2}, {"Command3", &Command3},
        {"Command4", &Command4}, {"Command5", &Command5}, {"Label1", &Label1},
        {"Label2", &Label2},     {"Label3", &Label3},     {"Label4", &Label4},
        {"Label5", &Label5},     {"Label6", &Label6},     {"Label7", &Label7},
        {"Label8", &Label8},     {"Label9", &Label9},     {"Label10", &Label10},
        {"Label11", &Label11},   {"Label12", &Label12},   {"Label13", &Label13},
        {"Label14", &Label14},   {"Label15", &Label15},   {"Label16", &Label16},
        {"Label17", &Label17},   {"Label18", &Label18},   {"Label19", &Label19},
        {"Text1", &Text1},       {"Text2", &Text2},       {"Drive1", &Drive1},
        {"Dir1", &Dir1},         {"File1", &File1}};
    return findcontrol(controls, name);
}

long long Galmend::stagenumber() const {
    return static_cast<long long>(hostenv::leadingnumber(Label8.caption()));
}

std::string Galmend::environment(const std::string& name) {
    return platform_.environment(name).value_or("");
}

void Galmend::Form_Load() {
    windirdrive = environment("windir").substr(0, 2);

    Label11.setcaption(environment("PROCESSOR_ARCHITECTURE") + " type");
    Label12.setcaption(environment("PROCESSOR_IDENTIFIER") + " ID");
    Label13.setcaption(environment("PROCESSOR_LEVEL") + " Level");
    Label14.setcaption(environment("PROCESSOR_REVISION") + " revision");
    Label15.setcaption(hostenv::winvershort(platform_));
    Label16.setcaption("32 bit");
    if (hostenv::is64bitwindows(platform_, fs_, windirdrive)) Label16.setcaption("64 bit");
    Label17.setcaption(environment("NUMBER_OF_PROCESSORS") + " cores");
    Label18.setcaption(environment("OS") + " O.S.");

    localappfolder = hostenv::localappdata(platform_, ui_);
    File1.setpattern("*.galaxy");

    gamefolder = hostenv::readgamefolder(platform_, fs_, windirdrive);

    galaxyfolders[0] = gamefolder;
    galaxyfolders[1] = localappfolder + "\\Corvatek\\Halcyrion\\";
    Command4.settooltip(galaxyfolders[0]);
    Command5.settooltip(galaxyfolders[1]);

    loadold();
    loadnew();
    loadoriginalmaps();

    gameversion = hostenv::getfileversion(platform_, gamefolder + "Halcyrion.exe");
    targetversion = hostenv::readtargetversion(fs_);
    hostenv::versiongate(
        ui_, gameversion, targetversion,
        {"found zarn version :" + gameversion + ":", " need zarn version :" + targetversion + ":",
         "in the default location of", gamefolder, "local apps is", localappfolder + ":",
         "and the zarn user directory is", galaxyfolders[1]});

    readcommandline();

    if (silentmode) {
        findgalaxies();
        fixgalaxies();
        ui_.endprogram(hostenv::exitnormal);
    }
    Command2.setenabled(false);
}

void Galmend::readcommandline() {
    hostenv::readswitches(platform_.commandargs(), ui_, [this] {
        for (auto* command : {&Command1, &Command2, &Command3, &Command4, &Command5}) {
            command->setenabled(false);
        }
        Label19.setvisible(true);
        silentmode = true;
    });
}

void Galmend::Command1_Click() {
    {
        const hostenv::Busy busy(busy_);
        findgalaxies();
    }
    Command1.setenabled(false);
    Command2.setenabled(true);
}

void Galmend::Command2_Click() {
    {
        const hostenv::Busy busy(busy_);
        fixgalaxies();
    }
    Command1.setenabled(true);
    Command2.setenabled(false);
}

void Galmend::Command3_Click() {
    ui_.endprogram(hostenv::exitnormal);
}

void Galmend::Command4_Click() {
    Dir1.setpath(galaxyfolders[0]);
}

void Galmend::Command5_Click() {
    Dir1.setpath(galaxyfolders[1]);
}

void Galmend::findgalaxies() {
    searchpattern = "*.galaxy";
    foundgalaxies.clear();
    for (const auto& folder : galaxyfolders) {
        hostenv::walkfolders(searchpattern, folder, foundgalaxies, {fs_, Dir1, File1, ui_});
    }
    Label8.setcaption(hostenv::signform(stagenumber() + 1));
    std::string found;
    for (const auto& path : foundgalaxies) found += filename(path) + crlf;
    Text1.append(found);
    Label6.setcaption(std::to_string(foundgalaxies.size()));
}

void Galmend::fixgalaxies() {
    const Rewriter rewriter(*oldstruct, oldblocks, *newstruct, newblocks);
    // The new text keeps its memory for the next galaxy.
    std::string text;
    long long rewritten = 0;
    std::set<std::string> cleanedfolders;
    Label8.setcaption(hostenv::signform(stagenumber() + 1));
    for (const auto& path : foundgalaxies) {
        Label4.setcaption(hostenv::signform(rewritten));
        if (!originalmaps) {
            throw Failure(missingfile("original zarn galaxies.txt", "list of the game's own maps") +
                          " No galaxy was changed from " + path + " on.");
        }
        if (std::any_of(originalmaps->begin(), originalmaps->end(),
                        [&](const auto& name) { return hostenv::samefilename(path, name); })) {
            continue;
        }
        // Read as readtextlines reads, but kept as bytes: as Lines, a galaxy of short lines
        // would take several times its size in memory.
        if (!fs_.lookup(path, hostenv::Entries::files)) {
            throw Failure("The galaxy " + path + " has disappeared since it was found.");
        }
        std::string bytes;
        try {
            bytes = fs_.readfile(path);
        } catch (const Failure& failure) {
            throw Failure("The galaxy " + path + " cannot be read.\r\n" + failure.what());
        }
        const std::optional<std::string_view> version = versionline(bytes);
        if (!version) {
            throw Failure("The galaxy " + path +
                          " has no version line: a galaxy has at least two lines ended by CR "
                          "LF.");
        }
        if (versionofline(*version) >= newversion) continue;

        // The new text is complete in memory before the file is touched.
        text.clear();
        text.reserve(bytes.size() + bytes.size() / 4);
        try {
            rewriter.rewritegalaxy(bytes, text);
        } catch (const Failure& failure) {
            throw Failure("Cannot rewrite the galaxy " + path + "; it is unchanged.\r\n" +
                          failure.what());
        }
        refuseoldformat(path, text);
        const std::string folder = path.substr(0, path.rfind('\\') + 1);
        if (cleanedfolders.insert(folder).second) hostenv::removestaletemporaries(fs_, folder);
        hostenv::safereplace(fs_, path, text);
        ++rewritten;
        Text2.append(filename(path) + crlf);
    }
    Label4.setcaption(hostenv::signform(rewritten));
}

// Definitions that do not describe the galaxy's old format rewrite it into a text that is
// still old; counted as updated, it would be "updated" again on every run.
void Galmend::refuseoldformat(const std::string& path, std::string_view text) const {
    const std::optional<std::string_view> version = versionline(text);
    if (version && versionofline(*version) >= newversion) return;
    const std::string line = version ? "\"" + std::string(*version) + "\"" : "none";
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

}  // namespace updater
