#include "hostenv/gameform.h"

#include <algorithm>

#include "hostenv/hostqueries.h"
#include "hostenv/paths.h"
#include "hostenv/startup.h"
#include "hostenv/walker.h"

namespace hostenv {

GameForm::GameForm(FileSystem& fs, Platform& platform, UserInterface& ui)
    : CommandForm(ui, drivelist, folderlist, filelist),
      checkmode(hasswitch(platform.commandargs(), "check")),
      drivelist(fs),
      folderlist(fs),
      filelist(fs),
      keepnothing_(fs),
      fs_(checkmode ? keepnothing_ : fs),
      platform_(platform) {
    folderlist.change = [this] { Dir1_Change(folderlist, filelist); };
}

void GameForm::reportifsilent() {
    if (hassilentswitch(platform_.commandargs())) ui_.beginreport();
}

std::string GameForm::filetext(std::string_view bytes) const {
    return visibletext(platform_.fromansi(bytes));
}

std::string GameForm::environment(const std::string& name) {
    return platform_.environment(name).value_or("");
}

bool GameForm::restoreasked() {
    return hasswitch(platform_.commandargs(), "restore");
}

void GameForm::begincheck() {
    ui_.beginreport();
    ui_.hideboxes();
}

void GameForm::runalone() {
    const Lines pieces = splitatblanks(platform_.commandargs());
    if (pieces.size() > 1) {
        // "/restore /s" would leave a script guessing which run it asked for.
        const auto other =
            std::find_if(pieces.begin() + 1, pieces.end(),
                         [&](const std::string& piece) { return piece != pieces[0]; });
        ui_.messagebox("Invalid argument: " + (other == pieces.end() ? pieces[1] : *other));
        ui_.endprogram(exitinvalidargument);
    }
}

void GameForm::beginrestore() {
    runalone();
    // Found as the gate finds it: by its version, or by its file.
    const std::string game = joinpath(gamefolder, "Halcyrion.exe");
    if (getfileversion(platform_, game).empty() && !fs_.lookup(game, Entries::files)) {
        ui_.messagebox("the game was not found at " + gamefolder);
        ui_.endprogram(exitversiongate);
    }
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

void GameForm::walkgalaxyfolders(const std::string& pattern, Lines& list,
                                 const std::function<void()>& show) {
    list.clear();
    Walked walked;
    Progress progress(ui_, clock);
    const WalkHook entered = [&](const WalkPlace& place) {
        progress.step([&] {
            folderlist.showread(place.folder, names(place.subfolders));
            filelist.showread(place.folder, pattern, names(place.files));
            show();
        });
    };
    std::string last;
    for (const auto& folder : galaxyfolders) {
        if (walkfolders(fs_, folder, pattern, entered, walked, list)) last = folder;
    }
    progress.finish([&] {
        if (!last.empty()) {
            folderlist.setpath(parentpath(last));
            filelist.setpattern(pattern);
        }
        show();
    });
}

void GameForm::passgate(const Lines& extra) {
    const std::string game = joinpath(gamefolder, "Halcyrion.exe");
    gameversion = getfileversion(platform_, game);
    targetversion = readtargetversion(fs_);
    // No version and no game: a version complaint would send the player after the wrong
    // fault.
    Lines message = gameversion.empty() && !fs_.lookup(game, Entries::files)
                        ? Lines{"the game was not found at " + gamefolder}
                        : Lines{"found zarn version :" + gameversion + ":",
                                " need zarn version :" + filetext(targetversion) + ":",
                                "in the default location of", gamefolder};
    message.insert(message.end(), extra.begin(), extra.end());
    versiongate(ui_, gameversion, targetversion, message);
}

void GameForm::readcommandline(const std::function<void()>& silent,
                               const std::function<bool(const std::string&)>& known) {
    readswitches(
        platform_.commandargs(), ui_,
        [&] {
            silent();
            silentmode = true;
        },
        [&](const std::string& piece) {
            return (checkmode && isswitch(piece, "check")) || (known && known(piece));
        });
}

}  // namespace hostenv
