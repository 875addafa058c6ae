// galmend on a scripted host: a game installed in C:\Games\Zarn, the release data
// of a small format in the working folder, and the per-user galaxy folder.
#pragma once

#include <gtest/gtest.h>

#include <vector>

#include "formhost.h"
#include "galmend.h"

namespace galmend {

using hostenv::Lines;
using hostenv::testing::ProgramEnded;
using hostenv::testing::RecordingUi;
using hostenv::testing::ScriptedPlatform;
using hostenv::testing::TempDrive;

inline constexpr const char* userfolder =
    "C:\\users\\player\\AppData\\Local\\Corvatek\\Halcyrion\\";

class GalmendHost : public hostenv::testing::FormHost<Galmend> {
  protected:
    GalmendHost() {
        platform.env.insert({{"PROCESSOR_ARCHITECTURE", "x86"},
                             {"PROCESSOR_IDENTIFIER", "x86 Family 6"},
                             {"PROCESSOR_LEVEL", "6"},
                             {"PROCESSOR_REVISION", "3a09"},
                             {"NUMBER_OF_PROCESSORS", "2"},
                             {"OS", "Windows_NT"}});
        drive.makefolder("C:\\Games\\Zarn");
        drive.makefolder(userfolder);
        drive.write("oldstruct.txt", "$1\r\nversion\r\nplanet $3\r\nplanet\r\nowner\r\nmoons\r\n");
        drive.write("newstruct.txt",
                    "$1\r\nversion 4\r\nplanet $4\r\nplanet\r\nowner #\r\nmoons ##\r\nrings 0\r\n");
        drive.write("original zarn galaxies.txt", "Twin.galaxy\r\n");
    }

    std::vector<bool> buttons() const {
        return {form.findbutton.enabled(), form.fixbutton.enabled(), form.exitbutton.enabled(),
                form.gamefolderbutton.enabled(), form.userfolderbutton.enabled()};
    }
};

}  // namespace galmend
