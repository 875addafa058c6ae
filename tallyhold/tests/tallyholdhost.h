// tallyhold on a scripted host: a game installed in C:\Games\Zarn, the version file in
// the working folder, and the per-user galaxy folder.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
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
};

}  // namespace tallyhold
