// wintest: reads and drives another program's window from the same Wine prefix, for the
// end-to-end scenarios. Every wait is bounded by the timeout given on the command line.
//
//   wintest controls <caption> <ms>        print the window and each of its controls
//   wintest layout <caption> <ms>          compare the controls with the layout table
//   wintest click <caption> <control> <ms> press a button, named as the layout names it
//   wintest items <caption> <control> <ms> print a list box's entries and its selection
//   wintest msgbox <title> <ms>            print a message box's text and the program's
//                                          other windows, then press OK
//   wintest close <caption> <ms>           ask the window to close (WM_CLOSE)
//   wintest gone <caption> <ms>            wait until no window has this caption
//   wintest run <command line> <ms>        run a program with exactly this command line
//   wintest hold <path> <ms>               keep a file open, shared with nobody, for ms;
//                                          prints "held" once it is open
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

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "layouts.h"

namespace {

constexpr int exitdone = 0;
constexpr int exitfailed = 1;
constexpr int exittimeout = 2;
constexpr int exitusage = 64;
constexpr int exitstopped = 124;

constexpr const char* dialogclass = "#32770";
// The static control that holds a message box's text.
constexpr int msgboxtextid = 0xFFFF;
constexpr UINT messagetimeoutms = 2000;

class Deadline {
  public:
    explicit Deadline(unsigned long ms)
        : end_(std::chrono::steady_clock::now() + std::chrono::milliseconds(ms)) {}
    bool passed() const { return std::chrono::steady_clock::now() >= end_; }

  private:
    std::chrono::steady_clock::time_point end_;
};

void nap() {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
}

std::string narrow(std::wstring_view wide) {
    if (wide.empty()) return {};
    const int length = static_cast<int>(wide.size());
    const int size =
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), length, nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), length, text.data(), size, nullptr, nullptr);
    return text;
}

std::wstring widen(std::string_view text) {
    if (text.empty()) return {};
    const int length = static_cast<int>(text.size());
    const int size = MultiByteToWideChar(CP_UTF8, 0, text.data(), length, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), length, wide.data(), size);
    return wide;
}

// CR, LF, tabs and backslashes made visible, so that one line of output holds any text.
std::string escaped(std::string_view text) {
    std::string out;
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\\') {
            out += "\\\\";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\t') {
            out += "\\t";
        } else if (byte < 0x20 || byte == 0x7F) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", byte);
            out += hex;
        } else {
            out += c;
        }
    }
    return out;
}

std::string classof(HWND window) {
    wchar_t name[256] = {};
    GetClassNameW(window, name, static_cast<int>(std::size(name)));
    return narrow(name);
}

// Top-level windows keep their caption in the window manager, so reading it needs no
// answer from the (possibly busy) owner.
std::string captionof(HWND window) {
    wchar_t text[512] = {};
    GetWindowTextW(window, text, static_cast<int>(std::size(text)));
    return narrow(text);
}

// A control's text comes from its own thread; a hung program must not hang us.
std::optional<std::string> textof(HWND control) {
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(control, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, messagetimeoutms,
                             &length)) {
        return std::nullopt;
    }
    std::wstring text(length + 1, L'\0');
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutW(control, WM_GETTEXT, text.size(),
                             reinterpret_cast<LPARAM>(text.data()), SMTO_ABORTIFHUNG,
                             messagetimeoutms, &copied)) {
        return std::nullopt;
    }
    text.resize(copied);
    return narrow(text);
}

struct Search {
    std::string caption;
    bool dialog;
    HWND found;
};

BOOL CALLBACK matchwindow(HWND window, LPARAM param) {
    auto& search = *reinterpret_cast<Search*>(param);
    if (!IsWindowVisible(window)) return TRUE;
    if ((classof(window) == dialogclass) != search.dialog) return TRUE;
    if (captionof(window) != search.caption) return TRUE;
    search.found = window;
    return FALSE;
}

// A visible top-level window with exactly this caption: a message box when dialog is set,
// any other window otherwise.
HWND findwindow(const std::string& caption, bool dialog) {
    Search search{caption, dialog, nullptr};
    EnumWindows(matchwindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND waitforwindow(const std::string& caption, bool dialog, const Deadline& deadline) {
    for (;;) {
        if (HWND window = findwindow(caption, dialog)) return window;
        if (deadline.passed()) return nullptr;
        nap();
    }
}

int timedout(const std::string& what) {
    std::printf("timeout waiting for %s\n", escaped(what).c_str());
    return exittimeout;
}

int dpiof(HWND window) {
    HDC dc = GetDC(window);
    const int dpi = GetDeviceCaps(dc, LOGPIXELSX);
    ReleaseDC(window, dc);
    return dpi;
}

RECT rectinparent(HWND control, HWND parent) {
    RECT rect{};
    GetWindowRect(control, &rect);
    MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

BOOL CALLBACK collectchild(HWND child, LPARAM param) {
    auto& children = *reinterpret_cast<std::vector<HWND>*>(param);
    children.push_back(child);
    return TRUE;
}

// The window's own controls, not the parts of a combo box or list inside them.
std::vector<HWND> directchildren(HWND window) {
    std::vector<HWND> all;
    EnumChildWindows(window, collectchild, reinterpret_cast<LPARAM>(&all));
    std::vector<HWND> direct;
    for (HWND child : all) {
        if (GetAncestor(child, GA_PARENT) == window) direct.push_back(child);
    }
    return direct;
}

const char* controlname(const hostenv::FormLayout* layout, int id) {
    if (!layout) return "-";
    const int index = id - hostenv::firstcontrolid;
    if (index < 0 || index >= static_cast<int>(layout->controls.size())) return "-";
    return layout->controls[static_cast<std::size_t>(index)].name;
}

void printwindow(HWND window) {
    RECT client{};
    GetClientRect(window, &client);
    std::printf("window caption=%s client=%ldx%ld dpi=%d\n", escaped(captionof(window)).c_str(),
                client.right, client.bottom, dpiof(window));
}

int listcontrols(const std::string& caption, const Deadline& deadline) {
    HWND window = waitforwindow(caption, false, deadline);
    if (!window) return timedout(caption);
    const hostenv::FormLayout* layout = wintest::layoutbycaption(caption);
    printwindow(window);
    int result = exitdone;
    for (HWND child : directchildren(window)) {
        const int id = GetDlgCtrlID(child);
        const RECT r = rectinparent(child, window);
        const std::optional<std::string> text = textof(child);
        if (!text) result = exitfailed;
        std::printf(
            "control name=%s id=%d class=%s enabled=%d visible=%d left=%ld top=%ld "
            "right=%ld bottom=%ld text=%s\n",
            controlname(layout, id), id, classof(child).c_str(), IsWindowEnabled(child) ? 1 : 0,
            IsWindowVisible(child) ? 1 : 0, r.left, r.top, r.right, r.bottom,
            text ? escaped(*text).c_str() : "<no answer>");
    }
    return result;
}

// Within one pixel: |pixels * 1440 / dpi - twips| <= 1440 / dpi, in whole numbers.
bool withinpixel(long pixels, int twips, int dpi) {
    const long difference = pixels * hostenv::twipsperinch - static_cast<long>(twips) * dpi;
    return std::labs(difference) <= hostenv::twipsperinch;
}

class LayoutCheck {
  public:
    explicit LayoutCheck(int dpi) : dpi_(dpi) {}

    void compare(const char* control, const char* edge, long pixels, int twips) {
        if (withinpixel(pixels, twips, dpi_)) return;
        ++mismatches_;
        std::printf("mismatch %s %s expected=%d twips (%ld px) got=%ld px (%ld twips)\n", control,
                    edge, twips, topixels(twips), pixels, totwips(pixels));
    }
    void missing(const char* control, int id) {
        ++mismatches_;
        std::printf("missing %s id=%d\n", control, id);
    }
    bool ok() const { return mismatches_ == 0; }

  private:
    long topixels(int twips) const { return MulDiv(twips, dpi_, hostenv::twipsperinch); }
    long totwips(long pixels) const {
        return MulDiv(static_cast<int>(pixels), hostenv::twipsperinch, dpi_);
    }

    int dpi_;
    int mismatches_ = 0;
};

int checklayout(const std::string& caption, const Deadline& deadline) {
    const hostenv::FormLayout* layout = wintest::layoutbycaption(caption);
    if (!layout) {
        std::printf("no layout table for %s\n", escaped(caption).c_str());
        return exitusage;
    }
    HWND window = waitforwindow(caption, false, deadline);
    if (!window) return timedout(caption);
    const int dpi = dpiof(window);
    printwindow(window);
    LayoutCheck check(dpi);
    RECT client{};
    GetClientRect(window, &client);
    check.compare("client", "width", client.right, layout->width);
    check.compare("client", "height", client.bottom, layout->height);
    int id = hostenv::firstcontrolid;
    for (const hostenv::ControlLayout& control : layout->controls) {
        HWND child = GetDlgItem(window, id);
        if (!child) {
            check.missing(control.name, id);
        } else {
            const RECT r = rectinparent(child, window);
            check.compare(control.name, "left", r.left, control.left);
            check.compare(control.name, "top", r.top, control.top);
            // An autosize label takes the size of its caption; only its place is fixed.
            if (!control.autosize) {
                check.compare(control.name, "width", r.right - r.left, control.width);
                check.compare(control.name, "height", r.bottom - r.top, control.height);
            }
        }
        ++id;
    }
    std::puts(check.ok() ? "OK" : "FAIL");
    return check.ok() ? exitdone : exitfailed;
}

// The id the layout table gives the named control of the window with this caption; 0 (and
// the reason printed) when there is no such table or control.
int controlid(const std::string& caption, const std::string& name) {
    const hostenv::FormLayout* layout = wintest::layoutbycaption(caption);
    if (!layout) {
        std::printf("no layout table for %s\n", escaped(caption).c_str());
        return 0;
    }
    for (std::size_t i = 0; i < layout->controls.size(); ++i) {
        if (name == layout->controls[i].name) return hostenv::firstcontrolid + static_cast<int>(i);
    }
    std::printf("no control %s in the layout of %s\n", name.c_str(), escaped(caption).c_str());
    return 0;
}

// The named control of the window, waited for; nullptr (and the reason printed) otherwise.
// result then holds the exit code to give.
HWND findcontrol(const std::string& caption, const std::string& name, const Deadline& deadline,
                 int& result) {
    const int id = controlid(caption, name);
    if (id == 0) {
        result = exitusage;
        return nullptr;
    }
    HWND window = waitforwindow(caption, false, deadline);
    if (!window) {
        result = timedout(caption);
        return nullptr;
    }
    HWND control = GetDlgItem(window, id);
    if (!control) {
        std::printf("missing %s id=%d\n", name.c_str(), id);
        result = exitfailed;
    }
    return control;
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

// How many lines a label's text takes as its static control draws it, word-wrapped in the
// control's box, in the layout's font: more than one means part of it is out of sight.
int textlines(const std::string& caption, const std::string& name, const Deadline& deadline) {
    int result = exitdone;
    HWND control = findcontrol(caption, name, deadline, result);
    if (!control) return result;
    const hostenv::FormLayout* layout = wintest::layoutbycaption(caption);
    const hostenv::Font& font =
        layout->controls[static_cast<std::size_t>(GetDlgCtrlID(control) - hostenv::firstcontrolid)]
            .font;
    const int dpi = dpiof(GetParent(control));
    const HFONT made = CreateFontW(
        -static_cast<int>(font.points * dpi / 72.0 + 0.5), 0, 0, 0, font.bold ? FW_BOLD : FW_NORMAL,
        font.italic, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
        DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, widen(font.face).c_str());
    const std::wstring text = widen(textof(control).value_or(""));
    RECT client{};
    GetClientRect(control, &client);
    const HDC dc = GetDC(control);
    const HGDIOBJ previous = SelectObject(dc, made);
    RECT wrapped{0, 0, client.right, 0};
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &wrapped,
              DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
    RECT oneline{};
    DrawTextW(dc, L"0", 1, &oneline, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
    SelectObject(dc, previous);
    ReleaseDC(control, dc);
    DeleteObject(made);
    std::printf("lines=%ld width=%ld\n",
                (wrapped.bottom - wrapped.top) / (oneline.bottom - oneline.top), client.right);
    return exitdone;
}

// One list box message answered by the list's own thread, bounded like every other read.
std::optional<LRESULT> asklist(HWND list, UINT message, WPARAM wparam, LPARAM lparam) {
    DWORD_PTR answer = 0;
    if (!SendMessageTimeoutW(list, message, wparam, lparam, SMTO_ABORTIFHUNG, messagetimeoutms,
                             &answer)) {
        return std::nullopt;
    }
    return static_cast<LRESULT>(answer);
}

std::optional<std::string> listitem(HWND list, LRESULT index) {
    const std::optional<LRESULT> length =
        asklist(list, LB_GETTEXTLEN, static_cast<WPARAM>(index), 0);
    if (!length || *length < 0) return std::nullopt;
    std::wstring wide(static_cast<std::size_t>(*length) + 1, L'\0');
    const std::optional<LRESULT> copied = asklist(list, LB_GETTEXT, static_cast<WPARAM>(index),
                                                  reinterpret_cast<LPARAM>(wide.data()));
    if (!copied || *copied < 0) return std::nullopt;
    wide.resize(static_cast<std::size_t>(*copied));
    return narrow(wide);
}

// List boxes keep their entries apart from the window text that "controls" prints.
int listitems(const std::string& caption, const std::string& name, const Deadline& deadline) {
    int result = exitdone;
    HWND list = findcontrol(caption, name, deadline, result);
    if (!list) return result;
    const std::optional<LRESULT> count = asklist(list, LB_GETCOUNT, 0, 0);
    const std::optional<LRESULT> selected = asklist(list, LB_GETCURSEL, 0, 0);
    if (!count || !selected || *count < 0) {
        std::printf("no answer from %s\n", name.c_str());
        return exitfailed;
    }
    std::printf("list name=%s count=%ld selected=%ld\n", name.c_str(), static_cast<long>(*count),
                static_cast<long>(*selected));
    for (LRESULT i = 0; i < *count; ++i) {
        const std::optional<std::string> text = listitem(list, i);
        if (!text) {
            std::printf("no answer for item %ld\n", static_cast<long>(i));
            return exitfailed;
        }
        std::printf("item=%s\n", escaped(*text).c_str());
    }
    return exitdone;
}

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

int answermsgbox(const std::string& title, const Deadline& deadline) {
    HWND box = waitforwindow(title, true, deadline);
    if (!box) return timedout("message box " + title);
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
    HWND ok = GetDlgItem(box, IDOK);
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(ok));
    while (IsWindow(box)) {
        if (deadline.passed()) return timedout("message box to close");
        nap();
    }
    std::puts("pressed OK");
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

// Wine quotes every argument it passes on; this is how a scenario gives a program blanks and
// quotation marks exactly as typed.
int runprogram(const std::string& commandline, unsigned long ms) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    std::wstring line = widen(commandline);
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        std::printf("cannot start %s: error %lu\n", escaped(commandline).c_str(), GetLastError());
        return exitfailed;
    }
    CloseHandle(process.hThread);
    int result = exitstopped;
    if (WaitForSingleObject(process.hProcess, ms) == WAIT_OBJECT_0) {
        DWORD code = 0;
        GetExitCodeProcess(process.hProcess, &code);
        result = static_cast<int>(code);
    } else {
        std::printf("timeout waiting for %s to end\n", escaped(commandline).c_str());
        TerminateProcess(process.hProcess, exitstopped);
    }
    CloseHandle(process.hProcess);
    return result;
}

// Another program (a virus scanner, an editor) that keeps a file to itself for a while.
int holdfile(const std::string& path, unsigned long ms) {
    HANDLE file = CreateFileW(widen(path).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        std::printf("cannot open %s: error %lu\n", escaped(path).c_str(), GetLastError());
        return exitfailed;
    }
    // stdout is unbuffered: the scenario sees this line while the file is still held.
    std::puts("held");
    Sleep(ms);
    CloseHandle(file);
    std::puts("released");
    return exitdone;
}

int usage() {
    std::puts(
        "usage: wintest controls|layout|msgbox|close|gone <caption> <ms>\n"
        "       wintest click|items|press|lines|enabled <caption> <control> <ms>\n"
        "       wintest run <command line> <ms>\n"
        "       wintest hold <path> <ms>");
    return exitusage;
}

std::optional<unsigned long> milliseconds(const char* text) {
    char* end = nullptr;
    const unsigned long value = std::strtoul(text, &end, 10);
    if (end == text || *end != '\0') return std::nullopt;
    return value;
}

// The arguments in UTF-8, read from the UTF-16 command line: argv holds them in the ANSI code
// page, which lacks most names.
std::vector<std::string> arguments() {
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> args;
    if (!wide) return args;
    for (int i = 1; i < count; ++i) args.push_back(narrow(wide[i]));
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
    const std::optional<unsigned long> timeout = milliseconds(args.back().c_str());
    if (!timeout) return usage();
    const Deadline deadline(*timeout);
    const std::string& command = args[0];
    const std::string& target = args[1];
    if (args.size() == 4 && command == "click") return click(target, args[2], deadline);
    if (args.size() == 4 && command == "items") return listitems(target, args[2], deadline);
    if (args.size() == 4 && command == "press") return press(target, args[2], deadline);
    if (args.size() == 4 && command == "enabled") return waitenabled(target, args[2], deadline);
    if (args.size() == 4 && command == "lines") return textlines(target, args[2], deadline);
    if (args.size() != 3) return usage();
    if (command == "controls") return listcontrols(target, deadline);
    if (command == "layout") return checklayout(target, deadline);
    if (command == "msgbox") return answermsgbox(target, deadline);
    if (command == "close") return closewindow(target, deadline);
    if (command == "gone") return waitgone(target, deadline);
    if (command == "run") return runprogram(target, *timeout);
    if (command == "hold") return holdfile(target, *timeout);
    return usage();
}
