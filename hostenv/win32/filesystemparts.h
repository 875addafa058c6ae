// What the parts of Win32FileSystem share: names as a listing gives them and errors as the
// system gives them.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

#include "hostenv/filesystem.h"

namespace hostenv::win32 {

// Whether an entry's attributes keep it from every listing and search.
bool hiddenorsystem(DWORD attributes);
// "." or "..", which every listing but a drive root's gives.
bool isdotentry(std::wstring_view name);
// Name order as the folder and file lists show it: letter case aside, then exact.
bool byname(const std::string& a, const std::string& b);
void sortbyname(std::vector<FolderEntry>& entries);
// Errors that mean "nothing there", as opposed to "cannot look".
bool notthere(DWORD error);

// What systempath does with the path's last component: reach it like the folders before it,
// or leave it as given (a pattern to look for, "*" and "?" being wildcards there).
enum class Last { reached, asgiven };
// path in the form the W functions take (widepath), each name in it that holds a character
// Windows forbids ('"', '*', '?', '<', '>', '|' or a control character), as a Linux folder
// seen through Wine may, replaced by the short name its folder's listing gives it: the system
// refuses the long name but opens the short one, and a file replaced through it keeps its
// long name. A name that is not there, or has no short name the system can open, stays, so
// that the system gives its own reason.
std::wstring systempath(const std::string& path, Last last = Last::reached);

}  // namespace hostenv::win32
