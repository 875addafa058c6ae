// The windows wintest knows, found by their captions.
#pragma once

#include <string_view>

#include "hostenv/form.h"

namespace wintest {

// The layout table of the program whose window has this caption, or nullptr.
const hostenv::FormLayout* layoutbycaption(std::string_view caption);

}  // namespace wintest
