// galmend and tallyhold set up for a benchmark: galmend's definitions from the release
// data, each program's first galaxy folder on the benchmark's game folder, and a window
// nobody looks at.
#pragma once

#include <array>
#include <chrono>
#include <filesystem>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "benchhost.h"
#include "corpus.h"
#include "discardbackups.h"
#include "galmend.h"
#include "hostenv/platform.h"
#include "hostenv/ui.h"
#include "tallyhold.h"

namespace bench {

// The benchmarked procedures ask the platform nothing.
class QuietPlatform : public hostenv::Platform {
  public:
    std::optional<std::string> environment(const std::string&) override { return std::nullopt; }
    std::string commandargs() override { return ""; }
    std::uint32_t processid() override { return 0; }
    std::optional<hostenv::WindowsVersion> windowsversion() override { return std::nullopt; }
    std::optional<hostenv::ProductVersion> productversion(const std::string&) override {
        return std::nullopt;
    }
    std::optional<std::string> registrytext(const std::string&) override { return std::nullopt; }
    hostenv::FolderAnswer localappfolder() override { return {}; }
    std::string localtimestamp() override;
    std::uint64_t addressspace() override { return std::uint64_t{1} << 47; }
    std::unique_ptr<hostenv::HeldLock> takelock(const std::string&) override {
        return std::make_unique<hostenv::HeldLock>();
    }
    bool processruns(std::uint32_t) override { return false; }
    std::string fromansi(std::string_view bytes) override { return std::string(bytes); }
    std::optional<std::string> toansi(std::string_view text) override { return std::string(text); }
};

class QuietUi : public hostenv::UserInterface {
  public:
    explicit QuietUi(std::string program) : program_(std::move(program)) {}
    void messagebox(const std::string& text) override;
    bool question(const std::string& text) override {
        throw std::runtime_error(program_ + " asks: " + text);
    }
    void doevents() override {}
    [[noreturn]] void endprogram(int exitcode) override;

  private:
    std::string program_;
};

// Keeps what a silent run reports and what it would show in a box, for a procedure whose
// outcome the benchmark checks.
class RecordingUi : public hostenv::UserInterface {
  public:
    void messagebox(const std::string& text) override { boxes.push_back(text); }
    bool question(const std::string& text) override { throw std::runtime_error("asked: " + text); }
    void doevents() override {}
    [[noreturn]] void endprogram(int exitcode) override;
    void report(const std::string& line) override { reported.push_back(line); }

    std::vector<std::string> reported;
    std::vector<std::string> boxes;
};

// A program's end as a run started from Form_Load meets it: thrown by EndingUi.
struct Ended {
    int code;
};

// Ends the program by throwing Ended. It keeps only the last line reported: a run's report grows
// with its files, which a console does not keep either.
class EndingUi : public RecordingUi {
  public:
    [[noreturn]] void endprogram(int exitcode) override { throw Ended{exitcode}; }
    void report(const std::string& line) override { reported.assign(1, line); }
};

// The game installed in one folder, in the version root\tools\targetzarnver.txt names, and
// the local application-data folder in another; args is the command line.
class StartedPlatform : public QuietPlatform {
  public:
    StartedPlatform(std::string args, std::string game, std::string appdata)
        : args_(std::move(args)), game_(std::move(game)), appdata_(std::move(appdata)) {}
    std::string commandargs() override { return args_; }
    // The install path is the one value the programs read.
    std::optional<std::string> registrytext(const std::string&) override { return game_; }
    std::optional<hostenv::ProductVersion> productversion(const std::string&) override {
        return hostenv::ProductVersion{1, 52, 0, 3};
    }
    hostenv::FolderAnswer localappfolder() override { return {0, appdata_}; }

  private:
    std::string args_, game_, appdata_;
};

// Writes root\tools\targetzarnver.txt for the version StartedPlatform gives the game.
void writetargetversion(const std::filesystem::path& root);

// Puts galmend's release data from datafolder and that version into root\tools and makes it
// the working folder.
void installgalmend(const std::filesystem::path& root, const std::filesystem::path& datafolder);

// The galaxy folders both programs walk: gamefolder and an empty root\user.
std::array<std::string, 2> benchgalaxyfolders(HostFiles& files, const std::filesystem::path& root,
                                              const std::filesystem::path& gamefolder);

// Whether a fix's backup set is written (kept) or goes nowhere (DiscardBackups).
enum class Backups { kept, discarded };

class BenchGalmend {
  public:
    // Installs galmend under root (installgalmend); the backup sets go to
    // root\appdata\galmend backups.
    BenchGalmend(HostFiles& files, const std::filesystem::path& root,
                 const std::filesystem::path& gamefolder, const std::filesystem::path& datafolder,
                 Backups backups = Backups::kept);
    galmend::Galmend& form() { return form_; }

  private:
    QuietPlatform platform_;
    QuietUi ui_{"galmend"};
    DiscardBackups discard_;
    galmend::Galmend form_;
};

class BenchTallyhold {
  public:
    BenchTallyhold(HostFiles& files, const std::filesystem::path& root,
                   const std::filesystem::path& gamefolder);
    tallyhold::Tallyhold& form() { return form_; }

  private:
    QuietPlatform platform_;
    QuietUi ui_{tallyhold::programname};
    tallyhold::Tallyhold form_;
};

// What the benchmark's command line says: --name value pairs.
class Options {
  public:
    Options(int argc, char** argv);
    std::string text(const std::string& name, const std::string& fallback) const;
    long long number(const std::string& name, long long fallback) const;
    bool has(const std::string& name) const { return values_.count(name) != 0; }

  private:
    std::map<std::string, std::string> values_;
};

using Clock = std::chrono::steady_clock;

template <class Work>
double seconds(Work&& work) {
    const auto start = Clock::now();
    work();
    return std::chrono::duration<double>(Clock::now() - start).count();
}

double median(std::vector<double> values);

// The two runs of a round: the first one first in even rounds and last in odd ones, so that
// neither always meets a cache the other warmed.
template <class First, class Second>
void inturn(int round, First&& first, Second&& second) {
    if (round % 2 == 0) {
        first();
        second();
    } else {
        second();
        first();
    }
}

// One line: what, every time in seconds, and their median.
void report(const char* what, const std::vector<double>& times);

// The tree shape that --folders and --files, or --siblings, ask for.
TreeShape treeshape(const Options& options);

// The default place of a benchmark's material.
std::filesystem::path defaultroot(const char* name);

}  // namespace bench
