// What the parts of Win32FileSystem share: names as a listing gives them and errors as the
// system gives them.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

namespace hostenv::win32 {

// "." or "..", which every listing but a drive root's gives.
bool isdotentry(std::wstring_view name);
// Name order as the folder and file lists show it: letter case aside, then exact.
bool byname(const std::string& a, const std::string& b);
void sortbyname(std::vector<std::string>& names);
// Errors that mean "nothing there", as opposed to "cannot look".
bool notthere(DWORD error);

}  // namespace hostenv::win32
