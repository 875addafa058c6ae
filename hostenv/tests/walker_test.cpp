#include "hostenv/walker.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>

#include "hostenv/failure.h"
#include "testhost.h"

namespace hostenv {
namespace {

using testing::TempDrive;

// A walk of its own, with nothing met before.
void walkalone(FileSystem& fs, const std::string& pattern, const std::string& folder, Lines& list,
               const WalkHook& entered = {}) {
    Walked walked;
    walkfolders(fs, folder, pattern, entered, walked, list);
}

class Walk : public ::testing::Test {
  protected:
    Walk() {
        drive.touch({"C:\\S\\s.galaxy", "C:\\S\\A\\a.galaxy", "C:\\S\\A\\deep\\d.GALAXY",
                     "C:\\S\\B\\b.galaxy", "C:\\S\\B\\notes.txt", "C:\\S\\B\\galaxy.manifest",
                     "C:\\S\\B\\galaxy.manifest.old", "C:\\S\\GALAXY.MANIFEST",
                     "C:\\S\\.hidden\\h.galaxy", "C:\\top.galaxy"});
    }

    Lines walk(const std::string& pattern, const std::string& folder) {
        Lines list;
        walkalone(drive.fs, pattern, folder, list, [this](const WalkPlace& place) {
            entered.push_back(place.folder + " " + std::to_string(place.subfolders.size()) + " " +
                              std::to_string(place.files.size()));
        });
        return list;
    }

    TempDrive drive;
    // Each folder entered, with how many subfolders and matching files it read there.
    std::vector<std::string> entered;
};

TEST_F(Walk, EachSubfolderTreeComesBeforeTheFolderOwnFilesAndTheHookSeesEachFolder) {
    const Lines expected{"C:\\S\\A\\deep\\d.GALAXY", "C:\\S\\A\\a.galaxy", "C:\\S\\B\\b.galaxy",
                         "C:\\S\\s.galaxy"};
    EXPECT_EQ(walk("*.galaxy", "C:\\S"), expected);
    const std::vector<std::string> folders{"C:\\S 2 1", "C:\\S\\A 1 1", "C:\\S\\A\\deep 0 1",
                                           "C:\\S\\B 0 1"};
    EXPECT_EQ(entered, folders) << "as entered, hidden folders left out";
    entered.clear();
    EXPECT_EQ(walk("*.galaxy", "C:\\S\\"), expected) << "a trailing backslash changes nothing";
    EXPECT_EQ(entered, folders);
}

TEST_F(Walk, ADriveRootGivesRootPaths) {
    const Lines list = walk("top.galaxy", "C:\\");
    EXPECT_EQ(list, Lines{"C:\\top.galaxy"});
    EXPECT_TRUE(entered.front().starts_with("C:\\ ")) << entered.front();
}

TEST_F(Walk, APlainNameMatchesLetterCaseAsideAndNothingLonger) {
    EXPECT_EQ(walk("galaxy.manifest", "C:\\S"),
              (Lines{"C:\\S\\B\\galaxy.manifest", "C:\\S\\GALAXY.MANIFEST"}));
}

TEST_F(Walk, EntriesAlreadyInTheListStayFirst) {
    Lines list{"earlier"};
    walkalone(drive.fs, "*.galaxy", "C:\\S\\B", list);
    walkalone(drive.fs, "*.galaxy", "C:\\S\\B", list);
    EXPECT_EQ(list, (Lines{"earlier", "C:\\S\\B\\b.galaxy", "C:\\S\\B\\b.galaxy"}));
}

TEST_F(Walk, EmptyFoldersGiveNothing) {
    drive.makefolder("C:\\E\\inner");
    EXPECT_TRUE(walk("*.galaxy", "C:\\E").empty());
}

TEST_F(Walk, AMissingFolderHoldsNothingAndAnUnreadableOneFails) {
    Lines list{"earlier"};
    Walked walked;
    EXPECT_FALSE(walkfolders(drive.fs, "C:\\Nowhere\\", "*.galaxy", {}, walked, list));
    EXPECT_EQ(list, Lines{"earlier"});

    // A name the system cannot even look at is no missing folder.
    const std::string toolong = "C:\\S\\" + std::string(300, 'x');
    EXPECT_THROW(walkalone(drive.fs, "*.galaxy", toolong, list), Failure);
    EXPECT_EQ(list, Lines{"earlier"});
}

TEST_F(Walk, ALinkBackToAnAncestorIsNotEnteredAgain) {
    std::filesystem::create_directory_symlink(drive.host("C:\\S"), drive.host("C:\\S\\A\\loop"));
    std::filesystem::create_directory_symlink(drive.host("C:\\S\\B"), drive.host("C:\\S\\A\\toB"));
    const Lines list = walk("*.galaxy", "C:\\S");
    EXPECT_EQ(list, (Lines{"C:\\S\\A\\deep\\d.GALAXY", "C:\\S\\A\\toB\\b.galaxy",
                           "C:\\S\\A\\a.galaxy", "C:\\S\\s.galaxy"}))
        << "a link elsewhere is walked, the loop is not, and B, met through the link, once";
}

TEST_F(Walk, WhatASearchHasMetIsFoundOnceHoweverItIsReachedAgain) {
    namespace fs = std::filesystem;
    drive.write("C:\\U\\u.galaxy", "");
    fs::create_directory_symlink(drive.host("C:\\U"), drive.host("C:\\S\\A\\user"));
    fs::create_hard_link(drive.host("C:\\S\\s.galaxy"), drive.host("C:\\S\\B\\S.galaxy"));
    fs::create_symlink(drive.host("C:\\S\\A\\a.galaxy"), drive.host("C:\\U\\a.galaxy"));
    drive.write("C:\\U\\b.galaxy", "another file of the same name");
    // A folder's files are met as the walk enters it, before its subfolders: S\s.galaxy is
    // kept over its hard link in B, A\a.galaxy over the link to it in the user folder.
    const Lines game{"C:\\S\\A\\deep\\d.GALAXY", "C:\\S\\A\\user\\b.galaxy",
                     "C:\\S\\A\\user\\u.galaxy", "C:\\S\\A\\a.galaxy",
                     "C:\\S\\B\\b.galaxy",       "C:\\S\\s.galaxy"};
    const struct {
        const char* shape;
        std::vector<std::string> folders;
        Lines expected;
    } cases[] = {
        {"the same folder twice",
         {"C:\\U", "c:\\u\\"},
         {"C:\\U\\a.galaxy", "C:\\U\\b.galaxy", "C:\\U\\u.galaxy"}},
        // The user folder, linked inside the game folder, was walked there.
        {"one linked inside the other", {"C:\\S", "C:\\U"}, game},
        // Walked first, the user folder is not walked again through its link.
        {"the other way round",
         {"C:\\U", "C:\\S"},
         {"C:\\U\\a.galaxy", "C:\\U\\b.galaxy", "C:\\U\\u.galaxy", "C:\\S\\A\\deep\\d.GALAXY",
          "C:\\S\\B\\b.galaxy", "C:\\S\\s.galaxy"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.shape);
        Lines list;
        Walked walked;
        for (const auto& folder : c.folders) {
            walkfolders(drive.fs, folder, "*.galaxy", {}, walked, list);
        }
        EXPECT_EQ(list, c.expected);
    }
}

TEST_F(Walk, ALinkToAnAncestorOfTheGivenFolderIsNotEntered) {
    drive.touch(
        {"C:\\Games\\Stray.galaxy", "C:\\Games\\Zarn\\z.galaxy", "C:\\Elsewhere\\e.galaxy"});
    std::filesystem::create_directory_symlink(drive.host("C:\\Games"),
                                              drive.host("C:\\Games\\Zarn\\up"));
    std::filesystem::create_directory_symlink(drive.host("C:\\"),
                                              drive.host("C:\\Games\\Zarn\\root"));
    std::filesystem::create_directory_symlink(drive.host("C:\\Elsewhere"),
                                              drive.host("C:\\Games\\Zarn\\linked"));
    EXPECT_EQ(walk("*.galaxy", "C:\\Games\\Zarn\\"),
              (Lines{"C:\\Games\\Zarn\\linked\\e.galaxy", "C:\\Games\\Zarn\\z.galaxy"}));
}

// Counts how often each folder is read, and each path looked at, through the file system it
// wraps.
class CountingFileSystem : public posix::PosixFileSystem {
  public:
    using PosixFileSystem::PosixFileSystem;
    FolderContents readfolder(const std::string& folder, const std::string& identity,
                              const std::string& pattern) override {
        ++readings[lower(folder)];
        return PosixFileSystem::readfolder(folder, identity, pattern);
    }
    Description describe(const std::string& path, unsigned ask) override {
        looks.push_back(path + (ask == 0 ? "" : " " + std::to_string(ask)));
        return PosixFileSystem::describe(path, ask);
    }
    std::map<std::string, int> readings;
    std::vector<std::string> looks;
};

TEST_F(Walk, AFolderIsReadAsOftenWhateverNumberOfSubfoldersItHas) {
    for (int i = 0; i < 60; ++i)
        drive.write("C:\\Many\\f" + std::to_string(i) + "\\x" + std::to_string(i) + ".galaxy", "");
    CountingFileSystem counting({{'C', drive.root()}}, TempDrive::cwd);
    Lines list;
    walkalone(counting, "*.galaxy", "C:\\Many", list);
    EXPECT_EQ(list.size(), 60u);
    // Once: reading it again after each subfolder would make a walk grow with the square of
    // the siblings.
    EXPECT_EQ(counting.readings["c:\\many"], 1);
    EXPECT_EQ(counting.readings["c:\\many\\f59"], 1);
    // The folder given and its drive are looked at, once each; every subfolder's identity
    // comes with its folder's listing.
    EXPECT_EQ(counting.looks, (std::vector<std::string>{"C:\\Many 1", "C:\\ 1"}));
}

TEST_F(Walk, AFolderRemovedWhileTheWalkRunsIsSkipped) {
    Lines list;
    walkalone(drive.fs, "*.galaxy", "C:\\S", list, [&](const WalkPlace& place) {
        if (place.folder == "C:\\S") std::filesystem::remove_all(drive.host("C:\\S\\B"));
    });
    EXPECT_EQ(list, (Lines{"C:\\S\\A\\deep\\d.GALAXY", "C:\\S\\A\\a.galaxy", "C:\\S\\s.galaxy"}));
}

// Answers folder and file identities as some network file systems do, whatever is there.
class UnfitIdentities : public posix::PosixFileSystem {
  public:
    using Answer = std::string (*)(const std::string& path);
    UnfitIdentities(const std::filesystem::path& root, Answer answer)
        : PosixFileSystem({{'C', root}}, TempDrive::cwd), answer_(answer) {}
    Description describe(const std::string& path, unsigned ask) override {
        Description found = PosixFileSystem::describe(path, ask);
        if (ask & Ask::identity) found.identity = answer_(path);
        return found;
    }
    FolderContents readfolder(const std::string& folder, const std::string& identity,
                              const std::string& pattern) override {
        FolderContents contents = PosixFileSystem::readfolder(folder, identity, pattern);
        for (auto& subfolder : contents.subfolders) {
            subfolder.identity = answer_(folder + "\\" + subfolder.name);
        }
        return contents;
    }

  private:
    Answer answer_;
};

TEST_F(Walk, WhereIdentitiesCannotTellFoldersApartWhereTheyLeadDoes) {
    namespace fs = std::filesystem;
    fs::create_directory_symlink(drive.host("C:\\S"), drive.host("C:\\S\\A\\loop"));
    fs::create_directory_symlink(drive.host("C:\\S\\B"), drive.host("C:\\S\\A\\toB"));
    fs::create_directory_symlink(drive.host("C:\\U"), drive.host("C:\\S\\B\\user"));
    drive.write("C:\\U\\u.galaxy", "");
    drive.write("C:\\S\\A\\deep\\s.galaxy", "another file of the same name");
    // The loop is not entered, B once, through its link, and the user folder, walked inside
    // it, not again.
    const Lines expected{
        "C:\\S\\A\\deep\\d.GALAXY", "C:\\S\\A\\deep\\s.galaxy", "C:\\S\\A\\toB\\user\\u.galaxy",
        "C:\\S\\A\\toB\\b.galaxy",  "C:\\S\\A\\a.galaxy",       "C:\\S\\s.galaxy"};
    const std::vector<std::string> folders{"C:\\S 2 1", "C:\\S\\A 3 1", "C:\\S\\A\\deep 0 2",
                                           "C:\\S\\A\\toB 1 1", "C:\\S\\A\\toB\\user 0 1"};
    const struct {
        const char* identities;
        UnfitIdentities::Answer answer;
    } cases[] = {
        {"as the system gives them", nullptr},
        {"the index 0", [](const std::string&) -> std::string { return "2049:0"; }},
        {"the index 0 in two parts", [](const std::string&) -> std::string { return "7:0:0"; }},
        {"one index for every folder", [](const std::string&) -> std::string { return "7:0:42"; }},
        {"one index for each depth",
         [](const std::string& path) {
             return "7:" + std::to_string(std::count(path.begin(), path.end(), '\\'));
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.identities);
        UnfitIdentities unfit(drive.root(), c.answer);
        FileSystem& fs = c.answer ? static_cast<FileSystem&>(unfit) : drive.fs;
        Lines list;
        Walked walked;
        entered.clear();
        const WalkHook hook = [this](const WalkPlace& place) {
            entered.push_back(place.folder + " " + std::to_string(place.subfolders.size()) + " " +
                              std::to_string(place.files.size()));
        };
        EXPECT_TRUE(walkfolders(fs, "C:\\S", "*.galaxy", hook, walked, list));
        EXPECT_FALSE(walkfolders(fs, "C:\\U", "*.galaxy", hook, walked, list));
        EXPECT_EQ(list, expected);
        EXPECT_EQ(entered, folders) << "every folder once";
    }
}

}  // namespace
}  // namespace hostenv
