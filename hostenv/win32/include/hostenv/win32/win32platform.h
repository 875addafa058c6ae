// The host's facts through the Windows API's W functions.
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
    std::uint32_t processid() override;
    std::optional<WindowsVersion> windowsversion() override;
    std::optional<ProductVersion> productversion(const std::string& path) override;
    std::optional<std::string> registrytext(const std::string& key) override;
    FolderAnswer localappfolder() override;
    std::string localtimestamp() override;
    std::uint64_t addressspace() override;
    std::unique_ptr<HeldLock> takelock(const std::string& name) override;
    bool processruns(std::uint32_t id) override;
    std::string fromansi(std::string_view bytes) override;
    std::optional<std::string> toansi(std::string_view text) override;
};

}  // namespace hostenv::win32
