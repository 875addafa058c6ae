// Block plans: how each block is written when it succeeds, worked out once from the
// definitions, so that rewriting a galaxy copies prepared text instead of reading templates.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "hostenv/text.h"
#include "structure.h"

namespace galmend {

// How far past a plan's text may be read: the texts end in that much padding, so that
// they can be copied in whole runs of 16 bytes.
constexpr std::size_t literalslack = 16;

// The last characters of a galaxy line, spliced into a plan's text.
struct Splice {
    std::uint32_t before;  // the text written between the previous splice and this one
    std::uint32_t line;    // the galaxy line, counted from the block's first
    std::uint32_t take;    // how many of its last characters, 1 or 2 at most
};

// A block's new lines as one text, with the last characters of some galaxy lines spliced in.
struct Plan {
    // A block that fails, or one beyond what the plans may hold, has none.
    bool planned = false;
    std::size_t consumed = 1;  // consumedlines() of the old count
    std::size_t reach = 0;     // how many galaxy lines the templates need, from the first
    std::size_t most = 0;      // the most bytes the block writes
    std::uint32_t text = 0, textlength = 0;
    std::uint32_t firstsplice = 0, splices = 0;
};

class BlockPlans {
  public:
    // A plan for each old block, whose count oldcounts holds at its index; newcounts holds
    // the count of each block of newblocks. A plan follows the rules step by step, but only
    // as far as the block succeeds whatever the galaxy: a block that can fail with every
    // galaxy gets none.
    BlockPlans(std::span<const double> oldcounts, const hostenv::Lines& newstruct,
               const BlockTable& newblocks, std::span<const double> newcounts);

    // The block's plan; null when the block has none.
    const Plan* planof(std::size_t block) const {
        return block < plans_.size() && plans_[block].planned ? &plans_[block] : nullptr;
    }
    const Splice& splice(const Plan& plan, std::uint32_t i) const {
        return splices_[plan.firstsplice + i];
    }
    // The plan's text; literalslack bytes past its end may be read.
    const char* text(const Plan& plan) const { return text_.data() + plan.text; }

  private:
    // Appends the text and splices of templates s + 1 to s + n; false, with nothing
    // appended, when a template lies past the definition or the text would grow too long.
    bool addtemplates(Plan& plan, const hostenv::Lines& newstruct, std::size_t s, double n);

    std::vector<Plan> plans_;  // for every old block
    std::vector<Splice> splices_;
    std::string text_;
};

}  // namespace galmend
