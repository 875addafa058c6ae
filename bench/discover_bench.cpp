// Discovery as galmend's findgalaxies does it (the walk of both galaxy folders, with no window)
// on a large folder tree against a plain recursive listing that collects the same "*.galaxy"
// paths.
//   discover_bench [--root DIR] [--folders 10000] [--files 100000]
//                  [--rounds 5] [--keep]
//   discover_bench --siblings 3000 [--root DIR] [--rounds 5] [--keep]
// The second shape is a game folder with that many subfolders directly in it, one galaxy
// in each.
// With --keep the tree stays and a later run with the same shape uses it again.
#include <filesystem>
#include <iomanip>
#include <iostream>

#include "benchgame.h"
#include "corpus.h"
#include "hostenv/walker.h"

namespace fs = std::filesystem;
using bench::seconds;

int main(int argc, char** argv) {
    try {
        const bench::Options options(argc, argv);
        const fs::path root =
            fs::absolute(options.text("root", bench::defaultroot("zarnbench-discover").string()));
        const bench::TreeShape shape = bench::treeshape(options);
        const auto rounds = static_cast<int>(options.number("rounds", 5));

        fs::create_directories(root);
        int galaxies = 0;
        const double making = seconds([&] { galaxies = bench::preparetree(root, shape); });
        const auto files = bench::hostfiles(root);
        const auto folders = bench::benchgalaxyfolders(*files, root, root / "game");

        std::size_t plaincount = 0;
        hostenv::Lines found;
        const auto plain = [&] { plaincount = bench::plainsearch(root / "game").size(); };
        const auto walk = [&] {
            found.clear();
            hostenv::Walked walked;
            for (const auto& folder : folders) {
                hostenv::walkfolders(files->fs(), folder, "*.galaxy", {}, walked, found);
            }
        };
        plain();  // the first listing brings the folders into the cache
        std::vector<double> walks, listings;
        for (int round = 0; round < rounds; ++round) {
            walks.push_back(seconds(walk));
            listings.push_back(seconds(plain));
        }
        if (found.size() != static_cast<std::size_t>(galaxies) || plaincount != found.size()) {
            std::cerr << "the walk found " << found.size() << ", the plain listing " << plaincount
                      << ", the tree holds " << galaxies << "\n";
            return 1;
        }
        std::cout << "discovery benchmark (" << bench::hostname() << "): " << shape.folders
                  << " folders, " << shape.files << " files, " << galaxies
                  << " galaxies (tree ready in " << std::fixed << std::setprecision(1) << making
                  << " s), times in s\n";
        bench::report("walk", walks);
        bench::report("plain listing", listings);
        const double ratio = bench::median(walks) / bench::median(listings);
        // Sibling folders of one galaxy each cost the walk nothing a plain listing does not
        // pay too: one reading per folder.
        const double target = options.has("siblings") ? 1.5 : bench::discoverytarget();
        std::cout << std::setprecision(2) << "walk / plain listing: " << ratio << " (target "
                  << std::setprecision(1) << target << (ratio <= target ? ": met)" : ": missed)")
                  << "\n";
        if (!options.has("keep")) {
            fs::current_path(root.parent_path());
            fs::remove_all(root);
        }
        return 0;
    } catch (const std::exception& failure) {
        std::cerr << "discover_bench: " << failure.what() << "\n";
        return 1;
    }
}
