// Facts of the host, in portable values. The decisions built on them live in hostqueries.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace hostenv {

// The Windows version as the version query reports it.
struct WindowsVersion {
    enum class Family { win32s, win9x, nt, other };
    Family family = Family::other;
    std::uint32_t major = 0;
    std::uint32_t minor = 0;
};

// An executable's product version: its four numbers, most significant first.
using ProductVersion = std::array<std::uint16_t, 4>;

// The per-user local application-data folder: the query's result code, and the folder
// when it succeeded.
struct FolderAnswer {
    std::uint32_t result = 0;
    std::string path;
};

// A lock that one process holds at a time; it is released when it goes, or when its process
// ends however it ends.
class HeldLock {
  public:
    virtual ~HeldLock() = default;
};

// Texts are UTF-8; bytes in the ANSI code page are named as such.
class Platform {
  public:
    virtual ~Platform() = default;
    virtual std::optional<std::string> environment(const std::string& name) = 0;
    // The command line after the program's own name.
    virtual std::string commandargs() = 0;
    // This process's id.
    virtual std::uint32_t processid() = 0;
    // nullopt when the query fails.
    virtual std::optional<WindowsVersion> windowsversion() = 0;
    // nullopt when the file has no readable version resource.
    virtual std::optional<ProductVersion> productversion(const std::string& path) = 0;
    // A registry value as text, read in the process's own view of the registry: key is its
    // full path ("HKEY_LOCAL_MACHINE\SOFTWARE\...\Path", the value's name last). nullopt when
    // the key or the value is missing or holds no text. A text stored with environment
    // variables to expand (REG_EXPAND_SZ) comes expanded.
    virtual std::optional<std::string> registrytext(const std::string& key) = 0;
    // The local application-data folder, made when it is missing.
    virtual FolderAnswer localappfolder() = 0;
    // The local time now as "YYYY-MM-DD HH-MM-SS", a text that sorts as the times do and
    // may be part of a file name.
    virtual std::string localtimestamp() = 0;
    // How many bytes of addresses the process has for its memory: about 2 GB for a 32-bit
    // program, up to 4 GB on a 64-bit Windows, terabytes for a 64-bit program.
    virtual std::uint64_t addressspace() = 0;
    // Takes this user's lock called name, so that two runs that change the same files do not
    // run at once; nullptr when another process holds it. Throws Failure when the system
    // cannot make the lock.
    virtual std::unique_ptr<HeldLock> takelock(const std::string& name) = 0;
    // Whether a process with this id runs now: a file it named its own may be in use.
    virtual bool processruns(std::uint32_t id) = 0;
    // Bytes in the ANSI code page as text.
    virtual std::string fromansi(std::string_view bytes) = 0;
    // Text in the ANSI code page; nullopt when a character has no exact form there (a
    // look-alike that the code page would substitute does not count).
    virtual std::optional<std::string> toansi(std::string_view text) = 0;
};

}  // namespace hostenv
