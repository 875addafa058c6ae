#include "hostenv/hostqueries.h"

#include <cstdint>

#include "hostenv/failure.h"

namespace hostenv {

namespace {

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

}  // namespace

std::string winvershort(Platform& platform) {
    const auto v = platform.windowsversion();
    if (!v) return "";
    switch (v->family) {
        case WindowsVersion::Family::win32s:
            return "32s";
        case WindowsVersion::Family::win9x:
            if (v->minor == 0) return "95";
            if (v->minor == 90) return "ME";
            return "98";
        case WindowsVersion::Family::nt:
            return ntlabel(v->major, v->minor);
        default:
            return "";
    }
}

bool is64bitwindows(Platform& platform, FileSystem& fs, const std::string& windirdrive) {
    const auto v = platform.windowsversion();
    if (!v || v->family != WindowsVersion::Family::nt) return false;
    return folderexists(fs, windirdrive + "\\program files (x86)\\.");
}

std::string getfileversion(Platform& platform, const std::string& path) {
    const auto version = platform.productversion(path);
    if (!version) return "";
    return std::to_string((*version)[0]) + "." + std::to_string((*version)[1]) + "." +
           std::to_string((*version)[2]) + "." + std::to_string((*version)[3]);
}

std::string registryop(Platform& platform, const std::string& action, const std::string& key) {
    if (lower(action) != "read") return "";
    return platform.registrytext(key).value_or("");
}

std::string localappdata(Platform& platform, UserInterface& ui) {
    const FolderAnswer answer = platform.localappfolder();
    switch (answer.result) {
        case sok:
            return answer.path;
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
