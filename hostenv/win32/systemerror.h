// The system's own description of an error code, for failure messages.
#pragma once

#include <windows.h>

#include <string>

namespace hostenv::win32 {

// The system's text for code, without its line end; the number when it has none.
std::string systemreason(DWORD code);
// The same for an HRESULT, with its hexadecimal value.
std::string hresultreason(HRESULT result);

}  // namespace hostenv::win32
