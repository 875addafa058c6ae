// Holds the block rewriting engine to the line-by-line transcription. The input is the
// old definition, the new definition and the galaxy, separated by NUL bytes, each cut
// into lines at CR LF as the files are.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "hostenv/failure.h"
#include "hostenv/text.h"
#include "rewrite.h"
#include "structure.h"
#include "transcription.h"

namespace {

// The next part up to a NUL byte, or the rest.
std::string_view part(std::string_view& input) {
    const auto end = input.find('\0');
    const auto taken = input.substr(0, end);
    input.remove_prefix(end == std::string_view::npos ? input.size() : end + 1);
    return taken;
}

[[noreturn]] void mismatch(const char* what, const transcription::Outcome& engine,
                           const transcription::Outcome& rules) {
    std::fprintf(stderr, "engine and transcription differ in %s\nengine: %s\nrules: %s\n", what,
                 engine.failed ? engine.failure.c_str() : "no failure",
                 rules.failed ? rules.failure.c_str() : "no failure");
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view input(reinterpret_cast<const char*>(data), size);
    const hostenv::Lines oldstruct = hostenv::splitlines(part(input));
    const hostenv::Lines newstruct = hostenv::splitlines(part(input));
    const hostenv::Lines galaxy = hostenv::splitlines(input);

    galmend::BlockTable oldblocks;
    galmend::BlockTable newblocks;
    try {
        oldblocks = galmend::blocktable(oldstruct, "oldstruct.txt");
        newblocks = galmend::blocktable(newstruct, "newstruct.txt");
    } catch (const hostenv::Failure&) {
        return 0;  // the loader refuses such definitions before any galaxy is read
    }

    const galmend::Rewriter engine(oldstruct, oldblocks, newstruct, newblocks);
    const transcription::Definitions rules{oldstruct, oldblocks, newstruct, newblocks};
    for (const auto& line : galaxy) {
        if (engine.findoldline(line) != transcription::findoldline(rules, line)) {
            std::fprintf(stderr, "findoldline differs on \"%s\"\n", line.c_str());
            std::abort();
        }
    }
    const transcription::Outcome fromengine =
        transcription::outcome([&](std::string& out) { engine.rewritegalaxy(input, out); });
    const transcription::Outcome fromrules = transcription::outcome(
        [&](std::string& out) { transcription::rewritegalaxy(rules, galaxy, out); });
    if (fromengine.failed != fromrules.failed || fromengine.failure != fromrules.failure) {
        mismatch("failure", fromengine, fromrules);
    }
    if (fromengine.out != fromrules.out) mismatch("output", fromengine, fromrules);
    return 0;
}
