// Kept apart from <windows.h>: the layout tables come from the portable program libraries.
#include "layouts.h"

#include <array>

#include "galmend.h"
#include "tallyhold.h"

namespace wintest {

const hostenv::FormLayout* layoutbycaption(std::string_view caption) {
    const std::array layouts{&galmend::galmendlayout(), &tallyhold::tallyholdlayout()};
    for (const hostenv::FormLayout* layout : layouts) {
        if (caption == layout->caption) return layout;
    }
    return nullptr;
}

}  // namespace wintest
