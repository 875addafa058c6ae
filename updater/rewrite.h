// Block rewriting: turns the lines of an old-format galaxy into new-format text,
// driven by the two structure definitions.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "hostenv/text.h"
#include "structure.h"

namespace updater {

class Rewriter {
public:
    // The definitions must outlive the rewriter.
    Rewriter(const hostenv::Lines& oldstruct, const BlockTable& oldblocks,
             const hostenv::Lines& newstruct, const BlockTable& newblocks);

    // Appends the new text to out, every line followed by CR LF. Throws Failure,
    // saying which block, line and definition, when the definitions cannot rewrite
    // the galaxy; out may then hold part of the text.
    void rewritegalaxy(const hostenv::Lines& galaxy, std::string& out) const;

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
    // TODO(engine): index over oldstruct so that recognition cost does not grow with its length.
    const hostenv::Lines& oldstruct_;
    const BlockTable& oldblocks_;
    const hostenv::Lines& newstruct_;
    const BlockTable& newblocks_;
};

// How many galaxy lines a block with old count w consumes: its whole part, at least one.
std::size_t consumedlines(double w);

}  // namespace updater
