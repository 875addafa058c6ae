// Texts at the Windows boundary: UTF-8 inside the program, UTF-16 for the W functions.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace hostenv::win32 {

std::wstring widen(std::string_view text);
std::string narrow(std::wstring_view text);

// A path as the W file functions take it, still in UTF-8. Every absolute path gets the "\\?\"
// form, in which the system takes each name as it is (no device names, no dropped trailing
// dots or blanks, no length limit); that form takes no "." or ".." and no "/", so they are
// resolved here. A relative path gets the form only when it is too long for the classic limit.
std::string systemform(const std::string& path);
// The same in UTF-16, for the W functions.
std::wstring widepath(const std::string& path);

// Bytes in codepage as text.
std::string fromansi(std::string_view bytes, unsigned codepage);
// Text in codepage; nullopt when a character has no exact form there (a look-alike that the
// code page would substitute does not count). Every code page works, UTF-8 included.
std::optional<std::string> toansi(std::string_view text, unsigned codepage);

}  // namespace hostenv::win32
