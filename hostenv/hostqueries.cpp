#include "hostenv/hostqueries.h"

#include <cstdint>

#include "hostenv/failure.h"

namespace hostenv {

namespace {

constexpr int csidllocalappdatacreate = 0x801C;
constexpr std::uint32_t sok = 0;
constexpr std::uint32_t sfalse = 1;
constexpr std::uint32_t einvalidarg = 0x80070057;

std::string ntlabel(std::uint32_t major, std::uint32_t minor) {
    switch (major) {
        case 3:
            switch (minor) {
                case 0:
                    return "NT3";
                case 1:
                    return "NT3.1";
                case 5:
                    return "NT3.5";
                case 51:
                    return "NT3.51";
                default:
                    return "";
            }
        case 4:
            return "NT 4";
        case 5:
            switch (minor) {
                case 0:
                    return "Win2000";
                case 1:
                    return "WinXP";
                case 2:
                    return "WinXP x64 ";
                default:
                    return "Winxp x64?";
            }
        case 6:
            switch (minor) {
                case 0:
                    return "WinVista";
                case 1:
                    return "win7";
                default:
                    return "Win7+ x64?";
            }
        default:
            return "";
    }
}

std::uint32_t word(const FixedFileInfo& info, std::size_t offset) {
    return static_cast<std::uint32_t>(info[offset]) |
           static_cast<std::uint32_t>(info[offset + 1]) << 8 |
           static_cast<std::uint32_t>(info[offset + 2]) << 16 |
           static_cast<std::uint32_t>(info[offset + 3]) << 24;
}

}  // namespace

std::string winvershort(Platform& platform) {
    const VersionQuery v = platform.versionquery();
    if (v.result != 1) return "";
    switch (v.platformid) {
        case 0:
            return "32s";
        case 1:
            if (v.minor == 0) return "95";
            if (v.minor == 90) return "ME";
            return "98";
        case 2:
            return ntlabel(v.major, v.minor);
        default:
            return "";
    }
}

bool is64bitwindows(Platform& platform, FileSystem& fs, const std::string& windirdrive) {
    const VersionQuery v = platform.versionquery();
    if (v.result != 1 || v.platformid != 2) return false;
    return folderexists(fs, windirdrive + "\\program files (x86)\\.");
}

std::string getfileversion(Platform& platform, const std::string& path) {
    const std::uint32_t size = platform.versioninfosize(path);
    if (size < 1) return "";
    const auto info = platform.fixedfileinfo(path, size);
    if (!info) return "";
    const std::uint32_t ms = word(*info, 16);
    const std::uint32_t ls = word(*info, 20);
    return std::to_string(ms >> 16) + "." + std::to_string(ms & 0xFFFF) + "." +
           std::to_string(ls >> 16) + "." + std::to_string(ls & 0xFFFF);
}

std::string registryop(Platform& platform, const std::string& action, const std::string& key,
                       const std::string& /*value*/, const std::string& /*valuetype*/) {
    // Creating the shell object is the one failure that reaches the caller.
    const auto shell = platform.createshell();
    if (lower(action) != "read") return "";
    try {
        return shell->RegRead(key);
    } catch (const Failure&) {
        return "";
    }
}

std::string localappdata(Platform& platform, UserInterface& ui) {
    const FolderQuery query = platform.specialfolder(csidllocalappdatacreate);
    switch (query.result) {
        case sok:
            return query.buffer.substr(0, query.buffer.find('\0'));
        case sfalse:
            ui.messagebox("The folder does not exist");
            return "";
        case einvalidarg:
            ui.messagebox("An invalid folder ID was specified");
            return "";
        default:
            return "";
    }
}

bool folderexists(FileSystem& fs, const std::string& path) {
    try {
        return fs.lookup(path, Entries::foldersandfiles).has_value();
    } catch (const Failure&) {
        return false;
    }
}

MaybeLines readtextlines(FileSystem& fs, const std::string& path) {
    if (!fs.lookup(path, Entries::files)) return std::nullopt;
    return splitlines(fs.readfile(path));
}

}  // namespace hostenv
