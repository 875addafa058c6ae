#include "hostenv/text.h"
#include "view.h"

namespace hostenv::win32 {

namespace {

// Room for the opened list below the selection field, in fields.
constexpr int droppedfields = 8;

class DriveListView : public ControlView {
  public:
    DriveListView(const ControlArgs& args, DriveList& model)
        : ControlView(createcontrol(args, "COMBOBOX",
                                    WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST, 0),
                      model),
          model_(model),
          form_(args.form),
          drives_(model.drives()) {
        fitfield(args.place.bottom - args.place.top);
        for (const std::string& drive : drives_) {
            SendMessageA(handle(), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(drive.c_str()));
        }
        bind();
    }

    void notified(int code) override {
        if (code != CBN_SELCHANGE) return;
        const LRESULT picked = SendMessageA(handle(), CB_GETCURSEL, 0, 0);
        if (picked < 0 || static_cast<std::size_t>(picked) >= drives_.size()) return;
        form_.drivepicked(drives_[static_cast<std::size_t>(picked)]);
        // The form may have refused the choice; show the drive the model holds.
        refresh();
    }

  private:
    // The layout gives the selection field's height; the window also holds the list.
    void fitfield(int fieldheight) {
        RECT shown{};
        GetWindowRect(handle(), &shown);
        const LRESULT itemheight =
            SendMessageA(handle(), CB_GETITEMHEIGHT, static_cast<WPARAM>(-1), 0);
        const LRESULT wanted = itemheight + fieldheight - (shown.bottom - shown.top);
        if (wanted > 0) {
            SendMessageA(handle(), CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), wanted);
        }
        SetWindowPos(handle(), nullptr, 0, 0, shown.right - shown.left,
                     fieldheight * (1 + droppedfields), SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }

    void refresh() override {
        const std::string current = lower(model_.drive().substr(0, 2));
        WPARAM index = static_cast<WPARAM>(-1);
        for (std::size_t i = 0; i < drives_.size(); ++i) {
            if (!current.empty() && lower(drives_[i].substr(0, 2)) == current) index = i;
        }
        SendMessageA(handle(), CB_SETCURSEL, index, 0);
    }

    DriveList& model_;
    Form& form_;
    std::vector<std::string> drives_;
};

}  // namespace

std::unique_ptr<ControlView> makedrivelist(const ControlArgs& args, DriveList& model) {
    return std::make_unique<DriveListView>(args, model);
}

}  // namespace hostenv::win32
