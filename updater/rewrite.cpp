#include "rewrite.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>
#include <numeric>
#include <sstream>

#include "hostenv/failure.h"

namespace updater {

namespace {

// Header lines stand within the first 32768 lines, so a header at the last of them
// leaves its templates no 16-bit index.
constexpr std::int16_t lastheaderline = std::numeric_limits<std::int16_t>::max();

std::string number(double value) {
    std::ostringstream text;
    text << value;
    return text.str();
}

std::string linenumber(std::size_t index) {
    return std::to_string(index + 1);
}

// Byte i of a word read from memory is its lane i, counted from the low end.
static_assert(std::endian::native == std::endian::little);

// The first of the lowest `lanes` bytes of word that equals c, or 8: all eight compared
// at once, so that a node with many children costs no run of mispredicted branches.
unsigned equallane(std::uint64_t word, char c, std::uint32_t lanes) {
    constexpr std::uint64_t ones = 0x0101010101010101u;
    constexpr std::uint64_t highs = 0x8080808080808080u;
    const std::uint64_t differ = word ^ (ones * static_cast<unsigned char>(c));
    // The lowest flagged byte is equal; flags above it may be false.
    std::uint64_t equal = (differ - ones) & ~differ & highs;
    if (lanes < 8) equal &= (std::uint64_t{1} << (8 * lanes)) - 1;
    return equal == 0 ? 8 : static_cast<unsigned>(std::countr_zero(equal)) / 8;
}

void appendline(std::string& out, std::string_view line) {
    out += line;
    out += "\r\n";
}

}  // namespace

Rewriter::Rewriter(const hostenv::Lines& oldstruct, const BlockTable& oldblocks,
                   const hostenv::Lines& newstruct, const BlockTable& newblocks)
    : oldstruct_(oldstruct), oldblocks_(oldblocks), newstruct_(newstruct), newblocks_(newblocks) {
    buildindex();
    // The definitions do not change while the rewriter lives, so each block's counts are
    // read once here rather than for every block of every galaxy. A table made for other
    // definitions (which only tests do) gives the blocks it names past their end no count.
    const auto count = [](const hostenv::Lines& definition, std::size_t head) {
        return head < definition.size() ? blockcount(definition[head])
                                        : std::numeric_limits<double>::quiet_NaN();
    };
    oldcounts_.push_back(count(oldstruct_, 0));
    if (oldblocks_) {
        for (std::size_t q = 1; q < oldblocks_->size(); ++q) {
            oldcounts_.push_back(count(oldstruct_, static_cast<std::size_t>((*oldblocks_)[q])));
        }
    }
    if (newblocks_) {
        for (const std::int16_t head : *newblocks_) {
            newcounts_.push_back(count(newstruct_, static_cast<std::size_t>(head)));
        }
    }
}

// Built from the old lines in sorted order: the lines below one node share its text,
// the ones that end there come first, and the rest fall into runs by their next character.
// A run's common text becomes one edge, so a node stands only where lines end or part.
void Rewriter::buildindex() {
    std::vector<std::size_t> order(oldstruct_.size() > 1 ? oldstruct_.size() - 1 : 0);
    std::iota(order.begin(), order.end(), std::size_t{1});  // line 0 recognises nothing
    std::sort(order.begin(), order.end(),
              [&](std::size_t a, std::size_t b) { return oldstruct_[a] < oldstruct_[b]; });

    struct Pending {
        std::uint32_t node;
        std::size_t first, last, depth;
        int inherited;
    };
    nodes_.assign(1, Node{});
    labels_.assign(1, '\0');
    edges_.clear();
    std::vector<Pending> pending{{0, 0, order.size(), 0, 0}};
    while (!pending.empty()) {
        const Pending item = pending.back();
        pending.pop_back();
        int found = item.inherited;
        std::size_t i = item.first;
        for (; i < item.last && oldstruct_[order[i]].size() == item.depth; ++i) {
            found = std::max(found, static_cast<int>(order[i]));
        }
        Node& parent = nodes_[item.node];
        parent.found = found;
        if (found != 0 && oldblocks_) parent.block = blockofline(found);
        parent.firstchild = static_cast<std::uint32_t>(nodes_.size());
        while (i < item.last) {
            const std::string& first = oldstruct_[order[i]];
            std::size_t end = i + 1;
            while (end < item.last && oldstruct_[order[end]][item.depth] == first[item.depth]) {
                ++end;
            }
            // Sorted, the run shares what its first and last lines share.
            const std::string& last = oldstruct_[order[end - 1]];
            std::size_t depth = item.depth + 1;
            while (depth < first.size() && depth < last.size() && first[depth] == last[depth]) {
                ++depth;
            }
            pending.push_back({static_cast<std::uint32_t>(nodes_.size()), i, end, depth, found});
            nodes_.push_back(Node{.edge = static_cast<std::uint32_t>(edges_.size()),
                                  .edgelength = static_cast<std::uint32_t>(depth - item.depth)});
            labels_.push_back(first[item.depth]);
            edges_.append(first, item.depth, depth - item.depth);
            i = end;
        }
        nodes_[item.node].children =
            static_cast<std::uint32_t>(nodes_.size()) - nodes_[item.node].firstchild;
    }
    labels_.resize(labels_.size() + 7, '\0');  // what childwith may read past the last
}

std::uint32_t Rewriter::childwith(const Node& here, char c) const {
    for (std::uint32_t base = 0; base < here.children; base += 8) {
        std::uint64_t word;
        std::memcpy(&word, labels_.data() + here.firstchild + base, sizeof word);
        const unsigned lane = equallane(word, c, here.children - base);
        if (lane < 8) return base + lane;
    }
    return here.children;
}

int Rewriter::findoldline(std::string_view galaxyline) const {
    return recognise(galaxyline).found;
}

const Rewriter::Node& Rewriter::recognise(std::string_view galaxyline) const {
    std::uint32_t node = 0;
    std::size_t at = 0;
    while (at < galaxyline.size()) {
        const Node& here = nodes_[node];
        const std::uint32_t child = childwith(here, galaxyline[at]);
        if (child == here.children) break;
        const Node& next = nodes_[here.firstchild + child];
        if (galaxyline.size() - at < next.edgelength) break;
        const char* edge = edges_.data() + next.edge;
        std::uint32_t matched = 1;
        while (matched < next.edgelength && edge[matched] == galaxyline[at + matched]) ++matched;
        if (matched < next.edgelength) break;
        at += next.edgelength;
        node = here.firstchild + child;
    }
    return nodes_[node];
}

int Rewriter::blockofline(int r) const {
    if (!oldblocks_) {
        throw hostenv::Failure("Line " + linenumber(static_cast<std::size_t>(r)) +
                               " of the old structure definition \"oldstruct.txt\" belongs to no "
                               "block: that definition has no header line.");
    }
    // The table is non-decreasing, so the entries below r are a prefix of it.
    const auto below = std::lower_bound(oldblocks_->begin(), oldblocks_->end(), r);
    const auto count = below - oldblocks_->begin();
    return count == 0 ? 0 : static_cast<int>(count - 1);
}

template <class Galaxy>
double Rewriter::writeblock(int p, std::size_t k, const Galaxy& galaxy, std::string& out) const {
    const auto block = static_cast<std::size_t>(p);
    const bool oldblock =
        p == 0 ? !oldstruct_.empty() : p > 0 && oldblocks_ && block < oldblocks_->size();
    if (!oldblock) {
        throw hostenv::Failure("The old structure definition \"oldstruct.txt\" has no block " +
                               std::to_string(p) + ".");
    }
    const double w = oldcounts_[block];

    // Built only when failing: a block must not cost an allocation.
    const auto opens = [&] {
        return "Galaxy line " + linenumber(k) + " opens block " + std::to_string(p) + ", ";
    };
    if (!newblocks_ || block >= newblocks_->size()) {
        throw hostenv::Failure(
            opens() + "but the new structure definition \"newstruct.txt\" has no block " +
            std::to_string(p) +
            (newblocks_ ? ": its last block is " + std::to_string(newblocks_->size() - 1) + "."
                        : ": it has no header line."));
    }
    const std::int16_t s = (*newblocks_)[block];
    const double n = newcounts_[block];
    if (n >= 1 && s == lastheaderline) {
        throw hostenv::Failure(
            "Overflow in the new structure definition \"newstruct.txt\": block " +
            std::to_string(p) + ", opened by galaxy line " + linenumber(k) +
            ", has its header at line 32768, so its template lines lie beyond the last line a "
            "block can use.");
    }
    for (std::size_t j = 1; static_cast<double>(j) <= n; ++j) {
        const std::size_t templateindex = static_cast<std::size_t>(s) + j;
        if (templateindex >= newstruct_.size()) {
            throw hostenv::Failure(opens() + "whose count " + number(n) +
                                   " in the new structure definition \"newstruct.txt\" needs "
                                   "template line " +
                                   linenumber(templateindex) +
                                   ", but that definition ends at line " +
                                   std::to_string(newstruct_.size()) + ".");
        }
        const std::string& t = newstruct_[templateindex];
        if (t.empty() || t.back() != '#') {
            appendline(out, t);
            continue;
        }
        const std::size_t galaxyindex = k + j - 1;
        if (galaxyindex >= galaxy.size()) {
            throw hostenv::Failure(opens() + "whose template line " + linenumber(templateindex) +
                                   " of the new structure definition \"newstruct.txt\" (\"" + t +
                                   "\") needs galaxy line " + linenumber(galaxyindex) +
                                   ", but the galaxy ends at line " +
                                   std::to_string(galaxy.size()) + ".");
        }
        const std::string_view g = galaxy[galaxyindex];
        const std::string_view kept = std::string_view(t).substr(0, t.size() - 1);
        if (kept.ends_with(' ')) {
            out += kept;
            out += g.substr(g.empty() ? 0 : g.size() - 1);
            out += "\r\n";
        } else if (kept.ends_with('#')) {
            out += kept.substr(0, kept.size() - 1);
            out += g.substr(g.size() - std::min<std::size_t>(g.size(), 2));
            out += "\r\n";
        }
    }
    return w;
}

double Rewriter::writenewblock(int p, std::size_t k, const hostenv::Lines& galaxy,
                               std::string& out) const {
    return writeblock(p, k, galaxy, out);
}

template <class Galaxy>
void Rewriter::rewrite(const Galaxy& galaxy, std::string& out) const {
    std::size_t bytes = out.size();
    for (std::size_t i = 0; i < galaxy.size(); ++i) bytes += galaxy[i].size() + 2;
    out.reserve(bytes + bytes / 8);

    const std::size_t count = galaxy.size();
    std::size_t k = 0;
    while (k < count) {
        const Node& recognised = recognise(galaxy[k]);
        const int r = recognised.found;
        if (r == 0) {
            appendline(out, galaxy[k]);
            ++k;
            continue;
        }
        if (!oldblocks_) {
            throw hostenv::Failure(
                "Galaxy line " + linenumber(k) + " begins with line " +
                linenumber(static_cast<std::size_t>(r)) +
                " of the old structure definition \"oldstruct.txt\", but that definition has no "
                "header line, so the galaxy line belongs to no block.");
        }
        const double w = writeblock(recognised.block, k, galaxy, out);
        k += std::min(consumedlines(w), count - k);
    }
}

void Rewriter::rewritegalaxy(const hostenv::Lines& galaxy, std::string& out) const {
    rewrite(galaxy, out);
}

void Rewriter::rewritegalaxy(const hostenv::LineIndex& galaxy, std::string& out) const {
    rewrite(galaxy, out);
}

std::size_t consumedlines(double w) {
    // A NaN fails this test too.
    if (!(w >= 1)) return 1;
    constexpr auto most = std::numeric_limits<std::size_t>::max();
    if (w >= static_cast<double>(most)) return most;
    return static_cast<std::size_t>(w);
}

}  // namespace updater
