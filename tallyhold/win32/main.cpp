// tallyhold's entry point.
#include "hostenv/win32/runprogram.h"
#include "tallyhold.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    return hostenv::win32::runprogram<tallyhold::Tallyhold>(instance, tallyhold::programname);
}
