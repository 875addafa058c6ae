// Replacing a file so that it is always either the old file or the new one, complete.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "hostenv/filesystem.h"

namespace hostenv {

// Writes bytes to a temporary file in path's folder (a name that no "*.galaxy" or
// "galaxy.manifest" pattern matches), flushes it and moves it over path in one step.
// On failure the temporary file is removed and path is untouched; throws Failure.
void safereplace(FileSystem& fs, const std::string& path, std::string_view bytes);

// The same, for a path that must not exist yet: the temporary file is renamed to it.
// prepare runs once the temporary file is complete, just before that rename, so that a
// caller can move an old file out of the way only when the new one is ready; when it
// throws, the temporary file is removed as well.
void safecreate(FileSystem& fs, const std::string& path, std::string_view bytes,
                const std::function<void()>& prepare = {});

}  // namespace hostenv
