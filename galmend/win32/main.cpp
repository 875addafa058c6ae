// galmend's entry point.
#include "galmend.h"
#include "hostenv/win32/runprogram.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    return hostenv::win32::runprogram<galmend::Galmend>(instance, galmend::programname);
}
