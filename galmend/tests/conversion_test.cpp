#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>

#include "faultyfilesystem.h"
#include "galaxysets.h"
#include "galmendhost.h"

namespace galmend {
namespace {

namespace fs = std::filesystem;

// The worked example: an old galaxy and what it becomes.
constexpr const char* oldgalaxy = "begin\r\nversion 3\r\nplanet\r\nowner 2\r\nmoons 11\r\nend\r\n";
constexpr const char* newgalaxy =
    "begin\r\nversion 4\r\nplanet\r\nowner 2\r\nmoons 11\r\nrings 0\r\nend\r\n";
constexpr const char* currentgalaxy = "begin\r\nversion 4\r\nplanet\r\n";
// What a fix that rewrote a galaxy reports last, at the host's scripted time.
constexpr const char* keptnote =
    "The old galaxies are kept in C:\\users\\player\\AppData\\Local\\galmend backups\\"
    "2026-12-07 19-32-13 run 1.zip; galmend /restore puts them back.";

class Conversion : public GalmendHost {
  protected:
    std::string game(const std::string& name) { return "C:\\Games\\Zarn\\" + name; }
    std::string user(const std::string& name) { return std::string(userfolder) + name; }

    void interactive() { ASSERT_EQ(load(), std::nullopt); }
};

TEST_F(Conversion, DiscoveryListsBothFoldersInOrderAndCounts) {
    drive.touch({game("c.galaxy"), game("sub\\a.galaxy"), game("b.galaxy"), user("x.galaxy"),
                 user("deeper\\y.galaxy"), game("readme.txt")});
    interactive();
    EXPECT_EQ(click("Command1"), std::nullopt);
    EXPECT_EQ(form.foundgalaxies, (Lines{game("sub\\a.galaxy"), game("b.galaxy"), game("c.galaxy"),
                                         user("deeper\\y.galaxy"), user("x.galaxy")}));
    EXPECT_EQ(form.foundlist.text(),
              "a.galaxy\r\nb.galaxy\r\nc.galaxy\r\ny.galaxy\r\nx.galaxy\r\n");
    EXPECT_EQ(form.foundcountlabel.caption(), "5");
    EXPECT_EQ(form.stagelabel.caption(), " 1");
    EXPECT_EQ(buttons(), (std::vector<bool>{false, true, true, true, true}));
}

TEST_F(Conversion, NoGalaxiesStillCountsAStage) {
    interactive();
    form.findgalaxies();
    form.findgalaxies();
    EXPECT_TRUE(form.foundgalaxies.empty());
    EXPECT_EQ(form.foundlist.text(), "");
    EXPECT_EQ(form.foundcountlabel.caption(), "0");
    EXPECT_EQ(form.stagelabel.caption(), " 2");
    form.fixgalaxies();
    EXPECT_EQ(form.updatedlabel.caption(), " 0");
    EXPECT_EQ(form.stagelabel.caption(), " 3");
}

TEST_F(Conversion, OldGalaxiesAreRewrittenCurrentAndOwnMapsKeepTheirBytes) {
    drive.write(game("old.galaxy"), oldgalaxy);
    drive.write(game("TWIN.GALAXY"), oldgalaxy);
    drive.write(game("current.galaxy"), currentgalaxy);
    drive.write(game("newer.galaxy"), "x\r\nversion12\r\n");
    drive.write(user("old.galaxy"), std::string(oldgalaxy) + "\r\n\r\n");
    drive.write(user("letters.galaxy"), "x\r\nversion ab\r\nend\r\n");
    const auto before = fs::last_write_time(drive.host(game("current.galaxy")));
    interactive();
    ASSERT_EQ(click("Command1"), std::nullopt);
    ASSERT_EQ(click("Command2"), std::nullopt);

    EXPECT_EQ(drive.read(game("old.galaxy")), newgalaxy);
    EXPECT_EQ(drive.read(user("old.galaxy")), newgalaxy)
        << "trailing empty lines are not written back";
    EXPECT_EQ(drive.read(user("letters.galaxy")), "x\r\nversion 4\r\nend\r\n")
        << "version 0 is old";
    EXPECT_EQ(drive.read(game("TWIN.GALAXY")), oldgalaxy) << "one of the game's own maps";
    EXPECT_EQ(drive.read(game("current.galaxy")), currentgalaxy);
    EXPECT_EQ(fs::last_write_time(drive.host(game("current.galaxy"))), before);
    EXPECT_EQ(drive.read(game("newer.galaxy")), "x\r\nversion12\r\n");

    EXPECT_EQ(form.fixedlist.text(), "old.galaxy\r\nletters.galaxy\r\nold.galaxy\r\n");
    EXPECT_EQ(form.updatedlabel.caption(), " 3");
    EXPECT_EQ(form.foundcountlabel.caption(), "6");
    EXPECT_EQ(form.stagelabel.caption(), " 2");
    EXPECT_EQ(buttons(), (std::vector<bool>{true, false, true, true, true}));
    EXPECT_TRUE(drive.temporaries().empty());
}

TEST_F(Conversion, TheListOfOwnMapsIsReadInTheAnsiCodePageAndComparedAsWindowsCompares) {
    // "\xC9TOILE" is "ÉTOILE" in Windows-1252, the host's code page.
    drive.write("original zarn galaxies.txt", "\xC9TOILE.galaxy\r\nCaf\xE9.galaxy\r\n");
    drive.write(game("\xC3\xA9toile.galaxy"), oldgalaxy);
    drive.write(game("CAF\xC3\x89.galaxy"), oldgalaxy);
    drive.write(game("\xE6\x98\x9F\xE7\xB3\xBB.galaxy"), oldgalaxy);
    platform.args = "/s";
    EXPECT_EQ(load(), 0);
    EXPECT_EQ(drive.read(game("\xC3\xA9toile.galaxy")), oldgalaxy) << "protected by \xC9TOILE";
    EXPECT_EQ(drive.read(game("CAF\xC3\x89.galaxy")), oldgalaxy);
    EXPECT_EQ(drive.read(game("\xE6\x98\x9F\xE7\xB3\xBB.galaxy")), newgalaxy)
        << "a name outside the code page is converted like any other";
    EXPECT_EQ(form.fixedlist.text(), "\xE6\x98\x9F\xE7\xB3\xBB.galaxy\r\n");
}

TEST_F(Conversion, TheGameInstalledInThePerUserFolderHasEachGalaxyFoundOnce) {
    platform.registry["HKEY_LOCAL_MACHINE\\SOFTWARE\\Mervane\\Kestrix\\zarn\\Path"] =
        "C:\\users\\player\\AppData\\Local\\Corvatek\\Halcyrion";
    platform.setversion(user("Halcyrion.exe"), 1, 52, 0, 3);
    drive.write(user("old.galaxy"), oldgalaxy);
    interactive();
    form.findgalaxies();
    EXPECT_EQ(form.foundcountlabel.caption(), "1");
    EXPECT_EQ(form.foundgalaxies, Lines{user("old.galaxy")});
    form.fixgalaxies();
    EXPECT_EQ(form.updatedlabel.caption(), " 1");
    EXPECT_EQ(drive.read(user("old.galaxy")), newgalaxy);
}

TEST_F(Conversion, AGalaxyReachedThroughALinkedFolderOrAHardLinkIsRewrittenAndCountedOnce) {
    drive.write(game("old.galaxy"), oldgalaxy);
    drive.write(user("mine.galaxy"), oldgalaxy);
    std::filesystem::create_directory_symlink(drive.host(userfolder), drive.host(game("mine")));
    std::filesystem::create_hard_link(drive.host(game("old.galaxy")),
                                      drive.host(user("OLD.galaxy")));
    platform.args = "/s";
    EXPECT_EQ(load(), 0);
    EXPECT_EQ(ui.reports,
              (std::vector<std::string>{"Rewrote C:\\Games\\Zarn\\mine\\mine.galaxy",
                                        "Rewrote C:\\Games\\Zarn\\old.galaxy",
                                        "Rewrote 2 of the 2 galaxies found.", keptnote}));
    EXPECT_EQ(drive.read(user("mine.galaxy")), newgalaxy);
    EXPECT_EQ(drive.read(game("old.galaxy")), newgalaxy);
}

TEST_F(Conversion, ASilentRunFindsConvertsAndEnds) {
    drive.write(game("old.galaxy"), oldgalaxy);
    drive.write(game("Twin.galaxy"), oldgalaxy);
    drive.write(user("new.galaxy"), currentgalaxy);
    platform.args = "/s";
    EXPECT_EQ(load(), 0);
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(ui.reports, (std::vector<std::string>{
                              "Rewrote C:\\Games\\Zarn\\old.galaxy",
                              "Rewrote 1 of the 3 galaxies found; the others are the game's own or "
                              "in the new format already.",
                              keptnote}));
    EXPECT_EQ(drive.read(game("old.galaxy")), newgalaxy);
    EXPECT_EQ(form.stagelabel.caption(), " 2");
    EXPECT_EQ(form.fixedlist.text(), "old.galaxy\r\n");
}

TEST_F(Conversion, BadGalaxiesFailNamingTheFileAndStayAsTheyWere) {
    const struct {
        const char* name;
        std::string bytes;
        const char* reason;
    } cases[] = {
        {"empty.galaxy", "", "no version line"},
        {"one.galaxy", "only\r\n", "no version line"},
        {"lf.galaxy", "begin\nversion 3\nend\n", "no version line"},
        {"binary.galaxy", std::string("\0\x01\xff\n\x80", 5), "no version line"},
        {"long.galaxy", std::string(10 << 20, 'x'), "no version line"},
        {"short.galaxy", "begin\r\nversion 3\r\nplanet\r\nowner 2\r\n", "ends at line 4"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDrive fresh;
        fresh.makefolder(userfolder);
        fresh.makefolder("C:\\Games\\Zarn");
        for (const char* file : {"targetzarnver.txt", "oldstruct.txt", "newstruct.txt",
                                 "original zarn galaxies.txt"}) {
            fresh.write(file, drive.read(file));
        }
        fresh.write(game("a.galaxy"), oldgalaxy);
        fresh.write(game(c.name), c.bytes);
        fresh.write(game("z.galaxy"), oldgalaxy);
        RecordingUi recorded;
        Galmend galmend{fresh.fs, platform, recorded};
        platform.args = "/s";
        try {
            galmend.load();
        } catch (const ProgramEnded& ended) {
            EXPECT_EQ(ended.exitcode, 1);
        }
        ASSERT_EQ(recorded.messages.size(), 1u);
        EXPECT_NE(recorded.messages[0].find(game(c.name)), std::string::npos)
            << recorded.messages[0];
        EXPECT_NE(recorded.messages[0].find(c.reason), std::string::npos) << recorded.messages[0];
        EXPECT_EQ(fresh.read(game(c.name)), c.bytes);
        EXPECT_EQ(fresh.read(game("a.galaxy")), newgalaxy) << "work done stays done";
        EXPECT_EQ(fresh.read(game("z.galaxy")), oldgalaxy) << "later ones not looked at";
    }
}

TEST_F(Conversion, AGalaxyThatDisappearedOrIsReadOnlyFailsNamingIt) {
    drive.write(game("gone.galaxy"), oldgalaxy);
    drive.write(game("locked.galaxy"), oldgalaxy);
    interactive();
    form.findgalaxies();
    form.fixbutton.setenabled(true);
    fs::remove(drive.host(game("gone.galaxy")));
    EXPECT_EQ(click("Command2"), 1);
    EXPECT_NE(ui.messages.at(0).find(game("gone.galaxy")), std::string::npos);
    EXPECT_NE(ui.messages.at(0).find("disappeared"), std::string::npos);

    ui.messages.clear();
    fs::permissions(drive.host(game("locked.galaxy")), fs::perms::owner_read);
    form.foundgalaxies = {game("locked.galaxy")};
    EXPECT_EQ(click("Command2"), 1);
    EXPECT_NE(ui.messages.at(0).find(game("locked.galaxy")), std::string::npos);
    EXPECT_NE(ui.messages.at(0).find("read-only"), std::string::npos);
    EXPECT_EQ(drive.read(game("locked.galaxy")), oldgalaxy);
    EXPECT_TRUE(drive.temporaries().empty());
}

TEST_F(Conversion, ALockedGalaxyFailsNamingItBeforeAnythingChanges) {
    // Another program holds the file: it is found but cannot be read.
    hostenv::testing::UnreadableFiles locking(drive.root(), {game("b.galaxy")},
                                              "The process cannot access the file.");
    drive.write(game("a.galaxy"), oldgalaxy);
    drive.write(game("b.galaxy"), oldgalaxy);
    platform.args = "/s";
    Galmend galmend{locking, platform, ui};
    EXPECT_THROW(galmend.load(), ProgramEnded);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0], "The galaxy " + game("b.galaxy") +
                                  " cannot be read.\r\nThe process cannot access the file.")
        << "the system's reason, not a guess";
    EXPECT_EQ(drive.read(game("a.galaxy")), newgalaxy);
    EXPECT_EQ(drive.read(game("b.galaxy")), oldgalaxy);
}

TEST_F(Conversion, ATemplateLineIsQuotedInTheCodePage) {
    drive.write("newstruct.txt",
                "$1\r\nversion 4\r\nplanet $4\r\nplanet\r\nowner #\r\nmoons caf\xE9 ##\r\nrings "
                "0\r\n");
    drive.write(game("short.galaxy"), "begin\r\nversion 3\r\nplanet\r\nowner 2\r\n");
    platform.args = "/s";
    EXPECT_EQ(load(), 1);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_NE(ui.messages[0].find("(\"moons caf\xC3\xA9 ##\") needs galaxy line"),
              std::string::npos)
        << ui.messages[0];
}

// A file system whose one galaxy is of a size the test does not write, or whose read runs
// out of memory.
class HugeGalaxy : public hostenv::posix::PosixFileSystem {
  public:
    HugeGalaxy(const fs::path& root, std::string path, std::uint64_t size, bool memoryrunsout)
        : PosixFileSystem({{'C', root}}, TempDrive::cwd),
          path_(std::move(path)),
          size_(size),
          memoryrunsout_(memoryrunsout) {}
    hostenv::Description describe(const std::string& path, unsigned ask) override {
        hostenv::Description found = PosixFileSystem::describe(path, ask);
        if (path == path_) found.size = size_;
        return found;
    }
    void readpart(const std::string& path, std::uint64_t offset, std::size_t length,
                  std::string& bytes) override {
        if (path == path_ && memoryrunsout_) throw std::bad_alloc();
        if (path == path_) ++hugereads;
        PosixFileSystem::readpart(path, offset, length, bytes);
    }
    int hugereads = 0;

  private:
    std::string path_;
    std::uint64_t size_;
    bool memoryrunsout_;
};

TEST_F(Conversion, AGalaxyTooBigForTheAddressSpaceIsRefusedBeforeItIsReadNamingItsSize) {
    constexpr std::uint64_t gb = std::uint64_t{1} << 30;
    const struct {
        std::uint64_t addresses;
        std::uint64_t size;
        bool memoryrunsout;
        std::string message;
    } cases[] = {
        {4 * gb, gb * 16 / 10, false,
         "The galaxy " + game("big.galaxy") +
             " is 1.6 GB; galmend converts galaxies of up to 512 MB on this Windows. It is "
             "unchanged."},
        {2 * gb, 300 << 20, false,
         "The galaxy " + game("big.galaxy") +
             " is 300 MB; galmend converts galaxies of up to 256 MB on this Windows. It is "
             "unchanged."},
        {std::uint64_t{1} << 47, 10 * gb, true,
         "Out of memory while converting the galaxy " + game("big.galaxy") + "."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        drive.write(game("a.galaxy"), oldgalaxy);
        drive.write(game("big.galaxy"), oldgalaxy);
        HugeGalaxy huge(drive.root(), game("big.galaxy"), c.size, c.memoryrunsout);
        platform.addresses = c.addresses;
        platform.args = "/s";
        RecordingUi recorded;
        Galmend galmend{huge, platform, recorded};
        EXPECT_EQ(hostenv::testing::ending([&] { galmend.load(); }), 1);
        EXPECT_EQ(recorded.messages, std::vector<std::string>{c.message});
        EXPECT_EQ(huge.hugereads, 0);
        EXPECT_EQ(drive.read(game("big.galaxy")), oldgalaxy);
    }
}

TEST_F(Conversion, DefinitionsThatLeaveTheOldFormatUpdateNothing) {
    drive.write("oldstruct.txt", "");
    // The version line is quoted from the galaxy's bytes, in the ANSI code page.
    const std::string galaxy = "begin\r\nversion 3 caf\xE9\x01\r\nplanet\r\n";
    drive.write(game("a.galaxy"), galaxy);
    drive.write(game("b.galaxy"), oldgalaxy);
    interactive();
    ASSERT_EQ(click("Command1"), std::nullopt);
    EXPECT_EQ(click("Command2"), 1);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0],
              "Cannot rewrite the galaxy " + game("a.galaxy") +
                  "; it is unchanged.\r\nIts new text would not be in the new format: its "
                  "version line would be \"version 3 caf\xC3\xA9<U+0001>\", below version 4 of "
                  "\"newstruct.txt\". Check that \"oldstruct.txt\" and \"newstruct.txt\" "
                  "describe this galaxy's format.");
    EXPECT_EQ(drive.read(game("a.galaxy")), galaxy);
    EXPECT_EQ(drive.read(game("b.galaxy")), oldgalaxy);
    EXPECT_EQ(form.fixedlist.text(), "") << "nothing is listed as updated";
    EXPECT_EQ(form.updatedlabel.caption(), " 0");
    EXPECT_TRUE(drive.temporaries().empty());
}

TEST_F(Conversion, APlayerWithoutAUserFolderStillHasTheGameFoldersGalaxiesRewritten) {
    fs::remove_all(drive.host(userfolder));
    drive.write(game("a.galaxy"), oldgalaxy);
    platform.args = "/s";
    EXPECT_EQ(load(), 0);
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(drive.read(game("a.galaxy")), newgalaxy);
}

TEST_F(Conversion, TheTemporaryFilesOfKilledRunsGoFromTheFoldersWrittenTo) {
    drive.write(game("many\\a.galaxy"), oldgalaxy);
    drive.write(game("many\\~galmend-77-3.tmp"), "half");
    drive.write(game("current\\b.galaxy"), currentgalaxy);
    drive.write(game("current\\~galmend-77-4.tmp"), "half");
    platform.args = "/s";
    EXPECT_EQ(load(), 0);
    EXPECT_FALSE(fs::exists(drive.host(game("many\\~galmend-77-3.tmp"))));
    EXPECT_TRUE(fs::exists(drive.host(game("current\\~galmend-77-4.tmp"))))
        << "nothing written there";
}

TEST_F(Conversion, AMissingListOfOwnMapsFailsBeforeAnyGalaxyChanges) {
    fs::remove(drive.host("original zarn galaxies.txt"));
    drive.write(game("old.galaxy"), oldgalaxy);
    platform.args = "/s";
    EXPECT_EQ(load(), 1);
    EXPECT_NE(ui.messages.at(0).find("\"original zarn galaxies.txt\""), std::string::npos);
    EXPECT_EQ(drive.read(game("old.galaxy")), oldgalaxy);
}

TEST_F(Conversion, OtherCommandsAreIgnoredWhileAWalkLetsEventsThrough) {
    drive.write(game("sub\\a.galaxy"), oldgalaxy);
    interactive();
    int events = 0;
    ui.onevents = [&] {
        ++events;
        form.clicked("Command2");
        form.clicked("Command4");
        form.clicked("Command1");
        form.folderpicked("C:\\");
        form.drivepicked("C:");
    };
    ASSERT_EQ(click("Command1"), std::nullopt);
    EXPECT_GT(events, 0);
    EXPECT_EQ(drive.read(game("sub\\a.galaxy")), oldgalaxy) << "no conversion started mid-walk";
    EXPECT_EQ(form.stagelabel.caption(), " 1") << "no second discovery";
    EXPECT_EQ(form.foundgalaxies, Lines{game("sub\\a.galaxy")});

    ui.onevents = [&] { form.clicked("Command3"); };
    form.findbutton.setenabled(true);
    EXPECT_EQ(click("Command1"), 0) << "exit still ends the program mid-walk";
}

TEST_F(Conversion, EveryFailingFileOperationLeavesEachGalaxyOldOrNewAndRestorable) {
    const std::vector<std::pair<std::string, std::string>> galaxies{
        {game("a.galaxy"), oldgalaxy},    {game("sub\\b.galaxy"), oldgalaxy},
        {game("Twin.galaxy"), oldgalaxy}, {game("current.galaxy"), currentgalaxy},
        {user("c.galaxy"), oldgalaxy},    {user("d.galaxy"), std::string(oldgalaxy) + "\r\n"}};
    int runs = 0;
    int checked = 0;
    const std::string backups = backupsfolder(galaxysets(), "C:\\users\\player\\AppData\\Local");
    for (const bool persistent : {false, true}) {
        for (int failat = 1;; ++failat) {
            SCOPED_TRACE((persistent ? "from operation " : "operation ") + std::to_string(failat));
            for (const auto& [path, bytes] : galaxies) drive.write(path, bytes);
            hostenv::testing::FaultyFileSystem faulty(drive.fs, failat, persistent);
            RecordingUi recorded;
            Galmend galmend{faulty, platform, recorded};
            platform.args = "/s";
            const auto ended = hostenv::testing::ending([&] { galmend.load(); });
            ++runs;
            // A run that fails says why; one that says it succeeded rewrote every old galaxy
            // (a look it does without, as whether Windows is 64-bit, may fail unseen).
            const std::string told = ::testing::PrintToString(recorded.messages) +
                                     ::testing::PrintToString(recorded.reports);
            EXPECT_TRUE(ended == 0 || ended == 1) << told;
            if (ended != 0) {
                EXPECT_NE(told.find("Injected fault: "), std::string::npos) << told;
            }
            for (const auto& [path, bytes] : galaxies) {
                const std::string now = drive.read(path);
                const bool current = bytes == currentgalaxy || path == game("Twin.galaxy");
                if (current) {
                    EXPECT_EQ(now, bytes) << path << " should never change";
                } else if (ended == 0) {
                    EXPECT_EQ(now, newgalaxy) << path << " was reported rewritten";
                } else {
                    EXPECT_TRUE(now == bytes || now == newgalaxy) << path << ": " << now;
                }
                ++checked;
            }
            for (const auto& left : drive.temporaries()) {
                EXPECT_TRUE(persistent && faulty.failures() > 1) << "left behind: " << left;
                fs::remove(left);
            }
            // Every galaxy the run replaced comes back from its set; a set without its end says
            // it is incomplete.
            RecordingUi restoring;
            Galmend restore{drive.fs, platform, restoring};
            platform.args = "/restore";
            const auto exitcode = hostenv::testing::ending([&] { restore.load(); });
            const std::string said = ::testing::PrintToString(restoring.messages) +
                                     ::testing::PrintToString(restoring.reports);
            EXPECT_TRUE(exitcode == 0 ||
                        (exitcode == 1 && said.find("is incomplete") != std::string::npos))
                << said;
            for (const auto& [path, bytes] : galaxies) EXPECT_EQ(drive.read(path), bytes) << path;
            fs::remove_all(drive.host(backups));
            if (faulty.failures() == 0) break;
        }
    }
    EXPECT_GT(runs, 20);
    RecordProperty("runs", runs);
    RecordProperty("galaxies_checked", checked);
}

// A fix that lets events through at every galaxy: its clock moves on by an interval at each
// look.
class LiveFix : public Conversion {
  protected:
    LiveFix() {
        form.clock = [this] { return now += hostenv::Progress::interval; };
        for (int i = 0; i < 6; ++i)
            drive.write(game("g" + std::to_string(i) + ".galaxy"), oldgalaxy);
    }

    std::chrono::milliseconds now{0};
};

TEST_F(LiveFix, OnlyExitGetsThroughAndTheListsGrowInBatches) {
    interactive();
    ASSERT_EQ(click("Command1"), std::nullopt);
    int appends = 0;
    form.fixedlist.viewchanged = [&] { ++appends; };
    ui.onevents = [&] {
        form.clicked("Command1");
        form.clicked("Command2");
        form.folderpicked("C:\\");
    };
    // A clock that stands still shows the fix once, at its end.
    form.clock = [] { return std::chrono::milliseconds{0}; };
    ASSERT_EQ(click("Command2"), std::nullopt);
    EXPECT_EQ(appends, 1) << "six names, one update of the list";
    EXPECT_EQ(form.updatedlabel.caption(), " 6");
    EXPECT_EQ(form.stagelabel.caption(), " 2") << "no other walk or fix started";
    EXPECT_EQ(buttons(), (std::vector<bool>{true, false, true, true, true}));
}

// The count is cheap to show and the long list is not: the list grows at a fraction of the
// count's rate, and holds every name once the fix ends.
TEST_F(LiveFix, TheCountShowsAtEachShowingAndTheListGrowsSeldomButEndsWhole) {
    for (int i = 6; i < 40; ++i) drive.write(game("g" + std::to_string(i) + ".galaxy"), oldgalaxy);
    interactive();
    ASSERT_EQ(click("Command1"), std::nullopt);
    // A few looks at the clock per galaxy: a showing every few galaxies.
    form.clock = [this] { return now += std::chrono::milliseconds{20}; };
    int counts = 0;
    int appends = 0;
    form.updatedlabel.viewchanged = [&] { ++counts; };
    form.fixedlist.viewchanged = [&] { ++appends; };
    ASSERT_EQ(click("Command2"), std::nullopt);
    EXPECT_GE(counts, 3 * appends) << counts << " showings of the count";
    EXPECT_GE(appends, 2) << "the list grows during the fix too";
    EXPECT_EQ(form.updatedlabel.caption(), " 40");
    const std::string listed = form.fixedlist.text();
    for (int i = 0; i < 40; ++i) {
        EXPECT_NE(listed.find("g" + std::to_string(i) + ".galaxy\r\n"), std::string::npos) << i;
    }
    EXPECT_EQ(std::count(listed.begin(), listed.end(), '\n'), 40);
}

// Exit pressed after each galaxy in turn, on a sound and on a failing file system: the run
// ends there, with exit code 0, every galaxy old or new and no temporary file left.
TEST_F(LiveFix, ExitEndsTheFixBetweenTwoGalaxies) {
    // Runs galmend on fs up to the found galaxies, then the fix with exit pressed at event
    // exitat; the exit code when the program ended.
    int fixstart = 0;
    const auto fix = [&](hostenv::testing::FaultyFileSystem& fs, int exitat) {
        for (int i = 0; i < 6; ++i)
            drive.write(game("g" + std::to_string(i) + ".galaxy"), oldgalaxy);
        RecordingUi recorded;
        Galmend galmend{fs, platform, recorded};
        galmend.clock = [this] { return now += hostenv::Progress::interval; };
        EXPECT_EQ(hostenv::testing::ending([&] { galmend.load(); }), std::nullopt);
        EXPECT_EQ(hostenv::testing::ending([&] { galmend.clicked("Command1"); }), std::nullopt);
        int events = 0;
        recorded.onevents = [&] {
            if (++events == exitat) galmend.clicked("Command3");
        };
        if (exitat == 0) fixstart = fs.operations();
        return hostenv::testing::ending([&] { galmend.clicked("Command2"); });
    };
    hostenv::testing::FaultyFileSystem probe(drive.fs, 0, false);
    fix(probe, 0);
    // Early in the fix, at the first galaxies' looks, reads and writes.
    for (const int failat : {0, fixstart + 3, fixstart + 6}) {
        for (int exitat = 1; exitat <= 7; ++exitat) {
            SCOPED_TRACE("failing operation " + std::to_string(failat) + ", exit at event " +
                         std::to_string(exitat));
            hostenv::testing::FaultyFileSystem faulty(drive.fs, failat, false);
            const auto ended = fix(faulty, exitat);
            int rewritten = 0;
            for (int i = 0; i < 6; ++i) {
                const std::string bytes = drive.read(game("g" + std::to_string(i) + ".galaxy"));
                EXPECT_TRUE(bytes == oldgalaxy || bytes == newgalaxy) << bytes;
                rewritten += bytes == newgalaxy ? 1 : 0;
            }
            if (failat == 0) {
                EXPECT_EQ(ended, 0);
                EXPECT_EQ(rewritten, std::min(exitat, 6)) << "one galaxy between two events";
            }
            EXPECT_TRUE(drive.temporaries().empty());
        }
    }
}

}  // namespace
}  // namespace galmend
