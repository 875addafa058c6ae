// A host for native tests: a scripted platform, a recording user interface and a
// temporary folder mapped as drive C.
#pragma once

#include <filesystem>
#include <functional>
#include <initializer_list>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "hostenv/platform.h"
#include "hostenv/posix/posixfilesystem.h"
#include "hostenv/report.h"
#include "hostenv/ui.h"

namespace hostenv::testing {

// Thrown by RecordingUi::endprogram; not a std::exception, so the failure rule lets it pass.
struct ProgramEnded {
    int exitcode;
};

// Runs one event of a form; the exit code when the program ended during it.
template <class Event>
std::optional<int> ending(Event&& event) {
    try {
        event();
        return std::nullopt;
    } catch (const ProgramEnded& ended) {
        return ended.exitcode;
    }
}

class RecordingUi : public UserInterface {
  public:
    void messagebox(const std::string& text) override { messages.push_back(text); }
    bool question(const std::string& text) override {
        questions.push_back(text);
        return answer;
    }
    void doevents() override {
        ++eventsteps;
        if (onevents) onevents();
    }
    void dropinput() override { ++inputdrops; }
    [[noreturn]] void endprogram(int exitcode) override { throw ProgramEnded{exitcode}; }
    void beginreport() override { reporting = true; }
    void report(const std::string& line) override {
        if (reporting) reports.push_back(line);
    }
    void hideboxes() override { boxeshidden = true; }

    std::vector<std::string> messages;
    std::vector<std::string> questions;
    // What the user answers to every question.
    bool answer = true;
    bool reporting = false;
    // Set when the run said no box may be shown from then on.
    bool boxeshidden = false;
    std::vector<std::string> reports;
    int eventsteps = 0;
    int inputdrops = 0;
    // What the user does while pending events run.
    std::function<void()> onevents;
};

class RecordingConsole : public Console {
  public:
    void writeline(const std::string& line) override { lines.push_back(line); }
    std::vector<std::string> lines;
};

// A host whose ANSI code page is Windows-1252, as a western Windows has.
class ScriptedPlatform : public Platform {
  public:
    std::optional<std::string> environment(const std::string& name) override;
    std::string commandargs() override { return args; }
    std::uint32_t processid() override { return pid; }
    std::optional<WindowsVersion> windowsversion() override { return version; }
    std::optional<ProductVersion> productversion(const std::string& path) override;
    std::optional<std::string> registrytext(const std::string& key) override;
    FolderAnswer localappfolder() override;
    std::string localtimestamp() override { return now; }
    std::uint64_t addressspace() override { return addresses; }
    std::unique_ptr<HeldLock> takelock(const std::string& name) override;
    bool processruns(std::uint32_t id) override { return id == pid || running.contains(id); }
    std::string fromansi(std::string_view bytes) override;
    std::optional<std::string> toansi(std::string_view text) override;

    // Gives the executable at path a product version of four parts.
    void setversion(const std::string& path, unsigned a, unsigned b, unsigned c, unsigned d);

    std::map<std::string, std::string> env;
    std::string args;
    std::uint32_t pid = 4242;
    std::optional<WindowsVersion> version = WindowsVersion{WindowsVersion::Family::nt, 6, 1};
    std::map<std::string, ProductVersion> versions;  // by path, letter case aside
    std::map<std::string, std::string> registry;     // full key path -> value
    FolderAnswer folder{0, "C:\\users\\player\\AppData\\Local"};
    std::uint64_t addresses = std::uint64_t{1} << 47;  // a 64-bit program's
    std::string now = "2026-12-07 19-32-13";
    int folderqueries = 0;
    // Other processes that run, by id.
    std::set<std::uint32_t> running;
    // The locks held, by any platform of the test's: two platforms stand for two processes.
    static std::set<std::string>& heldlocks();
};

// The file system of a drive whose chosen files are found but cannot be read, as when
// another program holds them; every file when none is chosen.
class UnreadableFiles : public posix::PosixFileSystem {
  public:
    UnreadableFiles(const std::filesystem::path& root, std::vector<std::string> paths,
                    std::string reason);
    void readpart(const std::string& path, std::uint64_t offset, std::size_t length,
                  std::string& bytes) override;

  private:
    std::vector<std::string> paths_;
    std::string reason_;
};

// A temporary folder standing for drive C, removed at the end.
class TempDrive {
  public:
    TempDrive();
    ~TempDrive();
    TempDrive(const TempDrive&) = delete;
    TempDrive& operator=(const TempDrive&) = delete;

    const std::filesystem::path& root() const { return root_; }
    // Writes bytes to a Windows path on drive C (relative ones under the working folder).
    void write(const std::string& windowspath, const std::string& bytes);
    // Empty files at Windows paths: a walk or a search only looks at their names.
    void touch(std::initializer_list<std::string> windowspaths);
    void makefolder(const std::string& windowspath);
    std::filesystem::path host(const std::string& windowspath) const;
    // The bytes of a file at a Windows path; whether anything is there.
    std::string read(const std::string& windowspath) const;
    bool exists(const std::string& windowspath) const;
    // The names in a folder, sorted, so that a left-over file shows.
    std::vector<std::string> names(const std::string& windowspath) const;
    // Every temporary file of ours anywhere on the drive: none may outlive a write.
    std::vector<std::string> temporaries() const;
    // Every folder, link and file on the drive, by its place, with each file's bytes and
    // whether it is read-only: what a run that changes nothing must leave as it found it.
    std::map<std::string, std::string> snapshot() const;

    // The working folder from which the program starts.
    static constexpr const char* cwd = "C:\\tools";
    posix::PosixFileSystem fs;

  private:
    std::filesystem::path root_;
};

}  // namespace hostenv::testing
