#include "hostenv/report.h"

#include "hostenv/failure.h"
#include "hostenv/text.h"

namespace hostenv {

void ReportingUi::messagebox(const std::string& text) {
    if (reporting_) {
        for (const auto& line : splitlines(text)) console_.writeline(line);
    }
    if (boxes_) shown_.messagebox(text);
}

void ReportingUi::report(const std::string& line) {
    if (reporting_) console_.writeline(line);
}

void ReportingUi::endprogram(int exitcode) {
    if (reporting_) console_.writeline(outcomeline(programname_, exitcode));
    shown_.endprogram(exitcode);
    // The compiler does not carry [[noreturn]] through a virtual call.
    __builtin_unreachable();
}

std::string outcomeline(std::string_view programname, int exitcode) {
    std::string line =
        std::string(programname) + " ended with exit code " + std::to_string(exitcode);
    switch (exitcode) {
        case exitnormal:
            return line + ": the run is complete.";
        case exitfailure:
            return line + ": the run failed, for the reason above.";
        case exitversiongate:
            return line +
                   ": the game is not the version \"targetzarnver.txt\" names; nothing was "
                   "changed.";
        case exitinvalidargument:
            return line +
                   ": the command line holds an argument it does not know; nothing was "
                   "changed.";
        case exitwouldchange:
            return line + (programname == "galmend"
                               ? ": a fix would rewrite galaxies; nothing was changed."
                               : ": a silent run would change the manifests; nothing was "
                                 "changed.");
        default:
            return line + ".";
    }
}

}  // namespace hostenv
