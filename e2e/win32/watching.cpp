// Watching a window over time: whether it keeps answering while its program works, and how
// long the work a click starts takes.
#include <chrono>
#include <cstdio>
#include <set>
#include <thread>

#include "wintest.h"

namespace wintest {

namespace {

using Clock = std::chrono::steady_clock;

// How long one reading may wait for the window. A window that lets events through every
// 100 ms or so answers well within it; one that does not is reported, not waited for.
constexpr UINT readingtimeoutms = 1000;

long long millisecondssince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

struct Reading {
    bool answered = false;
    long long ms = 0;
    std::optional<std::string> text;
};

// One question to the window's thread (WM_NULL, which every window answers at once when it
// takes messages at all) and one read of the control's text, both timed out.
Reading readonce(HWND window, HWND control) {
    Reading reading;
    const Clock::time_point start = Clock::now();
    DWORD_PTR ignored = 0;
    const bool answered = SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG | SMTO_BLOCK,
                                              readingtimeoutms, &ignored) != 0;
    reading.ms = millisecondssince(start);
    if (answered) reading.text = textof(control, readingtimeoutms);
    reading.answered = answered && reading.text;
    return reading;
}

}  // namespace

int watchanswers(const std::string& caption, const std::string& name, unsigned long seconds,
                 unsigned long intervalms, const std::optional<std::string>& until) {
    const Deadline deadline(seconds * 1000);
    int result = exitdone;
    HWND control = findcontrol(caption, name, deadline, result);
    if (!control) return result;
    HWND window = GetAncestor(control, GA_ROOT);
    int readings = 0;
    int unanswered = 0;
    long long slowest = 0;
    std::set<std::string> texts;
    std::string ended = "time";
    const auto interval = std::chrono::milliseconds(intervalms);
    Clock::time_point next = Clock::now();
    while (!deadline.passed()) {
        const Reading reading = readonce(window, control);
        // A reading the window's end cut short is no reading: the program ended normally.
        if (!IsWindow(window)) {
            ended = "gone";
            break;
        }
        ++readings;
        if (!reading.answered) ++unanswered;
        if (reading.ms > slowest) slowest = reading.ms;
        if (reading.text) texts.insert(*reading.text);
        std::printf("answered=%d ms=%lld text=%s\n", reading.answered ? 1 : 0, reading.ms,
                    reading.text ? escaped(*reading.text).c_str() : "<no answer>");
        if (until && reading.text == until) {
            ended = "until";
            break;
        }
        next += interval;
        const Clock::time_point now = Clock::now();
        if (next < now) next = now;
        // Short naps, so that a window that goes away ends the watch at once.
        while (Clock::now() < next && IsWindow(window)) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        if (!IsWindow(window)) {
            ended = "gone";
            break;
        }
    }
    if (ended == "gone") std::puts("window gone");
    std::printf("summary readings=%d unanswered=%d texts=%zu slowest=%lld ended=%s\n", readings,
                unanswered, texts.size(), slowest, ended.c_str());
    return unanswered ? exitfailed : exitdone;
}

int timeclick(const std::string& caption, const std::string& name, const std::string& done,
              const Deadline& deadline) {
    int result = exitdone;
    HWND button = findcontrol(caption, name, deadline, result);
    if (!button) return result;
    HWND waited = findcontrol(caption, done, deadline, result);
    if (!waited) return result;
    if (!IsWindowEnabled(button) || IsWindowEnabled(waited)) {
        std::printf("%s must be enabled and %s disabled before the click\n", name.c_str(),
                    done.c_str());
        return exitfailed;
    }
    const Clock::time_point start = Clock::now();
    PostMessageA(button, BM_CLICK, 0, 0);
    // Asks the window's thread nothing: the time is the program's, not our questions'.
    while (!IsWindowEnabled(waited)) {
        if (deadline.passed()) return timedout(done + " enabled");
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    std::printf("clicked %s, %s enabled after ms=%lld\n", name.c_str(), done.c_str(),
                millisecondssince(start));
    return exitdone;
}

}  // namespace wintest
