#include "hostenv/controltable.h"

#include <algorithm>

namespace hostenv {

void checkcontroltable(const FormLayout& layout, std::span<const std::string_view> roles) {
    for (const ControlLayout& control : layout.controls) {
        if (std::count(roles.begin(), roles.end(), control.role) != 1) {
            throw std::logic_error(std::string("the control table does not hold ") + control.role +
                                   " (" + control.name + ") once");
        }
    }
    // A row the layout lacks throws there.
    for (const std::string_view role : roles) byrole(layout, role);
}

const ControlLayout& byrole(const FormLayout& layout, std::string_view role) {
    const auto found = std::find_if(layout.controls.begin(), layout.controls.end(),
                                    [&](const auto& c) { return c.role == role; });
    if (found == layout.controls.end()) {
        throw std::logic_error("the layout has no control " + std::string(role));
    }
    return *found;
}

}  // namespace hostenv
