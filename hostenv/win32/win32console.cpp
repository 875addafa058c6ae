#include "hostenv/win32/win32console.h"

#include "hostenv/win32/widetext.h"

namespace hostenv::win32 {

// A window program has no console of its own. A script that redirects its output, or Wine
// started from a terminal, hands it standard handles; a console it was typed into can be
// joined. Opened on the first line only, so that a run with nothing to say joins nothing.
void Win32Console::open() {
    opened_ = true;
    const HANDLE given = GetStdHandle(STD_OUTPUT_HANDLE);
    // A window program may be handed a handle value that leads nowhere; it has no type.
    if (given != nullptr && given != INVALID_HANDLE_VALUE &&
        GetFileType(given) != FILE_TYPE_UNKNOWN) {
        out_ = given;
    } else if (AttachConsole(ATTACH_PARENT_PROCESS)) {
        out_ = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE,
                           FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    }
    DWORD mode = 0;
    isconsole_ = out_ != INVALID_HANDLE_VALUE && GetConsoleMode(out_, &mode) != 0;
}

void Win32Console::writeline(const std::string& line) {
    if (!opened_) open();
    if (out_ == INVALID_HANDLE_VALUE) return;
    const std::string text = line + "\r\n";
    DWORD written = 0;
    if (isconsole_) {
        // A console shows any name in its own characters.
        const std::wstring wide = widen(text);
        WriteConsoleW(out_, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
    } else {
        // A file or a pipe gets UTF-8, which holds every name exactly.
        WriteFile(out_, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    }
}

}  // namespace hostenv::win32
