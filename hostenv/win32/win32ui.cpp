#include "hostenv/win32/win32ui.h"
#include "hostenv/win32/widetext.h"

namespace hostenv::win32 {

void Win32Ui::messagebox(const std::string& text) {
    const HWND owner = IsWindow(mainwindow_) ? mainwindow_ : nullptr;
    MessageBoxW(owner, widen(text).c_str(), widen(programname_).c_str(), MB_OK);
}

bool Win32Ui::question(const std::string& text) {
    const HWND owner = IsWindow(mainwindow_) ? mainwindow_ : nullptr;
    return MessageBoxW(owner, widen(text).c_str(), widen(programname_).c_str(),
                       MB_YESNO | MB_ICONQUESTION) == IDYES;
}

void Win32Ui::doevents() {
    MSG message{};
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (mainwindow_ != nullptr && IsDialogMessageW(mainwindow_, &message)) continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

void Win32Ui::dropinput() {
    MSG message{};
    while (PeekMessageW(&message, nullptr, WM_KEYFIRST, WM_KEYLAST, PM_REMOVE)) {
    }
    while (PeekMessageW(&message, nullptr, WM_MOUSEFIRST, WM_MOUSELAST, PM_REMOVE)) {
    }
}

void Win32Ui::endprogram(int exitcode) {
    ExitProcess(static_cast<UINT>(exitcode));
}

}  // namespace hostenv::win32
