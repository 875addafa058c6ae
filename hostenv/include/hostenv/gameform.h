// What both programs' windows share beyond the event plumbing: the run state that start-up
// fills, and the start-up steps that fill it alike.
#pragma once

#include <array>
#include <functional>
#include <string>
#include <string_view>

#include "hostenv/commandform.h"
#include "hostenv/controls.h"
#include "hostenv/filesystem.h"
#include "hostenv/form.h"
#include "hostenv/keepnothing.h"
#include "hostenv/platform.h"
#include "hostenv/progress.h"
#include "hostenv/text.h"
#include "hostenv/ui.h"

namespace hostenv {

class GameForm : public CommandForm {
  public:
    // Run state.
    std::string windirdrive;
    std::string localappfolder;
    std::string gamefolder;
    std::array<std::string, 2> galaxyfolders;
    std::string gameversion;
    std::string targetversion;
    bool silentmode = false;
    // Set by "/check" from the start: the run decides as its change would, through a file
    // system that keeps nothing, and shows no box.
    const bool checkmode;

    // The drive, folder and file lists both windows show, coupled as the system couples them.
    DriveList drivelist;
    FolderList folderlist;
    FileList filelist;

    // The clock that paces what long work shows; a test sets its own.
    ProgressClock clock = steadyclock;

  protected:
    GameForm(FileSystem& fs, Platform& platform, UserInterface& ui);

    // Starts the report of a silent run, before anything else can fail or end the program:
    // a script that asked for a silent run reads even a refused start.
    void reportifsilent();
    // Bytes from a file, in the ANSI code page, as a message quotes them.
    std::string filetext(std::string_view bytes) const;
    // The environment variable's value; empty when it is not set.
    std::string environment(const std::string& name);
    // windirdrive, from "windir".
    void readwindir();
    // localappfolder, gamefolder and the two galaxy folders. userfolderend is what follows
    // the per-user folder's name: galmend ends its folders in "\", tallyhold does not, and
    // each keeps its own so that the texts it shows stay as they are.
    void findgalaxyfolders(std::string_view userfolderend);
    // list, made anew: every match of pattern in both galaxy folders, game folder first, each
    // file and folder once however often the folders reach it. While it walks, the folder and
    // file lists show where it is and show() what it has found, at the progress rate; at the
    // end show() runs once more and the two lists rest one level above the last folder walked.
    void walkgalaxyfolders(const std::string& pattern, Lines& list,
                           const std::function<void()>& show);
    // Whether the command line asks for a restore ("/restore", "-restore", any letter case).
    bool restoreasked();
    // A restore or a check is a run of its own: with anything else on the command line it
    // ends the program "Invalid argument" (exit 3).
    void runalone();
    // A restore needs the game in its folder (exit 2). It passes no version gate: after a
    // game update, when the way back matters most, it must still run.
    void beginrestore();
    // A check reports as a silent run does, from the start, and never shows a box.
    void begincheck();
    // gameversion and targetversion; when they do not match, shows the lines that say so,
    // then extra, and ends the program.
    void passgate(const Lines& extra);
    // The command line: each silent switch calls silent and sets silentmode; a piece known
    // says the program knows is let be; any other piece ends the program.
    void readcommandline(const std::function<void()>& silent,
                         const std::function<bool(const std::string&)>& known = {});

  private:
    KeepNothing keepnothing_;

  protected:
    FileSystem& fs_;
    Platform& platform_;
};

}  // namespace hostenv
