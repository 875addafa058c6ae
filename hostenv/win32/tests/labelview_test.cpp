// The label view against the real static control (run under Wine in our builds).
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "hostenv/controls.h"
#include "hostenv/win32/widetext.h"
#include "view.h"

namespace hostenv::win32 {
namespace {

// The events of a window nobody clicks.
class QuietForm : public Form {
  public:
    const FormLayout& layout() const override { return layout_; }
    Control& control(std::string_view) override { return label_; }
    void load() override {}
    void clicked(std::string_view) override {}
    void drivepicked(std::string_view) override {}
    void folderpicked(std::string_view) override {}
    void closed() override {}

  private:
    FormLayout layout_{"", 0, 0, {}, {}};
    Label label_{"", true};
};

class LabelViewTest : public ::testing::Test {
  protected:
    LabelViewTest()
        : parent_(CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 800, 200, nullptr, nullptr,
                                  GetModuleHandleW(nullptr), nullptr)) {}
    ~LabelViewTest() override { DestroyWindow(parent_); }

    std::unique_ptr<ControlView> make(const ControlLayout& layout, Label& model) {
        const ControlArgs args{parent_,       GetModuleHandleW(nullptr), 1000,    layout,
                               place(layout), fonts_.get(layout.font),   nullptr, form_};
        return makelabel(args, model);
    }

    RECT place(const ControlLayout& layout) const { return scale_.place(layout); }

    // The control's box in the parent's pixels.
    RECT box(HWND control) const {
        RECT rect{};
        GetWindowRect(control, &rect);
        MapWindowPoints(nullptr, parent_, reinterpret_cast<POINT*>(&rect), 2);
        return rect;
    }

    // How tall the static control's own word-wrapping drawing of text is in a box width wide.
    int wrappedheight(const std::string& text, const Font& font, int width) {
        const HDC dc = GetDC(parent_);
        const HGDIOBJ previous = SelectObject(dc, fonts_.get(font));
        RECT extent{0, 0, width, 0};
        const std::wstring wide = widen(text);
        DrawTextW(dc, wide.c_str(), static_cast<int>(wide.size()), &extent,
                  DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
        SelectObject(dc, previous);
        ReleaseDC(parent_, dc);
        return extent.bottom - extent.top;
    }

    HWND parent_;
    Scale scale_;
    Fonts fonts_{scale_};
    QuietForm form_;
};

TEST_F(LabelViewTest, ARightAlignedCountNeverWrapsAndGrowsToTheLeft) {
    const Font boldlarge{"MS Sans Serif", 13.5, true, false};
    const ControlLayout layout{"Label4", "updatedlabel", Kind::label, "0", 5040, 1080, 615,
                               375,      boldlarge,      Align::right};
    Label model("0", true);
    const auto view = make(layout, model);
    const HWND control = GetDlgItem(parent_, 1000);
    ASSERT_NE(control, nullptr);
    const RECT design = place(layout);
    const int oneline = wrappedheight("0", boldlarge, 10000);

    for (const std::string count : {" 999", " 1000", " 65535", " 1000000", " 5"}) {
        SCOPED_TRACE(count);
        model.setcaption(count);
        const RECT shown = box(control);
        EXPECT_EQ(shown.right, design.right) << "the text stays aligned where it was";
        EXPECT_EQ(shown.top, design.top);
        EXPECT_EQ(shown.bottom - shown.top, design.bottom - design.top);
        EXPECT_LE(shown.left, design.left);
        EXPECT_EQ(wrappedheight(count, boldlarge, shown.right - shown.left), oneline)
            << "the whole count is drawn on the one line in sight";
        wchar_t text[32]{};
        GetWindowTextW(control, text, 32);
        EXPECT_EQ(narrow(text), count);
    }
    EXPECT_EQ(box(control).left, design.left) << "a count that fits is back in its layout box";
}

}  // namespace
}  // namespace hostenv::win32
