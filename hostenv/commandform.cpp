#include "hostenv/commandform.h"

#include <stdexcept>
#include <string>

#include "hostenv/failure.h"

namespace hostenv {

void CommandForm::load() {
    guarded(ui_, [this] { Form_Load(); });
}

void CommandForm::clicked(std::string_view button) {
    for (const ControlLayout& control : layout().controls) {
        if (control.name != button) continue;
        const std::string_view role = control.role;
        if (busy_ && role != "exitbutton") return;
        // The window may deliver a click late, after the button was greyed: the button as
        // it is now decides.
        if (control.kind == Kind::button &&
            !static_cast<const Button&>(this->control(control.name)).enabled()) {
            return;
        }
        guarded(ui_, [&] { command(role); });
        ui_.dropinput();
    }
}

void CommandForm::drivepicked(std::string_view drivetext) {
    if (busy_) return;
    guarded(ui_, [&] {
        drive_.setdrive(std::string(drivetext));
        Drive1_Change(drive_, dir_, file_);
    });
}

void CommandForm::folderpicked(std::string_view path) {
    if (busy_) return;
    guarded(ui_, [&] { dir_.setpath(std::string(path)); });
}

void CommandForm::closed() {
    ui_.endprogram(exitnormal);
}

}  // namespace hostenv
