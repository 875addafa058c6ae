// The failures of the block rewriting, in the words the player reads. The engine and the
// plain transcription of its rules in the tests both throw these, so they agree byte for
// byte. Lines are given as indices from 0 and shown counted from 1.
#pragma once

#include <cstddef>
#include <string_view>

#include "hostenv/failure.h"
#include "structure.h"

namespace galmend {

// Galaxy line k begins with old line r, but no old line is a header line.
hostenv::Failure oldheadermissing(std::size_t k, int r);

// Old line r belongs to no block, as no old line is a header line.
hostenv::Failure oldlinewithoutblock(int r);

// Block p is not a block of the old definition.
hostenv::Failure oldblockmissing(int p);

// Galaxy line k opens block p, which the new definition, of block table newblocks, lacks.
hostenv::Failure newblockmissing(std::size_t k, int p, const BlockTable& newblocks);

// Block p, opened by galaxy line k, has its new header at lastheaderline.
hostenv::Failure newheaderoverflow(int p, std::size_t k);

// Block p, opened by galaxy line k, has the new count n, which needs template line t of a
// new definition of definitionlines lines.
hostenv::Failure templatemissing(std::size_t k, int p, double n, std::size_t t,
                                 std::size_t definitionlines);

// Block p, opened by galaxy line k, has the template line t, whose text is text, which
// needs galaxy line g of a galaxy of galaxylines lines.
hostenv::Failure galaxylinemissing(std::size_t k, int p, std::size_t t, std::string_view text,
                                   std::size_t g, std::size_t galaxylines);

}  // namespace galmend
