// The host's raw facts through the Windows API.
#pragma once

#include <string>
#include <string_view>

#include "hostenv/platform.h"

namespace hostenv::win32 {

// The argument text of a command line: what follows the program's name (quoted, or
// up to the first blank or tab) and the one blank that separates them. Further
// blanks stay, because each one separates a piece of its own.
std::string argumenttext(std::string_view commandline);

class Win32Platform : public Platform {
  public:
    std::optional<std::string> environment(const std::string& name) override;
    std::string commandargs() override;
    VersionQuery versionquery() override;
    std::uint32_t versioninfosize(const std::string& path) override;
    std::optional<FixedFileInfo> fixedfileinfo(const std::string& path,
                                               std::uint32_t size) override;
    std::unique_ptr<ShellObject> createshell() override;
    FolderQuery specialfolder(int csidl) override;
};

}  // namespace hostenv::win32
