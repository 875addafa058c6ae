// tallyhold on a scripted host: a game installed in C:\Games\Zarn, the version file in
// the working folder, and the per-user galaxy folder.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <vector>

#include "formhost.h"
#include "tallyhold.h"

namespace tallyhold {

using hostenv::Lines;
using hostenv::testing::ending;
using hostenv::testing::ProgramEnded;
using hostenv::testing::RecordingUi;
using hostenv::testing::ScriptedPlatform;
using hostenv::testing::TempDrive;

inline constexpr const char* userfolder = "C:\\users\\player\\AppData\\Local\\Corvatek\\Halcyrion";
inline constexpr const char* localapp = "C:\\users\\player\\AppData\\Local";

class TallyholdHost : public hostenv::testing::FormHost<Tallyhold> {
  protected:
    TallyholdHost() {
        drive.makefolder("C:\\Games\\Zarn");
        drive.makefolder(userfolder);
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

    // "tallyhold /restore" on this host; its exit code.
    std::optional<int> restore(hostenv::FileSystem& fs, RecordingUi& recorded) {
        platform.args = "/restore";
        Tallyhold restoring{fs, platform, recorded};
        return ending([&] { restoring.load(); });
    }
};

}  // namespace tallyhold
