#include <gtest/gtest.h>

#include "hostenv/failure.h"
#include "hostenv/hostqueries.h"
#include "testhost.h"

namespace hostenv {
namespace {

using testing::TempDrive;

// A file that the lookup finds but that cannot be read, as a locked file is.
class LockedFiles : public posix::PosixFileSystem {
  public:
    using PosixFileSystem::PosixFileSystem;
    std::string readfile(const std::string& path) override {
        throw Failure("Permission denied: " + path);
    }
};

TEST(Readtextlines, AbsentEmptyAndOneEmptyLineAreThreeAnswers) {
    TempDrive drive;
    drive.write("empty.txt", "");
    drive.write("blank.txt", "\r\n");
    drive.write("lines.txt", "a\r\n\r\nb\r\n\r\n");
    EXPECT_EQ(readtextlines(drive.fs, "missing.txt"), std::nullopt);
    EXPECT_EQ(readtextlines(drive.fs, "empty.txt"), Lines{});
    EXPECT_EQ(readtextlines(drive.fs, "blank.txt"), Lines{});
    EXPECT_EQ(readtextlines(drive.fs, "lines.txt"), (Lines{"a", "", "b"}));
    EXPECT_EQ(readtextlines(drive.fs, "C:\\tools\\LINES.TXT"), (Lines{"a", "", "b"}));

    LockedFiles locked({{'C', drive.root()}}, TempDrive::cwd);
    EXPECT_EQ(readtextlines(locked, "lines.txt"), Lines{""});
    EXPECT_EQ(readtextlines(locked, "missing.txt"), std::nullopt);
}

TEST(Readtextlines, FoldersAndHiddenFilesAreNotFound) {
    TempDrive drive;
    drive.makefolder("folder.txt");
    drive.write(".hidden.txt", "x");
    EXPECT_EQ(readtextlines(drive.fs, "folder.txt"), std::nullopt);
    EXPECT_EQ(readtextlines(drive.fs, ".hidden.txt"), std::nullopt);
}

TEST(Readtextlines, BytesPassThroughUnchanged) {
    TempDrive drive;
    std::string bytes;
    for (int c = 1; c < 256; ++c) {
        if (c != '\r') bytes += static_cast<char>(c);
    }
    drive.write("bytes.txt", bytes + "\r\n" + std::string("\0x", 2));
    EXPECT_EQ(readtextlines(drive.fs, "bytes.txt"), (Lines{bytes, std::string("\0x", 2)}));
}

TEST(Folderexists, FoldersFilesWildcardsAndHiddenEntries) {
    TempDrive drive;
    drive.makefolder("C:\\Program Files (x86)");
    drive.makefolder("C:\\.secret");
    drive.write("C:\\maps\\a.galaxy", "x");
    EXPECT_TRUE(folderexists(drive.fs, "C:\\program files (x86)\\."));
    EXPECT_TRUE(folderexists(drive.fs, "C:\\Program Files (x86)"));
    EXPECT_TRUE(folderexists(drive.fs, "C:\\maps\\a.galaxy")) << "an ordinary file counts";
    EXPECT_TRUE(folderexists(drive.fs, "C:\\maps\\*.GALAXY"));
    EXPECT_FALSE(folderexists(drive.fs, "C:\\maps\\*.txt"));
    EXPECT_FALSE(folderexists(drive.fs, "C:\\.secret\\."));
    EXPECT_FALSE(folderexists(drive.fs, "C:\\nothing\\."));
    EXPECT_FALSE(folderexists(drive.fs, "D:\\program files (x86)\\."));
}

}  // namespace
}  // namespace hostenv
