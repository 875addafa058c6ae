#include "hostenv/safereplace.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "faultyfilesystem.h"
#include "hostenv/failure.h"
#include "hostenv/text.h"
#include "testhost.h"

namespace hostenv {
namespace {

using testing::FaultyFileSystem;
using testing::ScriptedPlatform;
using testing::TempDrive;

class Replace : public ::testing::Test {
  protected:
    Replace() { drive.write(path, "old\r\n"); }
    TempDrive drive;
    const std::string path = "C:\\maps\\a.galaxy";
};

TEST_F(Replace, TheNewTextTakesThePlaceOfTheOld) {
    safereplace(drive.fs, path, "new\r\n");
    EXPECT_EQ(drive.read(path), "new\r\n");
    EXPECT_EQ(drive.names("C:\\maps"), std::vector<std::string>{"a.galaxy"});
}

// The link itself is replaced, never written through.
TEST_F(Replace, AFileThatIsALinkBecomesAnOrdinaryFileAndWhatItLedToIsUntouched) {
    drive.write("C:\\outside\\b.galaxy", "outside\r\n");
    const std::filesystem::path link = drive.host("C:\\maps\\") / "b.galaxy";
    std::filesystem::create_symlink(drive.host("C:\\outside\\b.galaxy"), link);
    safereplace(drive.fs, "C:\\maps\\b.galaxy", "new\r\n");
    EXPECT_FALSE(std::filesystem::is_symlink(link));
    EXPECT_EQ(drive.read("C:\\maps\\b.galaxy"), "new\r\n");
    EXPECT_EQ(drive.read("C:\\outside\\b.galaxy"), "outside\r\n");
}

TEST_F(Replace, AReadOnlyFileFailsNamingItAndKeepsItsBytesAndFlag) {
    std::filesystem::permissions(
        drive.host(path), std::filesystem::perms::owner_read | std::filesystem::perms::group_read);
    try {
        safereplace(drive.fs, path, "new\r\n");
        FAIL() << "a read-only file was replaced";
    } catch (const Failure& failure) {
        EXPECT_NE(std::string(failure.what()).find(path), std::string::npos) << failure.what();
        EXPECT_NE(std::string(failure.what()).find("read-only"), std::string::npos);
    }
    EXPECT_EQ(drive.read(path), "old\r\n");
    EXPECT_EQ(drive.names("C:\\maps"), std::vector<std::string>{"a.galaxy"});
    const auto perms = std::filesystem::status(drive.host(path)).permissions();
    EXPECT_EQ(perms & std::filesystem::perms::owner_write, std::filesystem::perms::none);
}

TEST_F(Replace, CreatingAFileThatExistsFailsAndChangesNothing) {
    EXPECT_THROW(StagedFile(drive.fs, path, "new\r\n").create(), Failure);
    EXPECT_EQ(drive.read(path), "old\r\n");
    StagedFile(drive.fs, "C:\\maps\\b.galaxy", "b\r\n").create();
    EXPECT_EQ(drive.read("C:\\maps\\b.galaxy"), "b\r\n");
    EXPECT_EQ(drive.names("C:\\maps"), (std::vector<std::string>{"a.galaxy", "b.galaxy"}));
}

TEST_F(Replace, AStagedTextNeverPutInPlaceLeavesNothing) {
    {
        const StagedFile staged(drive.fs, path, "new\r\n");
        EXPECT_EQ(drive.names("C:\\maps").size(), 2u) << "the text waits beside the file";
    }
    EXPECT_EQ(drive.read(path), "old\r\n");
    EXPECT_EQ(drive.names("C:\\maps"), std::vector<std::string>{"a.galaxy"});
}

TEST_F(Replace, ATemporaryNameCarriesTheProgramAndItsProcess) {
    nametemporaries("galmend", 1234);
    const StagedFile staged(drive.fs, path, "new\r\n");
    const auto names = drive.names("C:\\maps");
    ASSERT_EQ(names.size(), 2u);
    const std::string& temporary = names[1];
    EXPECT_TRUE(temporary.starts_with("~galmend-1234-")) << temporary;
    EXPECT_TRUE(isourtemporary(temporary)) << temporary;
    EXPECT_FALSE(matchespattern(temporary, "*.galaxy"));
    EXPECT_FALSE(matchespattern(temporary, "galaxy.manifest"));
}

TEST_F(Replace, OnlyOurOwnTemporaryFilesOfEarlierRunsAreRemoved) {
    const struct {
        const char* name;
        bool removed;
    } cases[] = {
        {"~galmend-1234-7.tmp", true},
        {"~TALLYHOLD-88-0.TMP", true},
        // A second run at the same time, and this run itself: their files are in use.
        {"~galmend-77-3.tmp", false},
        {"~tallyhold-4242-0.tmp", false},
        {"~galmend-99999999999-1.tmp", false},
        // The names of earlier releases, which a player may have chosen too.
        {"~zarn653.tmp", false},
        {"~ZARN12.TMP", false},
        {"~galmend-12.tmp", false},
        {"~galmend--7.tmp", false},
        {"~galmend-1-x.tmp", false},
        {"~other-1-2.tmp", false},
        {"galmend-1-2.tmp", false},
        {"x.tmp", false},
    };
    for (const auto& c : cases) drive.write(std::string("C:\\maps\\") + c.name, "left\r\n");
    drive.write("C:\\maps\\sub\\~galmend-1-1.tmp", "left\r\n");
    ScriptedPlatform platform;
    platform.running = {77};
    removestaletemporaries(drive.fs, platform, "C:\\maps\\");
    const auto left = drive.names("C:\\maps");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(std::find(left.begin(), left.end(), c.name) == left.end(), c.removed);
    }
    EXPECT_EQ(drive.names("C:\\maps\\sub"), std::vector<std::string>{"~galmend-1-1.tmp"});
    // A folder that cannot be listed is left to the write that follows to report.
    EXPECT_NO_THROW(removestaletemporaries(drive.fs, platform, "C:\\absent"));
}

TEST_F(Replace, ATemporaryNameThatIsALinkIsLeftAndWhatItLeadsToSurvives) {
    drive.write("C:\\outside\\precious.txt", "precious\r\n");
    std::filesystem::create_symlink(drive.host("C:\\outside\\precious.txt"),
                                    drive.host("C:\\maps\\") / "~galmend-9-9.tmp");
    ScriptedPlatform platform;
    removestaletemporaries(drive.fs, platform, "C:\\maps\\");
    EXPECT_EQ(drive.read("C:\\outside\\precious.txt"), "precious\r\n");
    EXPECT_TRUE(std::filesystem::is_symlink(drive.host("C:\\maps\\") / "~galmend-9-9.tmp"));
}

// A write as a fix makes one: the clean-up of a killed run's files, then the replacement. A
// failing look at a file named like ours never deletes it, nor what a link so named leads to.
TEST_F(Replace, EveryFailingOperationLeavesTheOldFileOrTheNewAndNoTemporaryFile) {
    const std::string stale = "~galmend-1-1.tmp";
    const std::string link = "~galmend-2-2.tmp";
    ScriptedPlatform platform;
    for (const bool persistent : {false, true}) {
        for (int failat = 1;; ++failat) {
            SCOPED_TRACE((persistent ? "from operation " : "operation ") + std::to_string(failat));
            drive.write(path, "old\r\n");
            drive.write("C:\\maps\\" + stale, "left\r\n");
            drive.write("C:\\outside\\precious.txt", "precious\r\n");
            std::filesystem::create_symlink(drive.host("C:\\outside\\precious.txt"),
                                            drive.host("C:\\maps\\") / link);
            FaultyFileSystem faulty(drive.fs, failat, persistent);
            std::string failed;
            try {
                removestaletemporaries(faulty, platform, "C:\\maps");
                safereplace(faulty, path, "new\r\n");
            } catch (const Failure& failure) {
                failed = failure.what();
            }
            EXPECT_TRUE(failed.empty() || failed.starts_with("Injected fault: ")) << failed;
            EXPECT_EQ(drive.read(path), failed.empty() ? "new\r\n" : "old\r\n");
            EXPECT_EQ(drive.read("C:\\outside\\precious.txt"), "precious\r\n");
            EXPECT_TRUE(std::filesystem::is_symlink(drive.host("C:\\maps\\") / link));
            // Only a disk that refuses the clean-up too keeps the temporary file.
            const bool cleanupfailed = faulty.failures() > 1;
            std::size_t others = 0;
            for (const auto& name : drive.names("C:\\maps")) {
                others += name != "a.galaxy" && name != link && name != stale ? 1 : 0;
            }
            EXPECT_LE(others, cleanupfailed ? 1u : 0u);
            std::filesystem::remove_all(drive.host("C:\\maps"));
            std::filesystem::remove_all(drive.host("C:\\outside"));
            if (faulty.failures() == 0) break;
        }
    }
}

}  // namespace
}  // namespace hostenv
