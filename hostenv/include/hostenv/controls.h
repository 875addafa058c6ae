// Plain objects standing for a window's controls. Procedures write only to these;
// the Windows view observes them and mirrors every change onto the real controls.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "hostenv/filesystem.h"

namespace hostenv {

struct ControlLayout;

class Control {
  public:
    // Set by the view; called after every change of what the control shows.
    std::function<void()> viewchanged;
    // What the layout table gives the control before the window shows it.
    virtual void takedesign(const ControlLayout&) {}

  protected:
    Control() = default;
    ~Control() = default;
    void notify() const {
        if (viewchanged) viewchanged();
    }
};

class Button : public Control {
  public:
    Button() = default;
    explicit Button(std::string caption) : caption_(std::move(caption)) {}
    void takedesign(const ControlLayout& design) override;
    const std::string& caption() const { return caption_; }
    bool enabled() const { return enabled_; }
    void setenabled(bool enabled);
    const std::string& tooltip() const { return tooltip_; }
    void settooltip(std::string tooltip);

  private:
    std::string caption_;
    bool enabled_ = true;
    std::string tooltip_;
};

class Label : public Control {
  public:
    Label() = default;
    Label(std::string caption, bool visible) : caption_(std::move(caption)), visible_(visible) {}
    void takedesign(const ControlLayout& design) override;
    const std::string& caption() const { return caption_; }
    void setcaption(std::string caption);
    bool visible() const { return visible_; }
    void setvisible(bool visible);

  private:
    std::string caption_;
    bool visible_ = true;
};

class TextBox : public Control {
  public:
    const std::string& text() const { return text_; }
    void settext(std::string text);
    // Adds text at the end; a long list grows without being copied whole each time.
    void append(std::string_view more);
    // Where the last change began when it only added text at the end; npos otherwise,
    // so that a view can add just the new part.
    std::size_t appendedat() const { return appendedat_; }

  private:
    std::string text_;
    std::size_t appendedat_ = std::string::npos;
};

class DriveList : public Control {
  public:
    explicit DriveList(FileSystem& fs) : fs_(fs) {}
    // The drives the list offers, read when the view first shows it.
    std::vector<std::string> drives() const { return fs_.drives(); }
    // Letter and colon first; the rest (a volume label) is not used.
    const std::string& drive() const { return drive_; }
    void setdrive(std::string drive);

  private:
    FileSystem& fs_;
    std::string drive_;
};

// The folder list: its current folder and that folder's subfolders.
class FolderList : public Control {
  public:
    explicit FolderList(FileSystem& fs) : fs_(fs) {}
    // Set by the program: its Dir1_Change handler.
    std::function<void()> change;

    const std::string& path() const { return path_; }
    // A trailing "\" is dropped except on a drive root. Throws Failure, with the
    // list unchanged, when the folder cannot be opened. Runs change when the
    // current folder changed.
    void setpath(const std::string& path);
    // Shows folder and its subfolders' names as a walk read them, without reading the
    // folder again and without running change.
    void showread(const std::string& folder, const std::vector<std::string>& names);
    int count() const { return static_cast<int>(entries_.size()); }
    // Full path of subfolder i; empty text just past the last one (the end mark).
    std::string entry(int i) const;

  private:
    FileSystem& fs_;
    std::string path_;
    std::vector<std::string> entries_;
};

// The file list: names of the ordinary files of one folder that match a pattern.
class FileList : public Control {
  public:
    explicit FileList(FileSystem& fs) : fs_(fs) {}
    const std::string& path() const { return path_; }
    const std::string& pattern() const { return pattern_; }
    // Both reread the folder when one is set; an empty folder lists nothing.
    void setpath(const std::string& path);
    void setpattern(const std::string& pattern);
    // Shows the names of folder's files that match pattern as a walk read them.
    void showread(const std::string& folder, const std::string& pattern,
                  std::vector<std::string> names);
    int count() const { return static_cast<int>(entries_.size()); }
    const std::string& entry(int i) const { return entries_.at(i); }

  private:
    void reread(const std::string& path, const std::string& pattern);
    FileSystem& fs_;
    std::string path_;
    std::string pattern_ = "*.*";
    std::vector<std::string> entries_;
};

// The coupling of the three lists: the file list follows the folder list, and a
// drive choice moves both to that drive's root folder.
void Dir1_Change(FolderList& dir, FileList& file);
void Drive1_Change(DriveList& drive, FolderList& dir, FileList& file);

}  // namespace hostenv
