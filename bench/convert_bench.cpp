// A whole conversion (galmend's findgalaxies and fixgalaxies on a game folder, keeping the old
// galaxies in a backup set as a fix does) against the same conversion with the set written to
// nowhere, against the least a safe rewrite must do (each galaxy's bytes written to a file
// beside it, flushed to the disk and moved over it), and against copying the same galaxies,
// each copy flushed and not flushed; and the restore of the set beside the conversion.
//   convert_bench [--root DIR] [--data DIR] [--megabytes 200] [--rounds 3] [--keep]
//   convert_bench --galaxies 5000 --kilobytes 10 [--root DIR] [--data DIR] [--rounds 3]
//   convert_bench --peak MEGABYTES [--root DIR] [--data DIR]
//   convert_bench --restorepeak [--root DIR] [--data DIR]
//   convert_bench --rewrite MEGABYTES [--rounds 15] [--root DIR] [--data DIR]
//   convert_bench --check [--galaxies 5000] [--kilobytes 10] [--rounds 3] [--root DIR] [--data DIR]
//   convert_bench --checkpeak [--from 500] [--galaxies 5000] [--kilobytes 10] [--root DIR]
//       [--data DIR]
// The first form converts a mixed corpus of that size, the second that many galaxies of
// one size, all in the game folder itself. The third converts one galaxy of that size, its
// backup set kept, and reports the peak memory; run it in a fresh process. It then runs the
// fourth in a process of its own, which restores the set a conversion of one galaxy left
// under the root (the third with --keep) and reports the peak memory. The fifth times the
// rewriting alone of one galaxy of that size, read once, so that builds for different
// processors can be compared without the files' cost. The sixth times galmend /check against
// galmend /s, and the seventh gives the peak memory of /check over fewer and more galaxies.
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <iostream>
#include <sstream>
#include <stdexcept>

#include "benchgame.h"
#include "corpus.h"
#include "galaxysets.h"
#include "hostenv/backup/backupset.h"
#include "hostenv/backup/undo.h"
#include "hostenv/failure.h"
#include "hostenv/text.h"
#include "rewrite.h"

namespace {

namespace fs = std::filesystem;
using bench::seconds;

constexpr std::uint64_t seed = 20240611;
constexpr double megabyte = 1024.0 * 1024.0;

struct Setting {
    fs::path root;
    fs::path data;
};

// Runs findgalaxies and fixgalaxies; returns how many galaxies were rewritten.
long long convert(const Setting& setting, bench::Backups backups = bench::Backups::kept) {
    const auto files = bench::hostfiles(setting.root);
    bench::BenchGalmend galmend(*files, setting.root, setting.root / "game", setting.data, backups);
    galmend.form().findgalaxies();
    galmend.form().fixgalaxies();
    return static_cast<long long>(hostenv::leadingnumber(galmend.form().updatedlabel.caption()));
}

// Throws unless the conversion rewrote every galaxy of the corpus.
void checkconverted(long long rewritten, const bench::ConversionCorpus& corpus) {
    if (rewritten != static_cast<long long>(corpus.galaxies.size())) {
        throw std::runtime_error("only " + std::to_string(rewritten) + " of " +
                                 std::to_string(corpus.galaxies.size()) +
                                 " galaxies were rewritten");
    }
}

fs::path backupsfolder(const Setting& setting) {
    return setting.root / "appdata" / "galmend backups";
}

// Puts the newest backup set back as "galmend /restore" does; throws unless all the galaxies
// it holds, as many as given, hold their old bytes again.
void restore(const Setting& setting, std::size_t galaxies) {
    const auto files = bench::hostfiles(setting.root);
    bench::RecordingUi ui;
    const hostenv::Lines originalmaps;
    const auto scope =
        galmend::restorescope({files->windowspath(setting.root / "game"), ""}, originalmaps);
    const auto offer = hostenv::backup::restoreoffer(
        files->fs(), files->windowspath(backupsfolder(setting)), scope);
    if (!offer.set) throw std::runtime_error("there is no backup set to restore");
    const auto run = hostenv::backup::restorefrom(files->fs(), offer, {});
    const bool whole = hostenv::backup::reportrestore(galmend::galaxysets(), offer, run, ui, true);
    const std::string expected = "Restored " + std::to_string(galaxies) + " of the ";
    if (!whole || !ui.boxes.empty() || ui.reported.empty() ||
        !ui.reported.back().starts_with(expected)) {
        throw std::runtime_error(
            "the restore did not put back every galaxy: " +
            (ui.boxes.empty() ? ui.reported.empty() ? "" : ui.reported.back() : ui.boxes.front()));
    }
}

double copyall(const bench::ConversionCorpus& corpus, const fs::path& copies, bool flush) {
    fs::remove_all(copies);
    fs::create_directories(copies);
    bench::syncfolder(copies.parent_path());
    const double time = seconds([&] {
        int i = 0;
        for (const auto& galaxy : corpus.galaxies) {
            bench::copyfile(galaxy, copies / (std::to_string(i++) + ".copy"), flush);
        }
    });
    bench::syncfolder(copies);
    fs::remove_all(copies);
    return time;
}

double replaceall(const bench::ConversionCorpus& corpus) {
    return seconds([&] {
        for (const auto& galaxy : corpus.galaxies) bench::replacewithcopy(galaxy);
    });
}

bench::ConversionCorpus writecorpus(const fs::path& gamefolder, const bench::Options& options) {
    if (options.has("galaxies")) {
        return bench::writeuniformcorpus(
            gamefolder, static_cast<int>(options.number("galaxies", 0)),
            static_cast<std::uint64_t>(options.number("kilobytes", 10)) << 10, seed);
    }
    const auto megabytes = static_cast<std::uint64_t>(options.number("megabytes", 200));
    return bench::writeconversioncorpus(gamefolder, megabytes << 20, seed);
}

void report(const char* what, const std::vector<double>& times, std::uint64_t bytes) {
    const double middle = bench::median(times);
    std::cout << std::left << std::setw(22) << what << std::right << std::fixed
              << std::setprecision(3);
    for (double time : times) std::cout << std::setw(9) << time;
    std::cout << "   median " << middle << " s, " << std::setprecision(1)
              << static_cast<double>(bytes) / megabyte / middle << " MB/s\n";
}

std::uint64_t setbytes(const Setting& setting) {
    std::uint64_t bytes = 0;
    for (const auto& entry : fs::directory_iterator(backupsfolder(setting))) {
        if (entry.is_regular_file()) bytes += entry.file_size();
    }
    return bytes;
}

std::string verdict(double ratio, double target) {
    std::ostringstream text;
    text << std::fixed << std::setprecision(1) << " (target " << target
         << (ratio <= target ? ": met)" : ": missed)");
    return text.str();
}

// The times of the conversion's rounds: the fix with and without its backup set, the
// restore, and what the fix is measured against.
struct Times {
    std::vector<double> conversion, without, restored, replaced, flushed, plain;
};

void printthroughput(const Times& times, const bench::ConversionCorpus& corpus,
                     std::uint64_t setsize) {
    const auto& [conversion, without, restored, replaced, flushed, plain] = times;
    std::cout << "conversion benchmark (" << bench::hostname() << "): " << corpus.galaxies.size()
              << " galaxies, " << std::fixed << std::setprecision(1)
              << static_cast<double>(corpus.bytes) / megabyte << " MB, backup set "
              << static_cast<double>(setsize) / megabyte << " MB, times in s\n"
              << "conversion: the fix as it runs, keeping the old galaxies in a backup set\n";
    report("conversion", conversion, corpus.bytes);
    report("conversion, no backup", without, corpus.bytes);
    report("restore of the set", restored, corpus.bytes);
    report("safe replacement", replaced, corpus.bytes);
    report("copy, each flushed", flushed, corpus.bytes);
    report("copy, not flushed", plain, corpus.bytes);
    // Each round's pair runs back to back on the same galaxies, so their own ratio is what a
    // burst of load on a shared host disturbs least.
    const auto pairs = [&](const std::vector<double>& first, const std::vector<double>& second) {
        std::vector<double> ratios;
        for (std::size_t i = 0; i < first.size(); ++i) ratios.push_back(first[i] / second[i]);
        return ratios;
    };
    const std::vector<double> backupratios = pairs(conversion, without);
    // The restore runs right after the conversion whose set it puts back, on its galaxies.
    const std::vector<double> restoreratios = pairs(restored, conversion);
    for (std::size_t i = 0; i < backupratios.size(); ++i) {
        std::cout << std::setprecision(3) << "round " << i + 1 << ": conversion " << conversion[i]
                  << " s, without backup " << without[i] << " s ("
                  << (i % 2 == 0 ? "run second" : "run first") << "), ratio "
                  << std::setprecision(2) << backupratios[i] << "; restore " << std::setprecision(3)
                  << restored[i] << " s, restore / conversion " << std::setprecision(2)
                  << restoreratios[i] << "\n";
    }
    const double ratiobackup = bench::median(backupratios);
    const double ratiorestore = bench::median(restoreratios);
    const double ratioreplaced = bench::median(pairs(conversion, replaced));
    const double ratioflushed = bench::median(conversion) / bench::median(flushed);
    std::cout << std::setprecision(2) << "conversion / conversion without backup: " << ratiobackup
              << " round by round" << verdict(ratiobackup, 1.3) << "\n"
              << "restore / conversion:                   " << ratiorestore << " round by round"
              << verdict(ratiorestore, 1.1) << "\n"
              << "conversion / safe replacement:          " << ratioreplaced << " round by round, "
              << bench::median(conversion) / bench::median(replaced) << " of the medians"
              << verdict(ratioreplaced, 1.5) << "\n"
              << "conversion / flushed copy:              " << ratioflushed
              << verdict(ratioflushed, 2) << "\n"
              << "conversion / plain copy:                "
              << bench::median(conversion) / bench::median(plain) << "\n";
}

int throughput(const Setting& setting, const bench::Options& options) {
    const auto rounds = static_cast<int>(options.number("rounds", 3));
    Times times;
    auto& [conversion, without, restored, replaced, flushed, plain] = times;
    bench::ConversionCorpus corpus;
    std::uint64_t setsize = 0;
    const auto fresh = [&] {
        // The conversion changes the galaxies, so each conversion that a restore does not
        // follow needs a fresh corpus after it.
        fs::remove_all(setting.root / "game");
        corpus = writecorpus(setting.root / "game", options);
        bench::syncfolder(setting.root);
    };
    const auto timed = [&](std::vector<double>& into, auto&& work) {
        into.push_back(seconds(work));
        bench::syncfolder(setting.root);
    };
    const auto withbackups = [&] {
        timed(conversion, [&] { checkconverted(convert(setting), corpus); });
        setsize = setbytes(setting);
        timed(restored, [&] { restore(setting, corpus.galaxies.size()); });
    };
    const auto withoutbackups = [&] {
        timed(without,
              [&] { checkconverted(convert(setting, bench::Backups::discarded), corpus); });
    };
    const auto copies = [&] {
        flushed.push_back(copyall(corpus, setting.root / "copies", true));
        plain.push_back(copyall(corpus, setting.root / "copies", false));
    };
    for (int round = 0; round < rounds; ++round) {
        fresh();
        // Before the conversion, so that both rewrite the same old galaxies.
        timed(replaced, [&] { replaceall(corpus); });
        // Taken in turn first, so that neither always meets a cache the other warmed; the
        // restore gives the conversion after it the same old galaxies.
        if (round % 2 == 0) {
            withbackups();
            withoutbackups();
            copies();
        } else {
            withoutbackups();
            copies();
            fresh();
            withbackups();
        }
        fs::remove_all(backupsfolder(setting));
    }
    printthroughput(times, corpus, setsize);
    return 0;
}

// The one galaxy of --peak, --restorepeak and --rewrite.
fs::path onegalaxy(const Setting& setting) {
    return setting.root / "game" / "Expanse.galaxy";
}

int peak(const Setting& setting, long long megabytes) {
    fs::remove_all(setting.root / "game");
    fs::create_directories(setting.root / "game");
    const fs::path galaxy = onegalaxy(setting);
    bench::writegalaxy(galaxy, static_cast<std::uint64_t>(megabytes) << 20, seed);
    bench::syncfolder(setting.root);
    const auto size = static_cast<double>(fs::file_size(galaxy));
    const auto before = static_cast<double>(bench::peakmemory());
    const double time = seconds([&] { convert(setting); });
    const auto after = static_cast<double>(bench::peakmemory());
    const auto kept = static_cast<double>(setbytes(setting));
    const double limit = 3 * size + 16 * megabyte;
    std::cout << std::fixed << std::setprecision(1) << "peak memory converting one galaxy ("
              << bench::hostname() << "): galaxy " << size / megabyte << " MB, converted in "
              << std::setprecision(2) << time << " s, its old bytes kept in a backup set of "
              << std::setprecision(1) << kept / megabyte << " MB\n"
              << std::setprecision(1) << "peak before the conversion " << before / megabyte
              << " MB, peak of the process " << after / megabyte << " MB = " << std::setprecision(2)
              << after / size << " x the galaxy; target " << std::setprecision(1)
              << limit / megabyte << " MB: " << (after <= limit ? "met" : "missed") << "\n"
              << std::flush;
    // Whatever the conversion held is part of this process's peak: the restore gets its own.
    return bench::runself({"--restorepeak", "--root", setting.root.string(), "--data",
                           setting.data.string(), "--keep"});
}

int restorepeak(const Setting& setting) {
    const fs::path galaxy = onegalaxy(setting);
    const auto fixed = static_cast<double>(fs::file_size(galaxy));
    const auto before = static_cast<double>(bench::peakmemory());
    const double time = seconds([&] { restore(setting, 1); });
    const auto after = static_cast<double>(bench::peakmemory());
    const auto size = static_cast<double>(fs::file_size(galaxy));
    const double limit = 3 * size + 16 * megabyte;
    std::cout << std::fixed << std::setprecision(1) << "peak memory restoring one galaxy ("
              << bench::hostname() << "): galaxy " << size / megabyte << " MB again ("
              << fixed / megabyte << " MB as the fix left it), restored from its backup set in "
              << std::setprecision(2) << time << " s\n"
              << std::setprecision(1) << "peak before the restore " << before / megabyte
              << " MB, peak of the process " << after / megabyte << " MB = " << std::setprecision(2)
              << after / size << " x the galaxy; target " << std::setprecision(1)
              << limit / megabyte << " MB: " << (after <= limit ? "met" : "missed") << "\n";
    return 0;
}

int rewriteonly(const Setting& setting, long long megabytes, int rounds) {
    fs::remove_all(setting.root / "game");
    fs::create_directories(setting.root / "game");
    const fs::path galaxy = onegalaxy(setting);
    bench::writegalaxy(galaxy, static_cast<std::uint64_t>(megabytes) << 20, seed);
    const auto files = bench::hostfiles(setting.root);
    bench::BenchGalmend galmend(*files, setting.root, setting.root / "game", setting.data);
    const galmend::Galmend& form = galmend.form();
    // Built as fixgalaxies builds it, and the new text kept from round to round as there.
    const galmend::Rewriter rewriter(*form.oldstruct, form.oldblocks, *form.newstruct,
                                     form.newblocks);
    const std::string bytes = files->fs().readfile(files->windowspath(galaxy));
    std::string text;
    text.reserve(bytes.size() + bytes.size() / 4);
    std::vector<double> times;
    for (int round = 0; round < rounds; ++round) {
        text.clear();
        times.push_back(seconds([&] { rewriter.rewritegalaxy(bytes, text); }));
    }
    std::cout << "rewriting one galaxy (" << bench::hostname() << ", " << 8 * sizeof(void*)
              << "-bit): " << std::fixed << std::setprecision(1)
              << static_cast<double>(bytes.size()) / megabyte << " MB into "
              << static_cast<double>(text.size()) / megabyte << " MB, times in s\n";
    report("rewriting", times, bytes.size());
    return 0;
}

// Copies the galaxies of sources into a game folder made anew under root.
void freshgame(const Setting& setting, const bench::ConversionCorpus& sources) {
    const fs::path game = setting.root / "game";
    fs::remove_all(game);
    fs::create_directories(game);
    for (const auto& galaxy : sources.galaxies) {
        bench::copyfile(galaxy, game / galaxy.filename(), false);
    }
    bench::syncfolder(setting.root);
}

struct Ending {
    int code;
    long long rewritten;
};

// Starts galmend as a player does, with args, on root\game and the release data in root\tools.
Ending startgalmend(const Setting& setting, const std::string& args) {
    const auto files = bench::hostfiles(setting.root);
    bench::StartedPlatform platform(args, files->windowspath(setting.root / "game"),
                                    files->windowspath(setting.root / "appdata"));
    bench::EndingUi ui;
    galmend::Galmend form(files->fs(), platform, ui);
    try {
        form.load();
    } catch (const bench::Ended& ended) {
        if (!ui.boxes.empty()) throw std::runtime_error("galmend " + args + ": " + ui.boxes[0]);
        return {ended.code, form.rewritten};
    }
    throw std::runtime_error("galmend " + args + " did not end");
}

void expect(const Ending& ending, const std::string& args, int code, std::size_t galaxies) {
    if (ending.code != code || ending.rewritten != static_cast<long long>(galaxies)) {
        throw std::runtime_error("galmend " + args + " ended with exit code " +
                                 std::to_string(ending.code) + ", rewriting " +
                                 std::to_string(ending.rewritten) + " of " +
                                 std::to_string(galaxies) + " galaxies");
    }
}

std::string readbytes(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

// Throws if a check left a backup set or a galaxy other than it found it.
void changednothing(const Setting& setting, const bench::ConversionCorpus& sources) {
    bool same = !fs::exists(backupsfolder(setting));
    for (const auto& galaxy : sources.galaxies) {
        same = same && readbytes(galaxy) == readbytes(setting.root / "game" / galaxy.filename());
    }
    if (!same) throw std::runtime_error("galmend /check changed the game folder or kept a set");
}

// galmend /check against galmend /s, both from Form_Load on fresh copies of the same galaxies,
// taken in turn first.
int checkratio(const Setting& setting, const bench::Options& options) {
    const auto count = static_cast<int>(options.number("galaxies", 5000));
    const auto kilobytes = options.number("kilobytes", 10);
    const auto rounds = static_cast<int>(options.number("rounds", 3));
    const auto sources = bench::writeuniformcorpus(
        setting.root / "sources", count, static_cast<std::uint64_t>(kilobytes) << 10, seed);
    bench::installgalmend(setting.root, setting.data);
    fs::create_directories(setting.root / "appdata");
    std::vector<double> checks, fixes;
    const auto run = [&](std::vector<double>& into, const std::string& args, int code) {
        freshgame(setting, sources);
        Ending ending{};
        into.push_back(seconds([&] { ending = startgalmend(setting, args); }));
        bench::syncfolder(setting.root);
        expect(ending, args, code, sources.galaxies.size());
    };
    for (int round = 0; round < rounds; ++round) {
        const auto check = [&] {
            run(checks, "/check", hostenv::exitwouldchange);
            changednothing(setting, sources);
        };
        const auto fix = [&] {
            run(fixes, "/s", hostenv::exitnormal);
            fs::remove_all(backupsfolder(setting));
        };
        bench::inturn(round, check, fix);
    }
    std::cout << "check benchmark (" << bench::hostname() << "): " << count << " galaxies of "
              << kilobytes << " KB, each run from Form_Load on a fresh copy, times in s\n";
    report("galmend /check", checks, sources.bytes);
    report("galmend /s", fixes, sources.bytes);
    std::vector<double> ratios;
    for (int i = 0; i < rounds; ++i) {
        ratios.push_back(checks[i] / fixes[i]);
        std::cout << std::setprecision(3) << "round " << i + 1 << ": /check " << checks[i] << " s ("
                  << (i % 2 == 0 ? "run first" : "run second") << "), /s " << fixes[i]
                  << " s, ratio " << std::setprecision(2) << ratios.back() << "\n";
    }
    const double ratio = bench::median(ratios);
    std::cout << "/check / /s: " << ratio << " round by round, "
              << bench::median(checks) / bench::median(fixes) << " of the medians"
              << verdict(ratio, 0.5) << "\n";
    return 0;
}

// The peak memory of galmend /check over --from and then --galaxies galaxies of --kilobytes
// each, each in a process of its own. A check holds one galaxy at a time: the peaks may differ
// by the list of names, far less than a tenth of a galaxy for each galaxy more.
int checkpeaks(const Setting& setting, const bench::Options& options) {
    const long long counts[] = {options.number("from", 500), options.number("galaxies", 5000)};
    const auto kilobytes = options.number("kilobytes", 10);
    bench::installgalmend(setting.root, setting.data);
    fs::create_directories(setting.root / "appdata");
    double peaks[2] = {};
    for (int i = 0; i < 2; ++i) {
        fs::remove_all(setting.root / "game");
        bench::writeuniformcorpus(setting.root / "game", static_cast<int>(counts[i]),
                                  static_cast<std::uint64_t>(kilobytes) << 10, seed);
        bench::syncfolder(setting.root);
        if (bench::runself({"--checkpeakrun", std::to_string(counts[i]), "--root",
                            setting.root.string(), "--data", setting.data.string(), "--keep"}) !=
            0) {
            return 1;
        }
        peaks[i] = std::stod(readbytes(setting.root / "peak"));
    }
    const double pergalaxy = (peaks[1] - peaks[0]) / static_cast<double>(counts[1] - counts[0]);
    const double limit = 1024.0 * static_cast<double>(kilobytes) / 10;
    std::cout << std::fixed << std::setprecision(1) << "peak of " << counts[1] << " less peak of "
              << counts[0] << ": " << (peaks[1] - peaks[0]) / megabyte << " MB, "
              << std::setprecision(0) << pergalaxy << " bytes a galaxy more; target " << limit
              << " (a tenth of a galaxy): " << (pergalaxy <= limit ? "met" : "missed") << "\n";
    return 0;
}

int checkpeakrun(const Setting& setting, long long count) {
    const auto before = static_cast<double>(bench::peakmemory());
    Ending ending{};
    const double time = seconds([&] { ending = startgalmend(setting, "/check"); });
    const auto after = static_cast<double>(bench::peakmemory());
    expect(ending, "/check", hostenv::exitwouldchange, static_cast<std::size_t>(count));
    std::cout << std::fixed << std::setprecision(1) << "peak memory of galmend /check ("
              << bench::hostname() << ") over " << count << " galaxies, checked in "
              << std::setprecision(2) << time << " s: " << std::setprecision(1) << before / megabyte
              << " MB before the check, " << after / megabyte << " MB the process's peak\n";
    bench::writefile(setting.root / "peak", std::to_string(after));
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        const bench::Options options(argc, argv);
        const Setting setting{
            fs::absolute(options.text("root", bench::defaultroot("zarnbench-convert").string())),
            fs::absolute(options.text("data", ZARN_DATA_DIR))};
        fs::create_directories(setting.root);
        const int result =
            options.has("peak")           ? peak(setting, options.number("peak", 50))
            : options.has("restorepeak")  ? restorepeak(setting)
            : options.has("rewrite")      ? rewriteonly(setting, options.number("rewrite", 50),
                                                        static_cast<int>(options.number("rounds", 15)))
            : options.has("check")        ? checkratio(setting, options)
            : options.has("checkpeak")    ? checkpeaks(setting, options)
            : options.has("checkpeakrun") ? checkpeakrun(setting, options.number("checkpeakrun", 0))
                                          : throughput(setting, options);
        if (!options.has("keep")) {
            fs::current_path(setting.root.parent_path());
            fs::remove_all(setting.root);
        }
        return result;
    } catch (const std::exception& failure) {
        std::cerr << "convert_bench: " << failure.what() << "\n";
        return 1;
    }
}
