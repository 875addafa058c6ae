// The old-line index: which old definition lines a galaxy line begins with, found in the
// time the galaxy line's length takes, whatever the old definition's.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "hostenv/text.h"
#include "structure.h"

namespace galmend {

// A prefix tree over the old lines. Walking a galaxy line down it passes every old line the
// galaxy line begins with. The children of a node are consecutive nodes. A node holds what
// the walk reads on its way; what it ends with is apart, in a Match.
class OldLineIndex {
  public:
    // What a walk ending at a node has recognised.
    struct Match {
        int found = 0;  // the highest old line index that is a prefix of this node's text
        int block = 0;  // blockabove(found), looked up once when the tree is built
    };

    // Line 0 recognises nothing. Without a block table every match is in block 0.
    OldLineIndex(const hostenv::Lines& oldstruct, const BlockTable& oldblocks);

    // What the galaxy line's walk down the tree recognises where it ends.
    // room: how many bytes from the line's start may be read, at least its length.
    const Match& recognise(std::string_view galaxyline, std::size_t room) const;

    // False when recognise() would find nothing for the galaxy line, told by its first
    // character alone: most galaxy lines begin with one that no old line begins with, and
    // then cost no walk.
    bool mayrecognise(std::string_view galaxyline) const {
        if (galaxyline.empty()) return true;
        const auto c = static_cast<unsigned char>(galaxyline.front());
        return ((openers_[c / 64] >> (c % 64)) & 1) != 0;
    }

  private:
    struct Node {
        std::uint32_t firstchild = 0;
        std::uint32_t children = 0;
        std::uint32_t edge = 0;  // the text from the parent to here, in edges_
        std::uint32_t edgelength = 0;
        // One look finds a child either way; which of the two is held says children.
        union {
            // One to eight children: their edges' first characters, one a lane.
            std::uint64_t childlanes;
            // None or more than eight: where the node's 256 entries start in childtable_.
            std::uint64_t childtablestart = 0;
        };
        std::uint64_t head = 0;  // the edge's first eight characters, zero past its end
    };
    // A walk down the tree from node, at byte at of the line, as far as it goes: where it
    // ends, and how many nodes it passed.
    struct Walk {
        std::uint32_t node;
        std::size_t at;
        unsigned steps;
    };
    // Where the walks of lines that begin with the same eight bytes as an old line get to
    // within those bytes, when that is two nodes or more down: long definitions whose lines
    // share their starts then cost a look instead of those steps. Empty slots have at 0.
    struct Jump {
        std::uint64_t start;  // the eight bytes
        std::uint32_t node;
        std::uint32_t at;
    };

    // Gives the first characters of every node's children's edges.
    std::vector<char> buildtree(const hostenv::Lines& oldstruct, const BlockTable& oldblocks);
    void buildchildlookups(const std::vector<char>& firstcharacters);
    void buildjumps(const hostenv::Lines& oldstruct);
    Walk walk(std::string_view galaxyline, std::size_t room, std::uint32_t node,
              std::size_t at) const;
    // Which child's edge begins with c; here.children when none does.
    std::uint32_t childwith(const Node& here, char c) const;

    std::vector<Node> nodes_;
    std::vector<Match> matches_;             // for every node
    std::vector<std::uint16_t> childtable_;  // for each character, 1 + the child, or 0
    std::string edges_;
    std::array<std::uint64_t, 4> openers_{};  // a bit for each first character that may match
    std::vector<Jump> jumps_;  // a power of two long, or empty when no start is worth it
    unsigned jumpshift_ = 0;
};

}  // namespace galmend
