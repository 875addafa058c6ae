#include "hostenv/safereplace.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "faultyfilesystem.h"
#include "hostenv/failure.h"
#include "testhost.h"

namespace hostenv {
namespace {

using testing::FaultyFileSystem;
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

TEST_F(Replace, OnlyTheTemporaryFilesOfEarlierRunsAreRemoved) {
    for (const char* name : {"~zarn653.tmp", "~ZARN7.TMP", "~zarnotes.tmp", "~zarn.tmp", "x.tmp"}) {
        drive.write(std::string("C:\\maps\\") + name, "left\r\n");
    }
    drive.write("C:\\maps\\sub\\~zarn1.tmp", "left\r\n");
    removestaletemporaries(drive.fs, "C:\\maps\\");
    EXPECT_EQ(drive.names("C:\\maps"),
              (std::vector<std::string>{"a.galaxy", "sub", "x.tmp", "~zarn.tmp", "~zarnotes.tmp"}));
    EXPECT_EQ(drive.names("C:\\maps\\sub"), std::vector<std::string>{"~zarn1.tmp"});
    // A folder that cannot be listed is left to the write that follows to report.
    EXPECT_NO_THROW(removestaletemporaries(drive.fs, "C:\\absent"));
}

TEST_F(Replace, EveryFailingOperationLeavesTheOldFileAndNoTemporaryFile) {
    for (const bool persistent : {false, true}) {
        for (int failat = 1;; ++failat) {
            SCOPED_TRACE((persistent ? "from operation " : "operation ") + std::to_string(failat));
            drive.write(path, "old\r\n");
            FaultyFileSystem faulty(drive.fs, failat, persistent);
            bool failed = false;
            try {
                safereplace(faulty, path, "new\r\n");
            } catch (const Failure&) {
                failed = true;
            }
            const std::string now = drive.read(path);
            EXPECT_EQ(now, failed ? "old\r\n" : "new\r\n");
            // Only a disk that refuses the clean-up too keeps the temporary file.
            const bool cleanupfailed = faulty.failures() > 1;
            EXPECT_EQ(drive.names("C:\\maps").size(), cleanupfailed ? 2u : 1u);
            std::filesystem::remove_all(drive.host("C:\\maps"));
            if (faulty.failures() == 0) break;
        }
    }
}

}  // namespace
}  // namespace hostenv
