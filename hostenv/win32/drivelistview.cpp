#include "hostenv/text.h"
#include "hostenv/win32/widetext.h"
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
        fitfield(args.place.right - args.place.left, args.place.bottom - args.place.top);
        filllist(handle(), ListKind::combobox, drives_);
        bind();
    }

    void notified(int code) override {
        if (code != CBN_SELCHANGE) return;
        const LRESULT picked = SendMessageW(handle(), CB_GETCURSEL, 0, 0);
        if (picked < 0 || static_cast<std::size_t>(picked) >= drives_.size()) return;
        form_.drivepicked(drives_[static_cast<std::size_t>(picked)]);
        // The form may have refused the choice; show the drive the model holds.
        refresh();
    }

  private:
    // The layout gives the selection field's height; the window also holds the list.
    // The field follows the item height by a margin that differs between systems, so
    // correct the item height until the field has the height wanted.
    void fitfield(int width, int fieldheight) {
        SetWindowPos(handle(), nullptr, 0, 0, width, fieldheight * (1 + droppedfields),
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        // Count from the height asked for: Wine answers a larger one than it was given.
        auto requested =
            static_cast<int>(SendMessageW(handle(), CB_GETITEMHEIGHT, static_cast<WPARAM>(-1), 0));
        for (int attempt = 0; attempt < 3; ++attempt) {
            RECT field{};
            GetWindowRect(handle(), &field);
            const int error = fieldheight - (field.bottom - field.top);
            if (error == 0 || requested + error < 1) return;
            requested += error;
            SendMessageW(handle(), CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), requested);
        }
    }

    void refresh() override {
        const std::string current = lower(model_.drive().substr(0, 2));
        WPARAM index = static_cast<WPARAM>(-1);
        for (std::size_t i = 0; i < drives_.size(); ++i) {
            if (!current.empty() && lower(drives_[i].substr(0, 2)) == current) index = i;
        }
        SendMessageW(handle(), CB_SETCURSEL, index, 0);
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
