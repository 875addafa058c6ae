#include <windows.h>

#include <commctrl.h>

#include "hostenv/win32/widetext.h"
#include "view.h"

namespace hostenv::win32 {

namespace {

class ButtonView : public ControlView {
  public:
    ButtonView(const ControlArgs& args, Button& model)
        : ControlView(createcontrol(args, "BUTTON", WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 0),
                      model),
          model_(model),
          form_(args.form),
          name_(args.layout.name),
          parent_(args.parent),
          tooltips_(args.tooltips) {
        bind();
    }

    void notified(int code) override {
        if (code == BN_CLICKED) form_.clicked(name_);
    }

  private:
    void refresh() override {
        settext(handle(), shown_, model_.caption());
        EnableWindow(handle(), model_.enabled());
        showtip(model_.tooltip());
    }

    // The hover text: a tool of the window's tooltip control while it is not empty.
    void showtip(const std::string& tip) {
        if (tip == tip_) return;
        tip_ = tip;
        tipwide_ = widen(tip_);
        TOOLINFOW tool{};
        tool.cbSize = sizeof tool;
        tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
        tool.hwnd = parent_;
        tool.uId = reinterpret_cast<UINT_PTR>(handle());
        tool.lpszText = tipwide_.data();
        if (tip_.empty()) {
            SendMessageW(tooltips_, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
            hastool_ = false;
        } else if (hastool_) {
            SendMessageW(tooltips_, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
        } else {
            hastool_ =
                SendMessageW(tooltips_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool)) != 0;
        }
    }

    Button& model_;
    Form& form_;
    const char* name_;
    HWND parent_;
    HWND tooltips_;
    std::string shown_;
    std::string tip_;
    std::wstring tipwide_;
    bool hastool_ = false;
};

}  // namespace

std::unique_ptr<ControlView> makebutton(const ControlArgs& args, Button& model) {
    return std::make_unique<ButtonView>(args, model);
}

}  // namespace hostenv::win32
