// Writes benchmark material by hand, for runs outside the benchmarks:
//   corpus galaxy FILE BYTES [SEED]
//   corpus conversion FOLDER MEGABYTES [SEED]
//   corpus galaxies FOLDER COUNT KILOBYTES [SEED]
//   corpus tree FOLDER [FOLDERS FILES [SEED]]
#include <cstdlib>
#include <iostream>
#include <string>

#include "corpus.h"

namespace {

int usage() {
    std::cerr << "usage: corpus galaxy FILE BYTES [SEED]\n"
                 "       corpus conversion FOLDER MEGABYTES [SEED]\n"
                 "       corpus galaxies FOLDER COUNT KILOBYTES [SEED]\n"
                 "       corpus tree FOLDER [FOLDERS FILES [SEED]]\n";
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) return usage();
    const std::string what = argv[1];
    const auto number = [&](int i, std::uint64_t fallback) {
        return i < argc ? std::strtoull(argv[i], nullptr, 10) : fallback;
    };
    try {
        if (what == "galaxy" && argc >= 4) {
            bench::writegalaxy(argv[2], number(3, 0), number(4, 1));
        } else if (what == "conversion" && argc >= 4) {
            const auto corpus =
                bench::writeconversioncorpus(argv[2], number(3, 0) << 20, number(4, 1));
            std::cout << corpus.galaxies.size() << " galaxies, " << corpus.bytes << " bytes\n";
        } else if (what == "galaxies" && argc >= 5) {
            const auto corpus = bench::writeuniformcorpus(argv[2], static_cast<int>(number(3, 0)),
                                                          number(4, 0) << 10, number(5, 1));
            std::cout << corpus.galaxies.size() << " galaxies, " << corpus.bytes << " bytes\n";
        } else if (what == "tree") {
            bench::TreeShape shape;
            shape.folders = static_cast<int>(number(3, 10000));
            shape.files = static_cast<int>(number(4, 100000));
            std::cout << bench::writetree(argv[2], shape, number(5, 1)) << " galaxies\n";
        } else {
            return usage();
        }
    } catch (const std::exception& failure) {
        std::cerr << failure.what() << "\n";
        return 1;
    }
    return 0;
}
