// Reading another program's windows: captions, controls, their texts, places and states, and
// the entries of its list boxes.
#include <cstdio>
#include <iterator>
#include <thread>

#include "hostenv/win32/widetext.h"
#include "layouts.h"
#include "wintest.h"

namespace wintest {

using hostenv::win32::narrow;

namespace {

constexpr const char* dialogclass = "#32770";

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

BOOL CALLBACK collectchild(HWND child, LPARAM param) {
    auto& children = *reinterpret_cast<std::vector<HWND>*>(param);
    children.push_back(child);
    return TRUE;
}

const char* controlname(const hostenv::FormLayout* layout, int id) {
    if (!layout) return "-";
    const int index = id - hostenv::firstcontrolid;
    if (index < 0 || index >= static_cast<int>(layout->controls.size())) return "-";
    return layout->controls[static_cast<std::size_t>(index)].name;
}

// The id the layout table gives the named control of the window with this caption; 0 (and
// the reason printed) when there is no such table or control.
int controlid(const std::string& caption, const std::string& name) {
    const hostenv::FormLayout* layout = layoutbycaption(caption);
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

}  // namespace

void nap() {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
}

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

int timedout(const std::string& what) {
    std::printf("timeout waiting for %s\n", escaped(what).c_str());
    return exittimeout;
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
std::optional<std::string> textof(HWND control, UINT timeoutms) {
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(control, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, timeoutms,
                             &length)) {
        return std::nullopt;
    }
    std::wstring text(length + 1, L'\0');
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutW(control, WM_GETTEXT, text.size(),
                             reinterpret_cast<LPARAM>(text.data()), SMTO_ABORTIFHUNG, timeoutms,
                             &copied)) {
        return std::nullopt;
    }
    text.resize(copied);
    return narrow(text);
}

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

std::vector<HWND> directchildren(HWND window) {
    std::vector<HWND> all;
    EnumChildWindows(window, collectchild, reinterpret_cast<LPARAM>(&all));
    std::vector<HWND> direct;
    for (HWND child : all) {
        if (GetAncestor(child, GA_PARENT) == window) direct.push_back(child);
    }
    return direct;
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

}  // namespace wintest
