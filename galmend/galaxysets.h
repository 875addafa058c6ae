// galmend's backup sets: the galaxies of the game's galaxy folder and the player's, kept under
// the names the sets of every release have had, and put back only where galaxies belong.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "hostenv/backup/backupset.h"
#include "hostenv/backup/undo.h"
#include "hostenv/text.h"

namespace galmend {

// The words of the backup room that galmend speaks as its own.
using hostenv::backup::BackupSet;
using hostenv::backup::backupsfolder;
using hostenv::backup::BackupWriter;
using hostenv::backup::FileOutcome;
using hostenv::backup::FileRestore;
using hostenv::backup::keptgalaxyfolders;
using hostenv::backup::listzip;
using hostenv::backup::RestoreOffer;
using hostenv::backup::RestoreRun;
using hostenv::backup::SetRestore;
using hostenv::backup::ZipListing;

// Found in "galmend backups", their batches named "galmend/batch N.txt".
const hostenv::backup::SetOwner& galaxysets();

// Where a restore may write: galaxies in the galaxy folders, never one of the game's own maps,
// which the list originalmaps names and which must outlive the scope.
hostenv::backup::RestoreScope restorescope(const std::array<std::string, 2>& galaxyfolders,
                                           const hostenv::Lines& originalmaps);

}  // namespace galmend
