// Block rewriting: turns the lines of an old-format galaxy into new-format text,
// driven by the two structure definitions.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "blockplans.h"
#include "hostenv/text.h"
#include "oldlineindex.h"
#include "structure.h"

namespace galmend {

class Rewriter {
  public:
    // The tables must be what blocktable() gives for the definitions. The arguments are
    // read while the rewriter is built, which keeps copies of what it needs, so any of
    // them may be a temporary.
    Rewriter(const hostenv::Lines& oldstruct, const BlockTable& oldblocks,
             const hostenv::Lines& newstruct, const BlockTable& newblocks);

    // Appends the new text to out, every line followed by CR LF. The galaxy is its bytes,
    // cut into lines as splitlines cuts them. Throws Failure, saying which block, line and
    // definition, when the definitions cannot rewrite the galaxy; out then holds the text
    // written before the failing block line. The galaxy must not lie in out.
    void rewritegalaxy(std::string_view galaxy, std::string& out) const;

    // The highest index of an old definition line the galaxy line begins with;
    // 0 when none but line 0 does.
    int findoldline(std::string_view galaxyline) const;
    // The block whose header stands nearest above old line r, strictly above.
    int blockofline(int r) const;
    // Writes block p's new lines for the old block starting at galaxy line k and
    // returns the old block's count.
    double writenewblock(int p, std::size_t k, const hostenv::Lines& galaxy,
                         std::string& out) const;

  private:
    // The rewriting from galaxy line k on, line by line through writeblock: what the plans
    // leave, failures among them.
    void rewritefrom(const hostenv::LineIndex& galaxy, std::size_t k, std::string& out) const;
    template <class Galaxy>
    double writeblock(int p, std::size_t k, const Galaxy& galaxy, std::string& out) const;
    std::string_view newdefinitionline(std::size_t i) const {
        const std::size_t start = i == 0 ? 0 : newends_[i - 1];
        return std::string_view(newtext_).substr(start, newends_[i] - start);
    }

    bool oldlinezero_;  // whether the old definition has line 0, the head of block 0
    BlockTable oldblocks_;
    BlockTable newblocks_;
    // The new definition's lines one after another, and where each ends: kept as one text,
    // the definition costs two allocations rather than one a line.
    std::string newtext_;
    std::vector<std::size_t> newends_;
    // Each block's counts, read once when the rewriter is built rather than for every block
    // of every galaxy.
    std::vector<double> oldcounts_;  // block q's old count, for every entry of oldblocks_
    std::vector<double> newcounts_;  // block q's new count, for every entry of newblocks_
    OldLineIndex index_;
    BlockPlans plans_;
};

}  // namespace galmend
