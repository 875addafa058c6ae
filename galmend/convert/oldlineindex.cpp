#include "oldlineindex.h"

#include <algorithm>
#include <cstring>
#include <numeric>

#include "hostenv/bytes.h"

namespace galmend {

namespace {

// Fibonacci hashing of eight bytes into a table of 2^(64 - shift) slots.
std::size_t jumpslot(std::uint64_t start, unsigned shift) {
    return static_cast<std::size_t>((start * 0x9e3779b97f4a7c15u) >> shift);
}

// The lines order[first, end) that share their character at depth with order[first], and
// the depth to which all of them share their text.
struct Run {
    std::size_t end;
    std::size_t depth;
};

Run runfrom(const hostenv::Lines& oldstruct, const std::vector<std::size_t>& order,
            std::size_t first, std::size_t last, std::size_t depth) {
    const std::string& line = oldstruct[order[first]];
    std::size_t end = first + 1;
    while (end < last && oldstruct[order[end]][depth] == line[depth]) ++end;
    // Sorted, the run shares what its first and last lines share.
    const std::string& lastline = oldstruct[order[end - 1]];
    std::size_t shared = depth + 1;
    while (shared < line.size() && shared < lastline.size() && line[shared] == lastline[shared]) {
        ++shared;
    }
    return {end, shared};
}

}  // namespace

OldLineIndex::OldLineIndex(const hostenv::Lines& oldstruct, const BlockTable& oldblocks) {
    buildchildlookups(buildtree(oldstruct, oldblocks));
    buildjumps(oldstruct);
}

// Built from the old lines in sorted order: the lines below one node share its text,
// the ones that end there come first, and the rest fall into runs by their next character.
// A run's common text becomes one edge, so a node stands only where lines end or part.
std::vector<char> OldLineIndex::buildtree(const hostenv::Lines& oldstruct,
                                          const BlockTable& oldblocks) {
    std::vector<std::size_t> order(oldstruct.size() > 1 ? oldstruct.size() - 1 : 0);
    std::iota(order.begin(), order.end(), std::size_t{1});  // line 0 recognises nothing
    std::sort(order.begin(), order.end(),
              [&](std::size_t a, std::size_t b) { return oldstruct[a] < oldstruct[b]; });

    struct Pending {
        std::uint32_t node;
        std::size_t first, last, depth;
        int inherited;
    };
    nodes_.assign(1, Node{});
    matches_.assign(1, Match{});
    std::vector<char> firstcharacters(1, '\0');  // of node i's edge
    edges_.clear();
    std::vector<Pending> pending{{0, 0, order.size(), 0, 0}};
    while (!pending.empty()) {
        const Pending item = pending.back();
        pending.pop_back();
        int found = item.inherited;
        std::size_t i = item.first;
        for (; i < item.last && oldstruct[order[i]].size() == item.depth; ++i) {
            found = std::max(found, static_cast<int>(order[i]));
        }
        matches_[item.node].found = found;
        if (found != 0 && oldblocks) matches_[item.node].block = blockabove(*oldblocks, found);
        const auto firstchild = static_cast<std::uint32_t>(nodes_.size());
        while (i < item.last) {
            const Run run = runfrom(oldstruct, order, i, item.last, item.depth);
            const std::string& line = oldstruct[order[i]];
            pending.push_back(
                {static_cast<std::uint32_t>(nodes_.size()), i, run.end, run.depth, found});
            Node& child = nodes_.emplace_back();
            child.edge = static_cast<std::uint32_t>(edges_.size());
            child.edgelength = static_cast<std::uint32_t>(run.depth - item.depth);
            matches_.push_back(Match{});
            firstcharacters.push_back(line[item.depth]);
            edges_.append(line, item.depth, run.depth - item.depth);
            i = run.end;
        }
        nodes_[item.node].firstchild = firstchild;
        nodes_[item.node].children = static_cast<std::uint32_t>(nodes_.size()) - firstchild;
    }
    return firstcharacters;
}

void OldLineIndex::buildchildlookups(const std::vector<char>& firstcharacters) {
    // An old line that is empty is the start of every galaxy line; otherwise a line is
    // recognised only past a child of the root.
    const Node& root = nodes_[0];
    openers_.fill(matches_[0].found != 0 ? ~std::uint64_t{0} : 0);
    for (std::uint32_t child = 0; child < root.children; ++child) {
        const auto c = static_cast<unsigned char>(firstcharacters[root.firstchild + child]);
        openers_[c / 64] |= std::uint64_t{1} << (c % 64);
    }
    childtable_.assign(256, 0);  // the table of every node without children
    for (Node& node : nodes_) {
        std::memcpy(&node.head, edges_.data() + node.edge,
                    std::min<std::size_t>(node.edgelength, 8));
        if (node.children == 0) continue;
        if (node.children <= 8) {
            // The lanes past the last child repeat the first, which is found before them.
            std::uint64_t lanes = 0;
            for (unsigned lane = 0; lane < 8; ++lane) {
                const char c = firstcharacters[node.firstchild + (lane < node.children ? lane : 0)];
                lanes |= std::uint64_t{static_cast<unsigned char>(c)} << (8 * lane);
            }
            node.childlanes = lanes;
            continue;
        }
        node.childtablestart = childtable_.size();
        childtable_.resize(childtable_.size() + 256, 0);
        for (std::uint32_t child = 0; child < node.children; ++child) {
            const auto c = static_cast<unsigned char>(firstcharacters[node.firstchild + child]);
            childtable_[static_cast<std::size_t>(node.childtablestart) + c] =
                static_cast<std::uint16_t>(child + 1);
        }
    }
}

void OldLineIndex::buildjumps(const hostenv::Lines& oldstruct) {
    std::vector<Jump> found;
    for (std::size_t i = 1; i < oldstruct.size(); ++i) {
        const std::string& line = oldstruct[i];
        if (line.size() < 8) continue;
        const Walk reached = walk(std::string_view(line).substr(0, 8), 8, 0, 0);
        if (reached.steps < 2) continue;
        found.push_back(
            {hostenv::loadword(line.data()), reached.node, static_cast<std::uint32_t>(reached.at)});
    }
    jumps_.clear();
    if (found.empty()) return;
    unsigned bits = 1;
    while ((std::size_t{1} << bits) < 2 * found.size()) ++bits;
    jumpshift_ = 64 - bits;
    jumps_.assign(std::size_t{1} << bits, Jump{});
    for (const Jump& jump : found) {
        std::size_t slot = jumpslot(jump.start, jumpshift_);
        while (jumps_[slot].at != 0 && jumps_[slot].start != jump.start) {
            slot = (slot + 1) & (jumps_.size() - 1);
        }
        jumps_[slot] = jump;
    }
}

std::uint32_t OldLineIndex::childwith(const Node& here, char c) const {
    if (here.children - 1 < 8) {  // one to eight children
        // All eight compared at once, so that a node with many children costs no run of
        // mispredicted branches.
        const unsigned lane = hostenv::firstequallane(here.childlanes, c);
        return lane < 8 ? lane : here.children;
    }
    const std::uint16_t child =
        childtable_[static_cast<std::size_t>(here.childtablestart) + static_cast<unsigned char>(c)];
    return child == 0 ? here.children : child - 1u;
}

// Inlined into recognise(), so that a galaxy line costs one call.
[[gnu::always_inline]] inline OldLineIndex::Walk OldLineIndex::walk(std::string_view galaxyline,
                                                                    std::size_t room,
                                                                    std::uint32_t node,
                                                                    std::size_t at) const {
    const char* const line = galaxyline.data();
    const std::size_t size = galaxyline.size();
    unsigned steps = 0;
    // The line's bytes from at, eight of them where room allows: the next character is the
    // lowest, and a short edge is matched against the word without reading its text.
    std::uint64_t ahead = hostenv::wordat(line, at, room);
    while (at < size) {
        const Node& here = nodes_[node];
        const std::uint32_t child = childwith(here, static_cast<char>(ahead & 0xff));
        if (child == here.children) break;
        const Node& next = nodes_[here.firstchild + child];
        const std::size_t length = next.edgelength;
        if (size - at < length) break;
        if (length <= 8 ? ((ahead ^ next.head) & hostenv::lowbytes(length)) != 0
                        : !hostenv::samebytes(edges_.data() + next.edge, line + at, length)) {
            break;
        }
        at += length;
        node = here.firstchild + child;
        ++steps;
        ahead = hostenv::wordat(line, at, room);
    }
    return {node, at, steps};
}

const OldLineIndex::Match& OldLineIndex::recognise(std::string_view galaxyline,
                                                   std::size_t room) const {
    std::uint32_t node = 0;
    std::size_t at = 0;
    if (!jumps_.empty() && galaxyline.size() >= 8) {
        const std::uint64_t start = hostenv::loadword(galaxyline.data());
        for (std::size_t slot = jumpslot(start, jumpshift_); jumps_[slot].at != 0;
             slot = (slot + 1) & (jumps_.size() - 1)) {
            if (jumps_[slot].start == start) {
                node = jumps_[slot].node;
                at = jumps_[slot].at;
                break;
            }
        }
    }
    return matches_[walk(galaxyline, room, node, at).node];
}

}  // namespace galmend
