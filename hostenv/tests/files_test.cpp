#include <gtest/gtest.h>

#include <filesystem>
#include <optional>

#include "hostenv/failure.h"
#include "hostenv/hostqueries.h"
#include "testhost.h"

namespace hostenv {
namespace {

using testing::TempDrive;

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

    testing::UnreadableFiles locked(drive.root(), {}, "Permission denied: lines.txt");
    EXPECT_EQ(readtextlines(locked, "missing.txt"), std::nullopt);
    try {
        readtextlines(locked, "lines.txt");
        FAIL() << "an unreadable file gave lines";
    } catch (const Failure& failure) {
        EXPECT_EQ(std::string(failure.what()), "Permission denied: lines.txt")
            << "the reader's own reason, not a made-up answer";
    }
}

TEST(Lookup, NotThereIsAnAnswerAndCannotLookIsAFailure) {
    TempDrive drive;
    drive.write("C:\\maps\\a.galaxy", "");
    EXPECT_EQ(drive.fs.lookup("C:\\maps\\absent.galaxy", Entries::files), std::nullopt);
    EXPECT_EQ(drive.fs.lookup("C:\\absent\\a.galaxy", Entries::files), std::nullopt);
    EXPECT_EQ(drive.fs.lookup("C:\\maps\\a.galaxy\\x", Entries::files), std::nullopt)
        << "a file where a folder should be is not there either";
    EXPECT_EQ(drive.fs.lookup("C:\\absent\\*.galaxy", Entries::files), std::nullopt);
    EXPECT_FALSE(drive.fs.hasfolder("C:\\absent"));
    EXPECT_FALSE(drive.fs.hasfolder("C:\\maps\\a.galaxy"));
    EXPECT_TRUE(drive.fs.hasfolder("C:\\maps\\"));

    // A name too long for the system, or a ".." that would lead out of the drive (on the host,
    // out of the folder that stands for it): it cannot even look.
    const std::string toolong = "C:\\maps\\" + std::string(300, 'x');
    // On the host, as many ".." as this reach "/" from wherever the drive's folder is.
    const std::string escape = "C:\\..\\..\\..\\..\\..\\..\\..\\..\\..\\..\\etc\\passwd";
    const struct {
        std::string path;
        const char* reason;
    } cannotlook[] = {
        {toolong, "too long"},
        {toolong + "\\*.galaxy", "too long"},
        {escape, "above the root of its drive"},
    };
    for (const auto& c : cannotlook) {
        SCOPED_TRACE(c.path.substr(c.path.size() - 12));
        try {
            drive.fs.lookup(c.path, Entries::files);
            FAIL() << "a failed look was taken for \"not there\"";
        } catch (const Failure& failure) {
            const std::string what = failure.what();
            EXPECT_NE(what.find(c.reason), std::string::npos) << what;
            EXPECT_NE(what.find(c.path), std::string::npos) << what;
        }
    }
    EXPECT_THROW(drive.fs.hasfolder(toolong), Failure);
    EXPECT_THROW(drive.fs.readfile(escape), Failure);
    EXPECT_FALSE(folderexists(drive.fs, toolong)) << "the host query stays tolerant";
}

// A walk tells folders apart by identity; a guess for one it cannot look at would let a link
// loop through.
TEST(Folderidentity, CannotLookIsAFailureWithTheReason) {
    TempDrive drive;
    drive.makefolder("C:\\maps");
    EXPECT_EQ(drive.fs.folderidentity("C:\\maps"), drive.fs.folderidentity("C:\\MAPS\\"));
    try {
        drive.fs.folderidentity("C:\\absent");
        FAIL() << "no failure";
    } catch (const Failure& failure) {
        EXPECT_EQ(std::string(failure.what()),
                  "Cannot look for C:\\absent\r\nNo such file or directory");
    }
}

// Where a link leads is a path of the drives, as Windows gives it, every link on the way
// followed; only a place on no drive keeps its host path.
TEST(Linktarget, NamesWhereALinkLeadsOnTheDrives) {
    namespace fs = std::filesystem;
    TempDrive drive;
    const fs::path elsewhere = fs::temp_directory_path() / "hostenv-linktarget-elsewhere";
    drive.write("C:\\maps\\a.galaxy", "");
    fs::create_symlink(drive.host("C:\\maps\\a.galaxy"), drive.host("C:\\file.link"));
    fs::create_directory_symlink(drive.host("C:\\maps"), drive.host("C:\\folder.link"));
    fs::create_symlink(drive.host("C:\\file.link"), drive.host("C:\\twice.link"));
    fs::create_directory_symlink("..", drive.host("C:\\maps\\up.link"));
    fs::create_symlink("gone.galaxy", drive.host("C:\\maps\\dangling.link"));
    fs::create_directory_symlink(elsewhere, drive.host("C:\\elsewhere.link"));
    const struct {
        const char* path;
        std::optional<std::string> target;
    } cases[] = {
        {"C:\\maps\\a.galaxy", std::nullopt},
        {"C:\\maps", std::nullopt},
        {"C:\\absent", std::nullopt},
        {"C:\\file.link", "C:\\maps\\a.galaxy"},
        {"C:\\FOLDER.LINK", "C:\\maps"},
        {"C:\\twice.link", "C:\\maps\\a.galaxy"},
        {"C:\\maps\\up.link", "C:\\"},
        {"C:\\folder.link\\up.link", "C:\\"},
        {"C:\\maps\\dangling.link", "C:\\maps\\gone.galaxy"},
        {"C:\\elsewhere.link", elsewhere.string()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(drive.fs.linktarget(c.path), c.target);
    }
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
