// A kernel32 function that older Windows versions lack, found at run time: the programs start
// on Windows XP, where it may be missing.
#pragma once

#include <windows.h>

namespace hostenv::win32 {

// The function called name, or null where this Windows lacks it.
template <class Function>
Function kernelfunction(const char* name) {
    const HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    return kernel == nullptr
               ? nullptr
               : reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(kernel, name)));
}

}  // namespace hostenv::win32
