#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <limits>
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

// What is at a path, in one look. A walk tells folders apart by identity: a guess for one it
// cannot look at would let a link loop through, so a look that fails is no answer.
TEST(Describe, TellsWhatIsThereAndTakesNothingThereForAnAnswer) {
    namespace fs = std::filesystem;
    TempDrive drive;
    drive.write("C:\\maps\\a.galaxy", "12345");
    drive.write("C:\\maps\\locked.galaxy", "x");
    fs::permissions(drive.host("C:\\maps\\locked.galaxy"), fs::perms::owner_read);
    const unsigned all = Ask::identity | Ask::final;
    const struct {
        const char* path;
        What what;
        std::uint64_t size;
        bool readonly;
        std::optional<std::string> final;
    } cases[] = {
        {"C:\\maps\\a.galaxy", What::file, 5, false, "C:\\maps\\a.galaxy"},
        {"C:\\MAPS\\A.GALAXY", What::file, 5, false, "C:\\maps\\a.galaxy"},
        {"C:\\maps\\locked.galaxy", What::file, 1, true, "C:\\maps\\locked.galaxy"},
        {"C:\\Maps\\", What::folder, 0, false, "C:\\maps"},
        {"C:\\", What::folder, 0, false, "C:\\"},
        {"C:\\absent", What::missing, 0, false, std::nullopt},
        {"C:\\maps\\a.galaxy\\x", What::missing, 0, false, std::nullopt},
        {"D:\\maps", What::missing, 0, false, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        const Description found = drive.fs.describe(c.path, all);
        EXPECT_EQ(found.what, c.what);
        EXPECT_EQ(found.size, c.size);
        EXPECT_EQ(found.readonly, c.readonly);
        EXPECT_EQ(found.final, c.final);
        EXPECT_EQ(found.identity.empty(), c.what == What::missing);
        const Description cheap = drive.fs.describe(c.path, 0);
        EXPECT_EQ(cheap.what, c.what);
        EXPECT_EQ(cheap.size, c.size);
        EXPECT_TRUE(cheap.identity.empty() && !cheap.final && !cheap.target) << "not asked for";
    }
    const auto identity = [&](const char* path) {
        return drive.fs.describe(path, Ask::identity).identity;
    };
    EXPECT_EQ(identity("C:\\maps"), identity("C:\\MAPS\\"));
    EXPECT_NE(identity("C:\\maps"), identity("C:\\maps\\a.galaxy"));

    const std::string toolong = "C:\\maps\\" + std::string(300, 'x');
    for (const unsigned ask : {0u, all, Ask::target}) {
        SCOPED_TRACE(ask);
        try {
            drive.fs.describe(toolong, ask);
            FAIL() << "a failed look was taken for an answer";
        } catch (const Failure& failure) {
            EXPECT_EQ(std::string(failure.what()),
                      "Cannot look for " + toolong + "\r\nFile name too long");
        }
    }
}

// Where a link leads is a path of the drives, as Windows gives it, every link on the way
// followed; only a place on no drive keeps its host path. A path through a link leads where
// the link does.
TEST(Describe, NamesWhereALinkLeadsOnTheDrives) {
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
        std::optional<std::string> final;
    } cases[] = {
        {"C:\\maps\\a.galaxy", std::nullopt, "C:\\maps\\a.galaxy"},
        {"C:\\maps", std::nullopt, "C:\\maps"},
        {"C:\\absent", std::nullopt, std::nullopt},
        {"C:\\file.link", "C:\\maps\\a.galaxy", "C:\\maps\\a.galaxy"},
        {"C:\\FOLDER.LINK", "C:\\maps", "C:\\maps"},
        {"C:\\folder.link\\a.galaxy", std::nullopt, "C:\\maps\\a.galaxy"},
        {"C:\\twice.link", "C:\\maps\\a.galaxy", "C:\\maps\\a.galaxy"},
        {"C:\\maps\\up.link", "C:\\", "C:\\"},
        {"C:\\folder.link\\up.link", "C:\\", "C:\\"},
        {"C:\\maps\\dangling.link", "C:\\maps\\gone.galaxy", std::nullopt},
        {"C:\\elsewhere.link", elsewhere.string(), std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(drive.fs.describe(c.path, Ask::target).target, c.target);
        EXPECT_EQ(drive.fs.describe(c.path, Ask::final).final, c.final);
    }
}

// The whole file, or a part of it, in place of what the buffer held: a caller that reads many
// files keeps one buffer's memory for them all.
TEST(Readpart, ReadsAPartOrTheWholeFileIntoTheCallersBuffer) {
    TempDrive drive;
    const std::string large(100000, 'g');
    drive.write("C:\\large.galaxy", large);
    drive.write("C:\\small.galaxy", "0123456789");
    std::string bytes;
    drive.fs.readinto("C:\\large.galaxy", bytes);
    EXPECT_EQ(bytes, large);
    const std::size_t capacity = bytes.capacity();
    drive.fs.readinto("C:\\small.galaxy", bytes);
    EXPECT_EQ(bytes, "0123456789");
    EXPECT_EQ(bytes.capacity(), capacity) << "the buffer is kept, not made anew";
    const struct {
        std::uint64_t offset;
        std::size_t length;
        const char* part;
    } cases[] = {
        {0, 3, "012"}, {7, 100, "789"}, {4, 0, ""},
        {10, 5, ""},   {50, 5, ""},     {2, std::numeric_limits<std::size_t>::max(), "23456789"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.offset) + " " + std::to_string(c.length));
        drive.fs.readpart("C:\\small.galaxy", c.offset, c.length, bytes);
        EXPECT_EQ(bytes, c.part);
    }
    try {
        drive.fs.readinto("C:\\absent.galaxy", bytes);
        FAIL() << "a file that is not there was read";
    } catch (const Failure& failure) {
        EXPECT_EQ(std::string(failure.what()),
                  "Cannot read C:\\absent.galaxy\r\nNo such file or directory");
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
