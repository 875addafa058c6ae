// A form of either program, or of the shared start-up, on a scripted host: the game installed
// in C:\Games\Zarn as the plain registry key names it, and the version file of the game's
// version in the working folder.
#pragma once

#include <gtest/gtest.h>

#include <optional>
#include <string_view>

#include "testhost.h"

namespace hostenv::testing {

inline constexpr const char* plainkey =
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Mervane\\Kestrix\\zarn\\Path";
inline constexpr const char* wowkey =
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Mervane\\Kestrix\\zarn\\Path";

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

    TempDrive drive;
    ScriptedPlatform platform;
    RecordingUi ui;
    Form form{drive.fs, platform, ui};
};

}  // namespace hostenv::testing
