// The folder walker: collects the files that match a pattern in and below a folder,
// moving the window's folder and file lists as it goes.
#pragma once

#include <string>

#include "hostenv/controls.h"
#include "hostenv/text.h"
#include "hostenv/ui.h"

namespace hostenv {

struct WalkLists {
    FileSystem& fs;
    FolderList& dir;
    FileList& file;
    UserInterface& ui;
};

// Appends folder\name for every match, each subfolder's whole tree before the
// folder's own files. A folder that leads back to one of its own ancestors, or to an
// ancestor of the folder given (a link or junction), is not entered again; a link
// elsewhere is followed. A folder given that does not exist holds nothing. A folder that
// cannot be opened throws Failure; what was appended before stays.
void walkfolders(const std::string& pattern, const std::string& folder, Lines& list,
                 WalkLists lists);

}  // namespace hostenv
