#include "hostenv/controls.h"

#include "hostenv/form.h"
#include "hostenv/paths.h"

namespace hostenv {

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
    const std::string folder = withoutseparator(path);
    // Read before anything changes, so that a folder that cannot be opened leaves the list as it
    // was.
    const bool changed = folder != path_;
    showread(folder, names(fs_.readfolder(folder, "", "").subfolders));
    if (changed && change) change();
}

void FolderList::showread(const std::string& folder, const std::vector<std::string>& names) {
    path_ = withoutseparator(folder);
    entries_.clear();
    for (const auto& name : names) entries_.push_back(joinpath(path_, name));
    notify();
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

void FileList::showread(const std::string& folder, const std::string& pattern,
                        std::vector<std::string> names) {
    entries_ = std::move(names);
    path_ = folder;
    pattern_ = pattern;
    notify();
}

// Reads before anything changes, so that a folder that cannot be read leaves the list as it was.
void FileList::reread(const std::string& path, const std::string& pattern) {
    showread(
        path, pattern,
        path.empty() ? std::vector<std::string>{} : names(fs_.readfolder(path, "", pattern).files));
}

void Dir1_Change(FolderList& dir, FileList& file) {
    file.setpath(dir.path());
}

void Drive1_Change(DriveList& drive, FolderList& dir, FileList& file) {
    const std::string root = withseparator(drive.drive().substr(0, 2));
    dir.setpath(root);
    file.setpath(root);
}

}  // namespace hostenv
