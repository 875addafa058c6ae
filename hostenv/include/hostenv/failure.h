// The common failure rule: one failure type carries the text shown to the user.
#pragma once

#include <exception>
#include <new>
#include <stdexcept>
#include <string>

#include "hostenv/ui.h"

namespace hostenv {

// What failed, on which file or folder, and the system's reason.
class Failure : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// Exit codes, so that scripts can tell a normal end from a refusal or a failure.
enum ExitCode : int {
    exitnormal = 0,
    exitfailure = 1,
    exitversiongate = 2,
    exitinvalidargument = 3,
    // A check found something the change would do; nothing was changed.
    exitwouldchange = 4,
};

// Runs one event handler: a failure is shown in a message box and ends the program.
template <class Handler>
void guarded(UserInterface& ui, Handler&& handler) {
    try {
        handler();
    } catch (const Failure& failure) {
        ui.messagebox(failure.what());
        ui.endprogram(exitfailure);
    } catch (const std::bad_alloc&) {
        ui.messagebox("Out of memory");
        ui.endprogram(exitfailure);
    } catch (const std::exception& failure) {
        ui.messagebox(failure.what());
        ui.endprogram(exitfailure);
    }
}

}  // namespace hostenv
