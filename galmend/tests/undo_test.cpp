#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <string_view>

#include "galaxysets.h"
#include "galmendhost.h"
#include "hostenv/backup/setrecord.h"
#include "hostenv/backup/zipfile.h"

namespace galmend {
namespace {

using hostenv::backup::batchrecord;
using hostenv::backup::crc32of;
using hostenv::backup::EntryReader;
using hostenv::backup::filerecord;
using hostenv::backup::ZipWriter;

constexpr const char* oldgalaxy = "begin\r\nversion 3\r\nplanet\r\nowner 2\r\nmoons 11\r\nend\r\n";
constexpr const char* newgalaxy =
    "begin\r\nversion 4\r\nplanet\r\nowner 2\r\nmoons 11\r\nrings 0\r\nend\r\n";

class Undo : public GalmendHost {
  protected:
    Undo() {
        drive.write(game("a.galaxy"), oldgalaxy);
        drive.write(std::string(userfolder) + "b.galaxy", oldgalaxy);
    }
    static std::string game(const std::string& name) { return "C:\\Games\\Zarn\\" + name; }

    // A galmend of its own on the same drive, run with args; its exit code.
    std::optional<int> run(const std::string& args, RecordingUi& recorded) {
        platform.args = args;
        Galmend galmend{drive.fs, platform, recorded};
        return hostenv::testing::ending([&] { galmend.load(); });
    }
};

TEST_F(Undo, RestoreSwitchesPutTheNewestSetBackAndRefuseCompany) {
    const struct {
        const char* args;
        int exitcode;
        const char* message;  // the first message, or none
    } cases[] = {
        {"/restore", 0, nullptr},
        {"-RESTORE", 0, nullptr},
        {"/restore /s", 3, "Invalid argument: /s"},
        {"/s /Restore", 3, "Invalid argument: /Restore"},
        {"/restore x", 3, "Invalid argument: x"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args);
        drive.write(game("a.galaxy"), oldgalaxy);
        RecordingUi fixing;
        ASSERT_EQ(run("/s", fixing), 0);
        ASSERT_EQ(drive.read(game("a.galaxy")), newgalaxy);
        RecordingUi restoring;
        EXPECT_EQ(run(c.args, restoring), c.exitcode);
        if (c.message != nullptr) {
            ASSERT_FALSE(restoring.messages.empty());
            EXPECT_EQ(restoring.messages[0], c.message);
            EXPECT_EQ(drive.read(game("a.galaxy")), newgalaxy);
            continue;
        }
        EXPECT_EQ(drive.read(game("a.galaxy")), oldgalaxy);
        EXPECT_EQ(drive.read(std::string(userfolder) + "b.galaxy"), oldgalaxy);
        EXPECT_TRUE(restoring.reporting) << "a restore reports as a silent run";
        EXPECT_NE(std::find(restoring.reports.begin(), restoring.reports.end(),
                            "Restored " + game("a.galaxy")),
                  restoring.reports.end());
    }
}

TEST_F(Undo, ARestoreWithNoSetSaysSoAndEndsWell) {
    RecordingUi restoring;
    EXPECT_EQ(run("/restore", restoring), 0);
    ASSERT_FALSE(restoring.reports.empty());
    EXPECT_EQ(restoring.reports.back().rfind("There is no backup set to restore in ", 0), 0u);
    EXPECT_EQ(drive.read(game("a.galaxy")), oldgalaxy);
}

TEST_F(Undo, AGalaxyChangedSinceTheFixIsLeftAndNamed) {
    RecordingUi fixing;
    ASSERT_EQ(run("/s", fixing), 0);
    drive.write(game("a.galaxy"), "begin\r\nversion 4\r\nplanet\r\nowner 7\r\n");
    RecordingUi restoring;
    EXPECT_EQ(run("/restore", restoring), 1);
    EXPECT_EQ(drive.read(game("a.galaxy")), "begin\r\nversion 4\r\nplanet\r\nowner 7\r\n");
    EXPECT_EQ(drive.read(std::string(userfolder) + "b.galaxy"), oldgalaxy);
    std::string said;
    for (const auto& line : restoring.messages) said += line + "\n";
    EXPECT_NE(said.find(game("a.galaxy")), std::string::npos) << said;
}

// The names and records of every release's sets: a player's older sets still restore.
TEST_F(Undo, AFixKeepsEachGalaxyUnderItsFoldersNameAndEachBatchUnderGalmends) {
    RecordingUi fixing;
    platform.args = "/s";
    Galmend fix{drive.fs, platform, fixing};
    // One batch: the clock never says it is time to show the work.
    fix.clock = [] { return std::chrono::milliseconds{0}; };
    ASSERT_EQ(hostenv::testing::ending([&] { fix.load(); }), 0);
    const std::string set =
        "C:\\users\\player\\AppData\\Local\\galmend backups\\2026-12-07 19-32-13 run 1.zip";
    const ZipListing listing = listzip(drive.fs, set);
    std::vector<std::string> names;
    for (const auto& entry : listing.entries) names.push_back(entry.name);
    ASSERT_EQ(names,
              (std::vector<std::string>{"game/a.galaxy", "user/b.galaxy", "galmend/batch 1.txt"}));
    EXPECT_EQ(listing.entries[0].privatedata->substr(0, 2), "\2G");
    EXPECT_EQ(listing.entries[2].privatedata->substr(0, 2), "\2B");
    const std::string batch =
        "galmend put these galaxies of the entries before this one in "
        "place:\r\n" +
        game("a.galaxy") + "\r\n" + userfolder + "b.galaxy\r\n";
    EXPECT_EQ(EntryReader(drive.fs, set).read(listing.entries[2]),
              std::optional<std::string_view>(batch));
}

// A set naming a file no restore of galmend's may write restores nothing, even of the galaxies
// it may write; it is set aside, saying why, and the next restore takes the set before it.
TEST_F(Undo, ASetNamingAFileBeyondTheGalaxyFoldersIsSetAsideWhole) {
    const std::string folder = backupsfolder(galaxysets(), platform.folder.path);
    const std::string set = folder + "\\2026-12-08 10-00-00 run 2.zip";
    const std::string target = "[fonts]\r\n";
    const std::string fixed = newgalaxy;
    const struct {
        std::string path;
        std::string why;
    } cases[] = {
        {"C:\\windows\\win.ini", "is not a galaxy (a \".galaxy\" file)"},
        {game("Halcyrion.exe"), "is not a galaxy (a \".galaxy\" file)"},
        {game("maps\\TWIN.galaxy"), "is one of the game's own maps"},
        {"C:\\windows\\zarn.galaxy", "lies outside the game's galaxy folder and the player's"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        std::filesystem::remove_all(drive.host(folder));
        drive.write(game("a.galaxy"), oldgalaxy);
        drive.write(c.path, target);
        RecordingUi fixing;
        ASSERT_EQ(run("/s", fixing), 0);
        {
            ZipWriter zip(drive.fs.createappending(set), set, {});
            zip.add("game/a.galaxy", "tampered\r\n",
                    filerecord(2, crc32of(fixed), fixed.size(), game("a.galaxy")));
            zip.add("other/x", "evil\r\n", filerecord(2, crc32of(target), target.size(), c.path));
            zip.add("galmend/batch 1.txt", "", batchrecord(2, 2));
            zip.finish();
        }
        RecordingUi refused;
        EXPECT_EQ(run("/restore", refused), 1);
        ASSERT_EQ(refused.messages.size(), 1u);
        EXPECT_EQ(refused.messages[0].rfind("The backup set " + set + " is refused: it names " +
                                                c.path + ", which " + c.why + ". ",
                                            0),
                  0u)
            << refused.messages[0];
        EXPECT_EQ(drive.read(game("a.galaxy")), newgalaxy);
        EXPECT_EQ(drive.read(c.path), target);

        RecordingUi restoring;
        EXPECT_EQ(run("/restore", restoring), 0) << ::testing::PrintToString(restoring.messages);
        EXPECT_EQ(drive.read(game("a.galaxy")), oldgalaxy);
        EXPECT_EQ(drive.names(folder),
                  (std::vector<std::string>{"2026-12-07 19-32-13 run 1 restored.zip",
                                            "2026-12-08 10-00-00 run 2 refused.zip"}));
    }
}

TEST_F(Undo, ARestoreAfterAGameUpdateNeedsNeitherTheGateNorTheDefinitionsButTheGameAndItsMaps) {
    RecordingUi fixing;
    ASSERT_EQ(run("/s", fixing), 0);
    // The game was updated and the release's data went with the old version.
    platform.setversion("C:\\Games\\Zarn\\Halcyrion.exe", 1, 53, 0, 0);
    RecordingUi gated;
    EXPECT_EQ(run("/s", gated), 2) << "a fix keeps the gate";
    EXPECT_EQ(drive.read(game("a.galaxy")), newgalaxy);
    std::filesystem::remove(drive.host("oldstruct.txt"));
    std::filesystem::remove(drive.host("newstruct.txt"));
    std::filesystem::remove(drive.host("targetzarnver.txt"));

    std::filesystem::remove(drive.host("original zarn galaxies.txt"));
    RecordingUi nolist;
    EXPECT_EQ(run("/restore", nolist), 1);
    ASSERT_FALSE(nolist.messages.empty());
    EXPECT_NE(nolist.messages[0].find("original zarn galaxies.txt"), std::string::npos);
    EXPECT_EQ(drive.read(game("a.galaxy")), newgalaxy);

    drive.write("original zarn galaxies.txt", "Twin.galaxy\r\n");
    RecordingUi restoring;
    EXPECT_EQ(run("/restore", restoring), 0) << ::testing::PrintToString(restoring.messages);
    EXPECT_EQ(drive.read(game("a.galaxy")), oldgalaxy);

    platform.versions.clear();
    RecordingUi nogame;
    EXPECT_EQ(run("/restore", nogame), 2);
    ASSERT_FALSE(nogame.messages.empty());
    EXPECT_EQ(nogame.messages[0], "the game was not found at C:\\Games\\Zarn\\");
}

TEST_F(Undo, TheButtonIsOfferedWhenASetCanBeRestoredAsksAndRestores) {
    ASSERT_EQ(load(), std::nullopt);
    EXPECT_FALSE(form.undobutton.enabled()) << "no set yet";
    ASSERT_EQ(click("Command1"), std::nullopt);
    ASSERT_EQ(click("Command2"), std::nullopt);
    ASSERT_FALSE(ui.messages.empty());
    EXPECT_EQ(ui.messages.back().rfind("The old galaxies are kept in ", 0), 0u);
    EXPECT_TRUE(form.undobutton.enabled());

    ui.answer = false;
    ASSERT_EQ(click("Command6"), std::nullopt);
    ASSERT_EQ(ui.questions.size(), 1u);
    EXPECT_NE(ui.questions[0].find("2 galaxies"), std::string::npos) << ui.questions[0];
    EXPECT_NE(ui.questions[0].find("2026-12-07 19:32:13"), std::string::npos);
    EXPECT_EQ(drive.read(game("a.galaxy")), newgalaxy) << "no means no";

    ui.answer = true;
    ASSERT_EQ(click("Command6"), std::nullopt);
    EXPECT_EQ(drive.read(game("a.galaxy")), oldgalaxy);
    EXPECT_FALSE(form.undobutton.enabled()) << "the one set is restored";
}

}  // namespace
}  // namespace galmend
