#include "rewrite.h"

#include <algorithm>
#include <limits>
#include <span>

#include "rewritefailures.h"

namespace galmend {

namespace {

// A table made for other definitions (which only tests do) gives the blocks it names past
// their end no count.
double countat(const hostenv::Lines& definition, std::size_t head) {
    return head < definition.size() ? blockcount(definition[head])
                                    : std::numeric_limits<double>::quiet_NaN();
}

// Line 0 heads block 0 whether or not the definition has a header line.
std::vector<double> oldblockcounts(const hostenv::Lines& oldstruct, const BlockTable& oldblocks) {
    std::vector<double> counts{countat(oldstruct, 0)};
    if (oldblocks) {
        for (std::size_t q = 1; q < oldblocks->size(); ++q) {
            counts.push_back(countat(oldstruct, static_cast<std::size_t>((*oldblocks)[q])));
        }
    }
    return counts;
}

std::vector<double> newblockcounts(const hostenv::Lines& newstruct, const BlockTable& newblocks) {
    std::vector<double> counts;
    if (newblocks) {
        for (const std::int16_t head : *newblocks) {
            counts.push_back(countat(newstruct, static_cast<std::size_t>(head)));
        }
    }
    return counts;
}

void appendline(std::string& out, std::string_view line) {
    out += line;
    out += "\r\n";
}

// Writes template t, which ends in "#", for galaxy line g: " #" takes the galaxy line's
// last character, "##" its last two, and any other such template writes nothing.
void splicetemplate(std::string& out, std::string_view t, std::string_view g) {
    const std::string_view kept = t.substr(0, t.size() - 1);
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

}  // namespace

Rewriter::Rewriter(const hostenv::Lines& oldstruct, const BlockTable& oldblocks,
                   const hostenv::Lines& newstruct, const BlockTable& newblocks)
    : oldlinezero_(!oldstruct.empty()),
      oldblocks_(oldblocks),
      newblocks_(newblocks),
      oldcounts_(oldblockcounts(oldstruct, oldblocks)),
      newcounts_(newblockcounts(newstruct, newblocks)),
      index_(oldstruct, oldblocks),
      plans_(oldblocks ? std::span<const double>(oldcounts_) : std::span<const double>(), newstruct,
             newblocks, newcounts_) {
    std::size_t length = 0;
    for (const std::string& line : newstruct) length += line.size();
    newtext_.reserve(length);
    newends_.reserve(newstruct.size());
    for (const std::string& line : newstruct) {
        newtext_ += line;
        newends_.push_back(newtext_.size());
    }
}

int Rewriter::findoldline(std::string_view galaxyline) const {
    return index_.recognise(galaxyline, galaxyline.size()).found;
}

int Rewriter::blockofline(int r) const {
    if (!oldblocks_) throw oldlinewithoutblock(r);
    return blockabove(*oldblocks_, r);
}

template <class Galaxy>
double Rewriter::writeblock(int p, std::size_t k, const Galaxy& galaxy, std::string& out) const {
    const auto block = static_cast<std::size_t>(p);
    const bool oldblock = p == 0 ? oldlinezero_ : p > 0 && oldblocks_ && block < oldblocks_->size();
    if (!oldblock) throw oldblockmissing(p);
    const double w = oldcounts_[block];
    if (!newblocks_ || block >= newblocks_->size()) throw newblockmissing(k, p, newblocks_);
    const std::int16_t s = (*newblocks_)[block];
    const double n = newcounts_[block];
    if (n >= 1 && s == lastheaderline) throw newheaderoverflow(p, k);
    for (std::size_t j = 1; static_cast<double>(j) <= n; ++j) {
        const std::size_t templateindex = static_cast<std::size_t>(s) + j;
        if (templateindex >= newends_.size()) {
            throw templatemissing(k, p, n, templateindex, newends_.size());
        }
        const std::string_view t = newdefinitionline(templateindex);
        if (t.empty() || t.back() != '#') {
            appendline(out, t);
            continue;
        }
        const std::size_t galaxyindex = k + j - 1;
        if (galaxyindex >= galaxy.size()) {
            throw galaxylinemissing(k, p, templateindex, t, galaxyindex, galaxy.size());
        }
        splicetemplate(out, t, galaxy[galaxyindex]);
    }
    return w;
}

double Rewriter::writenewblock(int p, std::size_t k, const hostenv::Lines& galaxy,
                               std::string& out) const {
    return writeblock(p, k, galaxy, out);
}

void Rewriter::rewritefrom(const hostenv::LineIndex& galaxy, std::size_t k,
                           std::string& out) const {
    const std::size_t count = galaxy.size();
    while (k < count) {
        const OldLineIndex::Match& recognised = index_.recognise(galaxy[k], galaxy[k].size());
        if (recognised.found == 0) {
            appendline(out, galaxy[k]);
            ++k;
            continue;
        }
        if (!oldblocks_) throw oldheadermissing(k, recognised.found);
        const double w = writeblock(recognised.block, k, galaxy, out);
        k += std::min(consumedlines(w), count - k);
    }
}

}  // namespace galmend
