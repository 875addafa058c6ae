// Structure definitions: which lines open blocks, and how long a block is.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "hostenv/text.h"

namespace galmend {

using BlockTable = std::optional<std::vector<std::int16_t>>;

// Header lines stand within the first 32768 lines, so a header at the last of them
// leaves its templates no 16-bit index.
constexpr std::int16_t lastheaderline = std::numeric_limits<std::int16_t>::max();

// A header line has its first "$" at position 2 or later.
bool isheaderline(std::string_view line);

// Entry 0 is 0 (line 0 heads block 0); entry q the line index of the q-th header line.
// Absent when the definition has no header line. Throws Failure, naming file, when
// a header line stands beyond what a 16-bit entry can hold.
BlockTable blocktable(const hostenv::Lines& definition, const std::string& file);

// The block whose header stands nearest above line r of the definition, strictly above,
// found in the entries of its block table.
int blockabove(const std::vector<std::int16_t>& table, int r);

// The count of a head line: the leading number of the text after its first "$",
// or of the whole line when it has none.
double blockcount(std::string_view headline);

// How many galaxy lines a block with old count w consumes: its whole part, at least one.
std::size_t consumedlines(double w);

// The format version a version line carries in its last two characters.
double versionofline(std::string_view line);

}  // namespace galmend
