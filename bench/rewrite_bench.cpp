// Block rewriting throughput, in galaxy lines per second, for old definitions of
// growing length: the engine should not slow down with it, the transcription does.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <random>

#include "hostenv/lineends.h"
#include "rewrite.h"
#include "transcription.h"

namespace {

using hostenv::Lines;

constexpr int galaxylines = 20000;

// Names of one width, so that the galaxy has the same shape for every definition length.
std::string blockname(int b) {
    std::string digits = std::to_string(b);
    return "object" + std::string(3 - std::min<std::size_t>(3, digits.size()), '0') + digits;
}

// Definitions of blocks of four counted lines (five in the new format), and a galaxy
// made of instances of random blocks with unrecognised lines between them.
struct Corpus {
    explicit Corpus(int oldlines) {
        oldstruct = {"$1", "version"};
        newstruct = {"$1", "version 4"};
        const int blocks = std::max(1, (oldlines - 2) / 5);
        for (int b = 0; b < blocks; ++b) {
            const std::string name = blockname(b);
            oldstruct.insert(oldstruct.end(), {name + " $4", name + " name", name + " owner",
                                               name + " moons", name + " rings"});
            newstruct.insert(newstruct.end(),
                             {name + " $5", name + " name #", name + " owner ##", name + " moons",
                              name + " rings 0", name + " shields 1"});
        }
        while (static_cast<int>(oldstruct.size()) < oldlines) oldstruct.push_back("remark");
        oldblocks = galmend::blocktable(oldstruct, "oldstruct.txt");
        newblocks = galmend::blocktable(newstruct, "newstruct.txt");

        std::mt19937 random(7);
        galaxy = {"begin", "version 3"};
        while (static_cast<int>(galaxy.size()) < galaxylines) {
            if (random() % 10 < 3) {
                galaxy.push_back("; note " + std::to_string(random() % 1000));
                continue;
            }
            const std::string name =
                blockname(static_cast<int>(random() % static_cast<unsigned>(blocks)));
            galaxy.insert(galaxy.end(),
                          {name + " name Vega", name + " owner 2",
                           name + " moons " + std::to_string(random() % 100), name + " rings 3"});
        }
        galaxy.push_back("end");
        for (const auto& line : galaxy) text += line + "\r\n";
    }

    Lines oldstruct, newstruct, galaxy;
    std::string text;  // the galaxy's bytes, which the engine takes
    galmend::BlockTable oldblocks, newblocks;
};

void Engine(benchmark::State& state) {
    const Corpus corpus(static_cast<int>(state.range(0)));
    const galmend::Rewriter rewriter(corpus.oldstruct, corpus.oldblocks, corpus.newstruct,
                                     corpus.newblocks);
    std::string out;
    for (auto _ : state) {
        out.clear();
        rewriter.rewritegalaxy(corpus.text, out);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(corpus.galaxy.size()));
}

void Transcription(benchmark::State& state) {
    const Corpus corpus(static_cast<int>(state.range(0)));
    const transcription::Definitions rules{corpus.oldstruct, corpus.oldblocks, corpus.newstruct,
                                           corpus.newblocks};
    std::string out;
    for (auto _ : state) {
        out.clear();
        transcription::rewritegalaxy(rules, corpus.galaxy, out);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(corpus.galaxy.size()));
}

// What building the index costs, once per run of the conversion.
void BuildIndex(benchmark::State& state) {
    const Corpus corpus(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        const galmend::Rewriter rewriter(corpus.oldstruct, corpus.oldblocks, corpus.newstruct,
                                         corpus.newblocks);
        benchmark::DoNotOptimize(&rewriter);
    }
}

// The line-end scan alone over 4 MB of galaxy-like lines of 5 to 40 bytes, by one way of
// searching a block; bytes per second.
template <hostenv::BlockSearch search>
void LineEndScan(benchmark::State& state) {
#if defined(HOSTENV_SSE2_LANES)
    if (search == hostenv::crlfbitssse2 && !hostenv::sse2lanes) {
        state.SkipWithError("the processor has no SSE2");
        return;
    }
#endif
    std::mt19937 random(3);
    std::string text;
    while (text.size() < (std::size_t{4} << 20)) {
        text.append(5 + random() % 36, static_cast<char>('a' + random() % 26));
        text += "\r\n";
    }
    for (auto _ : state) {
        hostenv::LineEndsBy<search> ends(text);
        std::size_t last = 0;
        for (std::size_t end = ends.next(); end != text.size(); end = ends.next()) last = end;
        benchmark::DoNotOptimize(last);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(text.size()));
}

BENCHMARK(LineEndScan<hostenv::crlfbitsportable>)->Name("LineEndScan/words");
#if defined(HOSTENV_SSE2_LANES)
BENCHMARK(LineEndScan<hostenv::crlfbitssse2>)->Name("LineEndScan/sse2");
#endif

BENCHMARK(Engine)->Arg(10)->Arg(100)->Arg(1000);
BENCHMARK(Transcription)->Arg(10)->Arg(100)->Arg(1000);
BENCHMARK(BuildIndex)->Arg(10)->Arg(100)->Arg(1000);

}  // namespace

BENCHMARK_MAIN();
