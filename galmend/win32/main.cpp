// galmend's entry point: the Windows hosts behind the program's window.
#include <windows.h>

#include "galmend.h"
#include "hostenv/report.h"
#include "hostenv/startup.h"
#include "hostenv/win32/win32console.h"
#include "hostenv/win32/win32filesystem.h"
#include "hostenv/win32/win32platform.h"
#include "hostenv/win32/win32ui.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    hostenv::win32::Win32Platform platform;
    hostenv::win32::Win32FileSystem fs;
    hostenv::win32::Win32Ui ui(galmend::programname);
    hostenv::win32::Win32Console console;
    hostenv::ReportingUi reporting(ui, console, galmend::programname);
    galmend::Galmend form(fs, platform, reporting);
    // Before anything can fail: a silent run reports even a window that cannot be made.
    if (hostenv::hassilentswitch(platform.commandargs())) reporting.beginreport();
    return hostenv::win32::run(form, ui, reporting, instance);
}
