// The message box, the event pump and the end of the program on Windows, and the
// window that shows a Form.
#pragma once

#include <windows.h>

#include <string>

#include "hostenv/form.h"
#include "hostenv/ui.h"

namespace hostenv::win32 {

class Win32Ui : public UserInterface {
  public:
    explicit Win32Ui(std::string programname) : programname_(std::move(programname)) {}

    void messagebox(const std::string& text) override;
    bool question(const std::string& text) override;
    void doevents() override;
    void dropinput() override;
    [[noreturn]] void endprogram(int exitcode) override;

    const std::string& programname() const { return programname_; }
    // The window that owns message boxes and receives dialog keys; null before it exists.
    void setmainwindow(HWND window) { mainwindow_ = window; }
    HWND mainwindow() const { return mainwindow_; }

  private:
    std::string programname_;
    HWND mainwindow_ = nullptr;
};

// Builds the form's window from its layout, runs its load event, shows it and pumps
// messages until the window is gone. Returns the exit code of a normal end. events is the
// user interface the form's events use: a window that cannot be made is reported there.
int run(Form& form, Win32Ui& ui, UserInterface& events, HINSTANCE instance);

}  // namespace hostenv::win32
