#include <gtest/gtest.h>

#include "galmendhost.h"
#include "hostenv/failure.h"

namespace galmend {
namespace {

constexpr const char* plainkey = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Mervane\\Kestrix\\zarn\\Path";
constexpr const char* wowkey =
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Mervane\\Kestrix\\zarn\\Path";

class Startup : public GalmendHost {};

TEST_F(Startup, InteractiveStartFillsTheWindowAndTheRunState) {
    EXPECT_EQ(load(), std::nullopt);
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(form.cputypelabel.caption(), "x86 type");
    EXPECT_EQ(form.cpuidlabel.caption(), "x86 Family 6 ID");
    EXPECT_EQ(form.cpulevellabel.caption(), "6 Level");
    EXPECT_EQ(form.cpurevisionlabel.caption(), "3a09 revision");
    EXPECT_EQ(form.winverlabel.caption(), "win7");
    EXPECT_EQ(form.bitslabel.caption(), "32 bit");
    EXPECT_EQ(form.coreslabel.caption(), "2 cores");
    EXPECT_EQ(form.oslabel.caption(), "Windows_NT O.S.");
    EXPECT_EQ(buttons(), (std::vector<bool>{true, false, true, true, true}));
    EXPECT_FALSE(form.silentlabel.visible());
    EXPECT_FALSE(form.silentmode);

    EXPECT_EQ(form.windirdrive, "C:");
    EXPECT_EQ(form.localappfolder, "C:\\users\\player\\AppData\\Local");
    EXPECT_EQ(form.gamefolder, "C:\\Games\\Zarn\\");
    EXPECT_EQ(form.galaxyfolders[0], "C:\\Games\\Zarn\\");
    EXPECT_EQ(form.galaxyfolders[1], "C:\\users\\player\\AppData\\Local\\Corvatek\\Halcyrion\\");
    EXPECT_EQ(form.gamefolderbutton.tooltip(), form.galaxyfolders[0]);
    EXPECT_EQ(form.userfolderbutton.tooltip(), form.galaxyfolders[1]);
    EXPECT_EQ(form.filelist.pattern(), "*.galaxy");
    EXPECT_EQ(form.gameversion, "1.52.0.3");
    EXPECT_EQ(form.targetversion, "1.52.0.3");

    EXPECT_EQ(form.oldblocks, (std::vector<std::int16_t>{0, 2}));
    EXPECT_EQ(form.newblocks, (std::vector<std::int16_t>{0, 2}));
    EXPECT_DOUBLE_EQ(form.newversion, 4);
    EXPECT_EQ(form.originalmaps, Lines{"Twin.galaxy"});
    EXPECT_EQ(form.stagelabel.caption(), "0") << "design captions stay until a stage runs";
    EXPECT_EQ(form.stagecaption.caption(), "stage ");
}

TEST_F(Startup, AbsentEnvironmentVariablesLeaveOnlyTheSuffixes) {
    platform.env.clear();
    EXPECT_EQ(load(), std::nullopt) << "without windir the plain key is read";
    EXPECT_EQ(form.cputypelabel.caption(), " type");
    EXPECT_EQ(form.coreslabel.caption(), " cores");
    EXPECT_EQ(form.oslabel.caption(), " O.S.");
    EXPECT_EQ(form.windirdrive, "");
}

TEST_F(Startup, SixtyFourBitWindowsReadsOnlyTheWow6432NodeKey) {
    drive.makefolder("C:\\Program Files (x86)");
    EXPECT_EQ(load(), 2) << "the plain key is not a fallback";
    EXPECT_EQ(form.gamefolder, "\\");
    EXPECT_EQ(form.bitslabel.caption(), "64 bit");

    platform.registry[wowkey] = "C:\\Games\\Zarn";
    platform.registry[plainkey] = "C:\\Elsewhere";
    ui.messages.clear();
    EXPECT_EQ(load(), std::nullopt);
    EXPECT_EQ(form.gamefolder, "C:\\Games\\Zarn\\");
}

TEST_F(Startup, VersionGateShowsEightLinesAndEnds) {
    drive.write("targetzarnver.txt", "1.60.0.0\r\nignored\r\n");
    platform.args = "/s";
    EXPECT_EQ(load(), 2);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0],
              "found zarn version :1.52.0.3:\r\n"
              " need zarn version :1.60.0.0:\r\n"
              "in the default location of\r\n"
              "C:\\Games\\Zarn\\\r\n"
              "local apps is\r\n"
              "C:\\users\\player\\AppData\\Local:\r\n"
              "and the zarn user directory is\r\n"
              "C:\\users\\player\\AppData\\Local\\Corvatek\\Halcyrion\\");
    EXPECT_FALSE(form.silentmode) << "the command line is read after the gate";
    EXPECT_EQ(buttons(), (std::vector<bool>(5, true)));
}

TEST_F(Startup, ASilentSwitchDisablesEveryButtonAndShowsTheSilentNote) {
    // An invalid piece after the switch ends the start before the silent run begins.
    platform.args = "/s foo";
    EXPECT_EQ(load(), 3);
    EXPECT_TRUE(form.silentlabel.visible());
    EXPECT_EQ(buttons(), std::vector<bool>(5, false));
}

TEST_F(Startup, MissingOrEmptyDataFilesEndWithAMessageNamingTheFile) {
    const struct {
        const char* file;
        const char* content;  // nullptr: the file is missing
        const char* named;
    } cases[] = {
        {"targetzarnver.txt", nullptr, "\"targetzarnver.txt\""},
        {"targetzarnver.txt", "", "\"targetzarnver.txt\""},
        {"targetzarnver.txt", "\r\n\r\n", "\"targetzarnver.txt\""},
        {"oldstruct.txt", nullptr, "\"oldstruct.txt\""},
        {"newstruct.txt", nullptr, "\"newstruct.txt\""},
        {"newstruct.txt", "", "\"newstruct.txt\""},
        {"newstruct.txt", "$1 only a title\r\n", "\"newstruct.txt\""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.file) + (c.content ? " empty" : " missing"));
        TempDrive fresh;
        fresh.write("targetzarnver.txt", "1.52.0.3\r\n");
        fresh.write("oldstruct.txt", "$1\r\nversion\r\n");
        fresh.write("newstruct.txt", "$1\r\nversion 4\r\n");
        std::filesystem::remove(fresh.host(c.file));
        if (c.content) fresh.write(c.file, c.content);
        RecordingUi recorded;
        Galmend galmend{fresh.fs, platform, recorded};
        std::optional<int> end;
        try {
            galmend.load();
        } catch (const ProgramEnded& ended) {
            end = ended.exitcode;
        }
        EXPECT_EQ(end, 1);
        ASSERT_EQ(recorded.messages.size(), 1u);
        EXPECT_NE(recorded.messages[0].find(c.named), std::string::npos) << recorded.messages[0];
    }
}

TEST_F(Startup, AMissingOldDefinitionEndsBeforeTheNewOneIsRead) {
    std::filesystem::remove(drive.host("oldstruct.txt"));
    EXPECT_EQ(load(), 1);
    EXPECT_EQ(form.newstruct, std::nullopt);
    EXPECT_EQ(form.gameversion, "") << "no step after the loaders ran";
}

TEST_F(Startup, AMissingListOfOwnMapsLoadsAsAbsent) {
    std::filesystem::remove(drive.host("original zarn galaxies.txt"));
    EXPECT_EQ(load(), std::nullopt);
    EXPECT_EQ(form.originalmaps, std::nullopt);
}

TEST_F(Startup, AnUnreadableDefinitionOrListOfOwnMapsEndsTheStart) {
    for (const char* file : {"oldstruct.txt", "newstruct.txt", "original zarn galaxies.txt"}) {
        SCOPED_TRACE(file);
        hostenv::testing::UnreadableFiles locked(drive.root(), {file}, "locked");
        RecordingUi recorded;
        Galmend galmend{locked, platform, recorded};
        EXPECT_THROW(galmend.load(), ProgramEnded);
        ASSERT_EQ(recorded.messages.size(), 1u);
        EXPECT_NE(recorded.messages[0].find(std::string("\"") + file + "\" cannot be read"),
                  std::string::npos)
            << recorded.messages[0];
    }
}

TEST_F(Startup, ExitAndClosingEndTheProgramNormally) {
    ASSERT_EQ(load(), std::nullopt);
    EXPECT_EQ(click("Command3"), 0);
    try {
        form.closed();
        FAIL() << "closing the window did not end the program";
    } catch (const ProgramEnded& ended) {
        EXPECT_EQ(ended.exitcode, 0);
    }
}

TEST_F(Startup, FolderButtonsPointTheFolderListAtTheGalaxyFolders) {
    drive.write("C:\\Games\\Zarn\\a.galaxy", "");
    drive.makefolder("C:\\users\\player\\AppData\\Local\\Corvatek\\Halcyrion\\sub");
    ASSERT_EQ(load(), std::nullopt);
    EXPECT_EQ(click("Command4"), std::nullopt);
    EXPECT_EQ(form.folderlist.path(), "C:\\Games\\Zarn");
    EXPECT_EQ(form.filelist.count(), 1);
    EXPECT_EQ(click("Command5"), std::nullopt);
    EXPECT_EQ(form.folderlist.entry(0),
              "C:\\users\\player\\AppData\\Local\\Corvatek\\Halcyrion\\sub");
    EXPECT_EQ(form.filelist.count(), 0);
    EXPECT_EQ(form.updatedlabel.caption(), "0");
    EXPECT_TRUE(ui.messages.empty());

    std::filesystem::remove_all(drive.host("C:\\Games\\Zarn"));
    EXPECT_EQ(click("Command4"), 1) << "a missing folder falls under the failure rule";
    EXPECT_EQ(ui.messages.size(), 1u);
}

}  // namespace
}  // namespace galmend
