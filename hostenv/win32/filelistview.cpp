#include "hostenv/win32/widetext.h"
#include "view.h"

namespace hostenv::win32 {

namespace {

class FileListView : public ControlView {
  public:
    FileListView(const ControlArgs& args, FileList& model)
        : ControlView(createcontrol(args, "LISTBOX",
                                    WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | LBS_NOINTEGRALHEIGHT,
                                    WS_EX_CLIENTEDGE),
                      model),
          model_(model) {
        bind();
    }

  private:
    void refresh() override {
        std::vector<std::string> names;
        for (int i = 0; i < model_.count(); ++i) names.push_back(model_.entry(i));
        if (names == names_) return;
        names_ = std::move(names);
        filllist(handle(), ListKind::listbox, names_);
    }

    FileList& model_;
    std::vector<std::string> names_;
};

}  // namespace

std::unique_ptr<ControlView> makefilelist(const ControlArgs& args, FileList& model) {
    return std::make_unique<FileListView>(args, model);
}

}  // namespace hostenv::win32
