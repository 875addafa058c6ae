// The rewriting of a galaxy in one pass over its bytes: each line's end is found as the
// pass reaches it, and a block is written from its plan, so no index of the galaxy's lines
// is built. What the plans leave goes to the rules line by line.
#include <algorithm>
#include <cstring>
#include <limits>

#include "hostenv/bytes.h"
#include "hostenv/lineends.h"
#include "rewrite.h"

namespace galmend {

namespace {

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

// Copies the lines of text from start up to end as they stand, their CR LFs with them;
// the text's last line, which has none, is given one.
void copylines(Writer& writer, std::string_view text, std::size_t start, std::size_t end) {
    const bool last = end == text.size();
    writer.ensure(end - start + 2);
    writer.copy(text.data() + start, end - start);
    if (last) writer.copy("\r\n", 2);
}

// Writes the block opened at the cursor's line from its plan, moving the cursor down to
// the lines the templates need; false when the galaxy ends before them.
[[gnu::always_inline]] inline bool writeplan(const BlockPlans& plans, const Plan& plan,
                                             std::string_view text, Cursor& at,
                                             hostenv::LineEnds& ends, Writer& writer) {
    const std::size_t k = at.line;
    writer.ensure(plan.most + literalslack);
    const char* literal = plans.text(plan);
    for (std::uint32_t i = 0; i < plan.splices; ++i) {
        const Splice& splice = plans.splice(plan, i);
        writer.copyover(literal, splice.before);
        literal += splice.before;
        if (!seek(at, k + splice.line, ends, text.size())) return false;
        const std::size_t take = std::min<std::size_t>(splice.take, at.end - at.start);
        writer.copy(text.data() + at.end - take, take);
    }
    if (plan.reach > 0 && !seek(at, k + plan.reach - 1, ends, text.size())) return false;
    writer.copyover(literal,
                    static_cast<std::size_t>(plans.text(plan) + plan.textlength - literal));
    return true;
}

}  // namespace

void Rewriter::rewritegalaxy(std::string_view galaxy, std::string& out) const {
    const std::string_view text = hostenv::withoutfinalbreaks(galaxy);
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
    // Lines no block opens pass as they stand: they are copied a run at a time, from here up
    // to the next block's first line.
    std::size_t unchanged = 0;
    for (;;) {
        const std::string_view line(text.data() + at.start, at.end - at.start);
        const OldLineIndex::Match* recognised =
            index_.mayrecognise(line) ? &index_.recognise(line, size - at.start) : nullptr;
        if (recognised == nullptr || recognised->found == 0) {
            if (seek(at, at.line + 1, ends, size)) continue;
            copylines(writer, text, unchanged, size);
            break;
        }
        if (unchanged < at.start) copylines(writer, text, unchanged, at.start);
        const Cursor first = at;
        const Plan* plan = plans_.planof(static_cast<std::size_t>(recognised->block));
        if (plan == nullptr) {
            linebyline(first.line, writer.written());
            return;
        }
        const std::size_t blockstart = writer.written();
        if (!writeplan(plans_, *plan, text, at, ends, writer)) {
            linebyline(first.line, blockstart);  // the galaxy ends inside the block: that fails
            return;
        }
        const std::size_t next =
            plan->consumed > std::numeric_limits<std::size_t>::max() - first.line
                ? std::numeric_limits<std::size_t>::max()
                : first.line + plan->consumed;
        // The templates may have looked past the lines the block consumes.
        if (next < at.line) {
            at = first;
            ends.restart(first.end + 2);
        }
        if (!seek(at, next, ends, size)) break;
        unchanged = at.start;
    }
    writer.finish();
}

}  // namespace galmend
