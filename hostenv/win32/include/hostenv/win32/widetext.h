// Texts at the Windows boundary: UTF-8 inside the program, UTF-16 for the W functions.
#pragma once

#include <string>
#include <string_view>

namespace hostenv::win32 {

std::wstring widen(std::string_view text);
std::string narrow(std::wstring_view text);

// A path for the W file functions. An absolute path too long for the classic limit gets
// the "\\?\" form, which lifts it; that form takes no "." or ".." and no "/", so the path
// is made full first.
std::wstring widepath(const std::string& path);

}  // namespace hostenv::win32
