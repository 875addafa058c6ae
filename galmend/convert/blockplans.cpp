#include "blockplans.h"

namespace galmend {

BlockPlans::BlockPlans(std::span<const double> oldcounts, const hostenv::Lines& newstruct,
                       const BlockTable& newblocks, std::span<const double> newcounts) {
    if (oldcounts.empty()) return;
    plans_.assign(oldcounts.size(), Plan{});
    for (std::size_t p = 0; p < plans_.size(); ++p) {
        Plan& plan = plans_[p];
        plan.consumed = consumedlines(oldcounts[p]);
        if (!newblocks || p >= newblocks->size()) continue;
        const auto s = static_cast<std::size_t>((*newblocks)[p]);
        const double n = newcounts[p];
        if (n >= 1 && s == static_cast<std::size_t>(lastheaderline)) continue;
        // A count reaching past the definition's end fails with every galaxy; seen here,
        // it costs no walk through the templates for each such block.
        if (n >= static_cast<double>(newstruct.size() - s)) continue;
        if (!addtemplates(plan, newstruct, s, n)) continue;
        plan.planned = true;
        plan.most = plan.textlength + 2 * std::size_t{plan.splices};
    }
    text_.append(literalslack, '\0');
}

bool BlockPlans::addtemplates(Plan& plan, const hostenv::Lines& newstruct, std::size_t s,
                              double n) {
    // Definitions of thousands of long blocks could otherwise take memory without bound;
    // the blocks past it are left to the rules.
    constexpr std::size_t mosttext = std::size_t{1} << 24;
    const std::size_t text = text_.size();
    const std::size_t firstsplice = splices_.size();
    std::size_t spliced = text;  // where the text after the last splice starts
    std::size_t reach = 0;
    for (std::size_t j = 1; static_cast<double>(j) <= n; ++j) {
        if (s + j >= newstruct.size() || text_.size() + newstruct[s + j].size() + 2 > mosttext) {
            text_.resize(text);
            splices_.resize(firstsplice);
            return false;
        }
        const std::string& t = newstruct[s + j];
        if (t.empty() || t.back() != '#') {
            text_ += t;
            text_ += "\r\n";
            continue;
        }
        reach = j;
        const std::string_view kept = std::string_view(t).substr(0, t.size() - 1);
        std::uint32_t take = 0;
        if (kept.ends_with(' ')) {
            text_ += kept;
            take = 1;
        } else if (kept.ends_with('#')) {
            text_ += kept.substr(0, kept.size() - 1);
            take = 2;
        } else {
            continue;  // writes nothing, but still needs its galaxy line
        }
        splices_.push_back({static_cast<std::uint32_t>(text_.size() - spliced),
                            static_cast<std::uint32_t>(j - 1), take});
        spliced = text_.size();
        text_ += "\r\n";
    }
    plan.reach = reach;
    plan.text = static_cast<std::uint32_t>(text);
    plan.textlength = static_cast<std::uint32_t>(text_.size() - text);
    plan.firstsplice = static_cast<std::uint32_t>(firstsplice);
    plan.splices = static_cast<std::uint32_t>(splices_.size() - firstsplice);
    return true;
}

}  // namespace galmend
