// The library's own sources name the text conversions by this short name.
#pragma once

#include "hostenv/win32/widetext.h"
