#include <gtest/gtest.h>

#include "tallyholdhost.h"

namespace tallyhold {
namespace {

using hostenv::testing::wowkey;

class Startup : public TallyholdHost {};

TEST_F(Startup, InteractiveStartFillsTheRunStateAndLeavesUpdateDisabled) {
    EXPECT_EQ(load(), std::nullopt);
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(buttons(), (std::vector<bool>{true, false, true, true, true}));
    EXPECT_FALSE(form.silentmode);

    EXPECT_EQ(form.windirdrive, "C:");
    EXPECT_EQ(form.localappfolder, "C:\\users\\player\\AppData\\Local");
    EXPECT_EQ(form.gamefolder, "C:\\Games\\Zarn\\");
    EXPECT_EQ(form.galaxyfolders[0], "C:\\Games\\Zarn\\");
    EXPECT_EQ(form.galaxyfolders[1], "C:\\users\\player\\AppData\\Local\\Corvatek\\Halcyrion")
        << "no final backslash on the per-user folder";
    EXPECT_EQ(form.fortrelfolder, "C:\\Games\\Zarn\\Fortrel\\");
    EXPECT_EQ(form.locationbutton.tooltip(), "C:\\Games\\Zarn\\");
    EXPECT_EQ(form.removebutton.tooltip(), "");
    EXPECT_EQ(form.filelist.pattern(), "*.galaxy");
    EXPECT_EQ(form.gameversion, "1.52.0.3");
    EXPECT_EQ(form.targetversion, "1.52.0.3");
    EXPECT_EQ(form.foundcountlabel.caption(), "galaxies found");
    EXPECT_EQ(form.foundlist.text(), "");
    EXPECT_EQ(form.removalbox.text(), "");
    EXPECT_FALSE(drive.exists(game("galaxy.manifest"))) << "start-up writes nothing";
}

TEST_F(Startup, VersionGateShowsFourLinesBeforeTheCommandLineIsRead) {
    drive.write("targetzarnver.txt", "1.60.0.0\r\nignored\r\n");
    drive.write(game("galaxy.manifest"), "kept");
    platform.args = "/s";
    EXPECT_EQ(load(), 2);
    EXPECT_EQ(ui.messages, std::vector<std::string>{"found zarn version :1.52.0.3:\r\n"
                                                    " need zarn version :1.60.0.0:\r\n"
                                                    "in the default location of\r\n"
                                                    "C:\\Games\\Zarn\\"});
    EXPECT_FALSE(form.silentmode);
    EXPECT_EQ(buttons(), std::vector<bool>(5, true));
    EXPECT_EQ(drive.read(game("galaxy.manifest")), "kept") << "no silent run";
}

TEST_F(Startup, ASilentSwitchDisablesEveryButtonButTheRemoval) {
    // An invalid piece after the switch ends the start before the silent run begins.
    platform.args = "/s foo";
    EXPECT_EQ(load(), 3);
    EXPECT_FALSE(form.findbutton.enabled());
    EXPECT_FALSE(form.updatebutton.enabled());
    EXPECT_FALSE(form.exitbutton.enabled());
    EXPECT_FALSE(form.locationbutton.enabled());
    EXPECT_TRUE(form.removebutton.enabled()) << "a switch never disables the removal";
}

}  // namespace
}  // namespace tallyhold
