// Driving another program's window: pressing its buttons, answering its message boxes,
// closing it and waiting for it to go.
#include <chrono>
#include <cstdio>
#include <thread>

#include "wintest.h"

namespace wintest {

namespace {

// The static control that holds a message box's text.
constexpr int msgboxtextid = 0xFFFF;

std::string msgboxtext(HWND box) {
    if (HWND text = GetDlgItem(box, msgboxtextid)) {
        if (std::optional<std::string> read = textof(text)) return *read;
    }
    // Otherwise the longest static text: the icon is a static control without text.
    std::string longest;
    for (HWND child : directchildren(box)) {
        if (classof(child) != "Static") continue;
        std::optional<std::string> read = textof(child);
        if (read && read->size() > longest.size()) longest = *read;
    }
    return longest;
}

struct Owner {
    DWORD process;
    HWND box;
};

BOOL CALLBACK printotherwindow(HWND window, LPARAM param) {
    const auto& owner = *reinterpret_cast<Owner*>(param);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (window != owner.box && process == owner.process && IsWindowVisible(window)) {
        std::printf("otherwindow caption=%s class=%s\n", escaped(captionof(window)).c_str(),
                    classof(window).c_str());
    }
    return TRUE;
}

// Whatever else the box's program shows, so that a scenario can tell that a program ended
// before its window ever appeared.
void printotherwindows(HWND box) {
    Owner owner{0, box};
    GetWindowThreadProcessId(box, &owner.process);
    EnumWindows(printotherwindow, reinterpret_cast<LPARAM>(&owner));
}

}  // namespace

const char* answername(Answer answer) {
    switch (answer) {
        case Answer::yes:
            return "Yes";
        case Answer::no:
            return "No";
        case Answer::ok:
            break;
    }
    return "OK";
}

int click(const std::string& caption, const std::string& name, const Deadline& deadline) {
    int result = exitdone;
    HWND button = findcontrol(caption, name, deadline, result);
    if (!button) return result;
    const int id = GetDlgCtrlID(button);
    // A disabled button cannot be pressed; it may still become enabled in time.
    while (!IsWindowEnabled(button)) {
        if (deadline.passed()) {
            std::printf("disabled %s id=%d\n", name.c_str(), id);
            return exitfailed;
        }
        nap();
    }
    // Posted: the click may run a long operation or open a message box.
    PostMessageA(button, BM_CLICK, 0, 0);
    std::printf("clicked %s id=%d\n", name.c_str(), id);
    return exitdone;
}

namespace {

// Prints the box's text and the program's other windows, then presses the answer without
// waiting for the box to close; false (and why printed) when the box lacks that button.
bool pressanswer(HWND box, const std::string& title, Answer answer) {
    const std::string text = msgboxtext(box);
    std::printf("msgbox title=%s\n", escaped(title).c_str());
    std::printf("text=%s\n", escaped(text).c_str());
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = text.find("\r\n", start);
        std::printf("line=%s\n", escaped(text.substr(start, end - start)).c_str());
        if (end == std::string::npos) break;
        start = end + 2;
    }
    printotherwindows(box);
    const int id = answer == Answer::yes ? IDYES : answer == Answer::no ? IDNO : IDOK;
    HWND button = GetDlgItem(box, id);
    // A box without that button would take the command as its own and close all the same.
    if (!button) {
        std::printf("nobutton %s\n", answername(answer));
        return false;
    }
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
    return true;
}

}  // namespace

int answermsgbox(const std::string& title, Answer answer, const Deadline& deadline) {
    HWND box = waitforwindow(title, true, deadline);
    if (!box) return timedout("message box " + title);
    if (!pressanswer(box, title, answer)) return exitfailed;
    while (IsWindow(box)) {
        if (deadline.passed()) return timedout("message box to close");
        nap();
    }
    std::printf("pressed %s\n", answername(answer));
    return exitdone;
}

int timeanswer(const std::string& title, Answer answer, const Deadline& deadline) {
    HWND box = waitforwindow(title, true, deadline);
    if (!box) return timedout("message box " + title);
    // Looks at the windows only, asking the program's thread nothing: the time is its own. The
    // next box disables the window that owns it, as this one did, so each look asks only the
    // owner; a search of every window each time would load Wine's server, which the program
    // needs too.
    HWND owner = GetWindow(box, GW_OWNER);
    if (!owner) {
        std::printf("the box has no owner window\n");
        return exitfailed;
    }
    const auto start = std::chrono::steady_clock::now();
    if (!pressanswer(box, title, answer)) return exitfailed;
    const auto look = [] { std::this_thread::sleep_for(std::chrono::milliseconds(5)); };
    while (IsWindow(box)) {
        if (deadline.passed()) return timedout("message box to close");
        look();
    }
    while (IsWindowEnabled(owner) || !findwindow(title, true)) {
        if (deadline.passed()) return timedout("the next message box " + title);
        look();
    }
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                        std::chrono::steady_clock::now() - start)
                        .count();
    std::printf("pressed %s, next box after ms=%lld\n", answername(answer),
                static_cast<long long>(ms));
    return exitdone;
}

int closewindow(const std::string& caption, const Deadline& deadline) {
    HWND window = waitforwindow(caption, false, deadline);
    if (!window) return timedout(caption);
    PostMessageA(window, WM_CLOSE, 0, 0);
    std::printf("closed %s\n", escaped(caption).c_str());
    return exitdone;
}

int waitgone(const std::string& caption, const Deadline& deadline) {
    while (findwindow(caption, false)) {
        if (deadline.passed()) return timedout(caption + " to go");
        nap();
    }
    std::printf("gone %s\n", escaped(caption).c_str());
    return exitdone;
}

// Waits until the control is enabled; asks the window's thread nothing, so that a window busy
// with a long operation is waited for without a string of unanswered messages.
int waitenabled(const std::string& caption, const std::string& name, const Deadline& deadline) {
    int result = exitdone;
    HWND control = findcontrol(caption, name, deadline, result);
    if (!control) return result;
    while (!IsWindowEnabled(control)) {
        if (deadline.passed()) return timedout(name + " enabled");
        nap();
    }
    std::printf("enabled %s\n", name.c_str());
    return exitdone;
}

// A user's click as the mouse makes it, pressed and released over the control's middle,
// whatever state the control is in: queued behind what the program is busy with.
int press(const std::string& caption, const std::string& name, const Deadline& deadline) {
    int result = exitdone;
    HWND control = findcontrol(caption, name, deadline, result);
    if (!control) return result;
    RECT client{};
    GetClientRect(control, &client);
    const LPARAM middle = MAKELPARAM(client.right / 2, client.bottom / 2);
    PostMessageA(control, WM_LBUTTONDOWN, MK_LBUTTON, middle);
    PostMessageA(control, WM_LBUTTONUP, 0, middle);
    std::printf("pressed %s enabled=%d\n", name.c_str(), IsWindowEnabled(control) ? 1 : 0);
    return exitdone;
}

}  // namespace wintest
