#include "hostenv/controls.h"

#include "hostenv/form.h"

namespace hostenv {

namespace {

bool isroot(const std::string& path) {
    return path.size() == 3 && path[1] == ':' && path[2] == '\\';
}

}  // namespace

void Button::takedesign(const ControlLayout& design) {
    caption_ = design.caption;
}

void Label::takedesign(const ControlLayout& design) {
    caption_ = design.caption;
    visible_ = design.visible;
}

void Button::setenabled(bool enabled) {
    enabled_ = enabled;
    notify();
}

void Button::settooltip(std::string tooltip) {
    tooltip_ = std::move(tooltip);
    notify();
}

void Label::setcaption(std::string caption) {
    caption_ = std::move(caption);
    notify();
}

void Label::setvisible(bool visible) {
    visible_ = visible;
    notify();
}

void TextBox::settext(std::string text) {
    text_ = std::move(text);
    appendedat_ = std::string::npos;
    notify();
}

void TextBox::append(std::string_view more) {
    appendedat_ = text_.size();
    text_ += more;
    notify();
}

void DriveList::setdrive(std::string drive) {
    drive_ = std::move(drive);
    notify();
}

void FolderList::setpath(const std::string& path) {
    std::string folder = path;
    if (folder.size() > 1 && folder.back() == '\\' && !isroot(folder)) folder.pop_back();
    // Read before anything changes, so that a folder that cannot be opened leaves the list as it
    // was.
    auto names = fs_.subfolders(folder);
    const std::string prefix = isroot(folder) ? folder : folder + "\\";
    entries_.clear();
    for (auto& name : names) entries_.push_back(prefix + name);
    const bool changed = folder != path_;
    path_ = std::move(folder);
    notify();
    if (changed && change) change();
}

std::string FolderList::entry(int i) const {
    if (i < 0 || i >= count()) return "";
    return entries_[static_cast<std::size_t>(i)];
}

void FileList::setpath(const std::string& path) {
    reread(path, pattern_);
}

void FileList::setpattern(const std::string& pattern) {
    reread(path_, pattern);
}

// Reads before anything changes, so that a folder that cannot be read leaves the list as it was.
void FileList::reread(const std::string& path, const std::string& pattern) {
    entries_ = path.empty() ? std::vector<std::string>{} : fs_.files(path, pattern);
    path_ = path;
    pattern_ = pattern;
    notify();
}

void Dir1_Change(FolderList& dir, FileList& file) {
    file.setpath(dir.path());
}

void Drive1_Change(DriveList& drive, FolderList& dir, FileList& file) {
    const std::string root = drive.drive().substr(0, 2) + "\\";
    dir.setpath(root);
    file.setpath(root);
}

}  // namespace hostenv
