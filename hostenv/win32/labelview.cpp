#include "hostenv/win32/widetext.h"
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
          right_(args.place.right) {
        bind();
        if (autosize_) fittext();
    }

  private:
    void refresh() override {
        const bool changed = shown_ != model_.caption();
        settext(handle(), shown_, model_.caption());
        if (changed && autosize_) fittext();
        ShowWindow(handle(), model_.visible() ? SW_SHOWNA : SW_HIDE);
    }

    // Grows or shrinks the label to its caption; its top stays, and its left edge, or for
    // a right-aligned label its right edge, so that the text stays where it is aligned.
    void fittext() {
        const HDC dc = GetDC(handle());
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
        SetWindowPos(handle(), nullptr, right_ - width, place.top, width, height,
                     SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOCOPYBITS);
        InvalidateRect(handle(), nullptr, TRUE);
    }

    Label& model_;
    HFONT font_;
    bool autosize_;
    bool rightanchored_;
    int right_;  // the layout's right edge, in the parent's pixels
    std::string shown_;
};

}  // namespace

std::unique_ptr<ControlView> makelabel(const ControlArgs& args, Label& model) {
    return std::make_unique<LabelView>(args, model);
}

}  // namespace hostenv::win32
