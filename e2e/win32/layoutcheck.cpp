// The layout check: the window's controls where the program's layout table puts them, at the
// display's DPI.
#include <cstdio>
#include <cstdlib>

#include "hostenv/win32/widetext.h"
#include "layouts.h"
#include "wintest.h"

namespace wintest {

using hostenv::win32::widen;

namespace {

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

}  // namespace

int checklayout(const std::string& caption, const Deadline& deadline) {
    const hostenv::FormLayout* layout = layoutbycaption(caption);
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

// How many lines a label's text takes as its static control draws it, word-wrapped in the
// control's box, in the layout's font: more than one means part of it is out of sight.
int textlines(const std::string& caption, const std::string& name, const Deadline& deadline) {
    int result = exitdone;
    HWND control = findcontrol(caption, name, deadline, result);
    if (!control) return result;
    const hostenv::FormLayout* layout = layoutbycaption(caption);
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

}  // namespace wintest
