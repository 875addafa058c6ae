// A form of either program, or of the shared start-up, on a scripted host: the game installed
// in C:\Games\Zarn as the plain registry key names it, and the version file of the game's
// version in the working folder.
#pragma once

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "hostenv/report.h"
#include "testhost.h"

namespace hostenv::testing {

inline constexpr const char* plainkey =
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Mervane\\Kestrix\\zarn\\Path";
inline constexpr const char* wowkey =
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Mervane\\Kestrix\\zarn\\Path";

// How a program started anew ended, and what it said.
struct Ran {
    std::optional<int> exitcode;
    RecordingUi ui;
    // What follows what in each line reported that begins with it, in order.
    std::vector<std::string> reported(const std::string& what) const {
        std::vector<std::string> found;
        for (const auto& line : ui.reports) {
            if (line.starts_with(what)) found.push_back(line.substr(what.size()));
        }
        return found;
    }
};

template <class Form>
class FormHost : public ::testing::Test {
  protected:
    FormHost() {
        platform.env = {{"windir", "C:\\windows"}};
        platform.registry[plainkey] = "C:\\Games\\Zarn";
        platform.setversion("C:\\Games\\Zarn\\Halcyrion.exe", 1, 52, 0, 3);
        drive.write("targetzarnver.txt", "1.52.0.3\r\n");
    }

    // Runs the load event; the exit code when the program ended during it.
    std::optional<int> load() {
        return ending([&] { form.load(); });
    }
    std::optional<int> click(std::string_view button) {
        return ending([&] { form.clicked(button); });
    }

    // The program started anew with args on fs.
    Ran start(FileSystem& fs, const std::string& args) {
        platform.args = args;
        Ran ran;
        Form started{fs, platform, ran.ui};
        ran.exitcode = ending([&] { started.load(); });
        return ran;
    }

    // The program started anew with args, as a console shows it: every line written there,
    // each ended by CR LF; the boxes it showed, in boxesshown.
    std::string console(const std::string& program, const std::string& args, int exitcode) {
        hostenv::testing::RecordingConsole written;
        ReportingUi reporting(boxesshown, written, program);
        platform.args = args;
        Form started{drive.fs, platform, reporting};
        EXPECT_EQ(ending([&] { started.load(); }), exitcode) << args;
        std::string text;
        for (const auto& line : written.lines) text += line + "\r\n";
        return text;
    }

    TempDrive drive;
    ScriptedPlatform platform;
    RecordingUi ui;
    RecordingUi boxesshown;
    Form form{drive.fs, platform, ui};
};

}  // namespace hostenv::testing
