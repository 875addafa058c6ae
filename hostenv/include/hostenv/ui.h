// User-interface services the procedures need besides the controls.
#pragma once

#include <string>

namespace hostenv {

class UserInterface {
  public:
    virtual ~UserInterface() = default;
    // One OK button, the program's name as title; returns when the user closes it.
    virtual void messagebox(const std::string& text) = 0;
    // Lets pending window events run once.
    virtual void doevents() = 0;
    // Ends the program at once. Never returns: Windows ends the process, a test host
    // records the end and unwinds.
    [[noreturn]] virtual void endprogram(int exitcode) = 0;
};

}  // namespace hostenv
