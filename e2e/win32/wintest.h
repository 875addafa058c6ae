// What wintest's commands share: exit codes, bounded waits, and finding windows and controls
// by caption and by the name the layout table gives them.
#pragma once

#include <windows.h>

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace wintest {

constexpr int exitdone = 0;
constexpr int exitfailed = 1;
constexpr int exittimeout = 2;
constexpr int exitusage = 64;
constexpr int exitstopped = 124;

// How long one message to another program's window may take.
constexpr UINT messagetimeoutms = 2000;

class Deadline {
  public:
    explicit Deadline(unsigned long ms)
        : end_(std::chrono::steady_clock::now() + std::chrono::milliseconds(ms)) {}
    bool passed() const { return std::chrono::steady_clock::now() >= end_; }

  private:
    std::chrono::steady_clock::time_point end_;
};

// The pause between two looks at a window that is not there yet.
void nap();

// CR, LF, tabs and backslashes made visible, so that one line of output holds any text.
std::string escaped(std::string_view text);

// Prints that the wait for what ran out and gives the exit code for it.
int timedout(const std::string& what);

std::string classof(HWND window);
std::string captionof(HWND window);
// A control's text, or nothing when its program does not answer in time.
std::optional<std::string> textof(HWND control, UINT timeoutms = messagetimeoutms);
// The window's own controls, not the parts of a combo box or list inside them.
std::vector<HWND> directchildren(HWND window);

// A visible top-level window with exactly this caption: a message box when dialog is set,
// any other window otherwise.
HWND findwindow(const std::string& caption, bool dialog);
HWND waitforwindow(const std::string& caption, bool dialog, const Deadline& deadline);

int dpiof(HWND window);
RECT rectinparent(HWND control, HWND parent);
void printwindow(HWND window);

// The named control of the window, waited for; nullptr (and the reason printed) otherwise.
// result then holds the exit code to give.
HWND findcontrol(const std::string& caption, const std::string& name, const Deadline& deadline,
                 int& result);

// The commands, one per concern: reading (windowreading.cpp), layout (layoutcheck.cpp),
// driving (driving.cpp), watching over time (watching.cpp) and other programs (processes.cpp).
int listcontrols(const std::string& caption, const Deadline& deadline);
int listitems(const std::string& caption, const std::string& name, const Deadline& deadline);
int checklayout(const std::string& caption, const Deadline& deadline);
int click(const std::string& caption, const std::string& name, const Deadline& deadline);
int press(const std::string& caption, const std::string& name, const Deadline& deadline);
int waitenabled(const std::string& caption, const std::string& name, const Deadline& deadline);
int textlines(const std::string& caption, const std::string& name, const Deadline& deadline);
// The button a message box is answered with: OK, or Yes or No for a question.
enum class Answer { ok, yes, no };
const char* answername(Answer answer);
int answermsgbox(const std::string& title, Answer answer, const Deadline& deadline);
// Answers the message box and prints how long until the program shows its next box of this
// title, which it leaves open.
int timeanswer(const std::string& title, Answer answer, const Deadline& deadline);
int closewindow(const std::string& caption, const Deadline& deadline);
int waitgone(const std::string& caption, const Deadline& deadline);
// Asks the window every interval whether it answers and reads the control's text, until the
// seconds pass, the window goes or the text reads until; exitfailed when a reading went
// unanswered.
int watchanswers(const std::string& caption, const std::string& name, unsigned long seconds,
                 unsigned long intervalms, const std::optional<std::string>& until);
// Clicks the button and waits until the control done is enabled; prints how long that took.
int timeclick(const std::string& caption, const std::string& name, const std::string& done,
              const Deadline& deadline);
int runprogram(const std::string& commandline, unsigned long ms);
int holdfile(const std::string& path, unsigned long ms);
int printoutcome(const std::string& programname, int exitcode);

}  // namespace wintest
