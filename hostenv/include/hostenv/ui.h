// User-interface services the procedures need besides the controls.
#pragma once

#include <string>

namespace hostenv {

class UserInterface {
  public:
    virtual ~UserInterface() = default;
    // One OK button, the program's name as title; returns when the user closes it.
    virtual void messagebox(const std::string& text) = 0;
    // A question with Yes and No, the program's name as title; whether the user said yes.
    virtual bool question(const std::string& text) = 0;
    // Lets pending window events run once.
    virtual void doevents() = 0;
    // Drops the clicks and keys that arrived while an event ran: they were aimed at a window
    // that could not answer, and may not fit it any more.
    virtual void dropinput() {}
    // Ends the program at once. Never returns: Windows ends the process, a test host
    // records the end and unwinds.
    [[noreturn]] virtual void endprogram(int exitcode) = 0;
    // A silent run reports what it does to the console it was started from, as a script
    // sees no message box. beginreport marks the run as silent; report writes one line.
    // A user interface without a console has nothing to write to.
    virtual void beginreport() {}
    virtual void report(const std::string&) {}
    // From now on a message is only reported, never shown: a check run by a launcher must
    // not leave it waiting on a box that nobody may be there to close.
    virtual void hideboxes() {}
};

}  // namespace hostenv
