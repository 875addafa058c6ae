#include "hostenv/win32/win32ui.h"

namespace hostenv::win32 {

void Win32Ui::messagebox(const std::string& text) {
    const HWND owner = IsWindow(mainwindow_) ? mainwindow_ : nullptr;
    MessageBoxA(owner, text.c_str(), programname_.c_str(), MB_OK);
}

void Win32Ui::doevents() {
    MSG message{};
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            // Leave the end of the loop to the message loop that owns it.
            PostQuitMessage(static_cast<int>(message.wParam));
            return;
        }
        if (mainwindow_ != nullptr && IsDialogMessageA(mainwindow_, &message)) continue;
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

void Win32Ui::endprogram(int exitcode) {
    ExitProcess(static_cast<UINT>(exitcode));
}

}  // namespace hostenv::win32
