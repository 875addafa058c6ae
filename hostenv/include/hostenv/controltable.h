// A program's controls declared once: each row names a control member, which is also its role
// in the layout table, and a button's click handler. The window's constructor, the lookup of a
// control by its design name and the dispatch of clicks all read this one table, so a role
// misspelt in code does not compile, and a table that differs from the layout fails as the
// window is built.
#pragma once

#include <span>
#include <stdexcept>
#include <string>
#include <string_view>

#include "hostenv/controls.h"
#include "hostenv/form.h"
#include "hostenv/gameform.h"
#include "hostenv/startup.h"

namespace hostenv {

template <class Window>
struct ControlRow {
    std::string_view role;
    Control& (*member)(Window&);
    void (Window::*click)() = nullptr;
};

template <class Window, auto member>
Control& memberof(Window& window) {
    return window.*member;
}

// The row of a control member, and of a button member with its handler member_Click.
// clang-format off
#define HOSTENV_CONTROL(Window, member) \
    ::hostenv::ControlRow<Window>{#member, &::hostenv::memberof<Window, &Window::member>}
#define HOSTENV_BUTTON(Window, member) \
    ::hostenv::ControlRow<Window>{#member, &::hostenv::memberof<Window, &Window::member>, \
                                  &Window::member##_Click}
// clang-format on

// Throws std::logic_error unless every control of the layout has exactly one row and every
// row a control of the layout.
void checkcontroltable(const FormLayout& layout, std::span<const std::string_view> roles);

const ControlLayout& byrole(const FormLayout& layout, std::string_view role);

// Gives each control its design (a button's and a label's caption, a label's visibility),
// after checking the table against the layout.
template <class Window>
void bindcontrols(Window& window, std::span<const ControlRow<Window>> table,
                  const FormLayout& layout) {
    std::vector<std::string_view> roles;
    for (const auto& row : table) roles.push_back(row.role);
    checkcontroltable(layout, roles);
    for (const auto& row : table) row.member(window).takedesign(byrole(layout, row.role));
}

template <class Window>
Control& controlbyrole(Window& window, std::span<const ControlRow<Window>> table,
                       std::string_view role) {
    for (const auto& row : table) {
        if (row.role == role) return row.member(window);
    }
    throw std::logic_error("no control " + std::string(role));
}

// Runs the click handler of the button with this role; other controls have none.
template <class Window>
void clickbyrole(Window& window, std::span<const ControlRow<Window>> table, std::string_view role) {
    for (const auto& row : table) {
        if (row.role == role && row.click != nullptr) (window.*row.click)();
    }
}

// A program's window over its control table: Window gives controltable(), its rows, and
// calls bindcontrols() last in its constructor, once its controls exist.
template <class Window>
class ProgramForm : public GameForm {
  public:
    Control& control(std::string_view name) final {
        return controlbyrole(self(), Window::controltable(), design(layout(), name).role);
    }
    void command(std::string_view role) final { clickbyrole(self(), Window::controltable(), role); }

  protected:
    using GameForm::GameForm;
    void bindcontrols() { hostenv::bindcontrols(self(), Window::controltable(), layout()); }

  private:
    Window& self() { return static_cast<Window&>(*this); }
};

}  // namespace hostenv
