// The folder walker: collects the files that match a pattern in and below a folder,
// moving the window's folder and file lists as it goes.
#pragma once

#include <string>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

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

// What walks have met, by identity (FileSystem::folderidentity): a walk neither enters a
// folder that one before it entered, however it was reached (the same folder given twice, one
// galaxy folder inside the other through a link, a name Windows reads as another), nor lists a
// file met before under the same name through another folder (a hard link, a link to a file).
// One per search over several folders.
struct Walked {
    std::unordered_set<std::string> folders;
    // By lowered name: the paths listed, each with its identity once a name came again.
    std::unordered_map<std::string, std::vector<std::pair<std::string, std::string>>> files;
};

// Appends folder\name for every match, each subfolder's whole tree before the
// folder's own files. A folder that leads back to one of its own ancestors, or to an
// ancestor of the folder given (a link or junction), is not entered again; a link
// elsewhere is followed; what walked holds is neither entered nor listed again, and what this
// walk meets is added to it. A folder given that does not exist holds nothing. A folder that
// cannot be opened throws Failure; what was appended before stays.
void walkfolders(const std::string& pattern, const std::string& folder, Lines& list,
                 WalkLists lists, Walked& walked);

}  // namespace hostenv
