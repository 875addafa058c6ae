// A host for native tests: a scripted platform, a recording user interface and a
// temporary folder mapped as drive C.
#pragma once

#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "hostenv/platform.h"
#include "hostenv/posix/posixfilesystem.h"
#include "hostenv/ui.h"

namespace hostenv::testing {

// Thrown by RecordingUi::endprogram; not a std::exception, so the failure rule lets it pass.
struct ProgramEnded {
    int exitcode;
};

class RecordingUi : public UserInterface {
  public:
    void messagebox(const std::string& text) override { messages.push_back(text); }
    void doevents() override {
        ++eventsteps;
        if (onevents) onevents();
    }
    [[noreturn]] void endprogram(int exitcode) override { throw ProgramEnded{exitcode}; }

    std::vector<std::string> messages;
    int eventsteps = 0;
    // What the user does while pending events run.
    std::function<void()> onevents;
};

class ScriptedShell : public ShellObject {
  public:
    explicit ScriptedShell(const std::map<std::string, std::string>& registry)
        : registry_(registry) {}
    std::string RegRead(const std::string& key) override;

  private:
    const std::map<std::string, std::string>& registry_;
};

class ScriptedPlatform : public Platform {
  public:
    std::optional<std::string> environment(const std::string& name) override;
    std::string commandargs() override { return args; }
    VersionQuery versionquery() override { return version; }
    std::uint32_t versioninfosize(const std::string& path) override;
    std::optional<FixedFileInfo> fixedfileinfo(const std::string& path,
                                               std::uint32_t size) override;
    std::unique_ptr<ShellObject> createshell() override;
    FolderQuery specialfolder(int csidl) override;

    // Gives the executable at path a product version of four parts.
    void setversion(const std::string& path, unsigned a, unsigned b, unsigned c, unsigned d);

    std::map<std::string, std::string> env;
    std::string args;
    VersionQuery version{1, 2, 6, 1};
    std::map<std::string, FixedFileInfo> versions;  // by path, letter case aside
    std::map<std::string, std::string> registry;    // full key path -> value
    bool shellfails = false;
    FolderQuery folder{0,
                       std::string("C:\\users\\player\\AppData\\Local") + std::string(200, '\0')};
    std::vector<int> folderqueries;
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
    void makefolder(const std::string& windowspath);
    std::filesystem::path host(const std::string& windowspath) const;

    // The working folder from which the program starts.
    static constexpr const char* cwd = "C:\\tools";
    posix::PosixFileSystem fs;

  private:
    std::filesystem::path root_;
};

}  // namespace hostenv::testing
