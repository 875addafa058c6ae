// What a restore tells the player.
#pragma once

#include <string>

#include "galaxysets.h"
#include "hostenv/ui.h"

namespace galmend {

std::string nosettext(const std::string& folder);

// Reports "Restored <path>" for each galaxy put back and a line for each one left, with its
// reason; then the count line, or why nothing was restored, goes to a message box when
// something was left or when not silent, else to the report. Whether nothing was left.
bool reportrestore(const hostenv::backup::RestoreOffer& offer,
                   const hostenv::backup::RestoreRun& run, hostenv::UserInterface& ui, bool silent);

}  // namespace galmend
