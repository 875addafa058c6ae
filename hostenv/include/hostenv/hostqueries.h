// Questions to the host, and the file utilities they and the programs share.
#pragma once

#include <string>

#include "hostenv/filesystem.h"
#include "hostenv/platform.h"
#include "hostenv/text.h"
#include "hostenv/ui.h"

namespace hostenv {

std::string winvershort(Platform& platform);
bool is64bitwindows(Platform& platform, FileSystem& fs, const std::string& windirdrive);
std::string getfileversion(Platform& platform, const std::string& path);
// The registry text at key (its last component the value's name) when action is "read".
std::string registryop(Platform& platform, const std::string& action, const std::string& key);
std::string localappdata(Platform& platform, UserInterface& ui);

bool folderexists(FileSystem& fs, const std::string& path);
// The file's lines; nullopt when it does not exist. A file that exists but cannot be read
// throws Failure with the system's reason: an answer made up for it would be acted on.
MaybeLines readtextlines(FileSystem& fs, const std::string& path);

}  // namespace hostenv
