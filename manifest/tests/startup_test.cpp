#include <gtest/gtest.h>

#include "tallyholdhost.h"

namespace manifest {
namespace {

constexpr const char* wowkey =
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Mervane\\Kestrix\\zarn\\Path";

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
    EXPECT_EQ(form.expansionfolder, "C:\\Games\\Zarn\\Fortrel\\");
    EXPECT_EQ(form.Command4.tooltip(), "C:\\Games\\Zarn\\");
    EXPECT_EQ(form.Command5.tooltip(), "");
    EXPECT_EQ(form.File1.pattern(), "*.galaxy");
    EXPECT_EQ(form.gameversion, "1.52.0.3");
    EXPECT_EQ(form.targetversion, "1.52.0.3");
    EXPECT_EQ(form.Label1.caption(), "galaxies found");
    EXPECT_EQ(form.Text1.text(), "");
    EXPECT_EQ(form.Text2.text(), "");
    EXPECT_FALSE(exists(game("galaxy.manifest"))) << "start-up writes nothing";
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
    EXPECT_EQ(read(game("galaxy.manifest")), "kept") << "no silent run";
}

TEST_F(Startup, InstallPathsAreNotNormalised) {
    const struct {
        const char* stored;  // nullptr: no registry value
        const char* gamefolder;
        const char* expansionfolder;
    } cases[] = {
        {"C:\\Games\\Zarn", "C:\\Games\\Zarn\\", "C:\\Games\\Zarn\\Fortrel\\"},
        {"C:\\Games\\Zarn\\", "C:\\Games\\Zarn\\\\", "C:\\Games\\Zarn\\\\Fortrel\\"},
        {nullptr, "\\", "\\Fortrel\\"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.gamefolder);
        platform.registry.clear();
        if (c.stored) platform.registry[gamekey] = c.stored;
        platform.setversion(std::string(c.gamefolder) + "Halcyrion.exe", 1, 52, 0, 3);
        RecordingUi recorded;
        Tallyhold fresh{drive.fs, platform, recorded};
        EXPECT_EQ(ending([&] { fresh.load(); }), std::nullopt);
        EXPECT_EQ(fresh.gamefolder, c.gamefolder);
        EXPECT_EQ(fresh.galaxyfolders[0], c.gamefolder);
        EXPECT_EQ(fresh.expansionfolder, c.expansionfolder);
    }
}

TEST_F(Startup, AMissingRegistryValueEndsAtTheGate) {
    platform.registry.clear();
    EXPECT_EQ(load(), 2);
    EXPECT_EQ(form.expansionfolder, "\\Fortrel\\");
    EXPECT_EQ(ui.messages.at(0),
              "found zarn version ::\r\n need zarn version :1.52.0.3:\r\nin the default "
              "location of\r\n\\");
}

TEST_F(Startup, SixtyFourBitWindowsReadsOnlyTheWow6432NodeKey) {
    drive.makefolder("C:\\Program Files (x86)");
    EXPECT_EQ(load(), 2) << "the plain key is not a fallback";
    platform.registry[wowkey] = "C:\\Games\\Zarn";
    platform.registry[gamekey] = "C:\\Elsewhere";
    EXPECT_EQ(load(), std::nullopt);
    EXPECT_EQ(form.gamefolder, "C:\\Games\\Zarn\\");
}

TEST_F(Startup, CommandLinePiecesLeaveFindAndRemoveEnabled) {
    const struct {
        const char* args;
        std::optional<int> end;
        const char* message;
        bool silent;
    } cases[] = {
        {"", std::nullopt, nullptr, false},
        {"/s", 0, nullptr, true},
        {"-S", 0, nullptr, true},
        {"/Silent -silent", 0, nullptr, true},
        {"/s foo", 3, "Invalid argument: foo", true},
        {"Foo /s", 3, "Invalid argument: Foo", false},
        {"/s  /s", 3, "Invalid argument: ", true},
        {"\"/s\"", 3, "Invalid argument: \"/s\"", false},
        {"--s", 3, "Invalid argument: --s", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string("[") + c.args + "]");
        platform.args = c.args;
        RecordingUi recorded;
        Tallyhold fresh{drive.fs, platform, recorded};
        EXPECT_EQ(ending([&] { fresh.load(); }), c.end);
        EXPECT_EQ(recorded.messages,
                  c.message ? std::vector<std::string>{c.message} : std::vector<std::string>{});
        EXPECT_EQ(fresh.silentmode, c.silent);
        const bool interactive = !c.silent;
        EXPECT_EQ(fresh.Command1.enabled(), interactive);
        EXPECT_EQ(fresh.Command3.enabled(), interactive);
        EXPECT_EQ(fresh.Command4.enabled(), interactive);
        EXPECT_FALSE(fresh.Command2.enabled() && c.silent);
        EXPECT_TRUE(fresh.Command5.enabled()) << "a switch never disables the removal";
    }
}

TEST_F(Startup, AMissingOrEmptyVersionFileEndsWithAMessageNamingIt) {
    for (const char* content : {static_cast<const char*>(nullptr), "", "\r\n"}) {
        SCOPED_TRACE(content ? "empty" : "missing");
        std::filesystem::remove(drive.host("targetzarnver.txt"));
        if (content) drive.write("targetzarnver.txt", content);
        RecordingUi recorded;
        Tallyhold fresh{drive.fs, platform, recorded};
        EXPECT_EQ(ending([&] { fresh.load(); }), 1);
        ASSERT_EQ(recorded.messages.size(), 1u);
        EXPECT_NE(recorded.messages[0].find("\"targetzarnver.txt\""), std::string::npos);
    }
}

TEST_F(Startup, LocalAppDataFailureShowsItsMessageAndStartGoesOn) {
    platform.folder.result = 1;
    EXPECT_EQ(load(), std::nullopt);
    EXPECT_EQ(ui.messages, std::vector<std::string>{"The folder does not exist"});
    EXPECT_EQ(form.galaxyfolders[1], "\\Corvatek\\Halcyrion");
}

TEST_F(Startup, ExitAndClosingEndTheProgramNormally) {
    ASSERT_EQ(load(), std::nullopt);
    EXPECT_EQ(click("Command3"), 0);
    EXPECT_EQ(ending([&] { form.closed(); }), 0);
}

}  // namespace
}  // namespace manifest
