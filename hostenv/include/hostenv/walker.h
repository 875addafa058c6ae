// The folder walker: collects the files that match a pattern in and below a folder, straight
// from the file system, and tells a hook where it is.
#pragma once

#include <functional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "hostenv/filesystem.h"
#include "hostenv/text.h"

namespace hostenv {

// What walks have met, by identity (Description::identity): a walk neither enters a
// folder that one before it entered, however it was reached (the same folder given twice, one
// galaxy folder inside the other through a link, a name Windows reads as another), nor lists a
// file met before under the same name through another folder (a hard link, a link to a file).
// Where identities cannot tell folders apart (the index 0, or one index met again for a folder
// that leads elsewhere), the search tells them apart by where they lead from then on. One per
// search over several folders.
struct Walked {
    // By identity, each with the path it was entered by.
    std::unordered_map<std::string, std::string> folders;
    // Whether identities proved unfit; the folders entered, then, by where they lead, letter
    // case aside (finalpath in walker.cpp).
    bool bypath = false;
    std::unordered_set<std::string> paths;
    // By lowered name: the paths listed, each with its identity, or where it leads once
    // identities are unfit, once a name came again.
    std::unordered_map<std::string, std::vector<std::pair<std::string, std::string>>> files;
};

// The folder a walk has just entered (no "\" at its end, but for a drive root) and what it
// read there: its subfolders, and its files that match the pattern.
struct WalkPlace {
    const std::string& folder;
    const std::vector<FolderEntry>& subfolders;
    const std::vector<FolderEntry>& files;
};
using WalkHook = std::function<void(const WalkPlace&)>;

// Appends folder\name for every match, each subfolder's whole tree before the folder's own
// files, names in name order, and calls entered for each folder it enters. A folder that leads
// back to one of its own ancestors, or to an ancestor of the folder given (a link or
// junction), is not entered again; a link elsewhere is followed; what walked holds is neither
// entered nor listed again, and what this walk meets is added to it. Returns whether it
// entered the folder given: a folder given that does not exist holds nothing. A folder that
// cannot be opened throws Failure; what was appended before stays.
bool walkfolders(FileSystem& fs, const std::string& folder, const std::string& pattern,
                 const WalkHook& entered, Walked& walked, Lines& list);

}  // namespace hostenv
