// The one entry point both programs share: the Windows hosts behind a program's window.
#pragma once

#include <windows.h>

#include "hostenv/report.h"
#include "hostenv/startup.h"
#include "hostenv/win32/win32console.h"
#include "hostenv/win32/win32filesystem.h"
#include "hostenv/win32/win32platform.h"
#include "hostenv/win32/win32ui.h"

namespace hostenv::win32 {

template <class Window>
int runprogram(HINSTANCE instance, const char* programname) {
    Win32Platform platform;
    Win32FileSystem fs;
    Win32Ui ui(programname);
    Win32Console console;
    ReportingUi reporting(ui, console, programname);
    // Before anything can fail: a silent run reports even a window that cannot be made.
    if (hassilentswitch(platform.commandargs())) reporting.beginreport();
    Window window(fs, platform, reporting);
    return run(window, ui, reporting, instance);
}

}  // namespace hostenv::win32
