// Structure definitions: which lines open blocks, and how long a block is.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "hostenv/text.h"

namespace updater {

using BlockTable = std::optional<std::vector<std::int16_t>>;

// A header line has its first "$" at position 2 or later.
bool isheaderline(std::string_view line);

// Entry 0 is 0 (line 0 heads block 0); entry q the line index of the q-th header line.
// Absent when the definition has no header line. Throws Failure, naming file, when
// a header line stands beyond what a 16-bit entry can hold.
BlockTable blocktable(const hostenv::Lines& definition, const std::string& file);

// The count of a head line: the leading number of the text after its first "$",
// or of the whole line when it has none.
double blockcount(std::string_view headline);

// The format version a version line carries in its last two characters.
double versionofline(std::string_view line);

}  // namespace updater
