#include <windows.h>

#include <commctrl.h>

#include "hostenv/win32/widetext.h"
#include "view.h"

namespace hostenv::win32 {

namespace {

// A multi-line edit control wants every key; Tab should still move the focus on.
LRESULT CALLBACK tabmovesfocus(HWND control, UINT message, WPARAM wparam, LPARAM lparam, UINT_PTR,
                               DWORD_PTR) {
    if (message == WM_NCDESTROY) RemoveWindowSubclass(control, tabmovesfocus, 0);
    LRESULT code = DefSubclassProc(control, message, wparam, lparam);
    if (message == WM_GETDLGCODE && lparam != 0) {
        const MSG* key = reinterpret_cast<const MSG*>(lparam);
        if (key->message == WM_KEYDOWN && key->wParam == VK_TAB) {
            code &= ~static_cast<LRESULT>(DLGC_WANTALLKEYS | DLGC_WANTTAB);
        }
    }
    return code;
}

DWORD textboxstyle(bool multiline) {
    const DWORD common = WS_VISIBLE | WS_TABSTOP;
    if (!multiline) return common | ES_AUTOHSCROLL;
    return common | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN;
}

class TextBoxView : public ControlView {
  public:
    TextBoxView(const ControlArgs& args, TextBox& model, bool multiline)
        : ControlView(createcontrol(args, "EDIT", textboxstyle(multiline), WS_EX_CLIENTEDGE),
                      model),
          model_(model) {
        SendMessageW(handle(), EM_SETLIMITTEXT, 0, 0);
        SetWindowSubclass(handle(), tabmovesfocus, 0, 0);
        bind();
    }

  private:
    void refresh() override {
        const std::string& text = model_.text();
        if (model_.appendedat() == shownlength_) {
            // Only the new part goes to the control, so a long list stays cheap to grow.
            const auto end = static_cast<WPARAM>(GetWindowTextLengthW(handle()));
            const std::wstring added = widen(std::string_view(text).substr(shownlength_));
            SendMessageW(handle(), EM_SETSEL, end, static_cast<LPARAM>(end));
            SendMessageW(handle(), EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(added.c_str()));
        } else {
            SetWindowTextW(handle(), widen(text).c_str());
        }
        shownlength_ = text.size();
    }

    TextBox& model_;
    std::size_t shownlength_ = 0;
};

}  // namespace

std::unique_ptr<ControlView> maketextbox(const ControlArgs& args, TextBox& model, bool multiline) {
    return std::make_unique<TextBoxView>(args, model, multiline);
}

}  // namespace hostenv::win32
