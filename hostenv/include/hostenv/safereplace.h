// Replacing a file so that it is always either the old file or the new one, complete.
#pragma once

#include <string>
#include <string_view>

#include "hostenv/filesystem.h"

namespace hostenv {

// Writes bytes to a temporary file in path's folder (a name that no "*.galaxy" or
// "galaxy.manifest" pattern matches), flushes it and moves it over path in one step.
// On failure the temporary file is removed and path is untouched; throws Failure.
void safereplace(FileSystem& fs, const std::string& path, std::string_view bytes);

// The same, for a path that must not exist yet: the temporary file is renamed to it.
void safecreate(FileSystem& fs, const std::string& path, std::string_view bytes);

}  // namespace hostenv
