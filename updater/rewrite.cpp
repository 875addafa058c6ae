#include "rewrite.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <numeric>

#include "hostenv/bytes.h"
#include "hostenv/lineends.h"
#include "rewritefailures.h"

namespace updater {

namespace {

// Header lines stand within the first 32768 lines, so a header at the last of them
// leaves its templates no 16-bit index.
constexpr std::int16_t lastheaderline = std::numeric_limits<std::int16_t>::max();

void appendline(std::string& out, std::string_view line) {
    out += line;
    out += "\r\n";
}

// A line of a galaxy held as its bytes: its index, where it starts and where it ends.
struct Cursor {
    std::size_t line;
    std::size_t start;
    std::size_t end;
};

// Moves the cursor down to line target; false, and left on the last line, when the
// galaxy ends before it. ends must give the line ends after the cursor's.
[[gnu::always_inline]] inline bool seek(Cursor& at, std::size_t target, hostenv::LineEnds& ends,
                                        std::size_t size) {
    while (at.line < target) {
        if (at.end == size) return false;
        at.start = at.end + 2;
        at.end = ends.next();
        ++at.line;
    }
    return true;
}

// How far past a literal of the plans Writer::copyover may read and write.
constexpr std::size_t literalslack = 16;

// Appends to a string through a pointer. The string grows in steps ahead of the writing
// and is cut back to what was written by finish().
class Writer {
  public:
    explicit Writer(std::string& out)
        : out_(out), put_(out.data() + out.size()), end_(out.data() + out.size()) {}
    Writer(const Writer&) = delete;
    Writer& operator=(const Writer&) = delete;

    void ensure(std::size_t n) {
        if (static_cast<std::size_t>(end_ - put_) < n) grow(n);
    }
    // Needs room made by ensure().
    void copy(const char* from, std::size_t n) { put_ = hostenv::copybytes(put_, from, n); }
    // Copies n bytes in whole runs of 16, so past n: needs that much room made by ensure()
    // and that much to read at from.
    void copyover(const char* from, std::size_t n) {
        char* const end = put_ + n;
        for (; put_ < end; put_ += 16, from += 16) std::memcpy(put_, from, 16);
        put_ = end;
    }
    std::size_t written() const { return static_cast<std::size_t>(put_ - out_.data()); }
    // Leaves out holding what was written before position at.
    void finish(std::size_t at) { out_.resize(at); }
    void finish() { finish(written()); }

  private:
    void grow(std::size_t n) {
        // A step at a time, so that the bytes made ready are still in the cache when written.
        constexpr std::size_t step = std::size_t{1} << 18;
        const std::size_t used = written();
        out_.resize(used + std::max(n, step));
        put_ = out_.data() + used;
        end_ = out_.data() + out_.size();
    }
    std::string& out_;
    char* put_;
    char* end_;
};

}  // namespace

Rewriter::Rewriter(const hostenv::Lines& oldstruct, const BlockTable& oldblocks,
                   const hostenv::Lines& newstruct, const BlockTable& newblocks)
    : oldstruct_(oldstruct), oldblocks_(oldblocks), newstruct_(newstruct), newblocks_(newblocks) {
    buildindex();
    buildjumps();
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
    buildplans();
}

// A block's plan follows writeblock step by step, but only as far as the block succeeds
// whatever the galaxy: a block that can fail with every galaxy gets none.
void Rewriter::buildplans() {
    if (!oldblocks_) return;
    // Definitions of thousands of long blocks could otherwise take memory without bound;
    // the blocks past it are left to writeblock.
    constexpr std::size_t mostplantext = std::size_t{1} << 24;
    plans_.assign(oldblocks_->size(), Plan{});
    for (std::size_t p = 0; p < plans_.size(); ++p) {
        Plan& plan = plans_[p];
        plan.consumed = consumedlines(oldcounts_[p]);
        if (!newblocks_ || p >= newblocks_->size()) continue;
        const auto s = static_cast<std::size_t>((*newblocks_)[p]);
        const double n = newcounts_[p];
        if (n >= 1 && s == static_cast<std::size_t>(lastheaderline)) continue;
        // A count reaching past the definition's end fails with every galaxy; seen here,
        // it costs no walk through the templates for each such block.
        if (n >= static_cast<double>(newstruct_.size() - s)) continue;

        const std::size_t text = plantext_.size();
        const std::size_t firstsplice = splices_.size();
        std::size_t spliced = text;  // where the text after the last splice starts
        std::size_t reach = 0;
        bool complete = true;
        for (std::size_t j = 1; static_cast<double>(j) <= n; ++j) {
            if (s + j >= newstruct_.size() ||
                plantext_.size() + newstruct_[s + j].size() + 2 > mostplantext) {
                complete = false;
                break;
            }
            const std::string& t = newstruct_[s + j];
            if (t.empty() || t.back() != '#') {
                plantext_ += t;
                plantext_ += "\r\n";
                continue;
            }
            reach = j;
            const std::string_view kept = std::string_view(t).substr(0, t.size() - 1);
            std::uint32_t take = 0;
            if (kept.ends_with(' ')) {
                plantext_ += kept;
                take = 1;
            } else if (kept.ends_with('#')) {
                plantext_ += kept.substr(0, kept.size() - 1);
                take = 2;
            } else {
                continue;  // writes nothing, but still needs its galaxy line
            }
            splices_.push_back({static_cast<std::uint32_t>(plantext_.size() - spliced),
                                static_cast<std::uint32_t>(j - 1), take});
            spliced = plantext_.size();
            plantext_ += "\r\n";
        }
        if (!complete) {
            plantext_.resize(text);
            splices_.resize(firstsplice);
            continue;
        }
        plan.planned = true;
        plan.reach = reach;
        plan.text = static_cast<std::uint32_t>(text);
        plan.textlength = static_cast<std::uint32_t>(plantext_.size() - text);
        plan.firstsplice = static_cast<std::uint32_t>(firstsplice);
        plan.splices = static_cast<std::uint32_t>(splices_.size() - firstsplice);
        plan.most = plan.textlength + 2 * std::size_t{plan.splices};
    }
    plantext_.append(literalslack, '\0');  // what copyover may read past the last literal
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
    matches_.assign(1, Match{});
    std::vector<char> labels(1, '\0');  // labels[i]: the first character of node i's edge
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
        Match& match = matches_[item.node];
        match.found = found;
        if (found != 0 && oldblocks_) match.block = blockofline(found);
        Node& parent = nodes_[item.node];
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
            matches_.push_back(Match{});
            labels.push_back(first[item.depth]);
            edges_.append(first, item.depth, depth - item.depth);
            i = end;
        }
        nodes_[item.node].children =
            static_cast<std::uint32_t>(nodes_.size()) - nodes_[item.node].firstchild;
    }

    childtable_.assign(256, 0);  // the table of every node without children
    for (Node& node : nodes_) {
        std::memcpy(&node.head, edges_.data() + node.edge,
                    std::min<std::size_t>(node.edgelength, 8));
        if (node.children == 0) continue;
        if (node.children <= 8) {
            // The lanes past the last child repeat the first, which is found before them.
            for (unsigned lane = 0; lane < 8; ++lane) {
                const char label = labels[node.firstchild + (lane < node.children ? lane : 0)];
                node.labels |= std::uint64_t{static_cast<unsigned char>(label)} << (8 * lane);
            }
            continue;
        }
        node.labels = childtable_.size();
        childtable_.resize(childtable_.size() + 256, 0);
        for (std::uint32_t child = 0; child < node.children; ++child) {
            const auto c = static_cast<unsigned char>(labels[node.firstchild + child]);
            childtable_[static_cast<std::size_t>(node.labels) + c] =
                static_cast<std::uint16_t>(child + 1);
        }
    }
}

std::uint32_t Rewriter::childwith(const Node& here, char c) const {
    if (here.children - 1 < 8) {  // one to eight children
        // All eight compared at once, so that a node with many children costs no run of
        // mispredicted branches.
        const unsigned lane = hostenv::firstequallane(here.labels, c);
        return lane < 8 ? lane : here.children;
    }
    const std::uint16_t child =
        childtable_[static_cast<std::size_t>(here.labels) + static_cast<unsigned char>(c)];
    return child == 0 ? here.children : child - 1u;
}

int Rewriter::findoldline(std::string_view galaxyline) const {
    return recognise(galaxyline, galaxyline.size()).found;
}

// Fibonacci hashing of eight bytes into a table of 2^(64 - shift) slots.
std::size_t jumpslot(std::uint64_t start, unsigned shift) {
    return static_cast<std::size_t>((start * 0x9e3779b97f4a7c15u) >> shift);
}

void Rewriter::buildjumps() {
    std::vector<Jump> found;
    for (std::size_t i = 1; i < oldstruct_.size(); ++i) {
        const std::string& line = oldstruct_[i];
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

const Rewriter::Match& Rewriter::recognise(std::string_view galaxyline, std::size_t room) const {
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

Rewriter::Walk Rewriter::walk(std::string_view galaxyline, std::size_t room, std::uint32_t node,
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
        if (length <= 8 ? ((ahead ^ next.head) & (~std::uint64_t{0} >> (64 - 8 * length))) != 0
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

int Rewriter::blockofline(int r) const {
    if (!oldblocks_) throw oldlinewithoutblock(r);
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
    if (!oldblock) throw oldblockmissing(p);
    const double w = oldcounts_[block];
    if (!newblocks_ || block >= newblocks_->size()) throw newblockmissing(k, p, newblocks_);
    const std::int16_t s = (*newblocks_)[block];
    const double n = newcounts_[block];
    if (n >= 1 && s == lastheaderline) throw newheaderoverflow(p, k);
    for (std::size_t j = 1; static_cast<double>(j) <= n; ++j) {
        const std::size_t templateindex = static_cast<std::size_t>(s) + j;
        if (templateindex >= newstruct_.size()) {
            throw templatemissing(k, p, n, templateindex, newstruct_.size());
        }
        const std::string& t = newstruct_[templateindex];
        if (t.empty() || t.back() != '#') {
            appendline(out, t);
            continue;
        }
        const std::size_t galaxyindex = k + j - 1;
        if (galaxyindex >= galaxy.size()) {
            throw galaxylinemissing(k, p, templateindex, t, galaxyindex, galaxy.size());
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

// One pass over the bytes: each line's end is found as the rewriting reaches it, and a
// block is written from its plan, so no index of the galaxy's lines is built.
void Rewriter::rewritegalaxy(std::string_view galaxy, std::string& out) const {
    const std::string_view text = hostenv::withoutfinalbreaks(galaxy);
    const char* const bytes = text.data();
    const std::size_t size = text.size();
    Writer writer(out);
    if (size == 0) return;
    // What the plans leave goes line by line from the block's first line on.
    const auto linebyline = [&](std::size_t k, std::size_t written) {
        writer.finish(written);
        hostenv::LineIndex lines;
        lines.assign(text);
        rewritefrom(lines, k, out);
    };

    hostenv::LineEnds ends(text);
    Cursor at{0, 0, ends.next()};
    for (;;) {
        const std::size_t length = at.end - at.start;
        const Match& recognised =
            recognise(std::string_view(bytes + at.start, length), size - at.start);
        if (recognised.found == 0) {
            writer.ensure(length + 2);
            if (at.end < size) {
                writer.copy(bytes + at.start, length + 2);  // with its own CR LF
            } else {
                writer.copy(bytes + at.start, length);
                writer.copy("\r\n", 2);
            }
            if (!seek(at, at.line + 1, ends, size)) break;
            continue;
        }
        const Cursor first = at;
        const std::size_t k = at.line;
        if (!oldblocks_ || !plans_[static_cast<std::size_t>(recognised.block)].planned) {
            linebyline(k, writer.written());
            return;
        }
        const Plan& plan = plans_[static_cast<std::size_t>(recognised.block)];
        const std::size_t blockstart = writer.written();
        writer.ensure(plan.most + literalslack);
        const char* literal = plantext_.data() + plan.text;
        bool complete = true;
        for (std::uint32_t i = 0; i < plan.splices; ++i) {
            const Splice& splice = splices_[plan.firstsplice + i];
            writer.copyover(literal, splice.before);
            literal += splice.before;
            if (!seek(at, k + splice.line, ends, size)) {
                complete = false;
                break;
            }
            const std::size_t take = std::min<std::size_t>(splice.take, at.end - at.start);
            writer.copy(bytes + at.end - take, take);
        }
        if (complete && plan.reach > 0) complete = seek(at, k + plan.reach - 1, ends, size);
        if (!complete) {
            linebyline(k, blockstart);  // the galaxy ends inside the block: that fails
            return;
        }
        writer.copyover(literal, static_cast<std::size_t>(plantext_.data() + plan.text +
                                                          plan.textlength - literal));
        const std::size_t next = plan.consumed > std::numeric_limits<std::size_t>::max() - k
                                     ? std::numeric_limits<std::size_t>::max()
                                     : k + plan.consumed;
        // The templates may have looked past the lines the block consumes.
        if (next < at.line) {
            at = first;
            ends.restart(first.end + 2);
        }
        if (!seek(at, next, ends, size)) break;
    }
    writer.finish();
}

void Rewriter::rewritefrom(const hostenv::LineIndex& galaxy, std::size_t k,
                           std::string& out) const {
    const std::size_t count = galaxy.size();
    while (k < count) {
        const Match& recognised = recognise(galaxy[k], galaxy[k].size());
        const int r = recognised.found;
        if (r == 0) {
            appendline(out, galaxy[k]);
            ++k;
            continue;
        }
        if (!oldblocks_) throw oldheadermissing(k, r);
        const double w = writeblock(recognised.block, k, galaxy, out);
        k += std::min(consumedlines(w), count - k);
    }
}

std::size_t consumedlines(double w) {
    // A NaN fails this test too.
    if (!(w >= 1)) return 1;
    constexpr auto most = std::numeric_limits<std::size_t>::max();
    if (w >= static_cast<double>(most)) return most;
    return static_cast<std::size_t>(w);
}

}  // namespace updater
