// wintest: reads and drives another program's window from the same Wine prefix, for the
// end-to-end scenarios. Every wait is bounded by the timeout given on the command line.
//
//   wintest controls <caption> <ms>        print the window and each of its controls
//   wintest layout <caption> <ms>          compare the controls with the layout table
//   wintest click <caption> <control> <ms> press a button, named as the layout names it
//   wintest items <caption> <control> <ms> print a list box's entries and its selection
//   wintest press <caption> <control> <ms> a mouse click posted to a button, in any state
//   wintest enabled <caption> <control> <ms> wait until a control is enabled
//   wintest lines <caption> <control> <ms> how many lines a label's text takes as drawn
//   wintest msgbox <title> [ok|yes|no] <ms>
//                                          print a message box's text and the program's
//                                          other windows, then press OK (or Yes or No)
//   wintest timeanswer <title> ok|yes|no <ms>
//                                          the same, then print how long until the
//                                          program shows its next box of this title
//   wintest close <caption> <ms>           ask the window to close (WM_CLOSE)
//   wintest gone <caption> <ms>            wait until no window has this caption
//   wintest answers <caption> <control> <seconds> [interval ms=250 [until text]]
//                                          ask the window every interval whether it
//                                          answers, and read the control's text; ends
//                                          after the seconds, when the window goes or
//                                          when the text reads until; fails when a
//                                          reading went unanswered
//   wintest timeclick <caption> <button> <control> <ms>
//                                          click, then print how long until the control
//                                          is enabled
//   wintest run <command line> <ms>        run a program with exactly this command line
//   wintest hold <path> <ms>               keep a file open, shared with nobody, for ms;
//                                          prints "held" once it is open
//   wintest outcome <program> <exit code>  print the last line of the program's report for
//                                          this exit code
//
// Texts are read from the windows in UTF-16 and printed in UTF-8, and the arguments are taken
// as UTF-16, so that names outside the ANSI code page come through as they are.
//
// Exit codes: 0 done, 1 a check failed, 2 timed out, 64 usage; "run" gives the program's
// own exit code, or 124 when it was stopped at the timeout.
#include <windows.h>

#include <shellapi.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "hostenv/win32/widetext.h"
#include "wintest.h"

namespace {

using namespace wintest;

constexpr unsigned long defaultwatchintervalms = 250;

int usage() {
    std::puts(
        "usage: wintest controls|layout|msgbox|close|gone <caption> <ms>\n"
        "       wintest msgbox|timeanswer <title> ok|yes|no <ms>\n"
        "       wintest click|items|press|lines|enabled <caption> <control> <ms>\n"
        "       wintest answers <caption> <control> <seconds> [interval ms [until text]]\n"
        "       wintest timeclick <caption> <button> <control> <ms>\n"
        "       wintest run <command line> <ms>\n"
        "       wintest hold <path> <ms>\n"
        "       wintest outcome <program> <exit code>");
    return exitusage;
}

std::optional<unsigned long> number(const char* text) {
    char* end = nullptr;
    const unsigned long value = std::strtoul(text, &end, 10);
    if (end == text || *end != '\0') return std::nullopt;
    return value;
}

std::optional<Answer> answerof(const std::string& text) {
    if (text == "ok") return Answer::ok;
    if (text == "yes") return Answer::yes;
    if (text == "no") return Answer::no;
    return std::nullopt;
}

// The arguments in UTF-8, read from the UTF-16 command line: argv holds them in the ANSI code
// page, which lacks most names.
std::vector<std::string> arguments() {
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> args;
    if (!wide) return args;
    for (int i = 1; i < count; ++i) args.push_back(hostenv::win32::narrow(wide[i]));
    LocalFree(wide);
    return args;
}

}  // namespace

int main() {
    // Plain LF line ends, whatever reads our output.
    _setmode(_fileno(stdout), _O_BINARY);
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    const std::vector<std::string> args = arguments();
    if (args.size() < 3) return usage();
    // The only command whose last argument may be a text.
    if (args[0] == "answers" && args.size() >= 4 && args.size() <= 6) {
        const std::optional<unsigned long> seconds = number(args[3].c_str());
        const std::optional<unsigned long> interval =
            args.size() >= 5 ? number(args[4].c_str()) : defaultwatchintervalms;
        if (!seconds || !interval || *interval == 0) return usage();
        const std::optional<std::string> until =
            args.size() == 6 ? std::optional<std::string>(args[5]) : std::nullopt;
        return watchanswers(args[1], args[2], *seconds, *interval, until);
    }
    // The last argument is a number: the milliseconds to wait, or for "outcome" the exit code.
    const std::optional<unsigned long> last = number(args.back().c_str());
    if (!last) return usage();
    const std::string& command = args[0];
    const std::string& target = args[1];
    if (args.size() == 3 && command == "outcome") {
        return printoutcome(target, static_cast<int>(*last));
    }
    const Deadline deadline(*last);
    if (args.size() == 4 && command == "click") return click(target, args[2], deadline);
    if (args.size() == 4 && command == "items") return listitems(target, args[2], deadline);
    if (args.size() == 4 && command == "press") return press(target, args[2], deadline);
    if (args.size() == 4 && command == "enabled") return waitenabled(target, args[2], deadline);
    if (args.size() == 4 && command == "lines") return textlines(target, args[2], deadline);
    if (args.size() == 4 && command == "msgbox") {
        const std::optional<Answer> answer = answerof(args[2]);
        return answer ? answermsgbox(target, *answer, deadline) : usage();
    }
    if (args.size() == 4 && command == "timeanswer") {
        const std::optional<Answer> answer = answerof(args[2]);
        return answer ? timeanswer(target, *answer, deadline) : usage();
    }
    if (args.size() == 5 && command == "timeclick") {
        return timeclick(target, args[2], args[3], deadline);
    }
    if (args.size() != 3) return usage();
    if (command == "controls") return listcontrols(target, deadline);
    if (command == "layout") return checklayout(target, deadline);
    if (command == "msgbox") return answermsgbox(target, Answer::ok, deadline);
    if (command == "close") return closewindow(target, deadline);
    if (command == "gone") return waitgone(target, deadline);
    if (command == "run") return runprogram(target, *last);
    if (command == "hold") return holdfile(target, *last);
    return usage();
}
