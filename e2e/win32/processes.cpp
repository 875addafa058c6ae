// Other programs: one started with an exact command line, one that holds a file, and the
// programs' own outcome texts.
#include <cstdio>

#include "hostenv/report.h"
#include "hostenv/win32/widetext.h"
#include "wintest.h"

namespace wintest {

using hostenv::win32::widen;

// Wine quotes every argument it passes on; this is how a scenario gives a program blanks and
// quotation marks exactly as typed.
int runprogram(const std::string& commandline, unsigned long ms) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    std::wstring line = widen(commandline);
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        std::printf("cannot start %s: error %lu\n", escaped(commandline).c_str(), GetLastError());
        return exitfailed;
    }
    CloseHandle(process.hThread);
    int result = exitstopped;
    if (WaitForSingleObject(process.hProcess, ms) == WAIT_OBJECT_0) {
        DWORD code = 0;
        GetExitCodeProcess(process.hProcess, &code);
        result = static_cast<int>(code);
    } else {
        std::printf("timeout waiting for %s to end\n", escaped(commandline).c_str());
        TerminateProcess(process.hProcess, exitstopped);
    }
    CloseHandle(process.hProcess);
    return result;
}

// Another program (a virus scanner, an editor) that keeps a file to itself for a while.
int holdfile(const std::string& path, unsigned long ms) {
    HANDLE file = CreateFileW(widen(path).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        std::printf("cannot open %s: error %lu\n", escaped(path).c_str(), GetLastError());
        return exitfailed;
    }
    // stdout is unbuffered: the scenario sees this line while the file is still held.
    std::puts("held");
    Sleep(ms);
    CloseHandle(file);
    std::puts("released");
    return exitdone;
}

// The line a silent run ends its report with, from the programs' own table, so that the
// scenarios compare reports against it instead of keeping a copy.
int printoutcome(const std::string& programname, int exitcode) {
    std::printf("%s\n", hostenv::outcomeline(programname, exitcode).c_str());
    return exitdone;
}

}  // namespace wintest
