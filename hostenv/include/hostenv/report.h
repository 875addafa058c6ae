// The report of a silent run: what a script or a headless run reads instead of the message
// boxes, which nobody may be there to see.
#pragma once

#include <string>
#include <string_view>

#include "hostenv/ui.h"

namespace hostenv {

// The console, or the standard output, the program was started with.
class Console {
  public:
    virtual ~Console() = default;
    // One line; dropped when the program has nowhere to write.
    virtual void writeline(const std::string& line) = 0;
};

// A user interface that, once the run is known to be silent, also writes every message it
// shows (a line each), the lines reported, and at the end a line with the outcome and what
// the exit code means. Before that, and in a run with the window, it writes nothing.
class ReportingUi final : public UserInterface {
  public:
    ReportingUi(UserInterface& shown, Console& console, std::string programname)
        : shown_(shown), console_(console), programname_(std::move(programname)) {}

    void messagebox(const std::string& text) override;
    // Questions come only from the window: nothing to report.
    bool question(const std::string& text) override { return shown_.question(text); }
    void doevents() override { shown_.doevents(); }
    void dropinput() override { shown_.dropinput(); }
    [[noreturn]] void endprogram(int exitcode) override;
    void beginreport() override { reporting_ = true; }
    void report(const std::string& line) override;
    void hideboxes() override { boxes_ = false; }

  private:
    UserInterface& shown_;
    Console& console_;
    std::string programname_;
    bool reporting_ = false;
    bool boxes_ = true;
};

// The last line of a report: how the run ended and what its exit code tells a script.
std::string outcomeline(std::string_view programname, int exitcode);

}  // namespace hostenv
