#include "hostenv/gameform.h"

#include <algorithm>
#include <stdexcept>

#include "hostenv/hostqueries.h"
#include "hostenv/startup.h"

namespace hostenv {

namespace {

const ControlLayout& byrole(const FormLayout& layout, std::string_view role) {
    const auto found = std::find_if(layout.controls.begin(), layout.controls.end(),
                                    [&](const auto& c) { return c.role == role; });
    if (found == layout.controls.end()) throw std::logic_error("no control " + std::string(role));
    return *found;
}

}  // namespace

void GameForm::reportifsilent() {
    if (hassilentswitch(platform_.commandargs())) ui_.beginreport();
}

std::string GameForm::filetext(std::string_view bytes) const {
    return visibletext(platform_.fromansi(bytes));
}

std::string GameForm::environment(const std::string& name) {
    return platform_.environment(name).value_or("");
}

void GameForm::readwindir() {
    windirdrive = environment("windir").substr(0, 2);
}

void GameForm::findgalaxyfolders(std::string_view userfolderend) {
    localappfolder = localappdata(platform_, ui_);
    gamefolder = readgamefolder(platform_, fs_, windirdrive);
    galaxyfolders[0] = gamefolder;
    galaxyfolders[1] = localappfolder + "\\Corvatek\\Halcyrion" + std::string(userfolderend);
}

void GameForm::passgate(const Lines& extra) {
    gameversion = getfileversion(platform_, gamefolder + "Halcyrion.exe");
    targetversion = readtargetversion(fs_);
    Lines message{"found zarn version :" + gameversion + ":",
                  " need zarn version :" + filetext(targetversion) + ":",
                  "in the default location of", gamefolder};
    message.insert(message.end(), extra.begin(), extra.end());
    versiongate(ui_, gameversion, targetversion, message);
}

void GameForm::readcommandline(const std::function<void()>& silent) {
    readswitches(platform_.commandargs(), ui_, [&] {
        silent();
        silentmode = true;
    });
}

Button button(const FormLayout& layout, std::string_view role) {
    return Button(byrole(layout, role).caption);
}

Label label(const FormLayout& layout, std::string_view role) {
    const ControlLayout& design = byrole(layout, role);
    return Label(design.caption, design.visible);
}

}  // namespace hostenv
