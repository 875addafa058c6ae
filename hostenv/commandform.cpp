#include "hostenv/commandform.h"

#include <string>

#include "hostenv/failure.h"

namespace hostenv {

void CommandForm::load() {
    guarded(ui_, [this] { Form_Load(); });
}

void CommandForm::clicked(std::string_view button) {
    const bool exit = button == "Command3";
    if (busy_ && !exit) return;
    if (button.size() != 8 || !button.starts_with("Command")) return;
    const int number = button.back() - '0';
    guarded(ui_, [&] { command(number); });
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
