#include <gtest/gtest.h>

#include "faultyfilesystem.h"
#include "hostenv/failure.h"
#include "tallyholdhost.h"

namespace tallyhold {
namespace {

namespace fs = std::filesystem;

class Manager : public TallyholdHost {
  protected:
    void interactive() { ASSERT_EQ(load(), std::nullopt); }
};

TEST(ManifestText, CountsAndQuotesEveryNameAndEndsWithAnEmptyLine) {
    EXPECT_EQ(manifesttext({}), "TXT\r\nfileCount  0 \r\n\r\n");
    EXPECT_EQ(manifesttext({"My Map", "", "a.b \"c\""}),
              "TXT\r\nfileCount  3 \r\nfileName \"My Map\"\r\nfileName \"\"\r\n"
              "fileName \"a.b \"c\"\"\r\n\r\n");

    const std::string twelve = manifesttext(Lines(12, "Alpha"));
    EXPECT_EQ(twelve.substr(0, twelve.find("\r\n", 5) + 2), "TXT\r\nfileCount  12 \r\n");
    std::size_t lines = 0;
    for (std::size_t at = twelve.find("\r\n"); at != std::string::npos;
         at = twelve.find("\r\n", at + 2)) {
        ++lines;
    }
    EXPECT_EQ(lines, 15u) << "N + 3 lines, each ended by CR LF";
}

TEST_F(Manager, ASearchWithNothingFoundCountsZero) {
    interactive();
    EXPECT_EQ(click("Command1"), std::nullopt);
    EXPECT_TRUE(form.foundgalaxies.empty());
    EXPECT_TRUE(form.galaxynames.empty());
    EXPECT_EQ(form.foundlist.text(), "");
    EXPECT_EQ(form.foundcountlabel.caption(), " 0 galaxies found");
}

TEST_F(Manager, SearchListsBothRootsInWalkOrderWithNamesAsFound) {
    drive.touch({game("z.galaxy"), game("Fortrel\\Spaced Out.galaxy"), game("a.b.c.galaxy"),
                 game("O'Brien's (best).galaxy"), game("Alpha.galaxy"), game("notes.txt"),
                 game("galaxy.manifest"), user("Alpha.galaxy"), user("deep\\er\\UPPER.GALAXY")});
    interactive();
    form.searchgalaxies();
    EXPECT_EQ(form.foundgalaxies,
              (Lines{game("Fortrel\\Spaced Out.galaxy"), game("a.b.c.galaxy"), game("Alpha.galaxy"),
                     game("O'Brien's (best).galaxy"), game("z.galaxy"),
                     user("deep\\er\\UPPER.GALAXY"), user("Alpha.galaxy")}));
    EXPECT_EQ(form.galaxynames,
              (Lines{"Spaced Out", "a.b.c", "Alpha", "O'Brien's (best)", "z", "UPPER", "Alpha"}));
    EXPECT_EQ(form.foundlist.text(),
              "Spaced Out.galaxy\r\na.b.c.galaxy\r\nAlpha.galaxy\r\n"
              "O'Brien's (best).galaxy\r\nz.galaxy\r\nUPPER.GALAXY\r\nAlpha.galaxy\r\n");
    EXPECT_EQ(form.foundcountlabel.caption(), " 7 galaxies found");
    EXPECT_EQ(form.filelist.pattern(), "*.galaxy");

    fs::remove(drive.host(game("z.galaxy")));
    form.searchgalaxies();
    EXPECT_EQ(form.galaxynames.size(), 6u) << "the lists describe the latest search only";
    EXPECT_EQ(form.foundcountlabel.caption(), " 6 galaxies found");
    EXPECT_EQ(form.foundlist.text().substr(0, 19), "Spaced Out.galaxy\r\n");
    EXPECT_EQ(std::count(form.foundlist.text().begin(), form.foundlist.text().end(), '\n'), 13)
        << "the box keeps the first search's names above the second's";
}

TEST_F(Manager, AFileNamedOnlyDotGalaxyGivesAnEmptyName) {
    // The POSIX side hides dot files, as Windows hides files with the hidden flag; on
    // Windows ".galaxy" is an ordinary file, so it is listed here as it would be there.
    class DotGalaxy : public hostenv::posix::PosixFileSystem {
      public:
        using PosixFileSystem::PosixFileSystem;
        hostenv::FolderContents readfolder(const std::string& folder, const std::string& identity,
                                           const std::string& pattern) override {
            auto contents = PosixFileSystem::readfolder(folder, identity, pattern);
            if (folder == "C:\\Games\\Zarn" && hostenv::matchespattern(".galaxy", pattern)) {
                contents.files.insert(contents.files.begin(), {".galaxy", "", ""});
            }
            return contents;
        }
    } windowslike({{'C', drive.root()}}, TempDrive::cwd);
    drive.write(game("b.galaxy"), "");
    Tallyhold tallyhold{windowslike, platform, ui};
    ASSERT_EQ(ending([&] { tallyhold.load(); }), std::nullopt);
    tallyhold.searchgalaxies();
    EXPECT_EQ(tallyhold.foundgalaxies, (Lines{game(".galaxy"), game("b.galaxy")}));
    EXPECT_EQ(tallyhold.galaxynames, (Lines{"", "b"}));
    EXPECT_EQ(tallyhold.foundlist.text(), ".galaxy\r\nb.galaxy\r\n");
}

TEST_F(Manager, APlayerWithoutAUserFolderGetsTheGameFoldersGalaxies) {
    fs::remove_all(drive.host(userfolder));
    drive.write(game("a.galaxy"), "");
    interactive();
    EXPECT_EQ(click("Command1"), std::nullopt);
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(form.foundgalaxies, Lines{game("a.galaxy")});
    EXPECT_EQ(click("Command5"), std::nullopt);

    platform.args = "/s";
    EXPECT_EQ(load(), 0);
    EXPECT_EQ(drive.read(game("galaxy.manifest")), manifesttext({"a"}));
}

TEST_F(Manager, TheWriterKeepsThePreviousManifestOnce) {
    interactive();
    form.galaxynames = {"Alpha", "Beta"};
    const std::string first = manifesttext(form.galaxynames);

    form.writemanifest(game(""));
    EXPECT_EQ(drive.read(game("galaxy.manifest")), first);
    EXPECT_FALSE(drive.exists(game("galaxy.manifest.old"))) << "nothing to keep yet";

    form.galaxynames = {"Gamma"};
    form.writemanifest(game(""));
    EXPECT_EQ(drive.read(game("galaxy.manifest")), manifesttext({"Gamma"}));
    EXPECT_EQ(drive.read(game("galaxy.manifest.old")), first);

    form.galaxynames = {"Delta"};
    try {
        form.writemanifest(game(""));
        FAIL() << "the .old was replaced";
    } catch (const hostenv::Failure& failure) {
        EXPECT_EQ(std::string(failure.what()),
                  "Cannot write " + game("galaxy.manifest") + "; nothing was changed.\r\n" +
                      "The previous manifest is kept as " + game("galaxy.manifest.old") +
                      ", and that file exists already. Remove or rename " +
                      game("galaxy.manifest.old") + ", then write the manifest again.");
    }
    EXPECT_EQ(drive.read(game("galaxy.manifest")), manifesttext({"Gamma"}));
    EXPECT_EQ(drive.read(game("galaxy.manifest.old")), first);
    EXPECT_TRUE(drive.temporaries().empty());
}

TEST_F(Manager, AWriterFailureNamesTheManifestAndChangesNothing) {
    drive.write(fortrel("galaxy.manifest"), "current\r\n");
    drive.write(fortrel("galaxy.manifest.old"), "older\r\n");
    interactive();
    ASSERT_EQ(click("Command1"), std::nullopt);
    EXPECT_EQ(click("Command2"), 1);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_NE(ui.messages[0].find(fortrel("galaxy.manifest")), std::string::npos);
    EXPECT_EQ(drive.read(fortrel("galaxy.manifest")), "current\r\n");
    EXPECT_EQ(drive.read(fortrel("galaxy.manifest.old")), "older\r\n");
    EXPECT_TRUE(drive.temporaries().empty());

    // A target folder that does not exist.
    ui.messages.clear();
    form.fortrelfolder = game("Missing\\");
    EXPECT_EQ(click("Command2"), 1);
    EXPECT_NE(ui.messages.at(0).find(game("Missing\\galaxy.manifest")), std::string::npos);
    EXPECT_FALSE(drive.exists(game("Missing")));
}

TEST_F(Manager, RemovalDeletesEveryManifestAnyCaseAndKeepsTheOldOnes) {
    drive.write(game("galaxy.manifest"), "1");
    drive.write(game("galaxy.manifest.old"), "old");
    drive.write(fortrel("GALAXY.MANIFEST"), "2");
    drive.write(user("maps\\Galaxy.Manifest"), "3");
    drive.write(user("galaxy.manifest.old"), "old");
    drive.write(user("a.galaxy"), "");
    interactive();
    form.foundlist.settext("earlier\r\n");
    form.galaxynames = {"kept"};
    EXPECT_EQ(click("Command5"), std::nullopt);
    EXPECT_EQ(form.manifestpaths, (Lines{fortrel("GALAXY.MANIFEST"), game("galaxy.manifest"),
                                         user("maps\\Galaxy.Manifest")}));
    EXPECT_EQ(form.removalbox.text(), "killing " + user("maps\\Galaxy.Manifest"));
    for (const auto& path : form.manifestpaths) EXPECT_FALSE(drive.exists(path)) << path;
    EXPECT_EQ(drive.read(game("galaxy.manifest.old")), "old");
    EXPECT_EQ(drive.read(user("galaxy.manifest.old")), "old");
    EXPECT_EQ(form.filelist.pattern(), "galaxy.manifest");
    EXPECT_EQ(form.foundlist.text(), "earlier\r\n");
    EXPECT_EQ(form.galaxynames, Lines{"kept"});
    EXPECT_EQ(buttons(), (std::vector<bool>{true, false, true, true, true}));

    form.removalbox.settext("shown");
    EXPECT_EQ(click("Command5"), std::nullopt);
    EXPECT_TRUE(form.manifestpaths.empty());
    EXPECT_EQ(form.removalbox.text(), "shown") << "nothing to remove leaves the box alone";
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(Manager, AManifestThatCannotBeDeletedFailsNamingIt) {
    drive.write(fortrel("galaxy.manifest"), "1");
    drive.write(game("galaxy.manifest"), "2");
    drive.write(user("galaxy.manifest"), "3");
    fs::permissions(drive.host(game("galaxy.manifest")), fs::perms::owner_read);
    interactive();
    EXPECT_EQ(click("Command5"), 1);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_NE(ui.messages[0].find(game("galaxy.manifest")), std::string::npos);
    EXPECT_NE(ui.messages[0].find("read-only"), std::string::npos);
    EXPECT_FALSE(drive.exists(fortrel("galaxy.manifest"))) << "work done stays done";
    EXPECT_EQ(drive.read(game("galaxy.manifest")), "2");
    EXPECT_EQ(drive.read(user("galaxy.manifest")), "3");
}

TEST_F(Manager, SearchAndUpdateAlternateAndARemovalBetweenChangesNothingOfThat) {
    drive.touch({game("Alpha.galaxy"), user("Beta.galaxy")});
    drive.write(fortrel("galaxy.manifest"), "previous\r\n");
    interactive();
    EXPECT_EQ(click("Command1"), std::nullopt);
    EXPECT_EQ(buttons(), (std::vector<bool>{false, true, true, true, true}));

    fs::remove(drive.host(user("Beta.galaxy")));
    EXPECT_EQ(click("Command5"), std::nullopt);
    EXPECT_FALSE(drive.exists(fortrel("galaxy.manifest")));
    EXPECT_EQ(buttons(), (std::vector<bool>{false, true, true, true, true}));

    EXPECT_EQ(click("Command2"), std::nullopt);
    EXPECT_EQ(drive.read(fortrel("galaxy.manifest")), manifesttext({"Alpha", "Beta"}))
        << "the earlier search's galaxies";
    EXPECT_FALSE(drive.exists(fortrel("galaxy.manifest.old")));
    EXPECT_FALSE(drive.exists(game("galaxy.manifest"))) << "the button writes into the expansion";
    EXPECT_EQ(buttons(), (std::vector<bool>{true, false, true, true, true}));

    EXPECT_EQ(click("Command1"), std::nullopt);
    EXPECT_EQ(click("Command2"), std::nullopt);
    EXPECT_EQ(drive.read(fortrel("galaxy.manifest")), manifesttext({"Alpha"}));
    EXPECT_EQ(drive.read(fortrel("galaxy.manifest.old")), manifesttext({"Alpha", "Beta"}));
}

TEST_F(Manager, ShowZarnLocationMovesOnlyTheLists) {
    drive.touch({game("a.galaxy"), game("b.txt")});
    interactive();
    EXPECT_EQ(click("Command4"), std::nullopt);
    EXPECT_EQ(form.folderlist.path(), "C:\\Games\\Zarn");
    ASSERT_EQ(form.filelist.count(), 1);
    EXPECT_EQ(form.filelist.entry(0), "a.galaxy");
    EXPECT_EQ(form.foundcountlabel.caption(), "galaxies found");
    EXPECT_EQ(buttons(), (std::vector<bool>{true, false, true, true, true}));

    fs::remove_all(drive.host("C:\\Games\\Zarn"));
    EXPECT_EQ(click("Command4"), 1) << "a missing game folder falls under the failure rule";
}

TEST_F(Manager, NamesWithoutAnExactAnsiFormAreLeftOutAndNamed) {
    drive.makefolder(fortrel(""));
    drive.touch({game("Caf\xC3\xA9.galaxy"), game("\xE6\x98\x9F\xE7\xB3\xBB.galaxy"),
                 user("\xE5\x9C\xB0\xE5\x9B\xBE\\x.galaxy"),
                 user("\xC5\x81\xC3\xB3"
                      "d\xC5\xBA.galaxy")});
    for (const char* switches : {"", "/s"}) {
        SCOPED_TRACE(switches);
        platform.args = switches;
        ui.messages.clear();
        if (*switches == '\0') {
            interactive();
            ASSERT_EQ(click("Command1"), std::nullopt);
            ASSERT_EQ(click("Command2"), std::nullopt);
        } else {
            ASSERT_EQ(load(), 0);
        }
        const std::string manifest =
            std::string(*switches == '\0' ? fortrel("") : game("")) + "galaxy.manifest";
        // "Café" in Windows-1252; "Łódź" has no exact form there, though "Lodz" would fit.
        EXPECT_EQ(drive.read(manifest), "TXT\r\nfileCount  1 \r\nfileName \"Caf\xE9\"\r\n\r\n");
        ASSERT_EQ(ui.messages.size(), 1u);
        // A folder below a galaxy folder that the game cannot name hides its galaxies too.
        EXPECT_EQ(ui.messages[0],
                  manifest +
                      " leaves out 3 galaxies: the game reads the manifest in the system's ANSI "
                      "code page, which has no exact form of these names. Rename them to play "
                      "them.\r\n" +
                      game("\xE6\x98\x9F\xE7\xB3\xBB.galaxy") + "\r\n" +
                      user("\xE5\x9C\xB0\xE5\x9B\xBE\\x.galaxy") + "\r\n" +
                      user("\xC5\x81\xC3\xB3"
                           "d\xC5\xBA.galaxy"));
        EXPECT_EQ(form.foundcountlabel.caption(), " 4 galaxies found")
            << "every galaxy is still found";
    }
}

TEST_F(Manager, NamesTheManifestCannotQuoteAreLeftOutAndNamedAndTheCountMatches) {
    drive.touch({game("plain.galaxy"), game("q\"uote.galaxy"), game("line\nfeed.galaxy"),
                 user("carriage\rreturn.galaxy"), user("tab\tfolder\\x.galaxy"),
                 user("\xE6\x98\x9F.galaxy")});
    platform.args = "/s";
    ASSERT_EQ(load(), 0);
    const std::string manifest = game("galaxy.manifest");
    const std::string text = drive.read(manifest);
    EXPECT_EQ(text, "TXT\r\nfileCount  1 \r\nfileName \"plain\"\r\n\r\n");
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0],
              manifest +
                  " leaves out 1 galaxy: the game reads the manifest in the system's ANSI code "
                  "page, which has no exact form of these names. Rename them to play them.\r\n" +
                  user("\xE6\x98\x9F.galaxy") + "\r\n\r\n" + manifest +
                  " leaves out 4 galaxies: the manifest cannot hold a name with a double quote "
                  "(\") or a control character such as a line break. Rename them to play "
                  "them.\r\n" +
                  game("line\\x0Afeed.galaxy") + "\r\n" + game("q\"uote.galaxy") + "\r\n" +
                  user("tab\\x09folder\\x.galaxy") + "\r\n" + user("carriage\\x0Dreturn.galaxy"));
}

TEST_F(Manager, AGalaxyOrManifestReachedTwiceIsFoundListedAndRemovedOnce) {
    drive.touch({game("Own.galaxy"), user("Mine.galaxy")});
    drive.write(user("galaxy.manifest"), "per user");
    fs::create_directory_symlink(drive.host(userfolder), drive.host(game("mine")));
    // The same galaxy under its own name in another folder: a hard link.
    fs::create_hard_link(drive.host(game("Own.galaxy")), drive.host(user("own.galaxy")));
    platform.args = "/s";
    ASSERT_EQ(load(), 0);
    EXPECT_EQ(form.foundgalaxies, (Lines{game("mine\\Mine.galaxy"), game("Own.galaxy")}));
    EXPECT_EQ(form.foundcountlabel.caption(), " 2 galaxies found");
    EXPECT_EQ(drive.read(game("galaxy.manifest")), manifesttext({"Mine", "Own"}));
    EXPECT_EQ(form.manifestpaths, Lines{game("mine\\galaxy.manifest")});
    EXPECT_EQ(ui.reports, std::vector<std::string>{"Wrote " + game("galaxy.manifest") +
                                                   " with 2 galaxies; 1 earlier manifest was "
                                                   "removed."});
}

TEST_F(Manager, ASearchTakesTheBusyGuardSoNoRemovalStartsMidWalk) {
    drive.write(game("sub\\a.galaxy"), "");
    drive.write(game("sub\\galaxy.manifest"), "kept");
    interactive();
    ui.onevents = [&] { form.clicked("Command5"); };
    ASSERT_EQ(click("Command1"), std::nullopt);
    EXPECT_GT(ui.eventsteps, 0);
    EXPECT_EQ(drive.read(game("sub\\galaxy.manifest")), "kept");
}

}  // namespace
}  // namespace tallyhold
