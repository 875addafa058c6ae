// Raw facts of the host. The decisions built on them live in hostqueries.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace hostenv {

// GetVersionExA on an OSVERSIONINFOA record: its return value and three fields.
struct VersionQuery {
    int result = 0;
    std::uint32_t platformid = 0;
    std::uint32_t major = 0;
    std::uint32_t minor = 0;
};

// The 52-byte VS_FIXEDFILEINFO block at the root of a version resource.
using FixedFileInfo = std::array<unsigned char, 52>;

// SHGetFolderPathA: the HRESULT and the 260-character buffer as it was left.
struct FolderQuery {
    std::uint32_t result = 0;
    std::string buffer;
};

// The scripting shell object "WScript.Shell".
class ShellObject {
  public:
    virtual ~ShellObject() = default;
    // The value's content as text. Throws Failure when the key or value is missing.
    virtual std::string RegRead(const std::string& key) = 0;
};

class Platform {
  public:
    virtual ~Platform() = default;
    virtual std::optional<std::string> environment(const std::string& name) = 0;
    // The command line after the program's own name.
    virtual std::string commandargs() = 0;
    virtual VersionQuery versionquery() = 0;
    // GetFileVersionInfoSizeA: 0 when the file has no version resource.
    virtual std::uint32_t versioninfosize(const std::string& path) = 0;
    // GetFileVersionInfoA into a buffer of size bytes, then VerQueryValueA on "\";
    // nullopt when the resource has no readable root block.
    virtual std::optional<FixedFileInfo> fixedfileinfo(const std::string& path,
                                                       std::uint32_t size) = 0;
    // Throws Failure when the object cannot be created.
    virtual std::unique_ptr<ShellObject> createshell() = 0;
    // SHGetFolderPathA with no window, no token and flags 0.
    virtual FolderQuery specialfolder(int csidl) = 0;
};

}  // namespace hostenv
