// Undo as every program that keeps sets offers it: the question before, the restore with the
// window answering, and what it tells the player.
#pragma once

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "hostenv/backup/backupset.h"
#include "hostenv/progress.h"
#include "hostenv/ui.h"

namespace hostenv::backup {

// The game's galaxy folder, its files kept as "game/...", and the player's, as "user/...".
std::vector<KeptFolder> keptgalaxyfolders(const std::array<std::string, 2>& galaxyfolders);

std::string nosettext(const std::string& folder);

// Reports "Restored <path>" for each file put back, "Removed <path>" for each one the run had
// created, and a line for each one left, with its reason; then the count line, or why nothing
// was restored, goes to a message box when something was left or when not silent, else to the
// report. Whether nothing was left.
bool reportrestore(const SetOwner& owner, const RestoreOffer& offer, const RestoreRun& run,
                   hostenv::UserInterface& ui, bool silent);

// Restores the set of offer, letting window events through between files, and reports it; an
// offer without a set says there is none in folder. Whether nothing was left.
bool restorereported(hostenv::FileSystem& fs, hostenv::UserInterface& ui,
                     const hostenv::ProgressClock& clock, const SetOwner& owner,
                     const std::string& folder, const RestoreOffer& offer, bool silent);

// Whether undo has a set to offer in the owner's folder of localappfolder, by the sets' names
// and first records alone: reading whole sets after every click would hold the window up.
// A folder that cannot be read offers none.
bool undoable(hostenv::FileSystem& fs, const SetOwner& owner, const std::string& localappfolder);

// The undo button: asks question(offer) of the newest offer, and after Yes restores the set
// that the question named; when the newest set changed in between, says so and asks again.
// An offer without a set, or one that would be refused, is not asked about: restore says why.
// Failures are shown.
void askandrestore(hostenv::UserInterface& ui, const std::function<RestoreOffer()>& newest,
                   const std::function<std::string(const RestoreOffer&)>& question,
                   const std::function<void(const RestoreOffer&)>& restore);

}  // namespace hostenv::backup
