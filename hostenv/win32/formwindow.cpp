// The main window: made from the layout table, shown after the load event, and the
// message loop that drives it.
#include <windows.h>

#include <commctrl.h>

#include <optional>
#include <string_view>

#include "hostenv/failure.h"
#include "hostenv/win32/programicon.h"
#include "hostenv/win32/widetext.h"
#include "hostenv/win32/win32ui.h"
#include "systemerror.h"
#include "view.h"

namespace hostenv::win32 {

namespace {

constexpr const wchar_t* windowclass = L"hostenvform";
constexpr DWORD windowstyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;

std::unique_ptr<ControlView> makeview(const ControlArgs& args, Control& model) {
    switch (args.layout.kind) {
        case Kind::label:
            return makelabel(args, static_cast<Label&>(model));
        case Kind::button:
            return makebutton(args, static_cast<Button&>(model));
        case Kind::textbox:
            return maketextbox(args, static_cast<TextBox&>(model), false);
        case Kind::multilinetext:
            return maketextbox(args, static_cast<TextBox&>(model), true);
        case Kind::drivelist:
            return makedrivelist(args, static_cast<DriveList&>(model));
        case Kind::folderlist:
            return makefolderlist(args, static_cast<FolderList&>(model));
        case Kind::filelist:
            return makefilelist(args, static_cast<FileList&>(model));
    }
    throw Failure(std::string("Unknown kind of control ") + args.layout.name);
}

// The order of creation is the order of Tab: the focus order first, then the rest.
std::vector<std::size_t> creationorder(const FormLayout& layout) {
    std::vector<std::size_t> order;
    std::vector<bool> placed(layout.controls.size(), false);
    for (const std::string_view name : layout.focusorder) {
        for (std::size_t i = 0; i < layout.controls.size(); ++i) {
            if (!placed[i] && layout.controls[i].name == name) {
                order.push_back(i);
                placed[i] = true;
            }
        }
    }
    for (std::size_t i = 0; i < layout.controls.size(); ++i) {
        if (!placed[i]) order.push_back(i);
    }
    return order;
}

class FormWindow {
  public:
    FormWindow(Form& form, Win32Ui& ui, HINSTANCE instance)
        : form_(form), ui_(ui), instance_(instance), fonts_(scale_) {
        registerclass();
        createwindow();
        createcontrols();
        ui_.setmainwindow(window_);
    }
    ~FormWindow() {
        ui_.setmainwindow(nullptr);
        if (IsWindow(window_)) DestroyWindow(window_);
    }
    FormWindow(const FormWindow&) = delete;
    FormWindow& operator=(const FormWindow&) = delete;

    void show() {
        ShowWindow(window_, SW_SHOWNORMAL);
        UpdateWindow(window_);
        const HWND first = GetNextDlgTabItem(window_, nullptr, FALSE);
        if (first != nullptr) SetFocus(first);
    }

    int loop() {
        MSG message{};
        while (GetMessageW(&message, nullptr, 0, 0) > 0) {
            if (IsWindow(window_) && IsDialogMessageW(window_, &message)) continue;
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        return static_cast<int>(message.wParam);
    }

  private:
    HICON programicon(int width, int height) const {
        return static_cast<HICON>(LoadImageW(instance_, MAKEINTRESOURCEW(PROGRAMICON), IMAGE_ICON,
                                             GetSystemMetrics(width), GetSystemMetrics(height),
                                             LR_DEFAULTCOLOR));
    }

    void registerclass() {
        WNDCLASSEXW type{};
        type.cbSize = sizeof type;
        type.lpfnWndProc = procedure;
        type.hInstance = instance_;
        type.hCursor = LoadCursor(nullptr, IDC_ARROW);
        // A program built without an icon resource gets Windows' default one.
        type.hIcon = programicon(SM_CXICON, SM_CYICON);
        type.hIconSm = programicon(SM_CXSMICON, SM_CYSMICON);
        type.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_3DFACE + 1);
        type.lpszClassName = windowclass;
        WNDCLASSEXW existing{};
        if (!GetClassInfoExW(instance_, windowclass, &existing) && !RegisterClassExW(&type)) {
            throw Failure("Cannot register the window class\r\n" + systemreason(GetLastError()));
        }
    }

    void createwindow() {
        const FormLayout& layout = form_.layout();
        RECT outer{0, 0, scale_.x(layout.width), scale_.y(layout.height)};
        AdjustWindowRectEx(&outer, windowstyle, FALSE, 0);
        window_ = CreateWindowExW(0, windowclass, widen(layout.caption).c_str(), windowstyle,
                                  CW_USEDEFAULT, CW_USEDEFAULT, outer.right - outer.left,
                                  outer.bottom - outer.top, nullptr, nullptr, instance_, this);
        if (window_ == nullptr) {
            throw Failure("Cannot create the window\r\n" + systemreason(GetLastError()));
        }
        tooltips_ =
            CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                            WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT, CW_USEDEFAULT,
                            CW_USEDEFAULT, CW_USEDEFAULT, window_, nullptr, instance_, nullptr);
        if (tooltips_ == nullptr) throw callfailure("CreateWindowExW", "the buttons' tooltips");
    }

    void createcontrols() {
        const FormLayout& layout = form_.layout();
        views_.resize(layout.controls.size());
        for (const std::size_t i : creationorder(layout)) {
            const ControlLayout& control = layout.controls[i];
            const ControlArgs args{window_,
                                   instance_,
                                   firstcontrolid + static_cast<int>(i),
                                   control,
                                   scale_.place(control),
                                   fonts_.get(control.font),
                                   tooltips_,
                                   form_};
            views_[i] = makeview(args, form_.control(control.name));
        }
    }

    LRESULT handle(UINT message, WPARAM wparam, LPARAM lparam) {
        switch (message) {
            case WM_COMMAND:
                notify(LOWORD(wparam), HIWORD(wparam));
                return 0;
            case WM_ACTIVATE:
                if (keepfocus(LOWORD(wparam))) return 0;
                return DefWindowProcW(window_, message, wparam, lparam);
            case WM_CLOSE:
                // Ends the program; the window goes with the process.
                form_.closed();
                return 0;
            default:
                return DefWindowProcW(window_, message, wparam, lparam);
        }
    }

    void notify(int id, int code) {
        const int index = id - firstcontrolid;
        if (index < 0 || index >= static_cast<int>(views_.size())) return;
        if (views_[static_cast<std::size_t>(index)]) {
            views_[static_cast<std::size_t>(index)]->notified(code);
        }
    }

    // As a dialog does: the control that had the focus gets it back on activation.
    bool keepfocus(WORD state) {
        if (state == WA_INACTIVE) {
            const HWND focus = GetFocus();
            if (focus != nullptr && IsChild(window_, focus)) lastfocus_ = focus;
            return false;
        }
        if (lastfocus_ == nullptr || !IsWindow(lastfocus_)) return false;
        SetFocus(lastfocus_);
        return true;
    }

    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
        if (message == WM_NCCREATE) {
            const auto* creation = reinterpret_cast<const CREATESTRUCTW*>(lparam);
            auto* self = static_cast<FormWindow*>(creation->lpCreateParams);
            self->window_ = window;
            SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        }
        auto* self = reinterpret_cast<FormWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        if (self == nullptr) return DefWindowProcW(window, message, wparam, lparam);
        return self->handle(message, wparam, lparam);
    }

    Form& form_;
    Win32Ui& ui_;
    HINSTANCE instance_;
    Scale scale_;
    Fonts fonts_;
    HWND window_ = nullptr;
    HWND tooltips_ = nullptr;
    HWND lastfocus_ = nullptr;
    std::vector<std::unique_ptr<ControlView>> views_;
};

}  // namespace

int run(Form& form, Win32Ui& ui, UserInterface& events, HINSTANCE instance) {
    // A window that cannot be made is reported like any other failure.
    std::optional<FormWindow> window;
    guarded(events, [&] {
        const INITCOMMONCONTROLSEX classes{
            sizeof(INITCOMMONCONTROLSEX), ICC_STANDARD_CLASSES | ICC_BAR_CLASSES | ICC_TAB_CLASSES};
        if (!InitCommonControlsEx(&classes)) {
            throw callfailure("InitCommonControlsEx", "the window's controls");
        }
        window.emplace(form, ui, instance);
    });
    form.load();
    window->show();
    return window->loop();
}

}  // namespace hostenv::win32
