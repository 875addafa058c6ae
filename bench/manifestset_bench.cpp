// What tallyhold's backup sets cost: "tallyhold /s" over many manifests, which keeps every one
// it removes or replaces in a set, against the same run with the set written to nowhere
// (DiscardBackups); and "tallyhold /restore" of that set against the least a safe write of the
// same files must do (each written beside, flushed and moved into place). Both programs run
// from Form_Load, as a player starts them. Each round runs every one of them once, the two runs
// of /s taken in turn first; the restore follows the /s that wrote its set, the safe writes the
// /s without one, each on the files that run left.
//   manifestset_bench [--root DIR] [--manifests 400] [--rounds 7]
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <iostream>
#include <memory>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "benchgame.h"
#include "corpus.h"
#include "hostenv/safereplace.h"
#include "tallyhold.h"

namespace {

namespace fs = std::filesystem;
using bench::seconds;

struct Manifest {
    fs::path path;
    std::string bytes;
};

struct Setting {
    fs::path root;
    std::unique_ptr<bench::HostFiles> files;
    std::vector<Manifest> manifests;  // the game folder's own first
    int galaxies = 0;

    fs::path appdata() const { return root / "appdata"; }
    fs::path backups() const { return appdata() / "tallyhold backups"; }
};

// The game folder's own manifest, and the rest in folders of their own: three in four below the
// game folder, two levels down, the others in the player's galaxy folder; a galaxy or two in
// every third folder. Each manifest lists 10 to 170 galaxies: 0.25 to 4 KB.
void writecorpus(Setting& setting, int count) {
    bench::Random random(20240611);
    const fs::path game = setting.root / "game";
    const fs::path user = setting.appdata() / "Corvatek" / "Halcyrion";
    for (int i = 0; i < count; ++i) {
        const std::string pack = "Pack " + std::to_string(i);
        const fs::path folder = i == 0       ? game
                                : i % 4 == 0 ? user / pack
                                             : game / ("Sector " + std::to_string(i % 20)) / pack;
        fs::create_directories(folder);
        hostenv::Lines names(static_cast<std::size_t>(random.between(10, 170)));
        for (auto& name : names) name = "Map " + std::to_string(random.next() % 100000);
        setting.manifests.push_back({folder / "galaxy.manifest", tallyhold::manifesttext(names)});
        bench::writefile(setting.manifests.back().path, setting.manifests.back().bytes);
        for (int g = 0; i % 3 == 0 && g < 1 + i % 2; ++g) {
            bench::writefile(folder / (pack + " " + std::to_string(g) + ".galaxy"), "");
            ++setting.galaxies;
        }
    }
    bench::writetargetversion(setting.root);
    fs::current_path(setting.root / "tools");
}

// Runs tallyhold with args to its end; throws unless it ended with exit code 0.
void runtallyhold(Setting& setting, const std::string& args, bench::Backups backups) {
    auto& files = *setting.files;
    bench::StartedPlatform platform(args, files.windowspath(setting.root / "game"),
                                    files.windowspath(setting.appdata()));
    bench::EndingUi ui;
    bench::DiscardBackups discard(files.fs());
    tallyhold::Tallyhold form(backups == bench::Backups::kept ? files.fs() : discard, platform, ui);
    try {
        form.load();
    } catch (const bench::Ended& ended) {
        if (ended.code == 0) return;
        const auto& said = !ui.boxes.empty() ? ui.boxes : ui.reported;
        throw std::runtime_error("tallyhold " + args + " ended with exit code " +
                                 std::to_string(ended.code) + (said.empty() ? "" : ": ") +
                                 (said.empty() ? "" : said.back()));
    }
    throw std::runtime_error("tallyhold " + args + " did not end");
}

// Throws unless every manifest holds its old bytes again (before), or only the game folder's
// own is there, with new bytes (after /s).
void check(const Setting& setting, bool before, const char* after) {
    for (std::size_t i = 0; i < setting.manifests.size(); ++i) {
        const auto& [path, bytes] = setting.manifests[i];
        std::ifstream in(path, std::ios::binary);
        std::ostringstream held;
        if (in) held << in.rdbuf();
        const bool there = static_cast<bool>(in);
        const bool right = before ? there && held.str() == bytes
                                  : there == (i == 0) && (i > 0 || held.str() != bytes);
        if (!right) throw std::runtime_error(std::string("after ") + after + ": " + path.string());
    }
}

// The least that putting the same files back must do: each written beside itself, flushed
// and moved into place (over the game folder's own manifest, which /s replaced).
void safewrites(Setting& setting) {
    auto& files = *setting.files;
    for (std::size_t i = 0; i < setting.manifests.size(); ++i) {
        const auto& [path, bytes] = setting.manifests[i];
        hostenv::StagedFile staged(files.fs(), files.windowspath(path), bytes);
        if (i == 0) {
            staged.replace();
        } else {
            staged.create();
        }
    }
}

std::uint64_t bytesbelow(const fs::path& folder) {
    std::uint64_t bytes = 0;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        if (entry.is_regular_file()) bytes += entry.file_size();
    }
    return bytes;
}

std::string ratioline(const char* what, const std::vector<double>& first,
                      const std::vector<double>& second, double target) {
    const double ratio = bench::median(first) / bench::median(second);
    std::ostringstream line;
    line << std::fixed << std::setprecision(2) << what << ratio << " of the medians (target "
         << std::setprecision(1) << target << (ratio <= target ? ": met)" : ": missed)") << "\n";
    return line.str();
}

}  // namespace

int main(int argc, char** argv) {
    try {
        const bench::Options options(argc, argv);
        Setting setting;
        setting.root = fs::absolute(
            options.text("root", bench::defaultroot("zarnbench-manifestset").string()));
        const auto count = static_cast<int>(options.number("manifests", 400));
        const auto rounds = static_cast<int>(options.number("rounds", 7));
        fs::remove_all(setting.root);
        fs::create_directories(setting.root);
        setting.files = bench::hostfiles(setting.root);
        writecorpus(setting, count);
        bench::syncfolder(setting.root);

        std::vector<double> kept, discarded, restored, written;
        std::uint64_t setsize = 0;
        const auto timed = [&](std::vector<double>& into, auto&& work) {
            into.push_back(seconds(work));
            bench::syncfolder(setting.root);
        };
        const auto withset = [&] {
            timed(kept, [&] { runtallyhold(setting, "/s", bench::Backups::kept); });
            check(setting, false, "/s");
            setsize = bytesbelow(setting.backups());
            timed(restored, [&] { runtallyhold(setting, "/restore", bench::Backups::kept); });
            check(setting, true, "/restore");
            fs::remove_all(setting.backups());
        };
        const auto withoutset = [&] {
            timed(discarded, [&] { runtallyhold(setting, "/s", bench::Backups::discarded); });
            check(setting, false, "/s with the set discarded");
            timed(written, [&] { safewrites(setting); });
            check(setting, true, "the safe writes");
        };
        for (int round = 0; round < rounds; ++round) bench::inturn(round, withset, withoutset);

        std::cout << "manifest backup set benchmark (" << bench::hostname() << "): " << count
                  << " manifests, " << bytesbelow(setting.root / "game") / 1024 << " KB in the "
                  << "game folder and " << bytesbelow(setting.appdata()) / 1024
                  << " KB in the player's, " << setting.galaxies << " galaxies, set "
                  << setsize / 1024 << " KB, times in s\n";
        bench::report("tallyhold /s", kept);
        bench::report("  set discarded", discarded);
        bench::report("tallyhold /restore", restored);
        bench::report("safe writes", written);
        std::cout << ratioline("/s / /s with the set discarded: ", kept, discarded, 1.3)
                  << ratioline("/restore / safe writes:         ", restored, written, 1.2);
        fs::current_path(setting.root.parent_path());
        fs::remove_all(setting.root);
        return 0;
    } catch (const std::exception& failure) {
        std::cerr << "manifestset_bench: " << failure.what() << "\n";
        return 1;
    }
}
