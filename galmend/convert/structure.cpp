#include "structure.h"

#include <algorithm>
#include <limits>

#include "hostenv/failure.h"

namespace galmend {

bool isheaderline(std::string_view line) {
    const auto dollar = line.find('$');
    return dollar != std::string_view::npos && dollar >= 1;
}

BlockTable blocktable(const hostenv::Lines& definition, const std::string& file) {
    BlockTable table;
    for (std::size_t i = 0; i < definition.size(); ++i) {
        if (!isheaderline(definition[i])) continue;
        if (i > static_cast<std::size_t>(std::numeric_limits<std::int16_t>::max())) {
            throw hostenv::Failure("Overflow in the structure definition \"" + file +
                                   "\": the header line at line " + std::to_string(i + 1) +
                                   " lies beyond line 32768, the last a block can start at.");
        }
        if (!table) table.emplace(1, 0);
        table->push_back(static_cast<std::int16_t>(i));
    }
    return table;
}

int blockabove(const std::vector<std::int16_t>& table, int r) {
    // The table is non-decreasing, so the entries below r are a prefix of it.
    const auto below = std::lower_bound(table.begin(), table.end(), r);
    const auto count = below - table.begin();
    return count == 0 ? 0 : static_cast<int>(count - 1);
}

double blockcount(std::string_view headline) {
    const auto dollar = headline.find('$');
    if (dollar == std::string_view::npos) return hostenv::leadingnumber(headline);
    return hostenv::leadingnumber(headline.substr(dollar + 1));
}

double versionofline(std::string_view line) {
    return hostenv::leadingnumber(line.size() <= 2 ? line : line.substr(line.size() - 2));
}

std::size_t consumedlines(double w) {
    // A NaN fails this test too.
    if (!(w >= 1)) return 1;
    constexpr auto most = std::numeric_limits<std::size_t>::max();
    if (w >= static_cast<double>(most)) return most;
    return static_cast<std::size_t>(w);
}

}  // namespace galmend
