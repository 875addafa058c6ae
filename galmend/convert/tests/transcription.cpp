#include "transcription.h"

#include "rewritefailures.h"

namespace transcription {

namespace {

bool beginswith(std::string_view galaxyline, std::string_view oldline) {
    if (galaxyline.size() < oldline.size()) return false;
    for (std::size_t c = 0; c < oldline.size(); ++c) {
        if (galaxyline[c] != oldline[c]) return false;
    }
    return true;
}

bool endswith(const std::string& text, std::string_view end) {
    return text.size() >= end.size() &&
           text.compare(text.size() - end.size(), end.size(), end) == 0;
}

std::string lastcharacters(const std::string& text, std::size_t count) {
    if (text.size() <= count) return text;
    return text.substr(text.size() - count);
}

}  // namespace

void rewritegalaxy(const Definitions& definitions, const hostenv::Lines& galaxy, std::string& out) {
    const std::size_t lines = galaxy.size();
    std::size_t k = 0;
    while (k < lines) {
        const int r = findoldline(definitions, galaxy[k]);
        if (r == 0) {
            out += galaxy[k] + "\r\n";
            k = k + 1;
        } else {
            if (!definitions.oldblocks) throw galmend::oldheadermissing(k, r);
            const int p = blockofline(definitions, r);
            const double w = writenewblock(definitions, p, k, galaxy, out);
            // At least one line, the whole part otherwise; beyond the end the loop ends.
            if (!(w >= 1)) {
                k = k + 1;
            } else if (w >= static_cast<double>(lines - k)) {
                k = lines;
            } else {
                k = k + static_cast<std::size_t>(w);
            }
        }
    }
}

int findoldline(const Definitions& definitions, std::string_view galaxyline) {
    int result = 0;
    for (std::size_t i = 0; i < definitions.oldstruct.size(); ++i) {
        if (beginswith(galaxyline, definitions.oldstruct[i])) result = static_cast<int>(i);
    }
    return result;
}

int blockofline(const Definitions& definitions, int r) {
    if (!definitions.oldblocks) throw galmend::oldlinewithoutblock(r);
    int result = 0;
    for (std::size_t q = 0; q < definitions.oldblocks->size(); ++q) {
        if ((*definitions.oldblocks)[q] < r) result = static_cast<int>(q);
    }
    return result;
}

double writenewblock(const Definitions& definitions, int p, std::size_t k,
                     const hostenv::Lines& galaxy, std::string& out) {
    const auto& oldstruct = definitions.oldstruct;
    const auto& newstruct = definitions.newstruct;
    const auto& newblocks = definitions.newblocks;
    const double w = galmend::blockcount(oldstruct[(*definitions.oldblocks)[p]]);

    if (!newblocks || static_cast<std::size_t>(p) > newblocks->size() - 1) {
        throw galmend::newblockmissing(k, p, newblocks);
    }
    const int s = (*newblocks)[p];
    const double n = galmend::blockcount(newstruct[s]);

    for (int j = 1; j <= n; ++j) {
        // The first template index, s + 1, does not fit 16 bits.
        if (s == 32767) throw galmend::newheaderoverflow(p, k);
        if (static_cast<std::size_t>(s + j) > newstruct.size() - 1) {
            throw galmend::templatemissing(k, p, n, static_cast<std::size_t>(s + j),
                                           newstruct.size());
        }
        const std::string& t = newstruct[s + j];
        if (!endswith(t, "#")) {
            out += t + "\r\n";
            continue;
        }
        if (k + j - 1 > galaxy.size() - 1) {
            throw galmend::galaxylinemissing(k, p, static_cast<std::size_t>(s + j), t, k + j - 1,
                                             galaxy.size());
        }
        const std::string& g = galaxy[k + j - 1];
        if (endswith(t, " #")) {
            out += t.substr(0, t.size() - 1) + lastcharacters(g, 1) + "\r\n";
        } else if (endswith(t, "##")) {
            out += t.substr(0, t.size() - 2) + lastcharacters(g, 2) + "\r\n";
        }
    }
    return w;
}

}  // namespace transcription
