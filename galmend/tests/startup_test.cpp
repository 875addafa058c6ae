#include <gtest/gtest.h>

#include "galmendhost.h"
#include "hostenv/failure.h"

namespace galmend {
namespace {

using hostenv::testing::plainkey;
using hostenv::testing::wowkey;

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

TEST_F(Startup, ANewDefinitionWithoutAVersionAboveZeroIsRefusedNamingTheLine) {
    const struct {
        const char* line;
        bool refused;
    } cases[] = {
        {"version 4  ", true}, {"version", true},     {"version 0", true},
        {"version -3", true},  {"version 4 ", false}, {"version 12", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        drive.write("newstruct.txt", std::string("$1\r\n") + c.line + "\r\n");
        RecordingUi recorded;
        Galmend galmend{drive.fs, platform, recorded};
        const auto end = hostenv::testing::ending([&] { galmend.load(); });
        if (!c.refused) {
            EXPECT_EQ(end, std::nullopt);
            EXPECT_GT(galmend.newversion, 0);
            continue;
        }
        EXPECT_EQ(end, 1);
        EXPECT_EQ(galmend.gameversion, "") << "refused before the gate, so before any walk";
        ASSERT_EQ(recorded.messages.size(), 1u);
        EXPECT_EQ(recorded.messages[0],
                  std::string("The new structure definition \"newstruct.txt\" gives no version "
                              "above 0 in its version line, line 2: \"") +
                      c.line +
                      "\". The line must end in the new map format's version, with nothing after "
                      "it (not even a blank).");
    }
}

std::string utf16(std::u16string_view text, bool bigendian) {
    std::string bytes;
    for (const char16_t unit : text) {
        const char high = static_cast<char>(unit >> 8);
        const char low = static_cast<char>(unit & 0xFF);
        bytes += bigendian ? high : low;
        bytes += bigendian ? low : high;
    }
    return bytes;
}

TEST(OriginalMapNames, EveryWayAnEditorSavesTheListGivesTheSameNames) {
    hostenv::testing::ScriptedPlatform platform;
    const Lines names = {"Twin Suns.galaxy", "Caf\xC3\xA9.galaxy"};
    const struct {
        const char* form;
        std::string bytes;
    } cases[] = {
        {"ANSI, CR LF", "Twin Suns.galaxy\r\nCaf\xE9.galaxy\r\n"},
        {"ANSI, LF", "Twin Suns.galaxy\nCaf\xE9.galaxy"},
        {"ANSI, CR", "Twin Suns.galaxy\rCaf\xE9.galaxy\r"},
        {"UTF-8 with its mark, mixed ends",
         "\xEF\xBB\xBFTwin Suns.galaxy\n\r\nCaf\xC3\xA9.galaxy\r\n"},
        {"UTF-16LE", utf16(u"\uFEFFTwin Suns.galaxy\r\nCaf\u00E9.galaxy\r\n", false)},
        {"UTF-16BE", utf16(u"\uFEFFTwin Suns.galaxy\nCaf\u00E9.galaxy", true)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.form);
        EXPECT_EQ(originalmapnames(c.bytes, platform), names);
    }
    EXPECT_EQ(originalmapnames(utf16(u"\uFEFF\U0001F600", false), platform),
              Lines{"\xF0\x9F\x98\x80"})
        << "a surrogate pair is one character";

    const struct {
        const char* form;
        std::string bytes;
        const char* why;
    } refused[] = {
        {"UTF-16 without its mark", utf16(u"Twin", false), "NUL bytes"},
        {"odd length", utf16(u"\uFEFFTw", false).substr(0, 5), "odd number of bytes"},
        {"lone surrogate", utf16(u"\uFEFF\xD800T", false), "unpaired surrogate"},
    };
    for (const auto& c : refused) {
        SCOPED_TRACE(c.form);
        try {
            originalmapnames(c.bytes, platform);
            ADD_FAILURE() << "read";
        } catch (const hostenv::Failure& failure) {
            const std::string text = failure.what();
            EXPECT_NE(text.find("\"original zarn galaxies.txt\" cannot be read: "),
                      std::string::npos)
                << text;
            EXPECT_NE(text.find(c.why), std::string::npos) << text;
        }
    }
}

TEST_F(Startup, AListOfOwnMapsInUtf16EndsTheStartWhenItCannotBeRead) {
    drive.write("original zarn galaxies.txt", std::string("T\0w\0", 4));
    EXPECT_EQ(load(), 1);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_NE(ui.messages[0].find("no galaxy was changed"), std::string::npos) << ui.messages[0];
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
