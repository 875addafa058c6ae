// Block rewriting: turns the lines of an old-format galaxy into new-format text,
// driven by the two structure definitions.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "hostenv/text.h"
#include "structure.h"

namespace updater {

class Rewriter {
  public:
    // The definitions must outlive the rewriter, and the tables must be what
    // blocktable() gives for them.
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
    // A prefix tree over the old lines. Walking a galaxy line down it passes every old
    // line the galaxy line begins with, so recognition costs the galaxy line's length,
    // whatever the old definition's. The children of a node are consecutive nodes. A node
    // holds what the walk reads on its way; what it ends with is apart, in a Match.
    struct Node {
        std::uint32_t firstchild = 0;
        std::uint32_t children = 0;
        std::uint32_t edge = 0;  // the text from the parent to here, in edges_
        std::uint32_t edgelength = 0;
        // One to eight children: their edges' first characters, one a byte. None or more:
        // where their 256 entries start in childtable_. Either way one look finds the child.
        std::uint64_t labels = 0;
        std::uint64_t head = 0;  // the edge's first eight characters, zero past its end
    };
    // What a walk ending at a node has recognised.
    struct Match {
        int found = 0;  // the highest old line index that is a prefix of this node's text
        int block = 0;  // blockofline(found), looked up once when the tree is built
    };
    // How block p is written when it succeeds, worked out once from the definitions: its
    // new lines as one text, with the last characters of some galaxy lines spliced in.
    struct Splice {
        std::uint32_t before;  // the text written between the previous splice and this one
        std::uint32_t line;    // the galaxy line, counted from the block's first
        std::uint32_t take;    // how many of its last characters, 1 or 2 at most
    };
    struct Plan {
        // A block that fails, or one beyond what the plans may hold, is written by writeblock.
        bool planned = false;
        std::size_t consumed = 1;  // consumedlines() of the old count
        std::size_t reach = 0;     // how many galaxy lines the templates need, from the first
        std::size_t most = 0;      // the most bytes the block writes
        std::uint32_t text = 0, textlength = 0;  // in plantext_
        std::uint32_t firstsplice = 0, splices = 0;
    };
    void buildindex();
    void buildjumps();
    void buildplans();
    // The rewriting from galaxy line k on, line by line through writeblock: what the plans
    // leave, failures among them.
    void rewritefrom(const hostenv::LineIndex& galaxy, std::size_t k, std::string& out) const;
    template <class Galaxy>
    double writeblock(int p, std::size_t k, const Galaxy& galaxy, std::string& out) const;
    // What the galaxy line's walk down the tree recognises where it ends.
    // room: how many bytes from the line's start may be read, at least its length.
    const Match& recognise(std::string_view galaxyline, std::size_t room) const;
    // A walk down the tree from node, at byte at of the line, as far as it goes: where it
    // ends, and how many nodes it passed.
    struct Walk {
        std::uint32_t node;
        std::size_t at;
        unsigned steps;
    };
    Walk walk(std::string_view galaxyline, std::size_t room, std::uint32_t node,
              std::size_t at) const;
    // Which child's edge begins with c; here.children when none does.
    std::uint32_t childwith(const Node& here, char c) const;

    const hostenv::Lines& oldstruct_;
    const BlockTable& oldblocks_;
    const hostenv::Lines& newstruct_;
    const BlockTable& newblocks_;
    std::vector<double> oldcounts_;  // block q's old count, for every entry of oldblocks_
    std::vector<double> newcounts_;  // block q's new count, for every entry of newblocks_
    std::vector<Node> nodes_;
    std::vector<Match> matches_;             // for every node
    std::vector<std::uint16_t> childtable_;  // for each character, 1 + the child, or 0
    // Where the walks of lines that begin with the same eight bytes as an old line get to
    // within those bytes, when that is two nodes or more down: long definitions whose lines
    // share their starts then cost a look instead of those steps. Empty slots have at 0.
    struct Jump {
        std::uint64_t start;  // the eight bytes
        std::uint32_t node;
        std::uint32_t at;
    };
    std::vector<Jump> jumps_;  // a power of two long, or empty when no start is worth it
    unsigned jumpshift_ = 0;
    std::string edges_;
    std::vector<Plan> plans_;  // for every block of oldblocks_
    std::vector<Splice> splices_;
    std::string plantext_;
};

// How many galaxy lines a block with old count w consumes: its whole part, at least one.
std::size_t consumedlines(double w);

}  // namespace updater
