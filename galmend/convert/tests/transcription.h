// The block rewriting written out line by line as the rules state it, with no index:
// recognition tries every old line, the block lookup every table entry. The engine is
// held to it by the differential test, the fuzz target and the benchmark.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "hostenv/failure.h"
#include "hostenv/text.h"
#include "structure.h"

namespace transcription {

struct Definitions {
    const hostenv::Lines& oldstruct;
    const galmend::BlockTable& oldblocks;
    const hostenv::Lines& newstruct;
    const galmend::BlockTable& newblocks;
};

// Fails with the engine's own failures (rewritefailures.h).
void rewritegalaxy(const Definitions& definitions, const hostenv::Lines& galaxy, std::string& out);
int findoldline(const Definitions& definitions, std::string_view galaxyline);
int blockofline(const Definitions& definitions, int r);
double writenewblock(const Definitions& definitions, int p, std::size_t k,
                     const hostenv::Lines& galaxy, std::string& out);

// What a rewrite wrote, and how it failed if it did: two rewrites agree when these do.
struct Outcome {
    std::string out;
    std::string failure;
    bool failed = false;
};

template <class Rewrite>
Outcome outcome(Rewrite rewrite) {
    Outcome result;
    try {
        rewrite(result.out);
    } catch (const hostenv::Failure& failure) {
        result.failed = true;
        result.failure = failure.what();
    }
    return result;
}

}  // namespace transcription
