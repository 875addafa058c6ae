#include <algorithm>

#include "hostenv/win32/widetext.h"
#include "systemerror.h"
#include "view.h"

namespace hostenv::win32 {

namespace {

DWORD alignment(Align align) {
    switch (align) {
        case Align::centre:
            return SS_CENTER;
        case Align::right:
            return SS_RIGHT;
        case Align::left:
            break;
    }
    return SS_LEFT;
}

class LabelView : public ControlView {
  public:
    LabelView(const ControlArgs& args, Label& model)
        : ControlView(createcontrol(args, "STATIC", SS_NOPREFIX | alignment(args.layout.align), 0),
                      model),
          model_(model),
          font_(args.font),
          autosize_(args.layout.autosize),
          rightanchored_(args.layout.align == Align::right),
          place_(args.place) {
        bind();
        if (autosize_) fittext();
    }

  private:
    void refresh() override {
        const bool changed = shown_ != model_.caption();
        settext(handle(), shown_, model_.caption());
        if (changed && autosize_) fittext();
        if (changed && !autosize_ && rightanchored_) widentotext();
        ShowWindow(handle(), model_.visible() ? SW_SHOWNA : SW_HIDE);
    }

    // The caption's width in one line, in the label's font.
    int textwidth() const {
        const HDC dc = GetDC(handle());
        const HGDIOBJ previous = SelectObject(dc, font_);
        RECT extent{};
        const std::wstring shown = widen(shown_);
        DrawTextW(dc, shown.c_str(), static_cast<int>(shown.size()), &extent,
                  DT_CALCRECT | DT_NOPREFIX | DT_EXPANDTABS | DT_SINGLELINE);
        SelectObject(dc, previous);
        ReleaseDC(handle(), dc);
        return extent.right - extent.left;
    }

    // A right-aligned label holds a count: a static control would wrap a count wider than
    // the layout's box at its leading blank onto a second line out of sight. The label grows
    // to the left instead, and is back in its layout box once the count fits again.
    void widentotext() {
        const int width = std::max<int>(place_.right - place_.left, textwidth());
        RECT now{};
        GetWindowRect(handle(), &now);
        if (now.right - now.left == width) return;
        SetWindowPos(handle(), nullptr, place_.right - width, place_.top, width,
                     place_.bottom - place_.top, SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOCOPYBITS);
        InvalidateRect(GetParent(handle()), nullptr, TRUE);
    }

    // Grows or shrinks the label to its caption; its top stays, and its left edge, or for
    // a right-aligned label its right edge, so that the text stays where it is aligned.
    void fittext() {
        const HDC dc = GetDC(handle());
        if (dc == nullptr) throw callfailure("GetDC", "measuring the label \"" + shown_ + "\"");
        const HGDIOBJ previous = SelectObject(dc, font_);
        RECT extent{};
        const std::wstring shown = widen(shown_);
        DrawTextW(dc, shown.c_str(), static_cast<int>(shown.size()), &extent,
                  DT_CALCRECT | DT_NOPREFIX | DT_EXPANDTABS);
        SelectObject(dc, previous);
        ReleaseDC(handle(), dc);
        const int width = extent.right - extent.left;
        const int height = extent.bottom - extent.top;
        if (!rightanchored_) {
            SetWindowPos(handle(), nullptr, 0, 0, width, height,
                         SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
            return;
        }
        RECT place{};
        GetWindowRect(handle(), &place);
        MapWindowPoints(nullptr, GetParent(handle()), reinterpret_cast<POINT*>(&place), 2);
        // The old pixels sit at the old left edge: paint the moved label afresh.
        SetWindowPos(handle(), nullptr, place_.right - width, place.top, width, height,
                     SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOCOPYBITS);
        InvalidateRect(handle(), nullptr, TRUE);
    }

    Label& model_;
    HFONT font_;
    bool autosize_;
    bool rightanchored_;
    RECT place_;  // the layout's box, in the parent's pixels
    std::string shown_;
};

}  // namespace

std::unique_ptr<ControlView> makelabel(const ControlArgs& args, Label& model) {
    return std::make_unique<LabelView>(args, model);
}

}  // namespace hostenv::win32
