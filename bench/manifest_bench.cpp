// tallyhold's search and manifest writer (searchgalaxies, then writemanifest into the game
// folder) on a large folder tree, against a plain recursive listing that collects the
// same galaxy names and writes the same manifest text with one plain write.
//   manifest_bench [--root DIR] [--folders 10000] [--files 100000] [--rounds 5] [--keep]
// With --keep the tree stays and a later run with the same shape (of this benchmark or
// discover_bench) uses it again.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <iostream>
#include <sstream>

#include "benchgame.h"
#include "corpus.h"
#include "hostenv/paths.h"
#include "tallyhold.h"

namespace fs = std::filesystem;
using bench::seconds;

namespace {

constexpr std::size_t galaxyending = 7;  // ".galaxy"

// Every round writes a new manifest, not one beside a previous one.
void removemanifests(const fs::path& gamefolder) {
    fs::remove(gamefolder / "galaxy.manifest");
    fs::remove(gamefolder / "galaxy.manifest.old");
}

std::string readfile(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

hostenv::Lines plainnames(const fs::path& gamefolder) {
    hostenv::Lines names;
    for (const std::string& path : bench::plainsearch(gamefolder)) {
        const std::size_t start = path.find_last_of("/\\") + 1;
        names.push_back(path.substr(start, path.size() - start - galaxyending));
    }
    return names;
}

// Whether tallyhold and the plain listing wrote the same names, every galaxy of the tree,
// in the same manifest text; only their order may differ. Says what differs when not.
bool samemanifest(const std::string& written, hostenv::Lines tallyholdnames, hostenv::Lines plain,
                  int galaxies) {
    const bool sametext = written == tallyhold::manifesttext(tallyholdnames) &&
                          written.size() == tallyhold::manifesttext(plain).size();
    std::sort(tallyholdnames.begin(), tallyholdnames.end());
    std::sort(plain.begin(), plain.end());
    if (tallyholdnames.size() == static_cast<std::size_t>(galaxies) && tallyholdnames == plain &&
        sametext) {
        return true;
    }
    std::cerr << "tallyhold found " << tallyholdnames.size() << " galaxies, the plain "
              << "listing " << plain.size() << ", the tree holds " << galaxies
              << (sametext ? "" : "; the manifests differ") << "\n";
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        const bench::Options options(argc, argv);
        const fs::path root =
            fs::absolute(options.text("root", bench::defaultroot("zarnbench-manifest").string()));
        const bench::TreeShape shape = bench::treeshape(options);
        const auto rounds = static_cast<int>(options.number("rounds", 5));
        const fs::path game = root / "game";

        fs::create_directories(root);
        int galaxies = 0;
        const double making = seconds([&] { galaxies = bench::preparetree(root, shape); });
        const auto files = bench::hostfiles(root);
        const std::string gamefolder = hostenv::withseparator(files->windowspath(game));

        hostenv::Lines plain;
        const auto plainrun = [&] {
            plain = plainnames(game);
            bench::writefile(game / "galaxy.manifest", tallyhold::manifesttext(plain));
        };
        removemanifests(game);
        plainnames(game);  // the first listing brings the folders into the cache
        std::vector<double> searches, writes, totals, plains;
        hostenv::Lines tallyholdnames;
        std::string written;
        for (int round = 0; round < rounds; ++round) {
            // A fresh window each round: the search adds its names to the found-list text.
            bench::BenchTallyhold tallyhold(*files, root, game);
            removemanifests(game);
            searches.push_back(seconds([&] { tallyhold.form().searchgalaxies(); }));
            writes.push_back(seconds([&] { tallyhold.form().writemanifest(gamefolder); }));
            totals.push_back(searches.back() + writes.back());
            tallyholdnames = tallyhold.form().galaxynames;
            if (round == 0) written = readfile(game / "galaxy.manifest");
            removemanifests(game);
            plains.push_back(seconds(plainrun));
        }
        removemanifests(game);

        if (!samemanifest(written, tallyholdnames, plain, galaxies)) return 1;
        std::cout << "manifest benchmark (" << bench::hostname() << "): " << shape.folders
                  << " folders, " << shape.files << " files, " << galaxies << " galaxies, manifest "
                  << written.size() << " bytes (tree ready in " << std::fixed
                  << std::setprecision(1) << making << " s), times in s\n";
        bench::report("search + manifest", totals);
        bench::report("  searchgalaxies", searches);
        bench::report("  writemanifest", writes);
        bench::report("plain listing + write", plains);
        std::cout << std::setprecision(2) << "search + manifest / plain listing + write: "
                  << bench::median(totals) / bench::median(plains) << "\n";
        if (!options.has("keep")) fs::remove_all(root);
        return 0;
    } catch (const std::exception& failure) {
        std::cerr << "manifest_bench: " << failure.what() << "\n";
        return 1;
    }
}
