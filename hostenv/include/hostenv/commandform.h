// The event plumbing both windows share: every event runs under the failure rule, and
// while an operation lets window events through, only the exit button gets through.
#pragma once

#include <span>
#include <string_view>
#include <utility>

#include "hostenv/controls.h"
#include "hostenv/form.h"
#include "hostenv/ui.h"

namespace hostenv {

// Marks an operation that lets window events through: while the flag is set, the window
// ignores the other commands and the user's list changes.
class Busy {
  public:
    explicit Busy(bool& flag) : flag_(flag), previous_(flag) { flag_ = true; }
    ~Busy() { flag_ = previous_; }
    Busy(const Busy&) = delete;
    Busy& operator=(const Busy&) = delete;

  private:
    bool& flag_;
    bool previous_;
};

class CommandForm : public Form {
  public:
    void load() final;
    void clicked(std::string_view button) final;
    void drivepicked(std::string_view drivetext) final;
    void folderpicked(std::string_view path) final;
    void closed() override;

    virtual void Form_Load() = 0;
    // Runs the click handler of the button with this role.
    virtual void command(std::string_view role) = 0;

  protected:
    // The lists are the derived window's members: bound here, used only after it is built.
    CommandForm(UserInterface& ui, DriveList& drive, FolderList& dir, FileList& file)
        : ui_(ui), drive_(drive), dir_(dir), file_(file) {}

    UserInterface& ui_;
    // Set while an operation lets window events through.
    bool busy_ = false;

  private:
    DriveList& drive_;
    FolderList& dir_;
    FileList& file_;
};

}  // namespace hostenv
