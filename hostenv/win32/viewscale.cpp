#include <cmath>

#include "hostenv/failure.h"
#include "hostenv/win32/widetext.h"
#include "systemerror.h"
#include "view.h"

namespace hostenv::win32 {

Scale::Scale() {
    const HDC screen = GetDC(nullptr);
    if (screen == nullptr) throw callfailure("GetDC", "the screen's resolution");
    dpix_ = GetDeviceCaps(screen, LOGPIXELSX);
    dpiy_ = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
}

int Scale::fontheight(double points) const {
    return -static_cast<int>(std::lround(points * dpiy_ / 72.0));
}

RECT Scale::place(const ControlLayout& layout) const {
    return RECT{x(layout.left), y(layout.top), x(layout.left + layout.width),
                y(layout.top + layout.height)};
}

Fonts::~Fonts() {
    for (const Made& made : made_) DeleteObject(made.handle);
}

HFONT Fonts::get(const Font& font) {
    for (const Made& made : made_) {
        if (std::string_view(made.font.face) == font.face && made.font.points == font.points &&
            made.font.bold == font.bold && made.font.italic == font.italic) {
            return made.handle;
        }
    }
    const HFONT handle = CreateFontW(
        scale_.fontheight(font.points), 0, 0, 0, font.bold ? FW_BOLD : FW_NORMAL, font.italic,
        FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
        DEFAULT_PITCH | FF_DONTCARE, widen(font.face).c_str());
    if (handle == nullptr) throw callfailure("CreateFontW", std::string("the font ") + font.face);
    made_.push_back(Made{font, handle});
    return handle;
}

HWND createcontrol(const ControlArgs& args, const char* windowclass, DWORD style, DWORD exstyle) {
    const HWND control = CreateWindowExW(
        exstyle, widen(windowclass).c_str(), L"", WS_CHILD | style, args.place.left, args.place.top,
        args.place.right - args.place.left, args.place.bottom - args.place.top, args.parent,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(args.id)), args.instance, nullptr);
    if (control == nullptr) {
        throw Failure(std::string("Cannot create control ") + args.layout.name + "\r\n" +
                      systemreason(GetLastError()));
    }
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(args.font), FALSE);
    return control;
}

void filllist(HWND list, ListKind kind, const std::vector<std::string>& names) {
    const bool combo = kind == ListKind::combobox;
    SendMessageW(list, WM_SETREDRAW, FALSE, 0);
    SendMessageW(list, combo ? CB_RESETCONTENT : LB_RESETCONTENT, 0, 0);
    for (const std::string& name : names) {
        SendMessageW(list, combo ? CB_ADDSTRING : LB_ADDSTRING, 0,
                     reinterpret_cast<LPARAM>(widen(name).c_str()));
    }
    SendMessageW(list, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list, nullptr, TRUE);
}

void settext(HWND control, std::string& shown, const std::string& text) {
    if (shown == text) return;
    shown = text;
    SetWindowTextW(control, widen(text).c_str());
}

}  // namespace hostenv::win32
