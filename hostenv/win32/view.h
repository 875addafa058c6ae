// The window toolkit's inside: each control kind is a small view that creates its
// real control from the layout and mirrors its model onto it.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "hostenv/controls.h"
#include "hostenv/form.h"

namespace hostenv::win32 {

// Twips and points to pixels at the screen's resolution.
class Scale {
  public:
    Scale();
    int x(int twips) const { return MulDiv(twips, dpix_, twipsperinch); }
    int y(int twips) const { return MulDiv(twips, dpiy_, twipsperinch); }
    // A font height in CreateFontA's form: negative, the character height in pixels.
    int fontheight(double points) const;
    RECT place(const ControlLayout& layout) const;

  private:
    int dpix_;
    int dpiy_;
};

// One font per distinct layout font, kept until the window is gone.
class Fonts {
  public:
    explicit Fonts(const Scale& scale) : scale_(scale) {}
    ~Fonts();
    Fonts(const Fonts&) = delete;
    Fonts& operator=(const Fonts&) = delete;
    HFONT get(const Font& font);

  private:
    struct Made {
        Font font;
        HFONT handle;
    };
    const Scale& scale_;
    std::vector<Made> made_;
};

// What a view needs to make its control.
struct ControlArgs {
    HWND parent;
    HINSTANCE instance;
    int id;
    const ControlLayout& layout;
    RECT place;
    HFONT font;
    HWND tooltips;
    Form& form;
};

HWND createcontrol(const ControlArgs& args, const char* windowclass, DWORD style, DWORD exstyle);

class ControlView {
  public:
    virtual ~ControlView() { observed_.viewchanged = nullptr; }
    ControlView(const ControlView&) = delete;
    ControlView& operator=(const ControlView&) = delete;
    // A WM_COMMAND notification from the control.
    virtual void notified(int code) { (void)code; }

  protected:
    ControlView(HWND handle, Control& model) : handle_(handle), observed_(model) {}
    // Mirrors every later change of the model; call once the view is complete.
    void bind() {
        observed_.viewchanged = [this] { refresh(); };
        refresh();
    }
    virtual void refresh() = 0;
    HWND handle() const { return handle_; }

  private:
    HWND handle_;
    Control& observed_;
};

std::unique_ptr<ControlView> makelabel(const ControlArgs& args, Label& model);
std::unique_ptr<ControlView> makebutton(const ControlArgs& args, Button& model);
std::unique_ptr<ControlView> maketextbox(const ControlArgs& args, TextBox& model, bool multiline);
std::unique_ptr<ControlView> makedrivelist(const ControlArgs& args, DriveList& model);
std::unique_ptr<ControlView> makefolderlist(const ControlArgs& args, FolderList& model);
std::unique_ptr<ControlView> makefilelist(const ControlArgs& args, FileList& model);

enum class ListKind { listbox, combobox };
// Replaces the names a list or combo box holds, drawn once when all are in.
void filllist(HWND list, ListKind kind, const std::vector<std::string>& names);

// Sets a control's text only when it differs from what it shows, to spare repaints.
void settext(HWND control, std::string& shown, const std::string& text);

}  // namespace hostenv::win32
