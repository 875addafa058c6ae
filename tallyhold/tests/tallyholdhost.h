// tallyhold on a scripted host: a game installed in C:\Games\Zarn, the version file in
// the working folder, and the per-user galaxy folder.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string_view>
#include <vector>

#include "tallyhold.h"
#include "testhost.h"

namespace tallyhold {

using hostenv::Lines;
using hostenv::testing::ending;
using hostenv::testing::ProgramEnded;
using hostenv::testing::RecordingUi;
using hostenv::testing::ScriptedPlatform;
using hostenv::testing::TempDrive;

inline constexpr const char* gamekey = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Mervane\\Kestrix\\zarn\\Path";
inline constexpr const char* userfolder = "C:\\users\\player\\AppData\\Local\\Corvatek\\Halcyrion";

class TallyholdHost : public ::testing::Test {
  protected:
    TallyholdHost() {
        platform.env = {{"windir", "C:\\windows"}};
        platform.registry[gamekey] = "C:\\Games\\Zarn";
        platform.setversion("C:\\Games\\Zarn\\Halcyrion.exe", 1, 52, 0, 3);
        drive.makefolder("C:\\Games\\Zarn");
        drive.makefolder(userfolder);
        drive.write("targetzarnver.txt", "1.52.0.3\r\n");
    }

    std::optional<int> load() {
        return ending([&] { form.load(); });
    }
    std::optional<int> click(std::string_view button) {
        return ending([&] { form.clicked(button); });
    }

    std::vector<bool> buttons() const {
        return {form.findbutton.enabled(), form.updatebutton.enabled(), form.exitbutton.enabled(),
                form.locationbutton.enabled(), form.removebutton.enabled()};
    }

    static std::string game(const std::string& name) { return "C:\\Games\\Zarn\\" + name; }
    static std::string user(const std::string& name) {
        return std::string(userfolder) + "\\" + name;
    }
    static std::string fortrel(const std::string& name) { return game("Fortrel\\" + name); }

    TempDrive drive;
    ScriptedPlatform platform;
    RecordingUi ui;
    Tallyhold form{drive.fs, platform, ui};
};

}  // namespace tallyhold
