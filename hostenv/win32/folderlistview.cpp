#include "hostenv/win32/widetext.h"
#include "view.h"

namespace hostenv::win32 {

namespace {

// "C:\a\b" gives "C:\", "C:\a" and "C:\a\b": the folders the list shows open.
std::vector<std::string> openfolders(const std::string& path) {
    std::size_t separator = path.find('\\');
    if (separator == std::string::npos) return {path};
    std::vector<std::string> chain{path.substr(0, separator + 1)};
    while ((separator = path.find('\\', separator + 1)) != std::string::npos) {
        chain.push_back(path.substr(0, separator));
    }
    if (!path.ends_with('\\')) chain.push_back(path);
    return chain;
}

std::string shownname(const std::string& path, std::size_t depth) {
    const std::string name = depth == 0 ? path : path.substr(path.find_last_of('\\') + 1);
    return std::string(2 * depth, ' ') + name;
}

class FolderListView : public ControlView {
  public:
    FolderListView(const ControlArgs& args, FolderList& model)
        : ControlView(createcontrol(
                          args, "LISTBOX",
                          WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT,
                          WS_EX_CLIENTEDGE),
                      model),
          model_(model),
          form_(args.form) {
        bind();
    }

    void notified(int code) override {
        if (code != LBN_DBLCLK) return;
        const LRESULT picked = SendMessageW(handle(), LB_GETCURSEL, 0, 0);
        if (picked < 0 || static_cast<std::size_t>(picked) >= paths_.size()) return;
        form_.folderpicked(paths_[static_cast<std::size_t>(picked)]);
        refresh();
    }

  private:
    // The open folders from the root down, then the current folder's subfolders.
    void refresh() override {
        std::vector<std::string> paths;
        std::vector<std::string> names;
        if (!model_.path().empty()) paths = openfolders(model_.path());
        for (std::size_t depth = 0; depth < paths.size(); ++depth) {
            names.push_back(shownname(paths[depth], depth));
        }
        const std::size_t current = paths.size();
        for (int i = 0; i < model_.count(); ++i) {
            paths.push_back(model_.entry(i));
            names.push_back(shownname(paths.back(), current));
        }
        if (paths == paths_) return;
        paths_ = std::move(paths);
        filllist(handle(), ListKind::listbox, names);
        SendMessageW(handle(), LB_SETCURSEL, current == 0 ? static_cast<WPARAM>(-1) : current - 1,
                     0);
    }

    FolderList& model_;
    Form& form_;
    std::vector<std::string> paths_;
};

}  // namespace

std::unique_ptr<ControlView> makefolderlist(const ControlArgs& args, FolderList& model) {
    return std::make_unique<FolderListView>(args, model);
}

}  // namespace hostenv::win32
