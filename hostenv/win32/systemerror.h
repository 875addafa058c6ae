// The system's own description of an error code, for failure messages.
#pragma once

#include <windows.h>

#include <string>

#include "hostenv/failure.h"

namespace hostenv::win32 {

// The system's text for code, without its line end; the number when it has none.
std::string systemreason(DWORD code);
// The failure of the Windows call named call, done for what, with the reason of the last error.
Failure callfailure(const std::string& call, const std::string& what);

}  // namespace hostenv::win32
