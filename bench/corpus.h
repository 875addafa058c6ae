// Generated test material for the benchmarks: old-format galaxies of the demo format
// (data/oldstruct.txt, version 3) and folder trees of galaxy files. The same seed gives
// the same bytes on every platform.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace bench {

// A small generator whose output does not depend on the standard library's distributions.
class Random {
  public:
    explicit Random(std::uint64_t seed) : state_(seed) {}
    std::uint64_t next();
    // Uniform in [low, high].
    std::uint64_t between(std::uint64_t low, std::uint64_t high);

  private:
    std::uint64_t state_;
};

// Writes an old-format galaxy of about bytes bytes (at least one block) with CR LF lines.
void writegalaxy(const std::filesystem::path& file, std::uint64_t bytes, std::uint64_t seed);

struct ConversionCorpus {
    std::uint64_t bytes = 0;
    std::vector<std::filesystem::path> galaxies;
};

// A game folder of about totalbytes of galaxies: many of 10 KB to 2 MB, spread over a few
// subfolders, and large ones for the rest.
ConversionCorpus writeconversioncorpus(const std::filesystem::path& gamefolder,
                                       std::uint64_t totalbytes, std::uint64_t seed);

// A game folder of count galaxies of about bytes each, all in the folder itself.
ConversionCorpus writeuniformcorpus(const std::filesystem::path& gamefolder, int count,
                                    std::uint64_t bytes, std::uint64_t seed);

struct TreeShape {
    int folders = 10000;  // the start folder included
    int files = 100000;
    int fanout = 10;       // subfolders per folder, filled breadth first
    int othereveryn = 10;  // about one file in n is not a galaxy; 0: every file is one
};

// A start folder of count subfolders and one galaxy in each folder, the start folder's too.
TreeShape siblingshape(int count);

// A folder tree of empty files; returns how many of them are galaxies.
int writetree(const std::filesystem::path& root, const TreeShape& shape, std::uint64_t seed);

// The tree of shape in root/game, kept from an earlier run when root/shape.txt records the
// same shape; returns how many galaxies it holds.
int preparetree(const std::filesystem::path& root, const TreeShape& shape);

}  // namespace bench
